// What a program may read of any window in the session: the Z-ordered list of top-level
// windows, roots, visibility, titles, classes and the window at a point. Answers come from the
// session's window table, so windows of other processes and of the driver answer alike.
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

#include <algorithm>
#include <string>

using namespace vorna::sim;

namespace {

std::optional<WindowRecord> windowRecord(HWND window)
{
    if (window == nullptr) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return std::nullopt;
    }
    std::optional<WindowRecord> record = processSession().findWindow(window);
    if (!record)
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
    return record;
}

// Copies at most capacity - 1 units and a terminator, as the Win32 text getters do.
int copyText(const std::wstring& text, LPWSTR buffer, int capacity)
{
    if (buffer == nullptr || capacity <= 0)
        return 0;
    const auto count = static_cast<int>(std::min<std::size_t>(text.size(), static_cast<std::size_t>(capacity - 1)));
    text.copy(buffer, static_cast<std::size_t>(count));
    buffer[count] = 0;
    return count;
}

bool contains(const RECT& rect, POINT point)
{
    return point.x >= rect.left && point.x < rect.right && point.y >= rect.top && point.y < rect.bottom;
}

} // namespace

BOOL WINAPI EnumWindows(WNDENUMPROC lpEnumFunc, LPARAM lParam)
{
    if (lpEnumFunc == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    // A snapshot: windows made or destroyed by the callback do not disturb the walk.
    for (const WindowRecord& w : processSession().windows()) {
        if (w.topLevel && w.parent == nullptr && !lpEnumFunc(w.hwnd, lParam))
            break;
    }
    return TRUE;
}

HWND WINAPI GetAncestor(HWND hwnd, UINT gaFlags)
{
    std::optional<WindowRecord> record = windowRecord(hwnd);
    if (!record)
        return nullptr;
    switch (gaFlags) {
    case GA_PARENT:
        return record->parent;
    case GA_ROOT:
    case GA_ROOTOWNER: // owners are not kept: the root owner is the root
        // Bounded by the number of windows in any reasonable session; a cycle cannot be made.
        for (int depth = 0; record->parent != nullptr && depth < 4096; ++depth) {
            std::optional<WindowRecord> parent = processSession().findWindow(record->parent);
            if (!parent)
                break;
            record = parent;
        }
        return record->hwnd;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

BOOL WINAPI IsWindowVisible(HWND hWnd)
{
    const std::optional<WindowRecord> record = hWnd ? processSession().findWindow(hWnd) : std::nullopt;
    return record && record->visible ? TRUE : FALSE;
}

int WINAPI GetWindowTextW(HWND hWnd, LPWSTR lpString, int nMaxCount)
{
    if (lpString != nullptr && nMaxCount > 0)
        lpString[0] = 0;
    const std::optional<WindowRecord> record = windowRecord(hWnd);
    return record ? copyText(record->title, lpString, nMaxCount) : 0;
}

int WINAPI GetClassNameW(HWND hWnd, LPWSTR lpClassName, int nMaxCount)
{
    const std::optional<WindowRecord> record = windowRecord(hWnd);
    if (!record)
        return 0;
    if (lpClassName == nullptr || nMaxCount <= 0) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return 0;
    }
    return copyText(record->className, lpClassName, nMaxCount);
}

HWND WINAPI WindowFromPhysicalPoint(POINT Point)
{
    for (const WindowRecord& w : processSession().windows()) {
        if (w.topLevel && w.parent == nullptr && w.visible && contains(w.rect, Point))
            return w.hwnd;
    }
    return nullptr;
}
