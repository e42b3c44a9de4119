// One input event as every engine function takes it: filled by the hooks, by the wheel and
// pointer path and by the replay of resolved trigger slots.
#pragma once

#include "core/input_id.h"

#include <cstdint>

namespace vorna::windows {

// Origins of an event.
inline constexpr std::uint8_t kOriginPhysical = 0;
inline constexpr std::uint8_t kOriginInjected = 1; // injected by another program
inline constexpr std::uint8_t kOriginProgram = 2;  // produced by this program

// Owner tokens above this value belong to presses made inside the engine (macro player, paging).
inline constexpr std::uint64_t kMaxDeviceId = 999;

// Bounds of the two small producer codes.
inline constexpr std::uint8_t kMaxProviderCode = 3;
inline constexpr std::uint8_t kMaxChannelCode = 2;

struct InputEvent {
    std::uint64_t device = 0; // 0 none; engine-internal presses carry an owner token above 999
    core::InputId input = 0;
    std::uint8_t phase = 0;   // core::kPhaseDown, kPhaseUp or kPhaseRepeat
    std::uint8_t origin = kOriginPhysical;
    std::uint64_t time = 0;   // ns on the performance-counter clock
    // Two small codes set by the event producers; the engine bounds and copies them only.
    std::uint8_t provider = 0; // at most 3
    std::uint8_t channel = 0;  // at most 2
    std::uint8_t modifiers = 0; // bit 0 Shift, 1 Ctrl, 2 Alt, 3 Win
    std::uint16_t scanCode = 0;
    std::uint8_t extended = 0;
    std::int32_t delta = 0; // wheel delta or motion amount
    std::int32_t x = 0;
    std::int32_t y = 0;
};

} // namespace vorna::windows
