// AgentServer: the 20 ms tick. The only place the agent looks at the backend on its own
// initiative: devices, heartbeat, hook health, the stops for failed hooks, a gone watchdog, an
// expired trial or an unacknowledged generation, key-capture progress, the idle stop, trace
// and held messages for observers, the engine's events, and the state pushed every 200 ms.
#include "agent/agent_server.h"

#include "agent/tick_rules.h"
#include "agent/trace_message.h"
#include "core/agent_protocol.h"
#include "core/custom_action.h"
#include "engine/mapping/output_batch.h"
#include "platform/win32.h"

namespace vorna::ipc {

namespace {

constexpr std::int64_t kDevicePeriodMs = 1999;
constexpr std::uint32_t kStatePushTicks = 10;

const QString kHooksLostText = QStringLiteral("Не удалось восстановить хуки ввода. Включите назначения повторно.");
const QString kWatchdogGoneText = QStringLiteral("Сторожевой процесс недоступен. Перезапустите программу.");
const QString kTrialEndedText = QStringLiteral("Пробное назначение отменено по таймеру.");
const QString kEngineStoppedText =
    QStringLiteral("Назначение остановлено движком. Проверьте сессию и разрешения; повторное включение — вручную.");
const QString kNoAckText = QStringLiteral("Движок не подтвердил назначение. Ввод возвращен в исходный режим.");
const QString kMacroProfileReason = QStringLiteral("Макрос закрепил профиль. Применение набора вернёт выбранный режим.");

QJsonObject traceMessage(const QJsonArray& events)
{
    return QJsonObject{{QString(protocol::kTypeKey), QString(protocol::kTraceMessage)}, {QStringLiteral("events"), events}};
}

bool failureStop(std::uint8_t stopReason)
{
    return stopReason == windows::ResetOutputFailed || stopReason == windows::ResetWin32Failure ||
           stopReason == windows::ResetCapacity;
}

} // namespace

void AgentServer::tick()
{
    if (!m_deviceTimer.isValid() || m_deviceTimer.hasExpired(kDevicePeriodMs))
        refreshDevices();
    m_journal.heartbeat();
    LASTINPUTINFO lastInput{};
    lastInput.cbSize = sizeof lastInput;
    if (GetLastInputInfo(&lastInput))
        m_backend.checkHookHealth(lastInput.dwTime, m_context.foregroundWindow().value(QStringLiteral("elevated")).toBool(false));

    if (m_backend.status().hookRecoveryError != 0) {
        stopMappings();
        m_error = kHooksLostText;
        m_applyFailed = true;
    }
    if (!m_journal.isWatchdogAlive()) {
        stopMappings();
        m_error = kWatchdogGoneText;
        m_applyFailed = true;
    }
    if (m_trialTimer.isValid() && trialExpired(m_trialTimer.elapsed())) {
        stopMappings();
        m_error = kTrialEndedText;
    }
    publishKeyCapture();
    if (!m_observing && !m_active && !m_configured && !m_captureOwner && m_pendingGeneration == 0 &&
        m_backend.status().running && !captureRunning())
        m_backend.stop();

    const windows::BackendStatus afterChecks = m_backend.status();
    const bool panicStop = afterChecks.stopReason == windows::ResetPanic;
    trayStoppedNotice(panicStop);
    if (failureStop(afterChecks.stopReason))
        m_applyFailed = true;
    GenerationFacts facts;
    facts.configured = m_configured;
    facts.active = m_active;
    facts.pendingGeneration = m_pendingGeneration;
    facts.ackTimerRunning = m_engineAckTimer.isValid();
    facts.ackElapsedMs = m_engineAckTimer.elapsed();
    facts.status = afterChecks;
    const GenerationVerdict verdict = judgeGeneration(facts);
    if (verdict.acknowledged) {
        m_pendingGeneration = 0;
        m_engineAckTimer.invalidate();
    }
    if (!m_pendingEvent.isEmpty()) {
        bool parsed = false;
        const std::uint64_t revision = m_pendingEvent.value(QStringLiteral("revision")).toString().toULongLong(&parsed, 10);
        if ((parsed ? revision : 0) == afterChecks.appliedGeneration) {
            m_pendingEvent.insert(QStringLiteral("result"), protocol::kResultCommandApplied);
            if (m_observing)
                writeToObservers(traceMessage(QJsonArray{m_pendingEvent}));
            m_pendingEvent = QJsonObject();
        }
    }
    if (verdict.dropConfiguration) {
        m_configured = false;
        executorFinishText(true);
    }
    if (verdict.engineStopped) {
        m_active = false;
        m_trialTimer.invalidate();
        m_error = kEngineStoppedText;
    }
    if (verdict.overdue) {
        stopMappings();
        m_error = kNoAckText;
        m_applyFailed = true;
    }

    observe();
    handleEngineEvents();

    ++m_tickCount;
    if (m_tickCount % kStatePushTicks != 0)
        return;
    const QJsonObject state = stateObject();
    const bool english = m_language.english();
    const bool active = state.value(QStringLiteral("active")).toBool();
    trayUpdate(trayTooltip(active, state.value(QStringLiteral("foregroundElevated")).toBool(),
                           state.value(QStringLiteral("agentElevated")).toBool(), english, m_profileName, m_layerName),
               trayIconIndex(active, m_applyFailed));
    const QList<QLocalSocket*> clients = m_clients;
    for (QLocalSocket* client : clients) {
        if (m_clients.contains(client))
            writeLine(client, state);
    }
}

void AgentServer::observe()
{
    const std::vector<windows::ObservationRecord> records = m_backend.drainObservations();
    if (!m_observing)
        return;
    // Each batch is written to JSON once, straight from the records, and those bytes go to
    // every observer.
    TraceRuleCache unknownGeneration;
    const auto appendEvent = [&](QByteArray& line, std::size_t i) {
        const windows::ObservationRecord& record = records[i];
        const auto found = m_libraryByGeneration.find(record.revision);
        (found != m_libraryByGeneration.end() ? found->second : unknownGeneration).appendTraceEvent(line, record);
    };
    for (const QByteArray& line : traceLines(records.size(), appendEvent))
        writeEncodedToObservers(line);
    writeToObservers(buildHeldMessage(m_backend.safeStateSnapshot()));
}

void AgentServer::handleEngineEvents()
{
    for (const windows::ObservationRecord& record : m_backend.drainEngineEvents()) {
        if (record.operation.mode == core::kBatchModeCancel) {
            executorCancelOperation(QString::number(record.operation.owner));
            continue;
        }
        // A stop reason other than ResetNewRules (0) means the engine stopped since the rules it
        // runs were applied: nothing it asked for runs then.
        const windows::BackendStatus now = m_backend.status();
        if (!m_configured || now.stopReason != windows::ResetNewRules || record.revision != now.appliedGeneration ||
            (m_pendingGeneration != 0 && m_pendingGeneration != now.appliedGeneration))
            continue;
        if (record.operation.mode == core::kBatchModeProfileStep) {
            const int count = int(m_layerPrograms.size());
            if (count == 0) {
                m_backend.notifyActionResult(record.operation.owner, false);
                continue;
            }
            executorFinishText(false);
            m_manualSwitch = true;
            m_profileIndex = steppedProfile(m_profileIndex, record.operation.layer, count);
            m_layerIndex = 0;
            windows::LayerProgram& program = m_layerPrograms[std::size_t(m_profileIndex)];
            program.initialLayer = 0;
            if (!switchProfile(program.layers[0]))
                continue;
            const QJsonObject profile = m_library.value(QStringLiteral("profiles")).toArray().at(m_profileIndex).toObject();
            m_profileName = profile.value(QStringLiteral("name")).toString();
            m_layerName = profile.value(QStringLiteral("layers")).toArray().at(0).toObject().value(QStringLiteral("name")).toString();
            m_contextReason = kMacroProfileReason;
            rememberLibrary(m_generation);
            m_pendingEvent = buildProfileStepEvent(record, m_generation, m_profileName);
            continue;
        }
        const auto found = m_libraryByGeneration.find(record.revision);
        const QJsonArray actions = found != m_libraryByGeneration.end()
                                       ? found->second.library().value(QStringLiteral("actions")).toArray()
                                       : QJsonArray();
        if (record.command == 0 || record.command > actions.size())
            continue;
        core::ParsedAction action;
        QString error;
        if (!core::parseAction(actions.at(record.command - 1).toObject(), action, error)) {
            m_error = error;
            continue;
        }
        executorExecute(action, buildActionTrigger(record));
    }
}

} // namespace vorna::ipc
