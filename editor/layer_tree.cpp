#include "editor/layer_tree.h"

#include <QJsonArray>

namespace editor {

namespace {

QJsonArray profilesOf(const QJsonObject& library)
{
    return library.value(QLatin1String("profiles")).toArray();
}

QJsonArray layersOf(const QJsonObject& profile)
{
    return profile.value(QLatin1String("layers")).toArray();
}

} // namespace

bool hasProfile(const QJsonObject& library, int profileIndex)
{
    return profileIndex >= 0 && profileIndex < profilesOf(library).size();
}

bool hasLayer(const QJsonObject& library, int profileIndex, int layerIndex)
{
    return hasProfile(library, profileIndex) && layerIndex >= 0
        && layerIndex < layersOf(profileAt(library, profileIndex)).size();
}

QJsonObject profileAt(const QJsonObject& library, int profileIndex)
{
    return hasProfile(library, profileIndex) ? profilesOf(library).at(profileIndex).toObject() : QJsonObject();
}

QJsonObject layerAt(const QJsonObject& library, int profileIndex, int layerIndex)
{
    return hasLayer(library, profileIndex, layerIndex)
        ? layersOf(profileAt(library, profileIndex)).at(layerIndex).toObject()
        : QJsonObject();
}

QJsonObject withProfile(const QJsonObject& library, int profileIndex, const QJsonObject& profile)
{
    if (!hasProfile(library, profileIndex))
        return library;
    QJsonArray profiles = profilesOf(library);
    profiles.replace(profileIndex, profile);
    QJsonObject next = library;
    next.insert(QStringLiteral("profiles"), profiles);
    return next;
}

QJsonObject withLayer(const QJsonObject& library, int profileIndex, int layerIndex, const QJsonObject& layer)
{
    if (!hasLayer(library, profileIndex, layerIndex))
        return library;
    QJsonObject profile = profileAt(library, profileIndex);
    QJsonArray layers = layersOf(profile);
    layers.replace(layerIndex, layer);
    profile.insert(QStringLiteral("layers"), layers);
    return withProfile(library, profileIndex, profile);
}

QJsonObject withLayerRules(const QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules)
{
    QJsonObject layer = layerAt(library, profileIndex, layerIndex);
    layer.insert(QStringLiteral("rules"), rules);
    return withLayer(library, profileIndex, layerIndex, layer);
}

} // namespace editor
