// Helpers over the library's profile, layer and rule tree that several editors share.

#include "app/app_controller.h"

#include "editor/library_state.h"

QJsonObject AppController::stripRuleNames(const QJsonObject& library)
{
    return editor::stripRuleNames(library);
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
