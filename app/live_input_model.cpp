#include "app/live_input_model.h"

#include "core/agent_protocol.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QHash>
#include <QVarLengthArray>
#include <memory>
#include <utility>

namespace {

const QString kInput = QStringLiteral("input");
const QString kExecution = QStringLiteral("execution");
const QString kOutputs = QStringLiteral("outputs");
const QString kFailed = QStringLiteral("failed");
const QString kForwarded = QStringLiteral("forwarded");
const QString kResult = QStringLiteral("result");
const QString kMacro = QStringLiteral("macro");
const QString kError = QStringLiteral("error");
const QString kDelta = QStringLiteral("delta");
const QString kDy = QStringLiteral("dy");
const QString kCursorMove = QStringLiteral("cursor_move");
const QString kWheelPrefix = QStringLiteral("wheel_");

using enum vorna::protocol::RecordKind;
enum Phase : quint8 { Down = 0, Up = 1 };
using enum vorna::protocol::ResultCode;

// The agent sends ids as decimal texts; a number is read the same way.
QString idText(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(static_cast<qint64>(value.toDouble()));
    return value.toString();
}

// What the model reads of one trace event. Finding a key in a JSON object walks its keys, so
// the fields are taken in one walk instead of a walk each; missing ones read as 0 or empty.
struct TraceFields {
    quint8 kind = 0;
    quint8 origin = 0;
    quint8 phase = 0;
    QString id;
    QString execution;
    QString input;
    QString ruleTarget;
    bool suppressed = false;
    int result = 0;
    int step = 0;
    int macro = 0;
    int error = 0;
    int delta = 0;
    int dy = 0;
    // The keys a later step of an execution carries over unchanged, converted only when used.
    QVarLengthArray<std::pair<QString, QJsonValue>, 4> copied;
};

enum Field { Kind_, Origin, PhaseField, Id, Execution, Input, Suppressed, ResultField, Step, Macro, Error, Delta, Dy,
    MatchedRule, CopiedOnly };

TraceFields readEvent(const QJsonObject& event)
{
    static const QHash<QString, Field> fields{{QStringLiteral("kind"), Kind_}, {QStringLiteral("origin"), Origin},
        {QStringLiteral("phase"), PhaseField}, {QStringLiteral("id"), Id}, {QStringLiteral("execution"), Execution},
        {QStringLiteral("input"), Input}, {QStringLiteral("suppressed"), Suppressed},
        {QStringLiteral("result"), ResultField}, {QStringLiteral("step"), Step}, {QStringLiteral("macro"), Macro},
        {QStringLiteral("error"), Error}, {QStringLiteral("delta"), Delta}, {QStringLiteral("dy"), Dy},
        {QStringLiteral("matchedRule"), MatchedRule}, {QStringLiteral("detail"), CopiedOnly},
        {QStringLiteral("actionName"), CopiedOnly}, {QStringLiteral("progress"), CopiedOnly},
        {QStringLiteral("total"), CopiedOnly}, {QStringLiteral("destinationLayer"), CopiedOnly},
        {QStringLiteral("gestureOutcome"), CopiedOnly}, {QStringLiteral("ruleContext"), CopiedOnly},
        {QStringLiteral("pointerMode"), CopiedOnly}, {QStringLiteral("motionSettings"), CopiedOnly},
        {QStringLiteral("motionModes"), CopiedOnly}};
    TraceFields f;
    for (auto it = event.constBegin(); it != event.constEnd(); ++it) {
        const QString key = it.key();
        const auto field = fields.constFind(key);
        if (field == fields.constEnd())
            continue;
        const QJsonValue value = it.value();
        switch (*field) {
        case Kind_: f.kind = static_cast<quint8>(value.toInt()); break;
        case Origin: f.origin = static_cast<quint8>(value.toInt()); break;
        case PhaseField: f.phase = static_cast<quint8>(value.toInt()); break;
        case Id: f.id = value.toString(); break;
        case Execution: f.execution = idText(value); break;
        case Input: f.input = value.toString(); break;
        case Suppressed: f.suppressed = value.toBool(); break;
        case ResultField: f.result = value.toInt(); break;
        case Step: f.step = value.toInt(); break;
        case Macro: f.macro = value.toInt(); break;
        case Error: f.error = value.toInt(); f.copied.append({key, value}); break;
        case Delta: f.delta = value.toInt(); break;
        case Dy: f.dy = value.toInt(); break;
        case MatchedRule:
            f.ruleTarget = value.toObject().value(QLatin1String("target")).toString();
            f.copied.append({key, value});
            break;
        case CopiedOnly: f.copied.append({key, value}); break;
        }
    }
    return f;
}

QStringList texts(const QJsonValue& value)
{
    QStringList out;
    for (const QJsonValue& element : value.toArray())
        out.append(element.toString());
    return out;
}

void appendOnce(QVariantMap& record, const QString& key, const QString& id)
{
    QStringList list = record.value(key).toStringList();
    if (!list.contains(id)) {
        list.append(id);
        record.insert(key, list);
    }
}

void holdOrRelease(QStringList& list, const QString& id, bool release)
{
    if (release)
        list.removeAll(id);
    else if (!list.contains(id))
        list.append(id);
}

QVariantList variants(const QStringList& list)
{
    QVariantList out;
    out.reserve(list.size());
    for (const QString& text : list)
        out.append(text);
    return out;
}

} // namespace

LiveInputModel::LiveInputModel(QObject* parent, Clock injected) : QObject(parent), clock(std::move(injected))
{
    if (!clock) {
        auto started = std::make_shared<QElapsedTimer>();
        started->start();
        clock = [started] { return started->elapsed(); };
    }
    tickTimer.setInterval(tickMs);
    connect(&tickTimer, &QTimer::timeout, this, &LiveInputModel::onTick);
}

qint64 LiveInputModel::now() const
{
    return clock();
}

QVariantMap LiveInputModel::state() const
{
    QVariantList historyList;
    historyList.reserve(history.size());
    for (const QVariantMap& record : history)
        historyList.append(record);
    return {
        {QStringLiteral("physical"), variants(physical)},
        {QStringLiteral("outputHeld"), variants(outputHeld)},
        {QStringLiteral("inferred"), variants(inferred)},
        {QStringLiteral("flash"), variants(flashUntil.keys())},
        {QStringLiteral("last"), last},
        {QStringLiteral("movement"), movement},
        {QStringLiteral("history"), historyList},
        {QStringLiteral("historyEnabled"), historyEnabled},
        {QStringLiteral("consistent"), consistent},
        {QStringLiteral("dropped"), dropped},
    };
}

void LiveInputModel::applyTrace(const QJsonObject& message)
{
    const QVariantMap before = state();
    const QString type = message.value(vorna::protocol::kTypeKey).toString();
    if (type == vorna::protocol::kTraceMessage) {
        for (const QJsonValue& event : message.value(QStringLiteral("events")).toArray())
            ingestEvent(event.toObject());
    } else if (type == vorna::protocol::kHeldMessage) {
        consistent = message.value(QStringLiteral("consistent")).toBool();
        const QJsonValue droppedValue = message.value(QStringLiteral("dropped"));
        dropped = droppedValue.isString() ? droppedValue.toString() : QStringLiteral("0");
        // An inconsistent read vouches for nothing: better an empty list than a stale key.
        physical = consistent ? texts(message.value(QStringLiteral("physical"))) : QStringList{};
        outputHeld = consistent ? texts(message.value(QStringLiteral("output"))) : QStringList{};
        inferred = consistent ? texts(message.value(QStringLiteral("inferred"))) : QStringList{};
    }
    if (state() != before)
        emit changed();
}

void LiveInputModel::ingestEvent(const QJsonObject& event)
{
    const quint8 kind = static_cast<quint8>(event.value(QLatin1String("kind")).toInt());
    if (kind == kRecordInput) {
        ingestPhysical(event);
        return;
    }
    const TraceFields f = readEvent(event);
    const QString& id = f.id;
    const QString& execution = f.execution;

    if (f.kind == kRecordPointer) {
        movement = {{QStringLiteral("dx"), f.delta}, {kDy, f.dy}, {QStringLiteral("until"), now() + movementMs}};
        tickTimer.start();
        if (execution.isEmpty() || execution == QLatin1String("0"))
            return;
        QVariantMap record = event.toVariantMap();
        record.insert(kInput, kCursorMove);
        record.insert(QStringLiteral("inputDx"), f.delta);
        record.insert(QStringLiteral("inputDy"), f.dy);
        record.insert(kOutputs, QStringList{});
        record.insert(kFailed, QStringList{});
        record.insert(kForwarded, false);
        recordExecution(execution, record);
        return;
    }

    // The execution's record is taken out of the table (its entry stays, emptied) and `last`
    // lets go of it, so that this step changes it in place instead of copying it whole.
    QVariantMap record;
    if (const auto found = executions.find(execution); found != executions.end()) {
        record = std::exchange(*found, QVariantMap());
        last.clear();
    }
    if (record.isEmpty()) {
        record = event.toVariantMap();
        record.insert(kInput, f.input);
        record.insert(kExecution, execution);
        record.insert(kForwarded, false);
    }
    record.insert(kResult, f.result);
    record.insert(QStringLiteral("step"), f.step);
    record.insert(kMacro, f.macro);
    record.insert(QStringLiteral("outputPhase"), static_cast<int>(f.phase));
    for (const auto& [key, value] : f.copied)
        record.insert(key, value.toVariant());
    const QString outcomeList = f.result == kResultSent ? kOutputs : kFailed;
    if (f.kind == kRecordCursor) {
        record.insert(QStringLiteral("pointer"), true);
        record.insert(kDelta, f.delta);
        record.insert(kDy, f.dy);
        if (f.result != kResultPending)
            appendOnce(record, outcomeList, kCursorMove);
    } else if (f.kind == kRecordOutput) {
        appendOnce(record, outcomeList, id);
        record.insert(QStringLiteral("newOutput"), f.result == kResultSent);
        if (f.result == kResultSent) {
            if (id.startsWith(kWheelPrefix)) {
                QVariantMap units = record.value(QStringLiteral("wheelUnits")).toMap();
                units.insert(id, units.value(id).toInt() + f.delta);
                record.insert(QStringLiteral("wheelUnits"), units);
            } else {
                holdOrRelease(outputHeld, id, f.phase == Up);
            }
        } else {
            record.insert(kError, f.error);
        }
    }
    recordExecution(execution, record);
}

void LiveInputModel::ingestPhysical(const QJsonObject& event)
{
    if (static_cast<quint8>(event.value(QLatin1String("origin")).toInt()) != 0)
        return; // the program's own injected input is not the user's press
    // The record copies every field of the event; the few read here come from that copy, read
    // back as JSON values so that they convert exactly as the event's own fields would.
    QVariantMap record = event.toVariantMap();
    const auto field = [&record](const QString& key) { return QJsonValue::fromVariant(record.value(key)); };
    const QString id = field(QStringLiteral("id")).toString();
    const QString execution = idText(field(kExecution));
    const quint8 phase = static_cast<quint8>(field(QStringLiteral("phase")).toInt());
    const bool suppressed = field(QStringLiteral("suppressed")).toBool();
    const QString target =
        event.value(QLatin1String("matchedRule")).toObject().value(QLatin1String("target")).toString();

    if (phase != Up) {
        flashUntil.insert(id, now() + flashMs);
        tickTimer.start();
    }
    if (!id.startsWith(kWheelPrefix))
        holdOrRelease(physical, id, phase == Up);
    inferred.removeAll(id);

    record.insert(kInput, id);
    record.insert(kExecution, execution);
    record.insert(kOutputs, QStringList{});
    record.insert(kFailed, QStringList{});
    record.insert(kForwarded, !suppressed);
    record.insert(QStringLiteral("newOutput"), false);
    if (suppressed && target != QLatin1String("blocked"))
        record.insert(kResult, kResultPending);
    // A release replaces its press's record, but an output that failed on the press stays
    // failed: otherwise the view would show a failure as a success once the key is up.
    const QVariantMap earlier = executions.value(execution);
    if (!earlier.value(kFailed).toStringList().isEmpty()) {
        record.insert(kFailed, earlier.value(kFailed));
        record.insert(kError, earlier.value(kError));
    }
    recordExecution(execution, record);
}

void LiveInputModel::recordExecution(const QString& execution, const QVariantMap& record)
{
    if (!executions.contains(execution))
        executionOrder.append(execution);
    const int macro = record.value(kMacro).toInt();
    const int result = record.value(kResult).toInt();
    const bool ended = result == kResultCancelled || result == kResultCompleted;
    if (macro != 0 && !ended)
        activeMacroExecution = execution;
    if (activeMacroExecution == execution && ended)
        activeMacroExecution.clear();
    executions.insert(execution, record);
    while (executionOrder.size() > maxExecutions) {
        const QString oldest = executionOrder.takeFirst();
        if (oldest == activeMacroExecution)
            executionOrder.append(oldest);
        else
            executions.remove(oldest);
    }
    last = record;
    if (!historyEnabled)
        return;
    if (!history.isEmpty() && history.first().value(kExecution).toString() == execution)
        history.first() = record;
    else
        history.prepend(record);
    while (history.size() > maxHistory)
        history.removeLast();
}

void LiveInputModel::onTick()
{
    const qint64 at = now();
    bool removed = false;
    for (auto it = flashUntil.begin(); it != flashUntil.end();) {
        if (it.value() <= at) {
            it = flashUntil.erase(it);
            removed = true;
        } else {
            ++it;
        }
    }
    if (!movement.isEmpty() && movement.value(QStringLiteral("until")).toLongLong() <= at) {
        movement.clear();
        removed = true;
    }
    if (flashUntil.isEmpty() && movement.isEmpty())
        tickTimer.stop();
    if (removed)
        emit changed();
}

void LiveInputModel::clear()
{
    physical.clear();
    outputHeld.clear();
    inferred.clear();
    flashUntil.clear();
    executions.clear();
    executionOrder.clear();
    activeMacroExecution.clear();
    last.clear();
    movement.clear();
    history.clear();
    dropped = QStringLiteral("0");
    consistent = false;
    tickTimer.stop();
    emit changed();
}

void LiveInputModel::setHistoryEnabled(bool enabled)
{
    historyEnabled = enabled;
    history.clear();
    emit changed();
}
