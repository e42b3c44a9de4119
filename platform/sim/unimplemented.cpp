// Entry points whose stand-in is still being built: they fail cleanly with
// ERROR_CALL_NOT_IMPLEMENTED so that callers link and take their failure paths.
#include "platform/win32.h"

namespace {
template <typename T>
T notYet(T failure)
{
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return failure;
}
} // namespace

BOOL WINAPI CloseHandle(HANDLE) { return notYet(FALSE); }
DWORD WINAPI WaitForSingleObject(HANDLE, DWORD) { return notYet<DWORD>(WAIT_FAILED); }
HANDLE WINAPI CreateWaitableTimerW(LPSECURITY_ATTRIBUTES, BOOL, LPCWSTR) { return notYet<HANDLE>(nullptr); }
HANDLE WINAPI CreateWaitableTimerExW(LPSECURITY_ATTRIBUTES, LPCWSTR, DWORD, DWORD) { return notYet<HANDLE>(nullptr); }
BOOL WINAPI SetWaitableTimer(HANDLE, const LARGE_INTEGER*, LONG, PTIMERAPCROUTINE, LPVOID, BOOL) { return notYet(FALSE); }
BOOL WINAPI CancelWaitableTimer(HANDLE) { return notYet(FALSE); }
HANDLE WINAPI GetCurrentThread() { return (HANDLE)(LONG_PTR)-2; }
BOOL WINAPI SetThreadPriority(HANDLE, int) { return notYet(FALSE); }
int WINAPI GetThreadPriority(HANDLE) { return notYet<int>(THREAD_PRIORITY_ERROR_RETURN); }
DPI_AWARENESS_CONTEXT WINAPI SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT) { return notYet<DPI_AWARENESS_CONTEXT>(nullptr); }
BOOL WINAPI PostThreadMessageW(DWORD, UINT, WPARAM, LPARAM) { return notYet(FALSE); }
BOOL WINAPI PeekMessageW(LPMSG, HWND, UINT, UINT, UINT) { return notYet(FALSE); }
BOOL WINAPI GetMessageW(LPMSG, HWND, UINT, UINT) { return notYet(-1); }
BOOL WINAPI TranslateMessage(const MSG*) { return FALSE; }
LRESULT WINAPI DispatchMessageW(const MSG*) { return notYet<LRESULT>(0); }
DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD, const HANDLE*, DWORD, DWORD, DWORD) { return notYet<DWORD>(WAIT_FAILED); }
HMODULE WINAPI GetModuleHandleW(LPCWSTR) { return reinterpret_cast<HMODULE>(0x400000); }
ATOM WINAPI RegisterClassW(const WNDCLASSW*) { return notYet<ATOM>(0); }
BOOL WINAPI UnregisterClassW(LPCWSTR, HINSTANCE) { return notYet(FALSE); }
HWND WINAPI CreateWindowExW(DWORD, LPCWSTR, LPCWSTR, DWORD, int, int, int, int, HWND, HMENU, HINSTANCE, LPVOID) { return notYet<HWND>(nullptr); }
BOOL WINAPI DestroyWindow(HWND) { return notYet(FALSE); }
LRESULT WINAPI DefWindowProcW(HWND, UINT, WPARAM, LPARAM) { return 0; }
LONG_PTR WINAPI SetWindowLongPtrW(HWND, int, LONG_PTR) { return notYet<LONG_PTR>(0); }
LONG_PTR WINAPI GetWindowLongPtrW(HWND, int) { return notYet<LONG_PTR>(0); }
BOOL WINAPI IsWindow(HWND) { return FALSE; }
DWORD WINAPI GetWindowThreadProcessId(HWND, LPDWORD) { return notYet<DWORD>(0); }
HWND WINAPI GetForegroundWindow() { return nullptr; }
HHOOK WINAPI SetWindowsHookExW(int, HOOKPROC, HINSTANCE, DWORD) { return notYet<HHOOK>(nullptr); }
BOOL WINAPI UnhookWindowsHookEx(HHOOK) { return notYet(FALSE); }
LRESULT WINAPI CallNextHookEx(HHOOK, int, WPARAM, LPARAM) { return 0; }
UINT WINAPI SendInput(UINT, LPINPUT, int) { return notYet<UINT>(0); }
SHORT WINAPI GetAsyncKeyState(int) { return 0; }
SHORT WINAPI GetKeyState(int) { return 0; }
BOOL WINAPI GetLastInputInfo(PLASTINPUTINFO) { return notYet(FALSE); }
BOOL WINAPI GetPhysicalCursorPos(LPPOINT) { return notYet(FALSE); }
BOOL WINAPI GetCursorPos(LPPOINT) { return notYet(FALSE); }
BOOL WINAPI GetClipCursor(LPRECT) { return notYet(FALSE); }
int WINAPI GetSystemMetrics(int) { return 0; }
HMONITOR WINAPI MonitorFromPoint(POINT, DWORD) { return nullptr; }
BOOL WINAPI GetMonitorInfoW(HMONITOR, LPMONITORINFO) { return notYet(FALSE); }
BOOL WINAPI RegisterRawInputDevices(PCRAWINPUTDEVICE, UINT, UINT) { return notYet(FALSE); }
UINT WINAPI GetRawInputDeviceList(PRAWINPUTDEVICELIST, PUINT, UINT) { return notYet<UINT>(static_cast<UINT>(-1)); }
UINT WINAPI GetRawInputDeviceInfoW(HANDLE, UINT, LPVOID, PUINT) { return notYet<UINT>(static_cast<UINT>(-1)); }
BOOL WINAPI WTSRegisterSessionNotification(HWND, DWORD) { return notYet(FALSE); }
BOOL WINAPI WTSUnRegisterSessionNotification(HWND) { return notYet(FALSE); }
HANDLE WINAPI GetCurrentProcess() { return (HANDLE)(LONG_PTR)-1; }
BOOL WINAPI CreateProcessW(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES, BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW, LPPROCESS_INFORMATION) { return notYet(FALSE); }
HANDLE WINAPI OpenProcess(DWORD, BOOL, DWORD) { return notYet<HANDLE>(nullptr); }
BOOL WINAPI TerminateProcess(HANDLE, UINT) { return notYet(FALSE); }
DWORD WINAPI GetProcessId(HANDLE) { return notYet<DWORD>(0); }
BOOL WINAPI GetExitCodeProcess(HANDLE, LPDWORD) { return notYet(FALSE); }
DWORD WINAPI GetModuleFileNameW(HMODULE, LPWSTR, DWORD) { return notYet<DWORD>(0); }
BOOL WINAPI QueryFullProcessImageNameW(HANDLE, DWORD, LPWSTR, PDWORD) { return notYet(FALSE); }
BOOL WINAPI SetProcessInformation(HANDLE, PROCESS_INFORMATION_CLASS, LPVOID, DWORD) { return notYet(FALSE); }
HANDLE WINAPI CreateFileW(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE) { return notYet(INVALID_HANDLE_VALUE); }
BOOL WINAPI GetFileInformationByHandle(HANDLE, LPBY_HANDLE_FILE_INFORMATION) { return notYet(FALSE); }
HANDLE WINAPI CreateFileMappingW(HANDLE, LPSECURITY_ATTRIBUTES, DWORD, DWORD, DWORD, LPCWSTR) { return notYet<HANDLE>(nullptr); }
HANDLE WINAPI OpenFileMappingW(DWORD, BOOL, LPCWSTR) { return notYet<HANDLE>(nullptr); }
LPVOID WINAPI MapViewOfFile(HANDLE, DWORD, DWORD, DWORD, SIZE_T) { return notYet<LPVOID>(nullptr); }
BOOL WINAPI UnmapViewOfFile(LPCVOID) { return notYet(FALSE); }
BOOL WINAPI OpenProcessToken(HANDLE, DWORD, PHANDLE) { return notYet(FALSE); }
BOOL WINAPI GetTokenInformation(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD) { return notYet(FALSE); }
BOOL WINAPI ConvertSidToStringSidW(PSID, LPWSTR*) { return notYet(FALSE); }
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR, DWORD, PSECURITY_DESCRIPTOR*, PULONG) { return notYet(FALSE); }
HLOCAL WINAPI LocalFree(HLOCAL hMem) { return hMem; }
