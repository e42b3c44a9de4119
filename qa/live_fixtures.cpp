#include "qa/live_fixtures.h"

#include <QJsonArray>

namespace qa {

namespace {

const QString kChord = QStringLiteral("chord:key_162+key_67");

QJsonObject trace(const QJsonArray& events)
{
    return {{QStringLiteral("type"), QStringLiteral("trace")}, {QStringLiteral("events"), events}};
}

QJsonObject held(const QJsonArray& physical, const QJsonArray& output, const QString& dropped)
{
    return {{QStringLiteral("type"), QStringLiteral("held")}, {QStringLiteral("consistent"), true},
        {QStringLiteral("physical"), physical}, {QStringLiteral("output"), output}, {QStringLiteral("dropped"), dropped}};
}

// The matched physical input both fixtures start with.
QJsonObject inputEvent(const QString& source, const QString& target, const QString& execution)
{
    return {{QStringLiteral("kind"), 0}, {QStringLiteral("id"), source}, {QStringLiteral("origin"), 0},
        {QStringLiteral("phase"), 0}, {QStringLiteral("execution"), execution}, {QStringLiteral("rule"), 1},
        {QStringLiteral("revision"), QStringLiteral("TEST")}, {QStringLiteral("profile"), QStringLiteral("Тест интерфейса")},
        {QStringLiteral("layer"), QStringLiteral("Основной")}, {QStringLiteral("suppressed"), true},
        {QStringLiteral("matchedRule"), QJsonObject{{QStringLiteral("source"), source}, {QStringLiteral("target"), target}}}};
}

QJsonObject outputEvent(const QString& id, const QString& execution, int result)
{
    return {{QStringLiteral("kind"), 1}, {QStringLiteral("id"), id}, {QStringLiteral("origin"), 2},
        {QStringLiteral("phase"), 0}, {QStringLiteral("execution"), execution}, {QStringLiteral("result"), result}};
}

QJsonObject macroResult(const QString& execution)
{
    return {{QStringLiteral("kind"), 2}, {QStringLiteral("execution"), execution}, {QStringLiteral("result"), 5},
        {QStringLiteral("macro"), 1}, {QStringLiteral("step"), 2}};
}

} // namespace

QList<QJsonObject> mappingFixture(int frame)
{
    const QString source = frame == 12 ? QStringLiteral("key_20")
        : frame == 13                  ? QStringLiteral("wheel_up")
                                       : QStringLiteral("mouse_back");
    const QString target = frame == 14 ? QStringLiteral("blocked") : kChord;
    const QString execution = QString::number(frame);

    QJsonObject input = inputEvent(source, target, execution);
    input.insert(QStringLiteral("delta"), 120);
    QJsonArray events{input};
    if (frame != 14) {
        events.append(outputEvent(QStringLiteral("key_162"), execution, 2));
        QJsonObject second = outputEvent(QStringLiteral("key_67"), execution, frame == 15 ? 3 : 2);
        second.insert(QStringLiteral("error"), frame == 15 ? 5 : 0);
        events.append(second);
    }
    if (frame == 16)
        events.append(macroResult(execution));

    const QJsonArray physical = frame == 13 ? QJsonArray() : QJsonArray{source, QStringLiteral("key_160")};
    const QJsonArray output = frame == 14 ? QJsonArray() : QJsonArray{QStringLiteral("key_162")};
    return {trace(events), held(physical, output, frame == 17 ? QStringLiteral("12") : QStringLiteral("0"))};
}

QList<QJsonObject> motionFixture(const QVariantMap& motion)
{
    const QString execution = QStringLiteral("200");
    const QJsonObject step{{QStringLiteral("kind"), 3}, {QStringLiteral("execution"), execution},
        {QStringLiteral("delta"), 12}, {QStringLiteral("dy"), -40}, {QStringLiteral("result"), 8},
        {QStringLiteral("motionSettings"), QJsonObject::fromVariantMap(motion)}, {QStringLiteral("motionModes"), 1}};
    QJsonObject wheel = outputEvent(QStringLiteral("wheel_up"), execution, 2);
    wheel.insert(QStringLiteral("delta"), 180);
    return {trace({step, wheel})};
}

QList<QJsonObject> keyboardFixture(int frame)
{
    const QString execution = QString::number(frame + 300);
    const QString output = frame == 45 ? QStringLiteral("wheel_up")
        : frame == 46                  ? QStringLiteral("key_27")
                                       : QStringLiteral("mouse_back");
    const QString target = frame == 47 ? QStringLiteral("blocked") : output;

    QJsonArray events{inputEvent(QStringLiteral("key_20"), target, execution)};
    if (frame != 47) {
        QJsonObject sent = outputEvent(output, execution, frame == 49 ? 3 : 2);
        sent.insert(QStringLiteral("error"), frame == 49 ? 5 : 0);
        sent.insert(QStringLiteral("delta"), 120);
        events.append(sent);
    }
    if (frame == 48)
        events.append(macroResult(execution));

    const bool holdsOutput = frame != 45 && frame != 47 && frame != 49;
    return {trace(events), held({QStringLiteral("key_20"), QStringLiteral("key_160")},
                               holdsOutput ? QJsonArray{output} : QJsonArray(), QStringLiteral("0"))};
}

QJsonObject heldButtonFixture(const QString& button)
{
    return held({button}, {}, QStringLiteral("0"));
}

} // namespace qa
