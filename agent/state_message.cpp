#include "agent/state_message.h"

#include "core/agent_protocol.h"

#include <algorithm>

namespace vorna::ipc {

namespace {

// Unsigned 64-bit statistics travel as JSON numbers (doubles); beyond 2^53 they round.
double number(std::uint64_t value)
{
    return static_cast<double>(value);
}

} // namespace

int trialSecondsLeft(std::int64_t elapsedMs)
{
    return static_cast<int>(std::max<std::int64_t>(0, kTrialSeconds - elapsedMs / 1000));
}

QJsonObject buildDiagnostics(const StateFacts& facts)
{
    const windows::BackendStatus& s = facts.status;
    return QJsonObject{
        {QStringLiteral("inputEvents"), number(s.inputEvents)},
        {QStringLiteral("suppressed"), number(s.suppressed)},
        {QStringLiteral("outputEvents"), number(s.outputEvents)},
        {QStringLiteral("outputFailures"), number(s.outputFailures)},
        {QStringLiteral("stopReason"), int(s.stopReason)},
        {QStringLiteral("win32Error"), number(s.win32Error)},
        {QStringLiteral("hookRecoveries"), number(s.hookRecoveries)},
        {QStringLiteral("lastHookRecoveryMs"), number(s.lastHookRecoveryMs)},
        {QStringLiteral("hookRecoveryError"), number(s.hookRecoveryError)},
        {QStringLiteral("hookThreadPriority"), int(s.hookThreadPriority)},
        {QStringLiteral("hookPriorityError"), number(s.hookPriorityError)},
        {QStringLiteral("preciseTimer"), s.preciseTimer},
        {QStringLiteral("preciseTimerError"), number(s.preciseTimerError)},
        {QStringLiteral("agentPowerPolicyError"), number(facts.agentPowerPolicyError)},
        {QStringLiteral("watchdogPowerPolicyError"), number(facts.watchdogPowerPolicyError)},
        {QStringLiteral("macroActive"), s.macroActive},
        {QStringLiteral("observationDrops"), number(s.observationDrops)},
        {QStringLiteral("timedEvents"), number(s.timedEvents)},
        {QStringLiteral("p50us"), number(s.p50Ns) / 1000.0},
        {QStringLiteral("p95us"), number(s.p95Ns) / 1000.0},
        {QStringLiteral("p99us"), number(s.p99Ns) / 1000.0},
        {QStringLiteral("maxus"), number(s.maxNs) / 1000.0},
        {QStringLiteral("deviceRefreshCount"), number(facts.deviceRefreshCount)},
        {QStringLiteral("deviceEnumerationError"), number(facts.deviceEnumerationError)},
    };
}

QJsonObject buildStateMessage(const StateFacts& facts)
{
    const windows::BackendStatus& s = facts.status;
    LayerInForce layer = facts.layer;
    bool active = false;
    const bool observing = facts.observing && s.running;
    if (facts.active || facts.configured) {
        active = facts.pendingGeneration == 0 && s.running && s.active;
        if (facts.configured && facts.liveLayer)
            layer = *facts.liveLayer;
    }
    const int trialSeconds = facts.trialElapsedMs ? trialSecondsLeft(*facts.trialElapsedMs) : 0;
    const QJsonObject& fg = facts.foreground;
    return QJsonObject{
        {QString(protocol::kTypeKey), QString(protocol::kStateMessage)},
        {QStringLiteral("active"), active},
        {QStringLiteral("pending"), facts.pendingGeneration != 0},
        {QStringLiteral("observing"), observing},
        {QStringLiteral("trialSeconds"), trialSeconds},
        {QStringLiteral("source"), facts.source},
        {QStringLiteral("target"), facts.target},
        {QStringLiteral("error"), facts.error},
        {QStringLiteral("devices"), facts.devices},
        {QStringLiteral("diagnostics"), buildDiagnostics(facts)},
        {QStringLiteral("agentVersion"), protocol::kAgentVersion},
        {QStringLiteral("watchdogPid"), number(facts.watchdogPid)},
        {QStringLiteral("configured"), facts.configured},
        {QStringLiteral("documentHash"), facts.documentHash},
        {QStringLiteral("profileName"), facts.profileName},
        {QStringLiteral("layerName"), layer.name},
        {QStringLiteral("ruleCount"), number(layer.ruleCount)},
        {QStringLiteral("contextReason"), facts.contextReason},
        {QStringLiteral("foregroundElevated"), fg.value(QStringLiteral("elevated")).toBool(false)},
        {QStringLiteral("agentElevated"), fg.value(QStringLiteral("agentElevated")).toBool(false)},
        {QStringLiteral("foregroundExecutable"), fg.value(QStringLiteral("executable")).toString()},
        {QStringLiteral("foregroundElevationProbable"), fg.value(QStringLiteral("elevationProbable")).toBool(false)},
        {QStringLiteral("foregroundIntegrityError"), fg.value(QStringLiteral("integrityError")).toInteger(0)},
        {QStringLiteral("contextAvailable"), facts.contextAvailable},
    };
}

} // namespace vorna::ipc
