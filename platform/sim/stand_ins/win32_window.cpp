// Window classes and windows of this process. A window is its procedure and user data here,
// and an entry in the session's window table there, so other members see it too.
#include "platform/sim/session/session_api.h"
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/stand_ins/window_dispatch.h"
#include "platform/sim/win32/win32_api.h"

#include <algorithm>
#include <cwctype>
#include <map>
#include <mutex>
#include <string>
#include <unistd.h>
#include <vector>

namespace vorna::sim {
namespace {

struct WindowClass {
    ATOM atom;
    std::wstring name;
    WNDPROC procedure;
};

struct LocalWindow {
    WNDPROC procedure;
    LONG_PTR userData = 0;
    LONG_PTR id = 0;
    HINSTANCE instance = nullptr;
    DWORD threadId = 0;
};

struct WindowTable {
    std::mutex mutex;
    std::map<std::wstring, WindowClass> classes; // by lower-case name: class names ignore case
    ATOM nextAtom = 0xC000;
    std::map<HWND, LocalWindow> windows;
};

WindowTable& windowTable()
{
    static auto* instance = [] {
        auto* table = new WindowTable;
        // The system's own class for plain windows, such as a message-only clipboard owner.
        table->classes[L"static"] = {table->nextAtom++, L"Static", DefWindowProcW};
        return table;
    }();
    return *instance;
}

std::wstring foldCase(std::wstring_view name)
{
    std::wstring folded(name);
    for (WCHAR& c : folded)
        c = static_cast<WCHAR>(std::towlower(static_cast<wint_t>(c)));
    return folded;
}

// A class name may be an atom in the low word (MAKEINTATOM).
const WindowClass* findClassLocked(LPCWSTR name)
{
    WindowTable& t = windowTable();
    const auto value = reinterpret_cast<std::uintptr_t>(name);
    if (value < 0x10000) {
        for (const auto& [key, wc] : t.classes) {
            if (wc.atom == value)
                return &wc;
        }
        return nullptr;
    }
    const auto it = t.classes.find(foldCase(name));
    return it == t.classes.end() ? nullptr : &it->second;
}

WNDPROC procedureOf(HWND window)
{
    std::lock_guard lock(windowTable().mutex);
    const auto it = windowTable().windows.find(window);
    return it == windowTable().windows.end() ? nullptr : it->second.procedure;
}

LRESULT send(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    const WNDPROC procedure = procedureOf(window);
    return procedure ? procedure(window, message, wParam, lParam) : 0;
}

void forget(HWND window)
{
    {
        std::lock_guard lock(windowTable().mutex);
        windowTable().windows.erase(window);
    }
    processSession().unregisterWindow(window);
}

} // namespace

LRESULT dispatchWindowMessage(const MSG& message)
{
    return send(message.hwnd, message.message, message.wParam, message.lParam);
}

void releaseThreadWindows(DWORD threadId)
{
    std::vector<HWND> owned;
    {
        std::lock_guard lock(windowTable().mutex);
        for (const auto& [hwnd, w] : windowTable().windows) {
            if (w.threadId == threadId)
                owned.push_back(hwnd);
        }
    }
    for (HWND hwnd : owned)
        forget(hwnd);
}

} // namespace vorna::sim

using namespace vorna::sim;

HMODULE WINAPI GetModuleHandleW(LPCWSTR lpModuleName)
{
    if (lpModuleName != nullptr) {
        SetLastError(ERROR_MOD_NOT_FOUND); // only the program's own image is known
        return nullptr;
    }
    return reinterpret_cast<HMODULE>(0x400000);
}

ATOM WINAPI RegisterClassW(const WNDCLASSW* lpWndClass)
{
    if (lpWndClass == nullptr || lpWndClass->lpszClassName == nullptr || lpWndClass->lpfnWndProc == nullptr ||
        reinterpret_cast<std::uintptr_t>(lpWndClass->lpszClassName) < 0x10000) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    currentThreadQueue(true);
    WindowTable& t = windowTable();
    std::lock_guard lock(t.mutex);
    const std::wstring key = foldCase(lpWndClass->lpszClassName);
    if (t.classes.count(key) != 0) {
        SetLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    const ATOM atom = t.nextAtom++;
    t.classes[key] = {atom, lpWndClass->lpszClassName, lpWndClass->lpfnWndProc};
    return atom;
}

BOOL WINAPI UnregisterClassW(LPCWSTR lpClassName, HINSTANCE)
{
    WindowTable& t = windowTable();
    std::lock_guard lock(t.mutex);
    const WindowClass* wc = lpClassName ? findClassLocked(lpClassName) : nullptr;
    if (wc == nullptr) {
        SetLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return FALSE;
    }
    t.classes.erase(foldCase(wc->name));
    return TRUE;
}

HWND WINAPI CreateWindowExW(DWORD dwExStyle, LPCWSTR lpClassName, LPCWSTR lpWindowName, DWORD dwStyle, int X, int Y,
                            int nWidth, int nHeight, HWND hWndParent, HMENU hMenu, HINSTANCE hInstance, LPVOID lpParam)
{
    if (lpClassName == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    WindowRecord record;
    WNDPROC procedure;
    {
        std::lock_guard lock(windowTable().mutex);
        const WindowClass* wc = findClassLocked(lpClassName);
        if (wc == nullptr) {
            SetLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        procedure = wc->procedure;
        record.className = wc->name;
    }
    const bool messageOnly = hWndParent == HWND_MESSAGE;
    if (hWndParent != nullptr && !messageOnly && !IsWindow(hWndParent)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return nullptr;
    }
    currentThreadQueue(true);
    record.processId = DWORD(::getpid());
    record.threadId = GetCurrentThreadId();
    record.visible = (dwStyle & WS_VISIBLE) != 0;
    record.topLevel = hWndParent == nullptr;
    record.parent = messageOnly || (dwStyle & WS_CHILD) == 0 ? nullptr : hWndParent;
    const auto edge = [](int origin, int extent) {
        return static_cast<LONG>(std::clamp<long long>(static_cast<long long>(origin) + std::max(extent, 0), INT32_MIN, INT32_MAX));
    };
    record.rect = {X, Y, edge(X, nWidth), edge(Y, nHeight)};
    record.title = lpWindowName ? lpWindowName : L"";
    const HWND hwnd = processSession().registerWindow(record);
    {
        std::lock_guard lock(windowTable().mutex);
        windowTable().windows[hwnd] = {procedure, 0, reinterpret_cast<LONG_PTR>(hMenu), hInstance, record.threadId};
    }
    CREATESTRUCTW create{};
    create.lpCreateParams = lpParam;
    create.hInstance = hInstance;
    create.hMenu = hMenu;
    create.hwndParent = hWndParent;
    create.cy = nHeight;
    create.cx = nWidth;
    create.y = Y;
    create.x = X;
    create.style = static_cast<LONG>(dwStyle);
    create.lpszName = lpWindowName;
    create.lpszClass = lpClassName;
    create.dwExStyle = dwExStyle;
    if (send(hwnd, WM_NCCREATE, 0, reinterpret_cast<LPARAM>(&create)) == 0) {
        forget(hwnd);
        return nullptr;
    }
    if (send(hwnd, WM_CREATE, 0, reinterpret_cast<LPARAM>(&create)) == -1) {
        DestroyWindow(hwnd);
        return nullptr;
    }
    return hwnd;
}

BOOL WINAPI DestroyWindow(HWND hWnd)
{
    DWORD owner = 0;
    {
        std::lock_guard lock(windowTable().mutex);
        const auto it = windowTable().windows.find(hWnd);
        if (it == windowTable().windows.end()) {
            SetLastError(ERROR_INVALID_WINDOW_HANDLE);
            return FALSE;
        }
        owner = it->second.threadId;
    }
    if (owner != GetCurrentThreadId()) {
        SetLastError(ERROR_ACCESS_DENIED); // only the creating thread may destroy a window
        return FALSE;
    }
    send(hWnd, WM_DESTROY, 0, 0);
    send(hWnd, WM_NCDESTROY, 0, 0);
    forget(hWnd);
    return TRUE;
}

LRESULT WINAPI DefWindowProcW(HWND hWnd, UINT Msg, WPARAM, LPARAM)
{
    switch (Msg) {
    case WM_NCCREATE:
    case WM_QUERYENDSESSION:
    case WM_POWERBROADCAST:
        return TRUE;
    case WM_CLOSE:
        DestroyWindow(hWnd);
        return 0;
    default:
        return 0;
    }
}

LONG_PTR WINAPI SetWindowLongPtrW(HWND hWnd, int nIndex, LONG_PTR dwNewLong)
{
    std::lock_guard lock(windowTable().mutex);
    const auto it = windowTable().windows.find(hWnd);
    if (it == windowTable().windows.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    LONG_PTR previous = 0;
    switch (nIndex) {
    case GWLP_USERDATA:
        previous = it->second.userData;
        it->second.userData = dwNewLong;
        return previous;
    case GWLP_WNDPROC:
        previous = reinterpret_cast<LONG_PTR>(it->second.procedure);
        it->second.procedure = reinterpret_cast<WNDPROC>(dwNewLong);
        return previous;
    case GWLP_ID:
        previous = it->second.id;
        it->second.id = dwNewLong;
        return previous;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

LONG_PTR WINAPI GetWindowLongPtrW(HWND hWnd, int nIndex)
{
    std::lock_guard lock(windowTable().mutex);
    const auto it = windowTable().windows.find(hWnd);
    if (it == windowTable().windows.end()) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    switch (nIndex) {
    case GWLP_USERDATA:
        return it->second.userData;
    case GWLP_WNDPROC:
        return reinterpret_cast<LONG_PTR>(it->second.procedure);
    case GWLP_ID:
        return it->second.id;
    case GWLP_HINSTANCE:
        return reinterpret_cast<LONG_PTR>(it->second.instance);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
}

BOOL WINAPI IsWindow(HWND hWnd)
{
    if (hWnd == nullptr)
        return FALSE;
    {
        std::lock_guard lock(windowTable().mutex);
        if (windowTable().windows.count(hWnd) != 0)
            return TRUE;
    }
    return processSession().findWindow(hWnd) ? TRUE : FALSE;
}

DWORD WINAPI GetWindowThreadProcessId(HWND hWnd, LPDWORD lpdwProcessId)
{
    const std::optional<WindowRecord> record = hWnd ? processSession().findWindow(hWnd) : std::nullopt;
    if (!record) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    if (lpdwProcessId != nullptr)
        *lpdwProcessId = record->processId;
    return record->threadId;
}

HWND WINAPI GetForegroundWindow()
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(processSession().page().foreground.load(std::memory_order_relaxed)));
}
