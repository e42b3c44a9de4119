// What the simulated session takes from a driver or a member: the ranges that the broker checks
// in every frame and the vorna-sim tool checks in every argument, before anything reaches the
// session. Each check returns nullptr when the value is fine, else the reason it is not.
#pragma once

#include "platform/sim/session/session_types.h"

#include <cstdint>

namespace vorna::sim::limits {

// Monitor and clip edges stay within this distance of 0, so that sizes, distances and the
// normalising arithmetic of absolute moves never overflow (Windows' own virtual screen is far
// smaller).
constexpr std::int32_t maxCoordinate = 1 << 24;
// A wheel delta travels in the high word of mouseData.
constexpr std::int32_t minWheelDelta = -32768;
constexpr std::int32_t maxWheelDelta = 32767;
// The session clock only steps forward, and its offset in nanoseconds, added to the monotonic
// clock, must stay far from the end of a signed 64-bit count: 2^42 ms is about 139 years.
constexpr std::int64_t maxClockOffsetMs = std::int64_t(1) << 42;

const char* checkVirtualKey(UINT virtualKey); // 1-255
const char* checkPhysicalEvent(const PhysicalEvent& event);
const char* checkRect(const RECT& rect);
const char* checkScreen(const ScreenState& screen);
const char* checkFailure(const Failure& failure);
// A keyboard layout handle names a language in its low word.
const char* checkKeyboardLayout(std::uint64_t layout);
// A step of the clock given the offset it has now (nanoseconds).
const char* checkClockStep(std::int64_t milliseconds, std::int64_t offsetNs);

} // namespace vorna::sim::limits
