// The time limits and generation rules the agent's tick and "confirm" decide by, as pure
// functions of the facts of one moment.
#pragma once

#include "engine/windows_input_backend.h"

#include <QByteArray>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

namespace vorna::ipc {

// A trial ends on the first tick after 14,999 ms; "confirm" keeps it up to that moment, and
// only once the backend runs the mapping on trial.
bool trialExpired(std::int64_t elapsedMs);
bool confirmKeepsMapping(std::uint64_t pendingGeneration, bool trialRunning, std::int64_t elapsedMs);
// The backend must report a new generation within 2,000 ms.
bool acknowledgementOverdue(std::int64_t elapsedMs);

struct GenerationFacts {
    bool configured = false;
    bool active = false;
    std::uint64_t pendingGeneration = 0;
    bool ackTimerRunning = false;
    std::int64_t ackElapsedMs = 0;
    windows::BackendStatus status;
};

struct GenerationVerdict {
    bool acknowledged = false;      // the pending generation is in force
    bool dropConfiguration = false; // the backend stopped the configured library
    bool engineStopped = false;     // the backend stopped the applied mapping
    bool overdue = false;           // the generation was never acknowledged: stop everything
};

// Acknowledgement first; then, once nothing is pending, the backend's stop reason is the
// current rules' own. While a generation is pending it belongs to the rules being replaced,
// and acting on it would report the new configuration as in force and then drop it.
GenerationVerdict judgeGeneration(const GenerationFacts& facts);

// Trace message lines of at most 32 events each for `count` events; `appendEvent(line, i)`
// appends event i as compact JSON.
std::vector<QByteArray> traceLines(std::size_t count, const std::function<void(QByteArray&, std::size_t)>& appendEvent);

} // namespace vorna::ipc
