// AgentServer: the commands a client sends. Every command but the capture ones answers the
// requesting socket with one state line; a refusal only sets the error text.
#include "agent/agent_server.h"

#include "agent/configuration.h"
#include "agent/tick_rules.h"
#include "core/agent_protocol.h"
#include "core/library_document.h"
#include "core/output_mapping.h"
#include "core/profile_choice.h"

#include <QCoreApplication>
#include <QTimer>

#include <memory>

namespace vorna::ipc {

namespace {

constexpr int kShutdownDelayMs = 100;

const QString kCaptureInProgressText = QStringLiteral("Завершите запись сочетания и отпустите клавиши перед применением");
const QString kNoContextText = QStringLiteral("Недоступно определение активного приложения");
const QString kBadObservationFlagText = QStringLiteral("Invalid observation flag");
const QString kWatchdogGoneText = QStringLiteral("Сторожевой процесс недоступен. Перезапустите программу.");
const QString kAutomaticReason = QStringLiteral("Автоматический выбор по приложению");
const QString kManualReason = QStringLiteral("Профиль закреплен вручную");

QString text(const std::string& utf8)
{
    return QString::fromUtf8(utf8.c_str());
}

} // namespace

void AgentServer::replyState(QLocalSocket* socket)
{
    writeLine(socket, stateObject());
}

void AgentServer::handleCommand(QLocalSocket* socket, const QJsonObject& request)
{
    const QString command = request.value(QStringLiteral("command")).toString();
    if (command == QLatin1String("state")) {
        replyState(socket);
    } else if (command == QLatin1String("panic") || command == QLatin1String("shutdown")) {
        stopMappings();
        m_error.clear();
        m_applyFailed = false;
        replyState(socket);
        if (command == QLatin1String("shutdown"))
            QTimer::singleShot(kShutdownDelayMs, qApp, &QCoreApplication::quit);
    } else if (command == QLatin1String("confirm")) {
        if (confirmKeepsMapping(m_pendingGeneration, m_trialTimer.isValid(), m_trialTimer.elapsed()))
            m_trialTimer.invalidate();
        replyState(socket);
    } else if (command == QLatin1String("cancelCaptureKeys")) {
        commandCancelCaptureKeys(socket);
    } else if (command == QLatin1String("captureKeys")) {
        commandCaptureKeys(socket, request);
    } else if (command == QLatin1String("configure") || command == QLatin1String("apply")) {
        if (m_captureOwner || captureRunning()) {
            m_error = kCaptureInProgressText;
            replyState(socket);
        } else if (command == QLatin1String("configure")) {
            commandConfigure(socket, request);
        } else {
            commandApply(socket, request);
        }
    } else if (command == QLatin1String("observe")) {
        commandObserve(socket, request);
    } else {
        replyState(socket);
    }
}

void AgentServer::commandConfigure(QLocalSocket* socket, const QJsonObject& request)
{
    const QJsonObject library = request.value(QStringLiteral("library")).toObject();
    QString error;
    if (!core::validateLibrary(library, error)) {
        m_error = error;
        replyState(socket);
        return;
    }
    const bool automatic = library.value(QStringLiteral("automatic")).toBool(false);
    if (automatic && !m_context.isAvailable()) {
        m_error = kNoContextText;
        replyState(socket);
        return;
    }
    // Built whole before anything running is replaced: a refusal leaves the old configuration.
    auto compiled = std::make_unique<CompiledLibrary>();
    if (!compileLibrary(library, *compiled, error)) {
        m_error = error;
        replyState(socket);
        return;
    }
    const int index = core::resolveAutomaticProfile(library, m_context.foregroundWindow(), m_context.windowUnderCursor());
    executorFinishText(true);
    m_manualSwitch = false;
    m_pendingEvent = QJsonObject();
    m_macros = compiled->macros;
    m_layerPrograms = std::move(compiled->programs);
    m_profileIndex = index;
    const bool inRange = index >= 0 && index < int(compiled->snapshots.size());
    if (!switchProfile(inRange ? compiled->snapshots[std::size_t(index)] : emptySnapshot())) {
        replyState(socket);
        return;
    }
    m_documentHash = protocol::documentHash(library);
    m_library = library;
    m_profileSnapshots = std::move(compiled->snapshots);
    m_configured = true;
    m_profileIndex = index;
    m_layerIndex = compiled->selectedLayer;
    rememberLibrary(m_generation);
    const QJsonObject profile = library.value(QStringLiteral("profiles")).toArray().at(index).toObject();
    m_profileName = profile.value(QStringLiteral("name")).toString();
    m_layerName = profile.value(QStringLiteral("layers")).toArray().at(m_layerIndex).toObject().value(QStringLiteral("name")).toString();
    m_contextReason = automatic ? kAutomaticReason : kManualReason;
    m_trialTimer.invalidate();
    if (compiled->touchesCritical)
        m_trialTimer.start();
    replyState(socket);
}

void AgentServer::commandApply(QLocalSocket* socket, const QJsonObject& request)
{
    core::RulesSnapshot snapshot{};
    const QString source = request.value(QStringLiteral("source")).toString();
    const QString target = request.value(QStringLiteral("target")).toString();
    QString error;
    if (!core::parseMapping(source, target, snapshot, error)) {
        m_error = error;
        replyState(socket);
        return;
    }
    const windows::LayerProgram& program = defaultProgram();
    const windows::MacroBank& macros = defaultMacros();
    std::string backendError;
    bool ok = false;
    if (m_backend.status().running) {
        ++m_generation;
        m_pendingGeneration = m_generation;
        m_engineAckTimer.start();
        ok = m_backend.applyRules(snapshot, m_pendingGeneration, backendError, macros, program);
    } else {
        m_backend.stop();
        ok = m_backend.start(snapshot, backendError, macros, program, 0);
    }
    if (!ok) {
        stopMappings();
        m_error = text(backendError);
        m_applyFailed = true;
        replyState(socket);
        return;
    }
    executorFinishText(true);
    m_configured = false;
    m_source = source;
    m_target = target;
    m_active = snapshot.count > 0;
    m_error.clear();
    m_applyFailed = false;
    m_trialTimer.invalidate();
    if (applyNeedsTrial(m_active, source, target))
        m_trialTimer.start();
    m_backend.setObservation(m_observing);
    replyState(socket);
}

void AgentServer::commandObserve(QLocalSocket* socket, const QJsonObject& request)
{
    const QJsonValue enabled = request.value(QStringLiteral("enabled"));
    if (!enabled.isBool()) {
        m_error = kBadObservationFlagText;
        replyState(socket);
        return;
    }
    const bool on = enabled.toBool();
    if (on && !m_backend.status().running) {
        stopMappings();
        if (!m_journal.isWatchdogAlive()) {
            m_error = kWatchdogGoneText;
            replyState(socket);
            return;
        }
        std::string backendError;
        if (!m_backend.start(emptySnapshot(), backendError, defaultMacros(), defaultProgram(), 0)) {
            stopMappings();
            m_error = text(backendError);
            replyState(socket);
            return;
        }
        m_error.clear();
    }
    if (socket != nullptr)
        socket->setProperty("observing", on);
    recomputeObserving();
    stopIdleBackend();
    replyState(socket);
}

} // namespace vorna::ipc
