#include "editor/library_tree.h"

namespace editor {
namespace {

// The slot a reference names: the number after the prefix, 0 when the text does not start
// with the prefix or the rest is no 32-bit decimal number.
int slotOf(const QString& text, const QString& prefix)
{
    if (!text.startsWith(prefix))
        return 0;
    bool parsed = false;
    const int slot = text.mid(prefix.size()).toInt(&parsed, 10);
    return parsed ? slot : 0;
}

QString renumbered(const QString& text, const QString& prefix, int deleted)
{
    const int slot = slotOf(text, prefix);
    return slot > deleted ? prefix + QString::number(slot - 1) : text;
}

} // namespace

bool triggerSlotReference(QJsonObject& rule, const QString& prefix, int slot)
{
    const QString targetKey = QStringLiteral("target");
    const QString triggerKey = QStringLiteral("trigger");
    const QString fallbackKey = QStringLiteral("fallback");
    QJsonObject trigger = rule.value(triggerKey).toObject();
    const QString target = rule.value(targetKey).toString();
    const QString fallback = trigger.value(fallbackKey).toString();
    if ((target.startsWith(prefix) && slotOf(target, prefix) == slot)
        || (fallback.startsWith(prefix) && slotOf(fallback, prefix) == slot))
        return false;
    if (rule.contains(targetKey))
        rule.insert(targetKey, renumbered(target, prefix, slot));
    if (trigger.contains(fallbackKey)) {
        trigger.insert(fallbackKey, renumbered(fallback, prefix, slot));
        rule.insert(triggerKey, trigger);
    }
    return true;
}

void setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules)
{
    QJsonArray profiles = library.value(QLatin1String("profiles")).toArray();
    if (profileIndex < 0 || profileIndex >= profiles.size())
        return; // callers pass checked indices; a stale one must not write past the tree
    QJsonObject profile = profiles.at(profileIndex).toObject();
    QJsonArray layers = profile.value(QLatin1String("layers")).toArray();
    if (layerIndex < 0 || layerIndex >= layers.size())
        return;
    QJsonObject layer = layers.at(layerIndex).toObject();
    layer.insert(QStringLiteral("rules"), rules);
    layers.replace(layerIndex, layer);
    profile.insert(QStringLiteral("layers"), layers);
    profiles.replace(profileIndex, profile);
    library.insert(QStringLiteral("profiles"), profiles);
}

} // namespace editor
