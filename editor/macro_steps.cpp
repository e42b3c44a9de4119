#include "editor/macro_steps.h"

#include "core/macro.h"

#include <QJsonValue>
#include <QList>

#include <algorithm>
#include <array>

namespace editor {

namespace {

constexpr qint64 kCommandBudgetMs = 10000;
constexpr qsizetype kStepLimit = qsizetype(vorna::core::kMaxMacroSteps);

const QString kType = QStringLiteral("type");
const QString kInput = QStringLiteral("input");
const QString kMs = QStringLiteral("ms");

} // namespace

bool isMacroStepType(const QString& type)
{
    static const std::array<QLatin1String, 10> types{QLatin1String("tap"), QLatin1String("down"),
        QLatin1String("up"), QLatin1String("wait"), QLatin1String("wheel"), QLatin1String("chord"),
        QLatin1String("move"), QLatin1String("command"), QLatin1String("layer"), QLatin1String("profile")};
    return std::find(types.begin(), types.end(), type) != types.end();
}

bool stepHasDelay(const QString& type)
{
    return type == QLatin1String("tap") || type == QLatin1String("wait") || type == QLatin1String("chord")
        || type == QLatin1String("wheel") || type == QLatin1String("move");
}

QJsonObject macroStep(const QString& type, const QString& input, qint64 milliseconds)
{
    return QJsonObject{{kType, type}, {kInput, type == QLatin1String("wait") ? QString() : input},
        {kMs, milliseconds}};
}

QString macroDuration(const QJsonArray& steps, const QString& mode, int repeat, bool english)
{
    qint64 delays = 0;
    qint64 budget = 0;
    for (const QJsonValue& value : steps) {
        const QJsonObject step = value.toObject();
        const QString type = step.value(kType).toString();
        if (stepHasDelay(type))
            delays += step.value(kMs).toInteger();
        else if (type == QLatin1String("command"))
            budget += kCommandBudgetMs;
    }
    if (mode == QLatin1String("count")) {
        delays *= repeat;
        budget *= repeat;
    }
    const QString seconds = english ? QStringLiteral(" s") : QStringLiteral(" с");
    QString text = (english ? QStringLiteral("Delays: ") : QStringLiteral("Задержки: "))
        + QString::number(double(delays) / 1000.0, 'f', 2) + seconds;
    if (budget != 0)
        text += (english ? QStringLiteral("; external action timeout budget: ")
                         : QStringLiteral("; предел ожидания внешних действий: "))
            + QString::number(budget / 1000) + seconds;
    return text;
}

QJsonArray balanceRecordedSteps(const QJsonArray& steps)
{
    QJsonArray kept;
    QList<QString> held;
    for (const QJsonValue& value : steps) {
        const QJsonObject step = value.toObject();
        const QString type = step.value(kType).toString();
        const QString input = step.value(kInput).toString();
        QList<QString> after = held;
        if (type == QLatin1String("down")) {
            if (held.contains(input))
                continue;
            after.append(input);
        } else if (type == QLatin1String("up")) {
            if (!held.contains(input))
                continue;
            after.removeOne(input);
        }
        // Room for this step and the releases that must follow it.
        if (kept.size() + after.size() + 1 > kStepLimit)
            break;
        kept.append(step);
        held = after;
    }
    for (auto input = held.crbegin(); input != held.crend(); ++input)
        kept.append(macroStep(QStringLiteral("up"), *input, 0));
    return kept;
}

std::optional<int> macroToReopen(const QJsonArray& previousMacros, const QJsonArray& currentMacros, int macroIndex)
{
    if (currentMacros == previousMacros || macroIndex < 0)
        return std::nullopt;
    if (macroIndex >= previousMacros.size())
        return -1;
    const QJsonValue open = previousMacros.at(macroIndex);
    const auto found = std::find(currentMacros.begin(), currentMacros.end(), open);
    if (found != currentMacros.end())
        return int(found - currentMacros.begin());
    return currentMacros.size() == previousMacros.size() ? macroIndex : -1;
}

QJsonObject customAction(const QString& type, const QString& name, const QString& value,
    const QString& arguments, bool clipboard)
{
    QJsonObject action{{kType, type}, {QStringLiteral("name"), name.trimmed()}, {QStringLiteral("value"), value}};
    if (type == QLatin1String("application"))
        action.insert(QStringLiteral("arguments"),
            arguments.isEmpty() ? QJsonArray() : QJsonArray::fromStringList(arguments.split(QLatin1Char('\n'))));
    if (type == QLatin1String("text"))
        action.insert(QStringLiteral("clipboard"), clipboard);
    return action;
}

} // namespace editor
