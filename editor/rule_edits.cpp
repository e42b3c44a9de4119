#include "editor/rule_edits.h"

#include "core/compiled_rule.h"
#include "core/rule_inheritance.h"
#include "editor/layer_tree.h"

#include <QJsonArray>

namespace editor {

namespace {

const QString kName = QStringLiteral("name");
const QString kRules = QStringLiteral("rules");

QJsonObject unnamed(QJsonObject rule)
{
    rule.remove(kName);
    return rule;
}

// Modifier prefixes in the order labels show them.
struct ModifierCaption {
    int bit;
    const char* caption;
};
constexpr ModifierCaption kModifierCaptions[] = {{vorna::core::kModifierCtrl, "Ctrl+"},
                                                {vorna::core::kModifierShift, "Shift+"},
                                                {vorna::core::kModifierAlt, "Alt+"},
                                                {vorna::core::kModifierWin, "Win+"}};

QString modifierPrefix(int modifiers)
{
    QString prefix;
    for (const ModifierCaption& entry : kModifierCaptions) {
        if (modifiers & entry.bit)
            prefix += QLatin1String(entry.caption);
    }
    return prefix;
}

QString triggerCaption(const QJsonObject& trigger, bool english)
{
    if (trigger.isEmpty())
        return {};
    const QString kind = trigger.value(QLatin1String("kind")).toString();
    if (kind == QLatin1String("holdTap"))
        return english ? QStringLiteral("Long: ") : QStringLiteral("Длинное: ");
    if (kind == QLatin1String("double"))
        return english ? QStringLiteral("Double: ") : QStringLiteral("Двойное: ");
    return english ? QStringLiteral("Combination: ") : QStringLiteral("Сочетание: ");
}

} // namespace

bool ruleNameAcceptable(const QString& name, QString& trimmed)
{
    for (const QChar unit : name) {
        const QChar::Category category = unit.category();
        if (category == QChar::Separator_Line || category == QChar::Separator_Paragraph
            || category == QChar::Other_Control)
            return false;
    }
    trimmed = name.trimmed();
    return trimmed.size() <= kMaxRuleNameUnits;
}

QJsonObject ruleObject(const EditorRule& rule)
{
    QJsonObject object{
        {QStringLiteral("source"), rule.source},
        {QStringLiteral("target"), rule.target},
        {QStringLiteral("keepOriginal"), rule.keepOriginal},
        {QStringLiteral("modifiers"), rule.modifiers},
    };
    if (!rule.trigger.isEmpty())
        object.insert(QStringLiteral("trigger"), rule.trigger);
    if (!rule.name.isEmpty())
        object.insert(kName, rule.name);
    return object;
}

QJsonArray ownRules(const QJsonObject& library, int profileIndex, int layerIndex)
{
    return layerAt(library, profileIndex, layerIndex).value(kRules).toArray();
}

RuleSave savedRule(const QJsonObject& library, int profileIndex, int layerIndex, const EditorRule& rule)
{
    const QJsonObject stored = ruleObject(rule);
    QJsonArray own = ownRules(library, profileIndex, layerIndex);
    const int at = findRule(own, rule.source, rule.modifiers);
    QJsonObject previous;
    if (at >= 0) {
        previous = own.at(at).toObject();
        own.replace(at, stored);
    } else {
        const QJsonArray inForce = vorna::core::effectiveRules(library, profileIndex, layerIndex);
        const int inherited = findRule(inForce, rule.source, rule.modifiers);
        if (inherited >= 0)
            previous = inForce.at(inherited).toObject();
        own.append(stored);
    }
    return RuleSave{withLayerRules(library, profileIndex, layerIndex, own), unnamed(previous) == unnamed(stored)};
}

RuleRename renamedRule(const QJsonObject& library, int profileIndex, int layerIndex, const RuleIdentity& identity,
                       const QString& name)
{
    const QJsonArray inForce = vorna::core::effectiveRules(library, profileIndex, layerIndex);
    const int at = findRule(inForce, identity.source, identity.modifiers);
    if (at < 0)
        return {};
    QJsonObject entry = inForce.at(at).toObject();
    if (entry.value(kName).toString() == name && (!name.isEmpty() || !entry.contains(kName)))
        return RuleRename{RuleRename::Unchanged, library};
    if (name.isEmpty())
        entry.remove(kName);
    else
        entry.insert(kName, name);
    QJsonArray own = ownRules(library, profileIndex, layerIndex);
    const int ownAt = findRule(own, identity.source, identity.modifiers);
    if (ownAt >= 0)
        own.replace(ownAt, entry);
    else
        own.append(entry);
    return RuleRename{RuleRename::Changed, withLayerRules(library, profileIndex, layerIndex, own)};
}

QJsonObject withoutRule(const QJsonObject& library, int profileIndex, int layerIndex, const RuleIdentity& identity)
{
    QJsonArray own = ownRules(library, profileIndex, layerIndex);
    for (qsizetype i = own.size() - 1; i >= 0; --i) {
        if (ruleMatches(own.at(i).toObject(), identity.source, identity.modifiers))
            own.removeAt(i);
    }
    return withLayerRules(library, profileIndex, layerIndex, own);
}

QVariantList ruleItems(const QJsonObject& library, int profileIndex, int layerIndex,
                       const std::function<QString(const QString&)>& describe, bool english)
{
    const QJsonArray own = ownRules(library, profileIndex, layerIndex);
    QVariantList items;
    for (const QJsonValue& value : vorna::core::effectiveRules(library, profileIndex, layerIndex)) {
        const QJsonObject rule = value.toObject();
        const QString source = rule.value(QLatin1String("source")).toString();
        const int modifiers = ruleModifiers(rule);
        QVariantMap item = rule.toVariantMap();
        item.insert(QStringLiteral("identity"), ruleIdentityText(source, modifiers));
        item.insert(QStringLiteral("inherited"), findRule(own, source, modifiers) < 0);
        item.insert(QStringLiteral("sourceLabel"), modifierPrefix(modifiers) + describe(source));
        item.insert(QStringLiteral("targetLabel"),
            triggerCaption(rule.value(QLatin1String("trigger")).toObject(), english)
                + describe(rule.value(QLatin1String("target")).toString()));
        items.append(item);
    }
    return items;
}

} // namespace editor
