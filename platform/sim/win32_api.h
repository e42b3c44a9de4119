// Win32 as the simulated session provides it, with the names, signatures, structure layouts
// and constant values of x86-64 Windows.
#pragma once

#include "platform/sim/win32_types.h"
#include "platform/sim/win32_errors.h"
#include "platform/sim/win32_wait.h"
#include "platform/sim/win32_time.h"
#include "platform/sim/win32_thread.h"
#include "platform/sim/win32_message.h"
#include "platform/sim/win32_window.h"
#include "platform/sim/win32_input.h"
#include "platform/sim/win32_screen.h"
#include "platform/sim/win32_raw_input.h"
#include "platform/sim/win32_notice.h"
#include "platform/sim/win32_process.h"
#include "platform/sim/win32_file.h"
#include "platform/sim/win32_shared_memory.h"
#include "platform/sim/win32_security.h"
#include "platform/sim/win32_com.h"
#include "platform/sim/win32_clipboard.h"
#include "platform/sim/win32_gdi.h"
#include "platform/sim/win32_shell.h"
