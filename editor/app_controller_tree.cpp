// Helpers over the library's profile, layer and rule tree that several editors share.

#include "app/app_controller.h"

namespace {

QJsonArray withoutRuleNames(const QJsonArray& rules)
{
    QJsonArray stripped;
    for (const QJsonValue& value : rules) {
        if (!value.isObject()) {
            stripped.append(value);
            continue;
        }
        QJsonObject rule = value.toObject();
        rule.remove(QStringLiteral("name"));
        stripped.append(rule);
    }
    return stripped;
}

} // namespace

QJsonObject AppController::stripRuleNames(const QJsonObject& library)
{
    QJsonArray profiles = library.value(QLatin1String("profiles")).toArray();
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        if (!profiles.at(p).isObject())
            continue;
        QJsonObject profile = profiles.at(p).toObject();
        QJsonArray layers = profile.value(QLatin1String("layers")).toArray();
        for (qsizetype l = 0; l < layers.size(); ++l) {
            if (!layers.at(l).isObject())
                continue;
            QJsonObject layer = layers.at(l).toObject();
            if (layer.value(QLatin1String("rules")).isArray())
                layer.insert(QStringLiteral("rules"), withoutRuleNames(layer.value(QLatin1String("rules")).toArray()));
            layers.replace(l, layer);
        }
        if (profile.contains(QLatin1String("layers")))
            profile.insert(QStringLiteral("layers"), layers);
        profiles.replace(p, profile);
    }
    QJsonObject stripped = library;
    if (library.contains(QLatin1String("profiles")))
        stripped.insert(QStringLiteral("profiles"), profiles);
    return stripped;
}

void AppController::setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules)
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
