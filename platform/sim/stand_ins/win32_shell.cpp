// The shell, window commands to other programs, registered window messages, timer queues, COM
// initialisation and drive letters.
#include "platform/sim/stand_ins/host_path.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/process/text.h"
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/win32/win32_api.h"

#include <atomic>
#include <cwctype>
#include <dirent.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace {

using vorna::sim::DesktopClient;
using vorna::sim::processSession;

DesktopClient desktop()
{
    return DesktopClient(processSession());
}

std::wstring folded(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

bool isDrivePath(const std::wstring& path)
{
    return path.size() >= 3 && std::iswalpha(static_cast<wint_t>(path[0])) && path[1] == L':' && (path[2] == L'\\' || path[2] == L'/');
}

// The entry of a host folder whose name matches without regard to case, as Windows finds it.
std::string matchEntry(const std::string& folder, const std::wstring& name)
{
    const std::string exact = vorna::sim::toUtf8(name);
    struct stat info{};
    if (::stat((folder + "/" + exact).c_str(), &info) == 0)
        return exact;
    std::string found = exact;
    if (DIR* dir = ::opendir(folder.c_str())) {
        const std::wstring key = folded(name);
        while (const dirent* entry = ::readdir(dir)) {
            if (folded(vorna::sim::fromUtf8(entry->d_name)) == key) {
                found = entry->d_name;
                break;
            }
        }
        ::closedir(dir);
    }
    return found;
}

} // namespace

namespace vorna::platform {

std::wstring hostPath(const std::wstring& windowsPath)
{
    if (!isDrivePath(windowsPath))
        return {};
    std::string path = desktop().driveFolder(windowsPath[0]);
    if (path.empty())
        return {};
    std::vector<std::wstring> parts;
    std::wstring part;
    for (std::size_t i = 3; i <= windowsPath.size(); ++i) {
        if (i == windowsPath.size() || windowsPath[i] == L'\\' || windowsPath[i] == L'/') {
            if (part == L"..") {
                if (!parts.empty())
                    parts.pop_back();
            } else if (!part.empty() && part != L".") {
                parts.push_back(part);
            }
            part.clear();
        } else {
            part.push_back(windowsPath[i]);
        }
    }
    for (const std::wstring& p : parts)
        path += "/" + matchEntry(path, p);
    return vorna::sim::fromUtf8(path);
}

} // namespace vorna::platform

DWORD WINAPI GetFileAttributesW(LPCWSTR lpFileName)
{
    const std::wstring host = lpFileName ? vorna::platform::hostPath(lpFileName) : std::wstring();
    if (host.empty()) {
        SetLastError(ERROR_PATH_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    struct stat info{};
    if (::stat(vorna::sim::toUtf8(host).c_str(), &info) != 0) {
        SetLastError(errno == ENOTDIR ? ERROR_PATH_NOT_FOUND : ERROR_FILE_NOT_FOUND);
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(info.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    return S_ISREG(info.st_mode) ? FILE_ATTRIBUTE_ARCHIVE : FILE_ATTRIBUTE_NORMAL;
}

BOOL WINAPI ShellExecuteExW(SHELLEXECUTEINFOW* pExecInfo)
{
    if (pExecInfo == nullptr || pExecInfo->cbSize != sizeof(SHELLEXECUTEINFOW) || pExecInfo->lpFile == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    vorna::sim::ShellRecord call;
    call.verb = pExecInfo->lpVerb ? pExecInfo->lpVerb : L"";
    call.file = pExecInfo->lpFile;
    call.parameters = pExecInfo->lpParameters ? pExecInfo->lpParameters : L"";
    call.directory = pExecInfo->lpDirectory ? pExecInfo->lpDirectory : L"";
    call.show = pExecInfo->nShow;
    // A path must exist to be opened; anything else (a site) is handed to its handler.
    if (isDrivePath(call.file) && GetFileAttributesW(call.file.c_str()) == INVALID_FILE_ATTRIBUTES)
        call.error = ERROR_FILE_NOT_FOUND;
    const DWORD error = desktop().shellExecute(call);
    pExecInfo->hProcess = nullptr;
    if (error != 0) {
        pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<std::uintptr_t>(error < 32 ? error : 31));
        SetLastError(error);
        return FALSE;
    }
    pExecInfo->hInstApp = reinterpret_cast<HINSTANCE>(std::uintptr_t{42}); // above 32: success
    return TRUE;
}

BOOL WINAPI LockWorkStation()
{
    const DWORD error = desktop().lockWorkStation();
    if (error != 0)
        SetLastError(error);
    return error == 0 ? TRUE : FALSE;
}

BOOL WINAPI ShowWindowAsync(HWND hWnd, int nCmdShow)
{
    const DWORD error = desktop().showWindow(hWnd, nCmdShow);
    if (error != 0)
        SetLastError(error);
    return error == 0 ? TRUE : FALSE;
}

BOOL WINAPI PostMessageW(HWND hWnd, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const auto record = hWnd ? processSession().findWindow(hWnd) : std::nullopt;
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (record->processId == DWORD(::getpid()) && !record->simulated) {
        const auto queue = vorna::sim::findThreadQueue(record->threadId);
        MSG message{};
        message.hwnd = hWnd;
        message.message = Msg;
        message.wParam = wParam;
        message.lParam = lParam;
        message.time = GetTickCount();
        GetCursorPos(&message.pt);
        if (!queue) {
            SetLastError(ERROR_INVALID_THREAD_ID);
            return FALSE;
        }
        return queue->post(message) ? TRUE : FALSE;
    }
    const DWORD error = desktop().postMessage(hWnd, Msg, wParam, lParam);
    if (error != 0)
        SetLastError(error);
    return error == 0 ? TRUE : FALSE;
}

BOOL WINAPI SetForegroundWindow(HWND hWnd)
{
    if (!IsWindow(hWnd))
        return FALSE;
    return processSession().setForeground(hWnd) ? TRUE : FALSE;
}

UINT WINAPI RegisterWindowMessageW(LPCWSTR lpString)
{
    const UINT atom = lpString ? desktop().registerName(lpString) : 0;
    if (atom == 0)
        SetLastError(ERROR_INVALID_PARAMETER);
    return atom;
}

HRESULT WINAPI OleInitialize(LPVOID)
{
    return S_OK;
}

void WINAPI OleUninitialize() {}

HRESULT WINAPI CoInitializeEx(LPVOID, DWORD)
{
    return S_OK;
}

void WINAPI CoUninitialize() {}

BOOL WINAPI CreateTimerQueueTimer(PHANDLE phNewTimer, HANDLE TimerQueue, WAITORTIMERCALLBACK Callback, PVOID Parameter,
                                  DWORD DueTime, DWORD Period, ULONG Flags)
{
    if (phNewTimer == nullptr || Callback == nullptr || TimerQueue != nullptr) {
        SetLastError(TimerQueue != nullptr ? ERROR_INVALID_HANDLE : ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    static std::atomic<std::uintptr_t> next{0x7B0000};
    *phNewTimer = reinterpret_cast<HANDLE>(next.fetch_add(8));
    const bool once = Period == 0 || (Flags & WT_EXECUTEONLYONCE) != 0;
    // The thread looks at the session clock in short steps, so a test that steps the clock
    // sees the timer fire without waiting the real time.
    std::thread([=] {
        ULONGLONG due = GetTickCount64() + DueTime;
        for (;;) {
            const ULONGLONG now = GetTickCount64();
            if (now >= due) {
                Callback(Parameter, TRUE);
                if (once)
                    return;
                due += Period;
                continue;
            }
            ::usleep(static_cast<useconds_t>(std::min<ULONGLONG>(due - now, 10) * 1000));
        }
    }).detach();
    return TRUE;
}
