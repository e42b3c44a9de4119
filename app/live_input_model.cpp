#include "app/live_input_model.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <memory>

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

enum Kind : quint8 { PhysicalInput = 0, EngineOutput = 1, PointerMovement = 3, PointerOutput = 5 };
enum Phase : quint8 { Down = 0, Up = 1 };
enum Result { Sent = 2, Cancelled = 6, Completed = 7, NoNewOutput = 8 };

// Keys a later step of an execution carries over unchanged when it has them.
const char* const kCopiedKeys[] = {"detail", "actionName", "progress", "total", "error",
    "destinationLayer", "gestureOutcome", "matchedRule", "ruleContext", "pointerMode",
    "motionSettings", "motionModes"};

quint8 code(const QJsonObject& event, const char* key)
{
    return static_cast<quint8>(event.value(QLatin1String(key)).toInt());
}

int integer(const QJsonObject& event, const QString& key)
{
    return event.value(key).toInt();
}

// The agent sends ids as decimal texts; a number is read the same way.
QString idText(const QJsonValue& value)
{
    if (value.isDouble())
        return QString::number(static_cast<qint64>(value.toDouble()));
    return value.toString();
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
    const QString type = message.value(QStringLiteral("type")).toString();
    if (type == QLatin1String("trace")) {
        for (const QJsonValue& event : message.value(QStringLiteral("events")).toArray())
            ingestEvent(event.toObject());
    } else if (type == QLatin1String("held")) {
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
    const quint8 kind = code(event, "kind");
    const quint8 origin = code(event, "origin");
    const quint8 phase = code(event, "phase");
    const QString id = event.value(QStringLiteral("id")).toString();
    const QString execution = idText(event.value(kExecution));

    if (kind == PointerMovement) {
        movement = {{QStringLiteral("dx"), integer(event, kDelta)}, {kDy, integer(event, kDy)},
            {QStringLiteral("until"), now() + movementMs}};
        tickTimer.start();
        if (execution.isEmpty() || execution == QLatin1String("0"))
            return;
        QVariantMap record = event.toVariantMap();
        record.insert(kInput, kCursorMove);
        record.insert(QStringLiteral("inputDx"), integer(event, kDelta));
        record.insert(QStringLiteral("inputDy"), integer(event, kDy));
        record.insert(kOutputs, QStringList{});
        record.insert(kFailed, QStringList{});
        record.insert(kForwarded, false);
        recordExecution(execution, record);
        return;
    }

    if (kind == PhysicalInput) {
        if (origin != 0)
            return; // the program's own injected input is not the user's press
        if (phase != Up) {
            flashUntil.insert(id, now() + flashMs);
            tickTimer.start();
        }
        if (!id.startsWith(kWheelPrefix))
            holdOrRelease(physical, id, phase == Up);
        inferred.removeAll(id);

        const bool suppressed = event.value(QStringLiteral("suppressed")).toBool();
        QVariantMap record = event.toVariantMap();
        record.insert(kInput, id);
        record.insert(kExecution, execution);
        record.insert(kOutputs, QStringList{});
        record.insert(kFailed, QStringList{});
        record.insert(kForwarded, !suppressed);
        record.insert(QStringLiteral("newOutput"), false);
        const QString target =
            event.value(QStringLiteral("matchedRule")).toObject().value(QStringLiteral("target")).toString();
        if (suppressed && target != QLatin1String("blocked"))
            record.insert(kResult, NoNewOutput);
        // A release replaces its press's record, but an output that failed on the press stays
        // failed: otherwise the view would show a failure as a success once the key is up.
        const QVariantMap earlier = executions.value(execution);
        if (!earlier.value(kFailed).toStringList().isEmpty()) {
            record.insert(kFailed, earlier.value(kFailed));
            record.insert(kError, earlier.value(kError));
        }
        recordExecution(execution, record);
        return;
    }

    QVariantMap record = executions.value(execution);
    if (record.isEmpty()) {
        record = event.toVariantMap();
        record.insert(kInput, event.value(kInput).toString());
        record.insert(kExecution, execution);
        record.insert(kForwarded, false);
    }
    const int result = integer(event, kResult);
    record.insert(kResult, result);
    record.insert(QStringLiteral("step"), integer(event, QStringLiteral("step")));
    record.insert(kMacro, integer(event, kMacro));
    record.insert(QStringLiteral("outputPhase"), static_cast<int>(phase));
    for (const char* key : kCopiedKeys) {
        const QString name = QLatin1String(key);
        if (event.contains(name))
            record.insert(name, event.value(name).toVariant());
    }
    const QString outcomeList = result == Sent ? kOutputs : kFailed;
    if (kind == PointerOutput) {
        record.insert(QStringLiteral("pointer"), true);
        record.insert(kDelta, integer(event, kDelta));
        record.insert(kDy, integer(event, kDy));
        if (result != NoNewOutput)
            appendOnce(record, outcomeList, kCursorMove);
    } else if (kind == EngineOutput) {
        appendOnce(record, outcomeList, id);
        record.insert(QStringLiteral("newOutput"), result == Sent);
        if (result == Sent) {
            if (id.startsWith(kWheelPrefix)) {
                QVariantMap units = record.value(QStringLiteral("wheelUnits")).toMap();
                units.insert(id, units.value(id).toInt() + integer(event, kDelta));
                record.insert(QStringLiteral("wheelUnits"), units);
            } else {
                holdOrRelease(outputHeld, id, phase == Up);
            }
        } else {
            record.insert(kError, integer(event, kError));
        }
    }
    recordExecution(execution, record);
}

void LiveInputModel::recordExecution(const QString& execution, const QVariantMap& record)
{
    if (!executions.contains(execution))
        executionOrder.append(execution);
    const int macro = record.value(kMacro).toInt();
    const int result = record.value(kResult).toInt();
    const bool ended = result == Cancelled || result == Completed;
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
