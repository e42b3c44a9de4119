// The inputs the Windows backend can recognise in its low-level hooks and send again with
// SendInput: documented virtual keys with explicit left and right modifiers, numpad Enter,
// mouse buttons 1-5 and the four wheel directions. Narrower than structural validity.
#pragma once

#include "core/input_id.h"

namespace vorna::core {

// Pure; any thread may call it.
bool isSupportedInputId(InputId id);

} // namespace vorna::core
