// Macro recording: start, stop, the time limit and the movement steps of the recording feed.
// The settings window has no hook of its own: a recording pauses every mapping (so what it sees
// is physical input), asks the agent to observe, and the live feed turns the agent's trace into
// steps of the working copy. However it ends, the observation request is withdrawn and the
// steps are balanced.

#include "app/app_controller.h"

#include "editor/macro_steps.h"

#include <algorithm>

namespace {

constexpr int kRecordingLimitMs = 30000;
// The limit timer of an earlier recording may fire during a younger one; only a recording this
// old ends.
constexpr qint64 kRecordingOldEnoughMs = 29899;
// A move step is added only while there is room for it and what follows.
constexpr qsizetype kMoveStepRoom = 60;
constexpr quint64 kLongestDelayMs = 60000;

} // namespace

void AppController::startRecording()
{
    if (connected() && !engineCompatible()) {
        m_notice = engineIssue();
        emit libraryChanged();
        return;
    }
    if (!m_recordKeyboard && !m_recordMouse && !m_recordWheel && !m_recordMovement) {
        m_notice = text("Выберите хотя бы один тип действий для записи.", "Choose at least one input type.");
        emit libraryChanged();
        return;
    }
    moveDx = 0;
    moveDy = 0;
    moveLastTimestamp = 0;
    moveStartTimestamp = 0;
    wheelRemainderVertical = 0;
    wheelRemainderHorizontal = 0;
    skipControlClick = false;
    pause(); // also ends a recording that still runs
    m_macroSteps = QJsonArray();
    lastStepTimestamp = 0;
    m_recording = true;
    recordingClock = m_seams.monotonicMs();
    sendObserve();
    QTimer::singleShot(kRecordingLimitMs, Qt::CoarseTimer, this, &AppController::onRecordingTimeout);
    // Nothing more can arrive once the agent is gone: end the recording rather than leave it
    // waiting for its limit.
    disconnect(m_recordingAgentWatch);
    m_recordingAgentWatch = connect(&m_agentSocket, &QLocalSocket::disconnected, this, &AppController::stopRecording);
    emit macroChanged();
}

void AppController::onRecordingTimeout()
{
    if (m_recording && m_seams.monotonicMs() - recordingClock > kRecordingOldEnoughMs)
        stopRecording();
}

void AppController::stopRecording()
{
    if (!m_recording)
        return;
    appendMoveStep();
    m_recording = false;
    recordingClock = -1;
    disconnect(m_recordingAgentWatch);
    sendObserve();
    m_macroSteps = editor::balanceRecordedSteps(m_macroSteps);
    emit macroChanged();
}

void AppController::appendMoveStep()
{
    if (moveDx == 0 && moveDy == 0)
        return;
    if (m_macroSteps.size() < kMoveStepRoom) {
        const quint64 delay = lastStepTimestamp == 0 || lastStepTimestamp >= moveLastTimestamp
            ? 0 : std::min(moveLastTimestamp - lastStepTimestamp, kLongestDelayMs);
        m_macroSteps.append(editor::macroStep(QStringLiteral("move"),
            QString::number(moveDx) + QLatin1Char(',') + QString::number(moveDy), qint64(delay)));
        lastStepTimestamp = moveLastTimestamp;
        moveStartTimestamp = moveLastTimestamp;
    }
    moveDx = 0;
    moveDy = 0;
}
