// The one door to Win32. On Windows this is the system's own API; elsewhere the declarations
// under platform/sim/ stand in for it, backed by a simulated Windows session.
#pragma once

#ifdef _WIN32
#  ifndef NOMINMAX
#    define NOMINMAX
#  endif
#  ifndef WIN32_LEAN_AND_MEAN
#    define WIN32_LEAN_AND_MEAN
#  endif
// Windows 10 API level: per-monitor DPI contexts, physical cursor position, power throttling.
#  ifndef _WIN32_WINNT
#    define _WIN32_WINNT 0x0A00
#  endif
#  ifndef WINVER
#    define WINVER 0x0A00
#  endif
#  include <windows.h>
#  include <wtsapi32.h>
#  include <sddl.h>
#  include <objbase.h>
#  include <ole2.h>
#  include <shellapi.h>
#  include <commctrl.h>
// Newer than some SDKs: the high-resolution waitable timer flag (Windows 10 1803).
#  ifndef CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
#    define CREATE_WAITABLE_TIMER_HIGH_RESOLUTION 0x00000002
#  endif
#  ifndef ERROR_UNHANDLED_EXCEPTION
#    define ERROR_UNHANDLED_EXCEPTION 574L
#  endif
#else
#  include "platform/sim/win32/win32_api.h"
#endif
