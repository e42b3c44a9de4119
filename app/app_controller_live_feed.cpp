// Agent input events, trace messages and the macro recording feed; the coalesced live signal.

#include "app/app_controller.h"
#include "core/agent_protocol.h"
#include "core/input_id.h"

#include <QJsonArray>
#include <QMetaEnum>
#include <optional>

namespace {

// The click that started a capture is still settling for its first moments.
constexpr qint64 kCaptureSettleMs = 250;

using enum vorna::protocol::RecordKind;

// The same suffixes in both languages: they read as part of the input's name.
QString describedInput(const QString& name, bool down)
{
    return name + (down ? QStringLiteral(" · нажато") : QStringLiteral(" · отпущено"));
}

} // namespace

QVariantMap AppController::resultCodes()
{
    static const QVariantMap codes = [] {
        QVariantMap byName;
        const QMetaEnum names = QMetaEnum::fromType<vorna::protocol::Result>();
        for (int i = 0; i < names.keyCount(); ++i)
            byName.insert(QString::fromLatin1(names.key(i)), names.value(i));
        return byName;
    }();
    return codes;
}

void AppController::handleTrace(const QJsonObject& message)
{
    m_live.applyTrace(message);
    // Only the last physical event's description can be seen: nothing reads `lastInput` before
    // the coalesced change, and describing an input reads the language setting from disk.
    std::optional<LiveInputEvent> lastPhysical;
    const bool recordMovement = m_recording && m_recordMovement;
    for (const QJsonValue& value : message.value(QStringLiteral("events")).toArray()) {
        const QJsonObject event = value.toObject();
        const int kind = static_cast<quint8>(event.value(QStringLiteral("kind")).toInt());
        const int phase = static_cast<quint8>(event.value(QStringLiteral("phase")).toInt());
        if (recordMovement && kind == kRecordPointer) {
            applyRecorded(m_recorder.feedMovement(event.value(QStringLiteral("delta")).toInt(),
                event.value(QStringLiteral("dy")).toInt(), event.value(QStringLiteral("timestampMs")).toDouble(),
                m_seams.monotonicMs(), recordedKinds()));
            continue;
        }
        if (kind != kRecordInput || event.value(QStringLiteral("origin")).toInt() != 0)
            continue;
        // Movement gathered before a press is recorded before it.
        if (m_recording && m_recordMovement && m_recorder.flushMovement())
            m_macroSteps = m_recorder.steps();
        const LiveInputEvent input{event.value(QStringLiteral("id")).toString(), phase != 1, phase == 2,
            event.value(QStringLiteral("delta")).toInt(), event.value(QStringLiteral("timestampMs")).toDouble(),
            event.value(QStringLiteral("x")).toDouble(), event.value(QStringLiteral("y")).toDouble()};
        feedInput(input, false);
        lastPhysical = input;
    }
    if (lastPhysical)
        m_lastInput = describedInput(describeInput(lastPhysical->id), lastPhysical->down);
}

void AppController::handleInputEvent(const QJsonObject& message)
{
    feedInput({message.value(QStringLiteral("id")).toString(), message.value(QStringLiteral("down")).toBool(),
                  message.value(QStringLiteral("repeat")).toBool(), message.value(QStringLiteral("delta")).toInt(),
                  message.value(QStringLiteral("timestampMs")).toDouble(), message.value(QStringLiteral("x")).toDouble(),
                  message.value(QStringLiteral("y")).toDouble()},
        true);
}

void AppController::feedInput(const LiveInputEvent& input, bool describe)
{
    const QString& id = input.id;
    const bool down = input.down;
    const bool repeat = input.repeat;
    if (describe)
        m_lastInput = describedInput(describeInput(id), down);
    emit inputSeen(id, down);

    if (m_recording) {
        const MacroRecorder::Fed recorded = m_recorder.feed(input, m_seams.monotonicMs(), recordedKinds());
        applyRecorded(recorded);
        if (recorded.consumed)
            return;
    }

    if (!m_captureMode || !down || repeat || m_seams.monotonicMs() - m_captureClock <= kCaptureSettleMs)
        return;
    vorna::core::InputId parsed;
    if (!vorna::core::parseInputId(id, parsed))
        return;
    if (!calibrationHotspot.isEmpty() && !hotspotBinding(calibrationHotspot, id)) {
        m_notice = text("Этот ввод уже соответствует другой метке. Нажмите физическую кнопку, которую хотите связать.",
            "That input already belongs to another marker. Press the physical button for this marker.");
        emit libraryChanged();
        return;
    }
    if (calibrationHotspot.isEmpty())
        selectRule(id);
    else
        m_calibrationCandidate = id;
    m_captureMode = false;
    sendObserve();
    emit stateChanged();
}

void AppController::setRecordingControl(double x, double y, double width, double height)
{
    const double scale = m_seams.probe->windowDpi(m_settingsWindow) / 96.0;
    QPoint point(static_cast<int>(x * scale), static_cast<int>(y * scale));
    if (!m_seams.probe->clientToScreen(m_settingsWindow, point))
        return; // the window is gone: the previous rectangle stays
    m_recorder.setControl(QRectF(point.x(), point.y(), width * scale, height * scale));
}

void AppController::onLiveCoalesced()
{
    emit liveChanged();
}

void AppController::onLiveModelChanged()
{
    if (!liveCoalesceTimer.isActive())
        liveCoalesceTimer.start();
}
