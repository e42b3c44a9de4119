#include "engine/mapping/supported_input.h"

namespace vorna::core {

namespace {

constexpr std::uint16_t kGenericShift = 16;
constexpr std::uint16_t kGenericAlt = 18;
constexpr std::uint16_t kLastMouseButton = 5;

} // namespace

bool isSupportedInputId(InputId id)
{
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
