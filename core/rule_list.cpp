#include "core/rule_list.h"

#include "core/json_checks.h"
#include "core/output_mapping.h"
#include "core/rules_snapshot.h"

#include <QJsonObject>
#include <QSet>
#include <QStringList>

#include <bit>

namespace vorna::core {

namespace {

bool isValidRuleName(const QJsonValue& value)
{
    if (!value.isString())
        return false;
    const QString name = value.toString();
    if (name.size() > 80)
        return false;
    for (const QChar c : name) {
        const QChar::Category category = c.category();
        if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || category == QChar::Other_Control)
            return false;
    }
    return true;
}

// Fills the trigger fields of `rule` from the "trigger" object; an empty result means success.
QString parseTrigger(const QJsonValue& value, const QString& source, CompiledRule& rule)
{
    static const QStringList kinds = {QStringLiteral("holdTap"), QStringLiteral("double"), QStringLiteral("chord")};
    const QJsonObject trigger = value.toObject();
    const QJsonValue kindValue = trigger.value(QLatin1String("kind"));
    const qsizetype kind = kindValue.isString() ? kinds.indexOf(kindValue.toString()) : -1;
    if (!value.isObject() || kind < 0 || trigger.size() != 3)
        return QStringLiteral("Invalid trigger object");

    const bool chord = kind == 2;
    const QString third = chord ? QStringLiteral("keys") : QStringLiteral("fallback");
    if (!hasOnlyKeys(trigger, {QStringLiteral("kind"), QStringLiteral("intervalMs"), third}))
        return QStringLiteral("Unknown trigger field");

    int interval = 0;
    if (!readWholeNumber(trigger.value(QLatin1String("intervalMs")), 100, 2000, interval))
        return QStringLiteral("Trigger interval must be 100..2000 ms");
    rule.trigger = TriggerKind(kind + 1);
    rule.triggerIntervalMs = std::uint32_t(interval);

    if (chord) {
        const QJsonValue keysValue = trigger.value(third);
        const QJsonArray keys = keysValue.toArray();
        if (!keysValue.isArray() || keys.isEmpty() || keys.size() > 3)
            return QStringLiteral("Source chord needs 1..3 preceding keys");
        for (const QJsonValue key : keys) {
            if (!key.isString() || !parseInputId(key.toString(), rule.precedingKeys[rule.precedingKeyCount]))
                return QStringLiteral("Unknown source chord key");
            ++rule.precedingKeyCount;
        }
        return QString();
    }

    const QJsonValue fallbackValue = trigger.value(third);
    if (!fallbackValue.isString())
        return QStringLiteral("Trigger fallback must be an output text");
    CompiledRule fallback;
    QString error;
    if (!parseMappingRule(source, fallbackValue.toString(), fallback, error))
        return error;
    // An "unchanged" fallback comes back as a fresh record of kind Unchanged, which leaves
    // exactly layer timer 1000 and every other field 0.
    rule.fallback.kind = fallback.targetKind;
    rule.fallback.output = fallback.output;
    rule.fallback.chordKeys = fallback.chordKeys;
    rule.fallback.chordKeyCount = fallback.chordKeyCount;
    rule.fallback.macroSlot = fallback.macroSlot;
    rule.fallback.actionSlot = fallback.actionSlot;
    rule.fallback.layerOp = fallback.layerOp;
    rule.fallback.layerIndex = fallback.layerIndex;
    rule.fallback.layerTimerMs = fallback.layerTimerMs;
    rule.fallback.pointerMode = fallback.pointerMode;
    return QString();
}

// Checks and compiles one rule object at `position`; an empty result means success.
QString parseRule(const QJsonValue& value, qsizetype position, QSet<QString>& seen, CompiledRule& rule)
{
    static const QStringList fields = {QStringLiteral("source"),    QStringLiteral("target"),
                                       QStringLiteral("keepOriginal"), QStringLiteral("modifiers"),
                                       QStringLiteral("trigger"),   QStringLiteral("name")};
    if (!value.isObject())
        return QStringLiteral("Expected rule object");
    const QJsonObject object = value.toObject();
    if (!hasOnlyKeys(object, fields))
        return QStringLiteral("Unknown rule field");
    if (object.contains(QLatin1String("name")) && !isValidRuleName(object.value(QLatin1String("name"))))
        return QStringLiteral("Rule name must be at most 80 characters without control characters");

    const QString source = object.value(QLatin1String("source")).toString();
    const QString target = object.value(QLatin1String("target")).toString();

    int modifiers = 0;
    if (object.contains(QLatin1String("modifiers"))
        && !readWholeNumber(object.value(QLatin1String("modifiers")), 0, 15, modifiers))
        return QStringLiteral("Invalid modifiers");

    // One rule per source and modifier combination, whatever the triggers.
    const QString key = source + QLatin1Char('#') + QString::number(modifiers);
    if (seen.contains(key))
        return QStringLiteral("Duplicate source in layer");
    seen.insert(key);

    const QJsonValue keepOriginal = object.value(QLatin1String("keepOriginal"));
    if (object.contains(QLatin1String("keepOriginal")) && !keepOriginal.isBool())
        return QStringLiteral("Invalid original policy");

    QString error;
    if (!parseMappingRule(source, target, rule, error))
        return error;
    rule.id = std::uint32_t(position + 1);
    rule.suppressOriginal = !keepOriginal.toBool(false);
    rule.modifiers = std::uint8_t(modifiers);
    rule.modifierCount = std::int16_t(std::popcount(unsigned(modifiers)));

    if (object.contains(QLatin1String("trigger")))
        return parseTrigger(object.value(QLatin1String("trigger")), source, rule);
    return QString();
}

} // namespace

bool parseRules(const QJsonArray& rules, RulesSnapshot& snapshot, QString& error)
{
    if (rules.size() > qsizetype(kMaxRules)) {
        error = QStringLiteral("Too many rules");
        return false;
    }
    std::array<CompiledRule, kMaxRules> records;
    QSet<QString> seen;
    for (qsizetype i = 0; i < rules.size(); ++i) {
        if (const QString failure = parseRule(rules.at(i), i, seen, records[std::size_t(i)]); !failure.isEmpty()) {
            error = failure;
            return false;
        }
    }
    if (compileRules(records.data(), std::size_t(rules.size()), snapshot) != kCompileOk) {
        error = QStringLiteral("Invalid rules");
        return false;
    }
    return true;
}

} // namespace vorna::core
