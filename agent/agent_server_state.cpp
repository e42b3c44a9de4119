// AgentServer: the facts behind the "state" message.
#include "agent/agent_server.h"

#include "agent/state_message.h"

namespace vorna::ipc {

namespace {

// The layer the engine has in force now, which a layer key or a timed layer may have changed
// since "configure": its name in the library and its rule count in the compiled program.
std::optional<LayerInForce> liveLayer(const QJsonObject& library, const std::vector<windows::LayerProgram>& programs,
                                      std::int32_t profileIndex, std::uint8_t currentLayer)
{
    if (profileIndex < 0 || profileIndex >= static_cast<std::int32_t>(programs.size()))
        return std::nullopt;
    LayerInForce layer;
    const QJsonObject profile = library.value(QStringLiteral("profiles")).toArray().at(profileIndex).toObject();
    layer.name = profile.value(QStringLiteral("layers")).toArray().at(currentLayer).toObject().value(QStringLiteral("name")).toString();
    if (currentLayer < windows::kProgramLayers)
        layer.ruleCount = static_cast<std::uint32_t>(programs[std::size_t(profileIndex)].layers[currentLayer].count);
    return layer;
}

} // namespace

QJsonObject AgentServer::stateObject() const
{
    StateFacts facts;
    facts.active = m_active;
    facts.configured = m_configured;
    facts.observing = m_observing;
    facts.pendingGeneration = m_pendingGeneration;
    if (m_trialTimer.isValid())
        facts.trialElapsedMs = m_trialTimer.elapsed();
    facts.source = m_source;
    facts.target = m_target;
    facts.error = m_error;
    facts.devices = m_devices;
    facts.status = m_backend.status();
    facts.watchdogPid = m_journal.watchdogProcessId();
    facts.agentPowerPolicyError = m_powerPolicyError;
    if (const windows::SafetyJournalView* view = m_journal.view())
        facts.watchdogPowerPolicyError = view->watchdogPowerPolicyError();
    facts.deviceRefreshCount = m_deviceRefreshCount;
    facts.deviceEnumerationError = m_deviceEnumerationError;
    facts.documentHash = m_documentHash;
    facts.profileName = m_profileName;
    facts.layer = {m_layerName, m_ruleCount};
    if (m_configured)
        facts.liveLayer = liveLayer(m_library, m_layerPrograms, m_profileIndex, facts.status.currentLayer);
    facts.contextReason = m_contextReason;
    facts.foreground = m_context.foregroundWindow();
    facts.contextAvailable = m_context.isAvailable();
    return buildStateMessage(facts);
}

} // namespace vorna::ipc
