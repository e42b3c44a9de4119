// Wheel arithmetic of the hook thread: whole notches for wheel rules, percentage scaling with
// carried remainders, Page Up/Down conversion and splitting an amount into sendable events.
// Integer only, so slow high-resolution wheels and small percentages never lose a unit.
#pragma once

#include "core/motion_settings.h"

#include <cstdint>

namespace vorna::windows {

constexpr int32_t kWheelNotch = 120;
constexpr uint32_t kMaxWheelEventAmount = 32760;
constexpr uint32_t kMaxWheelEvents = 32;
constexpr int32_t kMaxNotchesPerEvent = 32;

// Wheel directions as the codes of wheel input ids.
enum WheelDirection : uint8_t { WheelUp = 1, WheelDown = 2, WheelLeft = 3, WheelRight = 4 };

// Adds a delta to a notch accumulator and returns the whole notches it completes (toward zero);
// the accumulator keeps the rest.
int32_t takeNotches(int32_t& accumulator, int32_t delta);

// Carried parts of the percentage scaling (hundredths) and of the page conversion (wheel units
// below one notch), kept per modifier state.
struct WheelRemainders {
    int64_t vertical = 0;
    int64_t horizontal = 0;
    int32_t page = 0;
};

// What a physical wheel turn without a rule becomes under the layer's wheel settings.
struct WheelConversion {
    bool convert = false;    // false: the turn passes on untouched
    bool horizontal = false; // the output scrolls horizontally
    bool pages = false;      // amount counts Page Up (positive) or Page Down notches
    int64_t amount = 0;      // signed wheel units (or notches); 0: nothing to send yet
};

// Scales one wheel delta by the layer's wheel settings. `always` converts even at neutral settings (scroll mode must send what
// the pointer produced); a physical turn passes on when nothing would change it.
WheelConversion convertWheel(const core::MotionSettings& settings, bool horizontalInput, int32_t delta,
                             bool always, WheelRemainders& remainders);

// One wheel output split into events of at most 32,760 units.
struct WheelEvents {
    uint8_t direction = 0;
    uint32_t count = 0;
    uint32_t amounts[kMaxWheelEvents] = {};
};

// Direction by axis and sign, |amount| split into events; false when more than 32 would be needed.
bool splitWheelAmount(bool horizontal, int64_t amount, WheelEvents& events);

} // namespace vorna::windows
