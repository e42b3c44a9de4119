// The compiled layer settings handed to the backend beside the base snapshot and the macros:
// rules and motion settings of the ten layers of one profile.
#pragma once

#include "core/motion_settings.h"
#include "core/rules_snapshot.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::windows {

inline constexpr std::size_t kProgramLayers = 10;
inline constexpr std::uint8_t kMaxActionSlots = 32;

struct LayerProgram {
    std::array<core::RulesSnapshot, kProgramLayers> layers{};
    std::uint8_t initialLayer = 0; // becomes the base layer when the program is applied
    std::uint8_t enabled = 0;      // 1: layer targets and layer or profile macro steps allowed
    std::uint8_t profileIndex = 0; // profile the program was built from
    std::uint8_t actionCount = 0;  // custom actions validated for it; higher slots are refused
    std::array<core::MotionSettings, kProgramLayers> motion{};
};

} // namespace vorna::windows
