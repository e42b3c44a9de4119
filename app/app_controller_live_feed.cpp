// Agent input events, trace messages and the macro recording feed; the coalesced live signal.

#include "app/app_controller.h"
#include "core/agent_protocol.h"
#include "core/input_id.h"

#include <QJsonArray>
#include <QMetaEnum>
#include <algorithm>
#include <cstdlib>
#include <optional>

namespace {

// Nothing is recorded in a recording's first moments: the click that started it is still
// settling. F12 ends a recording; gathered movement becomes a step per 100 ms of agent time.
constexpr qint64 kRecordingSettleMs = 350;
constexpr qint64 kCaptureSettleMs = 250;
constexpr quint64 kMoveStepMs = 100;
constexpr int kMoveLimit = 32767;
constexpr int kWheelNotch = 120;
constexpr int kStepLimit = 60;
constexpr quint64 kLongestWait = 60000;
const QString kStopKey = QStringLiteral("key_123");
const QString kLeftButton = QStringLiteral("mouse_left");

using enum vorna::protocol::RecordKind;

int saturatedSum(int a, int b)
{
    return static_cast<int>(std::clamp<qint64>(qint64(a) + b, -kMoveLimit, kMoveLimit));
}

quint64 agentMs(double ms)
{
    return ms > 0 ? static_cast<quint64>(ms) : 0;
}

// Whole wheel notches in `remainder` after adding `delta`; the remainder keeps the signed rest.
int takeNotches(int& remainder, int delta)
{
    remainder += delta;
    const int notches = std::abs(remainder) / kWheelNotch;
    remainder -= (remainder < 0 ? -1 : 1) * notches * kWheelNotch;
    return notches;
}

// The same suffixes in both languages: they read as part of the input's name.
QString describedInput(const QString& name, bool down)
{
    return name + (down ? QStringLiteral(" · нажато") : QStringLiteral(" · отпущено"));
}

struct RecordedKind {
    const char* prefix;
    bool AppController::*enabled;
};

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
        if (recordMovement && m_seams.monotonicMs() - recordingClock > kRecordingSettleMs && kind == kRecordPointer) {
            moveDx = saturatedSum(moveDx, event.value(QStringLiteral("delta")).toInt());
            moveDy = saturatedSum(moveDy, event.value(QStringLiteral("dy")).toInt());
            moveLastTimestamp = agentMs(event.value(QStringLiteral("timestampMs")).toDouble());
            if (moveStartTimestamp == 0)
                moveStartTimestamp = moveLastTimestamp;
            if (moveStartTimestamp + kMoveStepMs <= moveLastTimestamp) {
                appendMoveStep();
                emit macroChanged();
                if (m_macroSteps.size() >= kStepLimit)
                    stopRecording();
            }
            continue;
        }
        if (kind != kRecordInput || event.value(QStringLiteral("origin")).toInt() != 0)
            continue;
        // Movement gathered before a press is recorded before it.
        if (m_recording && m_recordMovement)
            appendMoveStep();
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

    // The record button's own click and F12 steer the recording; they are not recorded.
    if (m_recording) {
        if (id == kStopKey && down) {
            stopRecording();
            return;
        }
        if (id == kLeftButton && down) {
            const QPointF at(input.x, input.y);
            if (recordingControl.contains(at)) {
                skipControlClick = true;
                return;
            }
        } else if (id == kLeftButton && skipControlClick) {
            skipControlClick = false;
            return;
        }
    }

    static const RecordedKind recordedKinds[] = {{"key_", &AppController::m_recordKeyboard},
        {"mouse_", &AppController::m_recordMouse}, {"wheel_", &AppController::m_recordWheel}};
    const bool eligible = std::any_of(std::begin(recordedKinds), std::end(recordedKinds),
        [&](const RecordedKind& kind) { return id.startsWith(QLatin1String(kind.prefix)) && this->*kind.enabled; });
    if (m_recording && m_seams.monotonicMs() - recordingClock > kRecordingSettleMs && eligible && !repeat) {
        if (id == kStopKey && down) {
            stopRecording();
            return;
        }
        const bool wheel = id.startsWith(QLatin1String("wheel_"));
        int notches = 0;
        if (wheel) {
            const bool vertical = id == QLatin1String("wheel_up") || id == QLatin1String("wheel_down");
            notches = takeNotches(vertical ? wheelRemainderVertical : wheelRemainderHorizontal,
                input.delta);
            if (notches == 0)
                return;
        }
        const quint64 ts = agentMs(input.timestampMs);
        auto append = [this](const QString& type, const QString& input, qint64 ms) {
            m_macroSteps.append(QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("input"), input},
                {QStringLiteral("ms"), ms}});
        };
        if (lastStepTimestamp != 0 && lastStepTimestamp < ts)
            append(QStringLiteral("wait"), QString(), static_cast<qint64>(std::min(ts - lastStepTimestamp, kLongestWait)));
        if (!wheel)
            append(down ? QStringLiteral("down") : QStringLiteral("up"), id, 0);
        for (int i = 0; wheel && i < notches && m_macroSteps.size() < kStepLimit; ++i)
            append(QStringLiteral("tap"), id, 10);
        lastStepTimestamp = ts;
        if (m_macroSteps.size() >= kStepLimit)
            stopRecording();
        emit macroChanged();
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
    recordingControl = QRectF(point.x(), point.y(), width * scale, height * scale);
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
