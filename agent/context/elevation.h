// Whether a window's program runs above the agent's integrity level, from what could be read
// of the two levels. A refused query of a process is itself a hint: below high level the
// agent may not open elevated programs.
#pragma once

#include <cstdint>
#include <optional>

namespace vorna::context {

// Mandatory-label relative ids; only their order matters.
inline constexpr std::uint32_t highIntegrityLevel = 0x3000;
inline constexpr std::uint32_t accessDeniedError = 5;

struct ElevationInference {
    bool elevated = false;
    bool elevationProbable = false; // elevated, but inferred from a refusal rather than measured
    bool agentElevated = false;     // the agent's level is known and at least high
};

// windowError: the Win32 error of opening the window's process or reading its level, 0 if none.
ElevationInference inferElevation(std::optional<std::uint32_t> agentLevel, std::optional<std::uint32_t> windowLevel,
                                  std::uint32_t windowError);

} // namespace vorna::context
