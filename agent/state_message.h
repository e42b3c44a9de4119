// The agent's "state" message: everything a client learns about the agent in one object. Built
// from plain facts the server gathers, so every key and rule is tested without a running agent.
#pragma once

#include "engine/windows_input_backend.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

namespace vorna::ipc {

inline constexpr int kTrialSeconds = 15;

// Whole seconds a trial has left after `elapsedMs`: 15 during the first second, 0 from
// 15,000 ms on.
int trialSecondsLeft(std::int64_t elapsedMs);

// The layer reported as in force: its name and rule count.
struct LayerInForce {
    QString name;
    std::uint32_t ruleCount = 0;
};

struct StateFacts {
    bool active = false;     // the server's `active`: a single mapping applied
    bool configured = false; // a library configured and not stopped since
    bool observing = false;  // some client observes
    std::uint64_t pendingGeneration = 0;
    std::optional<std::int64_t> trialElapsedMs; // while a trial runs
    QString source;
    QString target;
    QString error;
    QJsonArray devices;
    windows::BackendStatus status;
    std::uint32_t watchdogPid = 0;
    std::uint32_t agentPowerPolicyError = 0;
    std::uint32_t watchdogPowerPolicyError = 0;
    std::uint64_t deviceRefreshCount = 0;
    std::uint32_t deviceEnumerationError = 0;
    QString documentHash;
    QString profileName;
    LayerInForce layer;                   // the members `layerName` and `ruleCount`
    std::optional<LayerInForce> liveLayer; // the engine's own current layer, when it can be named
    QString contextReason;
    QJsonObject foreground; // the foreground window's description
    bool contextAvailable = false;
};

QJsonObject buildDiagnostics(const StateFacts& facts);
QJsonObject buildStateMessage(const StateFacts& facts);

} // namespace vorna::ipc
