#include "core/rule_list.h"

#include "core/json_checks.h"
#include "core/output_mapping.h"
#include "core/rules_snapshot.h"

#include <QHashFunctions>
#include <QJsonObject>
#include <QStringList>

#include <array>
#include <bit>
#include <memory>

namespace vorna::core {

namespace {

// A name of at most 80 UTF-16 units without line or paragraph separators and control
// characters. ASCII is decided without the Unicode tables: its only such characters are the
// controls below 0x20 and 0x7F.
bool isValidRuleName(const QJsonValue& value)
{
    if (!value.isString())
        return false;
    const QString name = value.toString();
    if (name.size() > 80)
        return false;
    for (const QChar c : name) {
        if (c.unicode() < 0x80) {
            if (c.unicode() < 0x20 || c.unicode() == 0x7F)
                return false;
            continue;
        }
        const QChar::Category category = c.category();
        if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || category == QChar::Other_Control)
            return false;
    }
    return true;
}

// The (source text, modifiers) pairs of the rules read so far, in a fixed open-addressed table:
// one layer holds at most one rule per pair, and a check of 256 rules allocates nothing here
// (the texts are shared copies).
class SeenSources {
public:
    // False when the pair was seen before; otherwise remembers it.
    bool insert(const QString& source, int modifiers)
    {
        std::size_t slot = (qHash(source) ^ std::size_t(modifiers) * 0x9E3779B9u) % kSlots;
        for (; m_slots[slot] != 0; slot = (slot + 1) % kSlots) {
            const std::size_t seen = m_slots[slot] - 1u;
            if (m_modifiers[seen] == modifiers && m_sources[seen] == source)
                return false;
        }
        m_sources[m_count] = source;
        m_modifiers[m_count] = modifiers;
        m_slots[slot] = std::uint16_t(++m_count);
        return true;
    }

private:
    static constexpr std::size_t kSlots = 2 * kMaxRules;
    std::array<QString, kMaxRules> m_sources;
    std::array<int, kMaxRules> m_modifiers{};
    std::array<std::uint16_t, kSlots> m_slots{}; // index + 1 into the pairs, 0 free
    std::size_t m_count = 0;
};

// Fills the trigger fields of `rule` from the "trigger" object; an empty result means success.
QString parseTrigger(const QJsonValue& value, const QString& source, CompiledRule& rule)
{
    static const QStringList kinds = {QStringLiteral("holdTap"), QStringLiteral("double"), QStringLiteral("chord")};
    static const QStringList timedFields = {QStringLiteral("kind"), QStringLiteral("intervalMs"), QStringLiteral("fallback")};
    static const QStringList chordFields = {QStringLiteral("kind"), QStringLiteral("intervalMs"), QStringLiteral("keys")};
    const QJsonObject trigger = value.toObject();
    const QJsonValue kindValue = trigger.value(QLatin1String("kind"));
    const qsizetype kind = kindValue.isString() ? kinds.indexOf(kindValue.toString()) : -1;
    if (!value.isObject() || kind < 0 || trigger.size() != 3)
        return QStringLiteral("Invalid trigger object");

    const bool chord = kind == 2;
    if (!hasOnlyKeys(trigger, chord ? chordFields : timedFields))
        return QStringLiteral("Unknown trigger field");

    int interval = 0;
    if (!readWholeNumber(trigger.value(QLatin1String("intervalMs")), 100, 2000, interval))
        return QStringLiteral("Trigger interval must be 100..2000 ms");
    rule.trigger = TriggerKind(kind + 1);
    rule.triggerIntervalMs = std::uint32_t(interval);

    if (chord) {
        const QJsonValue keysValue = trigger.value(QLatin1String("keys"));
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

    const QJsonValue fallbackValue = trigger.value(QLatin1String("fallback"));
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
QString parseRule(const QJsonValue& value, qsizetype position, SeenSources& seen, CompiledRule& rule)
{
    enum Field { Source, Target, KeepOriginal, Modifiers, Trigger, Name, FieldCount };
    static const QStringList fields = {QStringLiteral("source"),    QStringLiteral("target"),
                                       QStringLiteral("keepOriginal"), QStringLiteral("modifiers"),
                                       QStringLiteral("trigger"),   QStringLiteral("name")};
    if (!value.isObject())
        return QStringLiteral("Expected rule object");
    const QJsonObject object = value.toObject();
    // Each field is looked up once (an absent one is undefined); when they account for every
    // key, no other key is present.
    std::array<QJsonValue, FieldCount> member;
    qsizetype present = 0;
    for (int field = 0; field < FieldCount; ++field) {
        member[field] = object.value(fields[field]);
        present += member[field].isUndefined() ? 0 : 1;
    }
    if (present != object.size() && !hasOnlyKeys(object, fields))
        return QStringLiteral("Unknown rule field");
    if (!member[Name].isUndefined() && !isValidRuleName(member[Name]))
        return QStringLiteral("Rule name must be at most 80 characters without control characters");

    const QString source = member[Source].toString();
    const QString target = member[Target].toString();

    int modifiers = 0;
    if (!member[Modifiers].isUndefined() && !readWholeNumber(member[Modifiers], 0, 15, modifiers))
        return QStringLiteral("Invalid modifiers");

    // One rule per source and modifier combination, whatever the triggers.
    if (!seen.insert(source, modifiers))
        return QStringLiteral("Duplicate source in layer");

    if (!member[KeepOriginal].isUndefined() && !member[KeepOriginal].isBool())
        return QStringLiteral("Invalid original policy");

    QString error;
    if (!parseMappingRule(source, target, rule, error))
        return error;
    rule.id = std::uint32_t(position + 1);
    rule.suppressOriginal = !member[KeepOriginal].toBool(false);
    rule.modifiers = std::uint8_t(modifiers);
    rule.modifierCount = std::int16_t(std::popcount(unsigned(modifiers)));

    if (!member[Trigger].isUndefined())
        return parseTrigger(member[Trigger], source, rule);
    return QString();
}

// Checks every element and writes its record to `records` (room for kMaxRules, constructed
// here only as far as the list goes).
bool parseElements(const QJsonArray& rules, CompiledRule* records, QString& error)
{
    if (rules.size() > qsizetype(kMaxRules)) {
        error = QStringLiteral("Too many rules");
        return false;
    }
    SeenSources seen;
    for (qsizetype i = 0; i < rules.size(); ++i) {
        CompiledRule* record = std::construct_at(records + i);
        if (const QString failure = parseRule(rules.at(i), i, seen, *record); !failure.isEmpty()) {
            error = failure;
            return false;
        }
    }
    return true;
}

} // namespace

bool parseRules(const QJsonArray& rules, RulesSnapshot& snapshot, QString& error)
{
    // Raw room for the records: a list fills only its own slots, not all 256.
    alignas(CompiledRule) unsigned char room[sizeof(CompiledRule) * kMaxRules];
    CompiledRule* records = reinterpret_cast<CompiledRule*>(room);
    if (!parseElements(rules, records, error))
        return false;
    if (compileRules(records, std::size_t(rules.size()), snapshot) != kCompileOk) {
        error = QStringLiteral("Invalid rules");
        return false;
    }
    return true;
}

bool parseRuleList(const QJsonArray& rules, std::array<CompiledRule, kMaxRules>& compiled, std::size_t& count,
                   QString& error)
{
    if (!parseElements(rules, compiled.data(), error))
        return false;
    if (sortRules(compiled.data(), std::size_t(rules.size()), compiled.data()) != kCompileOk) {
        error = QStringLiteral("Invalid rules");
        return false;
    }
    count = std::size_t(rules.size());
    return true;
}

} // namespace vorna::core
