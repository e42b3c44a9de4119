// The index of an input in the engine's per-input tables (the mapping engine's chains, the
// held-key block, the press contexts, the output sink's held outputs): one dense number per key,
// button and scan-code key, so that each table is a plain fixed-size array.
#pragma once

#include "core/input_id.h"

#include <cstddef>
#include <cstdint>

namespace vorna::windows {

// Per-input tables are indexed by: virtual-key code (0-255) for keys, 256 + number for mouse
// buttons, 512 + code for scan-code keys (numpad Enter at 796).
inline constexpr std::size_t kInputIndexCount = 1024;
inline constexpr int kButtonIndexBase = 256;
inline constexpr int kScanCodeIndexBase = 512;

// The table index of an input, or -1 for inputs without one (wheel steps, reserved kinds).
constexpr int inputIndex(core::InputId id)
{
    const std::uint16_t code = core::inputCode(id);
    if (core::inputClass(id) == core::kClassKeyboard && core::inputKind(id) == core::kKindVirtualKey)
        return code < kButtonIndexBase ? int(code) : -1;
    if (core::inputClass(id) == core::kClassMouseButton && core::inputKind(id) == core::kKindMouseButton)
        return code < kButtonIndexBase ? kButtonIndexBase + code : -1;
    if (core::inputClass(id) == core::kClassKeyboard && core::inputKind(id) == core::kKindExtendedScanCode)
        return code < kInputIndexCount - kScanCodeIndexBase ? kScanCodeIndexBase + code : -1;
    return -1;
}

} // namespace vorna::windows
