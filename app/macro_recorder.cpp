// Turning the agent's physical events into macro steps: presses and releases with the waits
// between them, wheel notches as taps, gathered movement as a move step per 100 ms.

#include "app/macro_recorder.h"

#include "editor/macro_steps.h"

#include <QJsonObject>
#include <algorithm>
#include <cstdlib>

namespace {

// Nothing is recorded in a recording's first moments: the click that started it is still
// settling. F12 ends a recording; gathered movement becomes a step per 100 ms of agent time.
constexpr qint64 kRecordingSettleMs = 350;
constexpr quint64 kMoveStepMs = 100;
constexpr int kMoveLimit = 32767;
constexpr int kWheelNotch = 120;
constexpr int kStepLimit = 60;
// A move step is added only while there is room for it and what follows.
constexpr qsizetype kMoveStepRoom = 60;
constexpr quint64 kLongestWait = 60000;
const QString kStopKey = QStringLiteral("key_123");
const QString kLeftButton = QStringLiteral("mouse_left");

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

struct RecordedKind {
    const char* prefix;
    bool MacroRecorder::Kinds::*enabled;
};

constexpr RecordedKind kRecordedKinds[] = {{"key_", &MacroRecorder::Kinds::keyboard},
    {"mouse_", &MacroRecorder::Kinds::mouse}, {"wheel_", &MacroRecorder::Kinds::wheel}};

} // namespace

void MacroRecorder::start(qint64 nowMs)
{
    const QRectF control = m_control;
    *this = MacroRecorder();
    m_control = control;
    m_startedAt = nowMs;
}

QJsonArray MacroRecorder::finish()
{
    flushMovement();
    m_startedAt = -1;
    m_steps = editor::balanceRecordedSteps(m_steps);
    return m_steps;
}

bool MacroRecorder::settled(qint64 nowMs) const
{
    return nowMs - m_startedAt > kRecordingSettleMs;
}

void MacroRecorder::append(const QString& type, const QString& input, qint64 ms)
{
    m_steps.append(QJsonObject{{QStringLiteral("type"), type}, {QStringLiteral("input"), input},
        {QStringLiteral("ms"), ms}});
}

MacroRecorder::Fed MacroRecorder::feed(const LiveInputEvent& input, qint64 nowMs, Kinds kinds)
{
    const QString& id = input.id;
    // The record button's own click and F12 steer the recording; they are not recorded.
    if (id == kStopKey && input.down)
        return {.stop = true, .consumed = true};
    if (id == kLeftButton && input.down) {
        if (m_control.contains(QPointF(input.x, input.y))) {
            m_skipControlClick = true;
            return {.consumed = true};
        }
    } else if (id == kLeftButton && m_skipControlClick) {
        m_skipControlClick = false;
        return {.consumed = true};
    }

    const bool eligible = std::any_of(std::begin(kRecordedKinds), std::end(kRecordedKinds),
        [&](const RecordedKind& kind) { return id.startsWith(QLatin1String(kind.prefix)) && kinds.*kind.enabled; });
    if (!settled(nowMs) || !eligible || input.repeat)
        return {};
    const bool wheel = id.startsWith(QLatin1String("wheel_"));
    int notches = 0;
    if (wheel) {
        const bool vertical = id == QLatin1String("wheel_up") || id == QLatin1String("wheel_down");
        notches = takeNotches(vertical ? m_wheelRemainderVertical : m_wheelRemainderHorizontal, input.delta);
        if (notches == 0)
            return {.consumed = true};
    }
    const quint64 ts = agentMs(input.timestampMs);
    if (m_lastStepTimestamp != 0 && m_lastStepTimestamp < ts)
        append(QStringLiteral("wait"), QString(), static_cast<qint64>(std::min(ts - m_lastStepTimestamp, kLongestWait)));
    if (!wheel)
        append(input.down ? QStringLiteral("down") : QStringLiteral("up"), id, 0);
    for (int i = 0; wheel && i < notches && m_steps.size() < kStepLimit; ++i)
        append(QStringLiteral("tap"), id, 10);
    m_lastStepTimestamp = ts;
    return {.changed = true, .stop = m_steps.size() >= kStepLimit};
}

MacroRecorder::Fed MacroRecorder::feedMovement(int dx, int dy, double timestampMs, qint64 nowMs, Kinds kinds)
{
    if (!kinds.movement || !settled(nowMs))
        return {};
    m_moveDx = saturatedSum(m_moveDx, dx);
    m_moveDy = saturatedSum(m_moveDy, dy);
    m_moveLastTimestamp = agentMs(timestampMs);
    if (m_moveStartTimestamp == 0)
        m_moveStartTimestamp = m_moveLastTimestamp;
    if (m_moveStartTimestamp + kMoveStepMs > m_moveLastTimestamp)
        return {};
    flushMovement();
    return {.changed = true, .stop = m_steps.size() >= kStepLimit};
}

bool MacroRecorder::flushMovement()
{
    if (m_moveDx == 0 && m_moveDy == 0)
        return false;
    const bool room = m_steps.size() < kMoveStepRoom;
    if (room) {
        const quint64 delay = m_lastStepTimestamp == 0 || m_lastStepTimestamp >= m_moveLastTimestamp
            ? 0 : std::min(m_moveLastTimestamp - m_lastStepTimestamp, kLongestWait);
        m_steps.append(editor::macroStep(QStringLiteral("move"),
            QString::number(m_moveDx) + QLatin1Char(',') + QString::number(m_moveDy), qint64(delay)));
        m_lastStepTimestamp = m_moveLastTimestamp;
        m_moveStartTimestamp = m_moveLastTimestamp;
    }
    m_moveDx = 0;
    m_moveDy = 0;
    return room;
}
