// How a message reaches a window of this process: DispatchMessageW hands it to the window's
// procedure, which the windows' stand-ins keep.
#pragma once

#include "platform/sim/win32/win32_message.h"

namespace vorna::sim {

// Sends a window message to its procedure (defined with the windows).
LRESULT dispatchWindowMessage(const MSG& message);

} // namespace vorna::sim
