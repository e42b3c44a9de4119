#include "platform/sim/session/session_limits.h"

#include "platform/sim/session/keyboard_hardware.h"

#include <cstring>

namespace vorna::sim::limits {
namespace {

// The byte behind a bool that came off the wire, read without reading it as a bool (which would
// be undefined behaviour for any byte but 0 and 1).
bool validBool(const bool& value)
{
    std::uint8_t byte;
    std::memcpy(&byte, &value, 1);
    return byte <= 1;
}

bool within(std::int32_t value)
{
    return value >= -maxCoordinate && value <= maxCoordinate;
}

} // namespace

const char* checkVirtualKey(UINT virtualKey)
{
    return virtualKey >= 1 && virtualKey <= 255 ? nullptr : "a virtual key outside 1-255";
}

const char* checkPhysicalEvent(const PhysicalEvent& event)
{
    using Type = PhysicalEvent::Type;
    if (!validBool(event.extended))
        return "the extended flag is a bool byte other than 0 or 1";
    switch (event.type) {
    case Type::KeyDown:
    case Type::KeyUp:
        return event.key == kNumpadEnter ? nullptr : checkVirtualKey(event.key);
    case Type::ScanDown:
    case Type::ScanUp:
        return event.key >= 1 && event.key <= 0xFF ? nullptr : "a scan code outside 1-255";
    case Type::ButtonDown:
    case Type::ButtonUp:
        return event.key >= 1 && event.key <= 5 ? nullptr : "a mouse button outside 1-5";
    case Type::Wheel:
    case Type::HWheel:
        return event.x >= minWheelDelta && event.x <= maxWheelDelta ? nullptr : "a wheel delta outside -32768 to 32767";
    case Type::MoveBy:
    case Type::MoveTo:
        return nullptr; // any distance or point: the move stops at the clip
    }
    return "an unknown event type";
}

const char* checkRect(const RECT& rect)
{
    if (!within(rect.left) || !within(rect.top) || !within(rect.right) || !within(rect.bottom))
        return "a rectangle edge beyond 16777216 pixels from 0";
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return "an empty rectangle (right must exceed left, bottom must exceed top)";
    return nullptr;
}

const char* checkScreen(const ScreenState& screen)
{
    if (screen.monitorCount < 1 || screen.monitorCount > ScreenState::maxMonitors)
        return "a monitor count outside 1-16";
    if (screen.primary < 0 || screen.primary >= screen.monitorCount)
        return "a primary monitor that is not among the monitors";
    for (int i = 0; i < screen.monitorCount; ++i) {
        if (const char* why = checkRect(screen.monitors[i]))
            return why;
    }
    if (screen.clipped != 0 && screen.clipped != 1)
        return "a clip flag other than 0 or 1";
    return screen.clipped ? checkRect(screen.clip) : nullptr;
}

const char* checkFailure(const Failure& failure)
{
    return failure.remaining >= -1 ? nullptr : "a failure count below -1";
}

const char* checkKeyboardLayout(std::uint64_t layout)
{
    return (layout & 0xFFFF) != 0 ? nullptr : "a keyboard layout without a language (low word 0)";
}

const char* checkClockStep(std::int64_t milliseconds, std::int64_t offsetNs)
{
    if (milliseconds < 0)
        return "a clock step back in time (the session clock only goes forward)";
    if (milliseconds > maxClockOffsetMs - offsetNs / 1'000'000)
        return "a clock step past the largest offset the session clock keeps (2^42 ms)";
    return nullptr;
}

} // namespace vorna::sim::limits
