#include "engine/mapping/wheel_math.h"

namespace vorna::windows {

int32_t takeNotches(int32_t& accumulator, int32_t delta)
{
    const int64_t total = int64_t(accumulator) + delta;
    const int64_t notches = total / kWheelNotch;
    accumulator = int32_t(total % kWheelNotch);
    return int32_t(notches);
}

WheelConversion convertWheel(const core::MotionSettings& settings, bool horizontalInput, int32_t delta,
                             bool always, WheelRemainders& remainders)
{
    WheelConversion result;
    int64_t hundredths = 0;
    if (horizontalInput) {
        if (settings.wheelHorizontal == 100 && !settings.invertHorizontal && !always)
            return result;
        hundredths = int64_t(settings.wheelHorizontal) * delta;
        if (settings.invertHorizontal)
            hundredths = -hundredths;
        result.horizontal = true;
    } else {
        if (settings.wheelVertical != 100 || settings.invertVertical) {
            hundredths = int64_t(settings.wheelVertical) * delta;
            if (settings.invertVertical)
                hundredths = -hundredths;
        } else if (settings.pages || settings.verticalToHorizontal || always) {
            hundredths = 100 * int64_t(delta);
        } else {
            return result;
        }
        result.horizontal = settings.verticalToHorizontal;
        result.pages = settings.pages;
    }
    result.convert = true;

    int64_t& carried = horizontalInput ? remainders.horizontal : remainders.vertical;
    const int64_t total = hundredths + carried;
    int64_t out = total / 100;
    carried = total % 100;
    if (result.pages) {
        const int64_t units = out + remainders.page;
        out = units / kWheelNotch;
        remainders.page = int32_t(units % kWheelNotch);
    }
    result.amount = out;
    return result;
}

bool splitWheelAmount(bool horizontal, int64_t amount, WheelEvents& events)
{
    events = WheelEvents{};
    if (horizontal)
        events.direction = amount > 0 ? WheelRight : WheelLeft;
    else
        events.direction = amount > 0 ? WheelUp : WheelDown;
    uint64_t magnitude = amount < 0 ? uint64_t(0) - uint64_t(amount) : uint64_t(amount);
    if (magnitude > uint64_t(kMaxWheelEventAmount) * kMaxWheelEvents)
        return false;
    while (magnitude > 0) {
        const uint32_t part = magnitude > kMaxWheelEventAmount ? kMaxWheelEventAmount : uint32_t(magnitude);
        events.amounts[events.count++] = part;
        magnitude -= part;
    }
    return true;
}

} // namespace vorna::windows
