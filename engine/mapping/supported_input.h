// The inputs the Windows backend can recognise in its low-level hooks and send again with
// SendInput: documented virtual keys with explicit left and right modifiers, numpad Enter,
// mouse buttons 1-5 and the four wheel directions. Narrower than structural validity.
#pragma once

#include "core/input_id.h"

namespace vorna::core {

namespace supported_input {
inline constexpr std::uint16_t kGenericShift = 16;
inline constexpr std::uint16_t kGenericAlt = 18;
inline constexpr std::uint16_t kLastMouseButton = 5;
} // namespace supported_input

// Pure; any thread may call it. Inline: the output side asks it for every event it sends.
inline bool isSupportedInputId(InputId id)
{
    using namespace supported_input;
    const std::uint16_t code = inputCode(id);
    switch (inputClass(id)) {
    case kClassKeyboard:
        if (inputKind(id) == kKindExtendedScanCode)
            return code == kNumpadEnterCode;
        // The structurally valid virtual keys are the documented ones plus the generic Shift,
        // Ctrl and Alt, which hooks never report: rules name the left and right keys instead.
        return inputKind(id) == kKindVirtualKey && isValidInputId(id) && (code < kGenericShift || code > kGenericAlt);
    case kClassMouseButton:
        return inputKind(id) == kKindMouseButton && code >= 1 && code <= kLastMouseButton;
    case kClassWheel:
        return isValidInputId(id);
    default:
        return false;
    }
}

} // namespace vorna::core
