// Cursor position, clip rectangle, monitors and the virtual screen, read from the session.
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

using namespace vorna::sim;

BOOL WINAPI GetPhysicalCursorPos(LPPOINT lpPoint)
{
    if (lpPoint == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpPoint = processSession().page().readCursor();
    return TRUE;
}

BOOL WINAPI GetCursorPos(LPPOINT lpPoint)
{
    return GetPhysicalCursorPos(lpPoint);
}

BOOL WINAPI GetClipCursor(LPRECT lpRect)
{
    if (lpRect == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    *lpRect = processSession().page().readScreen().effectiveClip();
    return TRUE;
}

int WINAPI GetSystemMetrics(int nIndex)
{
    const ScreenState screen = processSession().page().readScreen();
    const RECT primary = screen.monitors[screen.primary];
    const RECT desktop = screen.virtualScreen();
    switch (nIndex) {
    case SM_CXSCREEN:
        return primary.right - primary.left;
    case SM_CYSCREEN:
        return primary.bottom - primary.top;
    case SM_XVIRTUALSCREEN:
        return desktop.left;
    case SM_YVIRTUALSCREEN:
        return desktop.top;
    case SM_CXVIRTUALSCREEN:
        return desktop.right - desktop.left;
    case SM_CYVIRTUALSCREEN:
        return desktop.bottom - desktop.top;
    case SM_CMONITORS:
        return screen.monitorCount;
    default:
        return 0;
    }
}

HMONITOR WINAPI MonitorFromPoint(POINT pt, DWORD dwFlags)
{
    const ScreenState screen = processSession().page().readScreen();
    int index = screen.monitorAt(pt, false);
    if (index < 0) {
        if (dwFlags == MONITOR_DEFAULTTONEAREST)
            index = screen.monitorAt(pt, true);
        else if (dwFlags == MONITOR_DEFAULTTOPRIMARY)
            index = screen.primary;
    }
    return index < 0 ? nullptr : monitorHandle(index);
}

BOOL WINAPI GetMonitorInfoW(HMONITOR hMonitor, LPMONITORINFO lpmi)
{
    const ScreenState screen = processSession().page().readScreen();
    const int index = monitorIndex(hMonitor);
    if (lpmi == nullptr || lpmi->cbSize < sizeof(MONITORINFO) || index < 0 || index >= screen.monitorCount) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    lpmi->rcMonitor = screen.monitors[index];
    lpmi->rcWork = screen.monitors[index]; // no task bar takes room
    lpmi->dwFlags = index == screen.primary ? MONITORINFOF_PRIMARY : 0;
    return TRUE;
}
