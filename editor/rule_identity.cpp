#include "editor/rule_identity.h"

namespace editor {

std::optional<RuleIdentity> parseRuleIdentity(const QString& text, IdentityUse use, int currentModifiers)
{
    const qsizetype hash = text.indexOf(QLatin1Char('#'));
    if (hash < 0)
        return RuleIdentity{text, use == IdentityUse::Remove ? currentModifiers : 0};
    RuleIdentity identity{text.left(hash), 0};
    bool number = false;
    const int modifiers = text.mid(hash + 1).toInt(&number, 10);
    if (use == IdentityUse::Rename && (!number || modifiers < 0 || modifiers > 15))
        return std::nullopt;
    identity.modifiers = number ? modifiers : 0;
    return identity;
}

QString ruleIdentityText(const QString& source, int modifiers)
{
    return source + QLatin1Char('#') + QString::number(modifiers);
}

int ruleModifiers(const QJsonObject& rule)
{
    return rule.value(QLatin1String("modifiers")).toInt(0);
}

bool ruleMatches(const QJsonObject& rule, const QString& source, int modifiers)
{
    return rule.value(QLatin1String("source")).toString() == source && ruleModifiers(rule) == modifiers;
}

int findRule(const QJsonArray& rules, const QString& source, int modifiers)
{
    for (qsizetype i = 0; i < rules.size(); ++i) {
        if (ruleMatches(rules.at(i).toObject(), source, modifiers))
            return static_cast<int>(i);
    }
    return -1;
}

} // namespace editor
