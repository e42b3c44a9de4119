// AgentServer: handing one profile to the backend, the automatic profile choice, the device
// list, the tray's enable and open actions, and the action executor's results.
#include "agent/agent_server.h"

#include "agent/configuration.h"
#include "agent/profile_texts.h"
#include "core/agent_protocol.h"
#include "core/library_files.h"
#include "core/profile_choice.h"
#include "core/windows_path.h"
#include "engine/raw_input_devices.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace vorna::ipc {

namespace {

constexpr std::size_t kRememberedGenerations = 32;

} // namespace

bool AgentServer::switchProfile(const core::RulesSnapshot& snapshot)
{
    const bool known = m_profileIndex >= 0 && m_profileIndex < std::int32_t(m_layerPrograms.size());
    const windows::LayerProgram& program = known ? m_layerPrograms[std::size_t(m_profileIndex)] : defaultProgram();
    ++m_generation;
    m_pendingGeneration = m_generation;
    m_engineAckTimer.start();
    std::string error;
    bool ok = false;
    if (m_backend.status().running) {
        ok = m_backend.applyRules(snapshot, m_pendingGeneration, error, m_macros, program);
    } else {
        m_backend.stop();
        ok = m_backend.start(snapshot, error, m_macros, program, m_pendingGeneration);
    }
    if (ok) {
        m_active = programIsActive(snapshot, program);
        m_ruleCount = static_cast<std::uint32_t>(snapshot.count);
        m_error.clear();
        m_backend.setObservation(m_observing);
    } else {
        stopMappings();
        m_error = QString::fromUtf8(error.c_str());
    }
    m_applyFailed = !ok;
    return ok;
}

void AgentServer::rememberLibrary(std::uint64_t generation)
{
    m_libraryByGeneration[generation] = TraceRuleCache(m_library);
    while (m_libraryByGeneration.size() > kRememberedGenerations)
        m_libraryByGeneration.erase(m_libraryByGeneration.begin());
}

void AgentServer::selectAutomaticProfile(const QString& executable)
{
    if (!m_configured || m_manualSwitch || !m_library.value(QStringLiteral("automatic")).toBool(false))
        return;
    // The settings window runs from the agent's own program file: bringing it forward must not
    // switch away from the profile the user is editing for.
    const QString own = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    if (core::pathFileName(executable).compare(own, Qt::CaseInsensitive) == 0)
        return;
    const QJsonObject foreground = m_context.foregroundWindow();
    const QJsonObject underCursor = m_context.windowUnderCursor();
    const int index = core::resolveAutomaticProfile(m_library, foreground, underCursor);
    if (index < 0 || index >= int(m_profileSnapshots.size()) || index == m_profileIndex)
        return;
    m_profileIndex = index;
    executorFinishText(false);
    const QJsonObject profile = m_library.value(QStringLiteral("profiles")).toArray().at(index).toObject();
    m_profileName = profile.value(QStringLiteral("name")).toString();
    m_layerName = profile.value(QStringLiteral("layers")).toArray().at(m_layerIndex).toObject().value(QStringLiteral("name")).toString();
    m_contextReason = automaticSwitchReason(index, profile, foreground, underCursor);
    if (switchProfile(m_profileSnapshots[std::size_t(index)]))
        rememberLibrary(m_generation);
}

void AgentServer::refreshDevices()
{
    const windows::RawInputDeviceList list = windows::RawInputDevices::list();
    m_deviceTimer.start();
    ++m_deviceRefreshCount;
    m_deviceEnumerationError = list.error;
    if (list.error != 0)
        return;
    const QJsonArray devices = deviceEntries(list.devices);
    if (devices != m_devices)
        m_devices = devices;
}

void AgentServer::reapplyConfiguration()
{
    QJsonObject library;
    QString error;
    if (!core::loadLibrary(core::libraryPath(), library, error)) {
        m_error = error;
        openSettings();
        return;
    }
    handleCommand(nullptr, QJsonObject{{QStringLiteral("command"), QStringLiteral("configure")},
                                       {QStringLiteral("library"), library}});
    if (!m_error.isEmpty() || m_trialTimer.isValid())
        openSettings();
}

void AgentServer::openSettings()
{
    QProcess::startDetached(QCoreApplication::applicationFilePath(), {});
}

void AgentServer::onActionResult(const QJsonObject& event)
{
    const ActionResultDecision decision = decideActionResult(event);
    if (decision.setError)
        m_error = decision.error;
    if (decision.notify)
        m_backend.notifyActionResult(decision.operation, decision.ok);
    if (m_observing)
        writeToObservers(QJsonObject{{QString(protocol::kTypeKey), QString(protocol::kTraceMessage)},
                                     {QStringLiteral("events"), QJsonArray{event}}});
}

} // namespace vorna::ipc
