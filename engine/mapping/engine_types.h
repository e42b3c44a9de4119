// The plain values the backend and its hook thread both speak: the macro bank handed to a start,
// the reasons of a full reset and the status the agent reads. They live here, in the engine's
// lowest folder, rather than beside the backend's public class, so that the hook thread can use
// them without including the header that owns the thread (which would make the two include
// each other).
#pragma once

#include "core/macro.h"

#include <array>
#include <cstdint>

namespace vorna::windows {

using MacroBank = std::array<core::Macro, core::kMaxMacros>;

// Reasons of the full reset, also reported as the backend's stop reason.
enum ResetReason : uint8_t {
    ResetNewRules = 0,
    ResetStop = 1,
    ResetPanic = 2,
    ResetDeviceRemoved = 3,
    ResetSession = 4,
    ResetSuspend = 5,
    ResetOutputFailed = 6,
    ResetWin32Failure = 7,
    ResetCapacity = 8,
};

struct BackendStatus {
    bool running = false;
    bool active = false;
    uint8_t stopReason = 0;
    uint32_t win32Error = 0;
    uint64_t inputEvents = 0;
    uint64_t suppressed = 0;
    uint64_t outputEvents = 0;
    uint64_t outputFailures = 0;
    uint64_t observationDrops = 0;
    uint64_t appliedGeneration = 0;
    bool macroActive = false;
    uint64_t timedEvents = 0;
    uint64_t p50Ns = 0;
    uint64_t p95Ns = 0;
    uint64_t p99Ns = 0;
    uint64_t maxNs = 0;
    uint8_t currentLayer = 0;
    uint64_t hookRecoveries = 0;
    uint64_t lastHookRecoveryMs = 0;
    uint32_t hookRecoveryError = 0;
    int32_t hookThreadPriority = 0;
    uint32_t hookPriorityError = 0;
    bool preciseTimer = false;
    uint32_t preciseTimerError = 0;
};

} // namespace vorna::windows
