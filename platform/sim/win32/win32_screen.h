// Cursor, clip rectangle, monitors and the virtual screen. There is no DPI scaling: logical
// and physical coordinates are the same.
#pragma once

#include "platform/sim/win32/win32_types.h"

typedef struct tagMONITORINFO {
    DWORD cbSize;
    RECT rcMonitor;
    RECT rcWork;
    DWORD dwFlags;
} MONITORINFO, *LPMONITORINFO;
static_assert(sizeof(MONITORINFO) == 40);

#define SM_CXSCREEN 0
#define SM_CYSCREEN 1
#define SM_SWAPBUTTON 23
#define SM_XVIRTUALSCREEN 76
#define SM_YVIRTUALSCREEN 77
#define SM_CXVIRTUALSCREEN 78
#define SM_CYVIRTUALSCREEN 79
#define SM_CMONITORS 80

#define MONITOR_DEFAULTTONULL 0x00000000
#define MONITOR_DEFAULTTOPRIMARY 0x00000001
#define MONITOR_DEFAULTTONEAREST 0x00000002
#define MONITORINFOF_PRIMARY 0x00000001

BOOL WINAPI GetPhysicalCursorPos(LPPOINT lpPoint);
BOOL WINAPI GetCursorPos(LPPOINT lpPoint);
// The whole virtual screen when the cursor is not clipped.
BOOL WINAPI GetClipCursor(LPRECT lpRect);
int WINAPI GetSystemMetrics(int nIndex);
HMONITOR WINAPI MonitorFromPoint(POINT pt, DWORD dwFlags);
BOOL WINAPI GetMonitorInfoW(HMONITOR hMonitor, LPMONITORINFO lpmi);
