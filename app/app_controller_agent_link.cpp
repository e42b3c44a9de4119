// The settings window's end of the pipe to the agent: connecting (and starting the agent once),
// the command writer, the line reader, the state handler with its status line and the check
// that the agent runs the edited library, and when the window asks the agent to observe. The
// decisions are the plain functions of app/agent_link.h; this file applies them.

#include "app/app_controller.h"

#include "app/agent_link.h"
#include "core/agent_pipe_name.h"
#include "core/agent_protocol.h"

#include <QCoreApplication>

namespace {

QJsonObject command(const char* name)
{
    return QJsonObject{{QStringLiteral("command"), QLatin1String(name)}};
}

QJsonObject observeCommand(bool enabled)
{
    QJsonObject observe = command("observe");
    observe.insert(QStringLiteral("enabled"), enabled);
    return observe;
}

// The window ends itself this long after asking the agent to shut down.
constexpr int kQuitAfterShutdownMs = 150;

} // namespace

void AppController::connectAgent()
{
    if (m_agentSocket.state() != QLocalSocket::UnconnectedState)
        return;
    m_agentSocket.connectToServer(vorna::core::agentPipeName(), QIODevice::ReadWrite);
    if (m_agentSocket.waitForConnected(app::kAgentConnectTimeoutMs))
        return; // onAgentConnected does the rest
    m_agentSocket.abort();
    // One start per run, and none once a connection has worked: an agent that went away was
    // ended on purpose or will be started by its own logon entry.
    if (m_startTried)
        return;
    m_startTried = true;
    if (!m_seams.startDetached(QCoreApplication::applicationFilePath(), {QStringLiteral("--agent")},
            QCoreApplication::applicationDirPath())) {
        m_status = app::kStatusStartFailed;
        emit stateChanged();
    }
}

void AppController::onReconnectTick()
{
    if (!connected())
        connectAgent();
}

void AppController::onAgentConnected()
{
    m_startTried = true; // something holds the name: an agent started now could not take it
    if (!vorna::core::servedByOwnUser(m_agentSocket.socketDescriptor())) {
        // Not a byte to another user's program. The abort runs the disconnected slot first, so
        // this status is the one shown; the reconnect tick tries again.
        m_agentSocket.abort();
        m_status = englishText() ? app::kStatusOtherUserEn : app::kStatusOtherUserRu;
        emit stateChanged();
        return;
    }
    m_status = app::kStatusConnected;
    emit stateChanged();
    sendCommand(command("state"));
}

void AppController::onAgentDisconnected()
{
    cancelOutputCapture();
    m_active = false;
    m_foregroundElevated = false;
    m_applying = false;
    m_pendingDocumentHash.clear();
    m_observing = false;
    m_captureMode = false;
    calibrationHotspot.clear();
    m_calibrationCandidate.clear();
    m_observeSent = false;
    m_agentVersion = 0;
    m_live.clear();
    m_trialSeconds = 0;
    m_status = app::kStatusDisconnected;
    emit stateChanged();
}

void AppController::sendCommand(QJsonObject command)
{
    if (!connected()) {
        // No queue: a command meant for an agent that is gone must not fire later.
        m_status = app::kStatusUnavailable;
        emit stateChanged();
        return;
    }
    m_agentSocket.write(app::agentRequestLine(std::move(command)));
}

void AppController::sendObserve()
{
    const app::ObserveNeeds needs{
        m_livePage, m_liveEnabled, m_observationWanted, m_captureMode, m_recording,
        m_outputCapture.value(QStringLiteral("active")).toBool(), m_outputCapture.value(QStringLiteral("held")).toBool(),
    };
    switch (app::observeAction(app::observationWanted(needs), connected(), m_agentVersion, m_observeHeldBack, m_observeSent)) {
    case app::ObserveAction::None:
        return;
    case app::ObserveAction::SendOn:
        m_observeSent = true;
        sendCommand(observeCommand(true));
        return;
    case app::ObserveAction::SendOff:
        m_observeSent = false;
        m_lastInput.clear();
        m_live.clear();
        m_observing = false;
        sendCommand(observeCommand(false));
        return;
    }
}

void AppController::confirmTrial()
{
    sendCommand(command("confirm"));
}

void AppController::shutdownAgent()
{
    sendCommand(command("shutdown"));
    QTimer::singleShot(kQuitAfterShutdownMs, this, [] { QCoreApplication::quit(); });
}

void AppController::pause()
{
    m_applying = false;
    m_autoApplySuspended = true;
    m_pendingDocumentHash.clear();
    cancelOutputCapture();
    setCaptureMode(false);
    if (m_recording)
        stopRecording();
    sendCommand(command("panic"));
    m_observeSent = false;
    m_live.clear();
    sendObserve();
    emit stateChanged();
}

void AppController::onAgentReadyRead()
{
    // Whether observation is asked again is decided once per delivery, after its last state: every
    // state read here was sent before a request written now could reach the agent, so answering each
    // stale "observing false" with a request of its own let a window that fell behind write a burst
    // that the agent takes for a flood and ends the link.
    bool stateRead = false;
    for (;;) {
        switch (app::readerStep(m_agentSocket.canReadLine(), m_agentSocket.bytesAvailable())) {
        case app::ReaderStep::Wait:
            if (stateRead)
                sendObserve();
            return;
        case app::ReaderStep::Abort:
            m_agentSocket.abort(); // the disconnected slot resets the link; the timer reconnects
            return;
        case app::ReaderStep::ReadLine:
            break;
        }
        // QIODevice::readLine(n) keeps one byte for a terminating NUL: n + 1 reads n bytes. It
        // also allocates all n up front, so n is what is buffered (the line is complete in it),
        // not the largest line: a quarter-megabyte block per short line slowed the whole window.
        const qint64 buffered = qMin(m_agentSocket.bytesAvailable(), vorna::protocol::kReadBufferBytes);
        const QByteArray line = m_agentSocket.readLine(buffered + 1);
        if (app::agentLineTooLong(line)) {
            m_agentSocket.abort();
            return;
        }
        const QJsonObject message = app::parseAgentLine(line);
        const QString type = message.value(vorna::protocol::kTypeKey).toString();
        if (type == vorna::protocol::kKeyCaptureMessage) {
            handleKeyCapture(message);
        } else if (type == vorna::protocol::kTraceMessage || type == vorna::protocol::kHeldMessage) {
            if (m_observeSent)
                handleTrace(message);
        } else if (type == vorna::protocol::kInputMessage) {
            handleInputEvent(message);
            if (!liveCoalesceTimer.isActive())
                liveCoalesceTimer.start();
        } else if (type == vorna::protocol::kStateMessage) {
            handleAgentState(message);
            stateRead = true;
            emit stateChanged();
        } else {
            emit stateChanged();
        }
        // A handler may have ended the link (a command written to a broken pipe).
        if (m_agentSocket.state() != QLocalSocket::ConnectedState)
            return;
    }
}

void AppController::handleAgentState(const QJsonObject& message)
{
    const app::StateUpdate update = app::interpretState(message, {connected(), m_observeSent, englishText()});
    m_active = update.active;
    m_applying = update.applying;
    m_observing = update.observing;
    m_trialSeconds = update.trialSeconds;
    m_observeSent = update.observeSent;
    m_armed = update.armed;
    if (update.dropPendingHash)
        m_pendingDocumentHash.clear();
    m_deviceList = update.deviceList;
    m_agentVersion = update.agentVersion;
    m_diagnostics = update.diagnostics;
    m_foregroundElevated = update.foregroundElevated;
    if (update.olderEngine) {
        m_captureMode = false;
        calibrationHotspot.clear();
        m_calibrationCandidate.clear();
        m_live.clear();
    }
    m_activeDescription = update.activeDescription;
    m_observeHeldBack = update.observeHeldBack;
    m_status = update.statusLine;

    const app::AppliedFacts applied{m_dirty, m_pendingDocumentHash, m_lastSentHash, m_lastSentStrippedLibrary};
    const app::HashVerdict verdict = app::judgeDocumentHash(message, m_library, applied);
    if (verdict == app::HashVerdict::Applied || verdict == app::HashVerdict::Confirmed) {
        m_dirty = false;
        if (verdict == app::HashVerdict::Confirmed) {
            m_pendingDocumentHash.clear();
            m_notice = englishText() ? app::kSavedAndAppliedEn : app::kSavedAndAppliedRu;
            m_noticeTimer.start();
        }
        emit libraryChanged();
    }

    m_status = app::composeStatus(m_status, update.olderEngine, engineIssue(), m_loadProblem);
}
