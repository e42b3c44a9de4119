// AgentServer: construction, start, the tray's pause and quit, the focus handler, stopping all
// mappings, and the order in which everything is let go.
#include "agent/agent_server.h"

#include "agent/capture_message.h"
#include "agent/exclusive_listen.h"
#include "agent/line_framing.h"
#include "core/agent_pipe_name.h"
#include "platform/win32.h"

#include <QCoreApplication>

namespace vorna::ipc {

namespace {

constexpr int kTickMs = 20;

// Execution speed and timer resolution stay unthrottled: the tick and the hook thread's
// deadlines must not drift when the agent has no window in the foreground.
DWORD switchPowerThrottlingOff()
{
    PROCESS_POWER_THROTTLING_STATE state{};
    state.Version = PROCESS_POWER_THROTTLING_CURRENT_VERSION;
    state.ControlMask = PROCESS_POWER_THROTTLING_EXECUTION_SPEED | PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    state.StateMask = 0;
    if (!SetProcessInformation(GetCurrentProcess(), ProcessPowerThrottling, &state, sizeof state))
        return GetLastError();
    return 0;
}

} // namespace

AgentServer::AgentServer(QObject* parent) : QObject(parent)
{
    m_server.setSocketOptions(QLocalServer::UserAccessOption);
    m_server.setMaxPendingConnections(kMaxClients);
    connect(&m_server, &QLocalServer::newConnection, this, &AgentServer::onNewConnection);
    m_tick.setInterval(kTickMs);
    m_tick.setTimerType(Qt::PreciseTimer);
    connect(&m_tick, &QTimer::timeout, this, &AgentServer::tick);
    connect(&m_context, &context::WindowsContext::changed, this, &AgentServer::selectAutomaticProfile);
    connect(&m_context, &context::WindowsContext::focusChanged, this, &AgentServer::onFocusChanged);
    connect(&m_tray, &WindowsTray::openRequested, this, &AgentServer::openSettings);
    connect(&m_tray, &WindowsTray::pauseRequested, this, &AgentServer::onPause);
    connect(&m_tray, &WindowsTray::enableRequested, this, &AgentServer::reapplyConfiguration);
    connect(&m_tray, &WindowsTray::exitRequested, this, &AgentServer::onQuit);
    connect(&m_executor, &actions::ActionExecutor::result, this, &AgentServer::onActionResult);
}

AgentServer::~AgentServer()
{
    m_tick.stop();
    executorFinishText(true);
    executorSetJournal(nullptr);
    disconnect(&m_server, nullptr, this, nullptr);
    const QList<QLocalSocket*> clients = m_clients;
    m_clients.clear();
    for (QLocalSocket* client : clients) {
        disconnect(client, nullptr, this, nullptr);
        client->abort();
    }
    m_backend.stop();
    m_server.close();
    // Members go in reverse order: the backend before the journal, whose close asks the
    // watchdog to end cleanly and waits for it.
}

bool AgentServer::start(QString& error)
{
    m_powerPolicyError = switchPowerThrottlingOff();
    if (!listenExclusively(m_server, core::agentPipeName(), error))
        return false;
    std::string journalError;
    const std::wstring program = QCoreApplication::applicationFilePath().toStdWString();
    if (!m_journal.create(program, journalError)) {
        error = QString::fromUtf8(journalError.c_str());
        return false;
    }
    m_backend.setJournal(m_journal.view());
    executorSetJournal(m_journal.view());
    refreshDevices();
    trayCreate();
    m_tick.start();
    return true;
}

void AgentServer::stopMappings()
{
    if (m_captureOwner) {
        writeLine(m_captureOwner, captureEndMessage(m_captureRequest));
        m_captureOwner.clear();
    }
    executorFinishText(true);
    m_pendingEvent = QJsonObject();
    m_manualSwitch = false;
    m_observing = false;
    for (QLocalSocket* client : std::as_const(m_clients))
        client->setProperty("observing", false);
    m_backend.stop();
    m_backend.setObservation(false);
    m_active = false;
    m_pendingGeneration = 0;
    m_engineAckTimer.invalidate();
    m_trialTimer.invalidate();
    m_configured = false;
}

void AgentServer::onPause()
{
    stopMappings();
    m_error.clear();
    m_applyFailed = false;
}

void AgentServer::onQuit()
{
    stopMappings();
    QCoreApplication::quit();
}

void AgentServer::onFocusChanged()
{
    executorFinishText(false);
    m_backend.resetState();
}

// --- The tray and the action executor ----------------------------------------------------

void AgentServer::executorFinishText(bool releaseAll)
{
    m_executor.finishText(releaseAll);
}

void AgentServer::executorSetJournal(windows::SafetyJournalView* journal)
{
    m_executor.setSafetyJournal(journal);
}

void AgentServer::executorCancelOperation(const QString& operation)
{
    m_executor.cancelOperation(operation);
}

void AgentServer::executorExecute(const core::ParsedAction& action, const QJsonObject& trigger)
{
    m_executor.execute(action, trigger);
}

void AgentServer::trayCreate()
{
    m_tray.create();
}

void AgentServer::trayUpdate(const QString& tooltip, int iconIndex)
{
    m_tray.setState(static_cast<quint32>(iconIndex));
    m_tray.setToolTip(tooltip);
}

void AgentServer::trayStoppedNotice(bool stopped)
{
    m_tray.notifyStopped(stopped);
}

} // namespace vorna::ipc
