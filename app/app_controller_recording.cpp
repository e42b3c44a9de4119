// Macro recording: start, stop and the time limit around the controller's MacroRecorder.
// The settings window has no hook of its own: a recording pauses every mapping (so what it sees
// is physical input), asks the agent to observe, and the live feed hands the agent's trace to
// the recorder, whose steps become the working copy. However it ends, the observation request
// is withdrawn and the steps are balanced.

#include "app/app_controller.h"

namespace {

constexpr int kRecordingLimitMs = 30000;
// The limit timer of an earlier recording may fire during a younger one; only a recording this
// old ends.
constexpr qint64 kRecordingOldEnoughMs = 29899;

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
    pause(); // also ends a recording that still runs
    m_recorder.start(m_seams.monotonicMs());
    m_macroSteps = m_recorder.steps();
    m_recording = true;
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
    if (m_recording && m_seams.monotonicMs() - m_recorder.startedAt() > kRecordingOldEnoughMs)
        stopRecording();
}

void AppController::stopRecording()
{
    if (!m_recording)
        return;
    m_macroSteps = m_recorder.finish();
    m_recording = false;
    disconnect(m_recordingAgentWatch);
    sendObserve();
    emit macroChanged();
}

void AppController::applyRecorded(MacroRecorder::Fed fed)
{
    if (fed.changed)
        m_macroSteps = m_recorder.steps();
    if (fed.stop)
        stopRecording();
    if (fed.changed)
        emit macroChanged();
}
