#include "core/rule_inheritance.h"

#include <QHash>
#include <QString>

#include <array>

namespace vorna::core {

namespace {

constexpr int kLayerCount = 10;

struct LayerRef {
    int profile;
    int layer;
};

// From general to specific: global base layer, the profile's base layer, the layer itself.
struct InheritanceStack {
    std::array<LayerRef, 3> layers{};
    int count = 0;
};

bool inRange(const QJsonObject& library, int profileIndex, int layerIndex)
{
    return profileIndex >= 0 && profileIndex < library.value(QStringLiteral("profiles")).toArray().size()
           && layerIndex >= 0 && layerIndex < kLayerCount;
}

InheritanceStack inheritanceStack(int profileIndex, int layerIndex)
{
    InheritanceStack stack;
    stack.layers[stack.count++] = {0, 0};
    if (profileIndex != 0)
        stack.layers[stack.count++] = {profileIndex, 0};
    if (layerIndex != 0)
        stack.layers[stack.count++] = {profileIndex, layerIndex};
    return stack;
}

QJsonObject profileAt(const QJsonObject& library, int profileIndex)
{
    return library.value(QStringLiteral("profiles")).toArray().at(profileIndex).toObject();
}

QJsonObject layerAt(const QJsonObject& library, LayerRef ref)
{
    return profileAt(library, ref.profile).value(QStringLiteral("layers")).toArray().at(ref.layer).toObject();
}

// What makes two rules the same entry: the exact source text and the modifiers (absent or
// not a whole number counts as 0).
struct RuleIdentity {
    QString source;
    int modifiers = 0;

    explicit RuleIdentity(const QJsonValue& rule)
        : source(rule.toObject().value(QStringLiteral("source")).toString()),
          modifiers(rule.toObject().value(QStringLiteral("modifiers")).toInt(0))
    {
    }
    bool operator==(const RuleIdentity& other) const = default;
};

size_t qHash(const RuleIdentity& identity, size_t seed = 0)
{
    return qHashMulti(seed, identity.source, identity.modifiers);
}

// Overlays one layer's rules: a rule whose identity is already in the result takes that
// entry's place, any other is appended. Identities in the result stay unique, so the index
// always points at the first (and only) entry with that identity.
void mergeLayerRules(QJsonArray& result, QHash<RuleIdentity, qsizetype>& positions, const QJsonArray& rules)
{
    for (const QJsonValue& rule : rules) {
        const RuleIdentity identity(rule);
        const auto found = positions.constFind(identity);
        if (found != positions.constEnd()) {
            result.replace(*found, rule);
        } else {
            positions.insert(identity, result.size());
            result.append(rule);
        }
    }
}

QJsonObject defaultMotion()
{
    return QJsonObject{
        {QStringLiteral("wheelVertical"), 100},    {QStringLiteral("wheelHorizontal"), 100},
        {QStringLiteral("invertVertical"), false}, {QStringLiteral("invertHorizontal"), false},
        {QStringLiteral("pages"), false},          {QStringLiteral("verticalToHorizontal"), false},
        {QStringLiteral("cursorX"), 100},          {QStringLiteral("cursorY"), 100},
        {QStringLiteral("invertX"), false},        {QStringLiteral("invertY"), false},
        {QStringLiteral("axis"), 0},               {QStringLiteral("temporarySpeed"), 25},
        {QStringLiteral("scrollPixels"), 40},
    };
}

} // namespace

QJsonArray effectiveRules(const QJsonObject& library, int profileIndex, int layerIndex)
{
    QJsonArray result;
    if (!inRange(library, profileIndex, layerIndex))
        return result;
    QHash<RuleIdentity, qsizetype> positions;
    const InheritanceStack stack = inheritanceStack(profileIndex, layerIndex);
    for (int i = 0; i < stack.count; ++i)
        mergeLayerRules(result, positions, layerAt(library, stack.layers[i]).value(QStringLiteral("rules")).toArray());
    return result;
}

QJsonObject effectiveMotion(const QJsonObject& library, int profileIndex, int layerIndex)
{
    QJsonObject result = defaultMotion();
    if (!inRange(library, profileIndex, layerIndex))
        return result;
    const InheritanceStack stack = inheritanceStack(profileIndex, layerIndex);
    for (int i = 0; i < stack.count; ++i) {
        const QJsonObject layer = layerAt(library, stack.layers[i]);
        if (layer.contains(QStringLiteral("motion")))
            result = layer.value(QStringLiteral("motion")).toObject();
    }
    return result;
}

QJsonObject annotatedRules(const QJsonObject& library, int profileIndex, int layerIndex, quint32 ruleNumber)
{
    if (!inRange(library, profileIndex, layerIndex) || ruleNumber == 0)
        return {};
    const QJsonArray rules = effectiveRules(library, profileIndex, layerIndex);
    if (ruleNumber > static_cast<quint64>(rules.size()))
        return {};
    const RuleIdentity identity(rules.at(ruleNumber - 1));

    // The last layer of the chain that has the rule is the one whose rule is in force.
    LayerRef origin{-1, -1};
    const InheritanceStack stack = inheritanceStack(profileIndex, layerIndex);
    for (int i = 0; i < stack.count; ++i) {
        const QJsonArray layerRules = layerAt(library, stack.layers[i]).value(QStringLiteral("rules")).toArray();
        for (const QJsonValue& rule : layerRules) {
            if (RuleIdentity(rule) == identity) {
                origin = stack.layers[i];
                break;
            }
        }
    }
    if (origin.profile < 0)
        return {};

    const QJsonObject selected = profileAt(library, profileIndex);
    const QJsonObject originProfile = profileAt(library, origin.profile);
    const QJsonObject condition = selected.value(QStringLiteral("condition")).toObject();
    return QJsonObject{
        {QStringLiteral("priority"), static_cast<int>(qPopulationCount(static_cast<quint32>(identity.modifiers)))},
        {QStringLiteral("profilePriority"), selected.value(QStringLiteral("priority")).toInt(0)},
        {QStringLiteral("originProfileName"), originProfile.value(QStringLiteral("name"))},
        {QStringLiteral("originLayerName"), layerAt(library, origin).value(QStringLiteral("name"))},
        {QStringLiteral("originProfileIndex"), origin.profile},
        {QStringLiteral("originLayerIndex"), origin.layer},
        {QStringLiteral("inherited"), origin.profile != profileIndex || origin.layer != layerIndex},
        {QStringLiteral("configuredCondition"),
         QJsonObject{
             {QStringLiteral("application"), selected.value(QStringLiteral("application")).toString()},
             {QStringLiteral("mode"), condition.value(QStringLiteral("mode")).toString(QStringLiteral("foreground"))},
             {QStringLiteral("title"), condition.value(QStringLiteral("title")).toString()},
             {QStringLiteral("class"), condition.value(QStringLiteral("class")).toString()},
         }},
    };
}

} // namespace vorna::core
