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
#  include <windows.h>
#else
#  include "platform/sim/win32_types.h"
#  include "platform/sim/win32_api.h"
#endif
