// What SetProcessInformation recorded for this process (Linux has no power throttling).
#pragma once

#include "platform/sim/win32/win32_process.h"

#include <optional>

namespace vorna::sim {

std::optional<PROCESS_POWER_THROTTLING_STATE> recordedPowerThrottling();

} // namespace vorna::sim
