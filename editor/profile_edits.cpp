#include "editor/profile_edits.h"

#include "core/library_files.h"
#include "editor/layer_tree.h"

#include <QJsonArray>
#include <QUuid>

namespace editor {

namespace {

const QString kProfiles = QStringLiteral("profiles");

} // namespace

QString newProfileId()
{
    return QUuid::createUuid().toString(QUuid::Id128);
}

QJsonObject withNewProfile(const QJsonObject& library, int profileIndex, const QString& name, bool duplicate,
                           const QString& fallbackName, const QString& id)
{
    if (duplicate && !hasProfile(library, profileIndex))
        return library;
    const QString trimmed = name.trimmed();
    const QString chosen = trimmed.isEmpty() ? fallbackName : trimmed;
    QJsonObject profile = duplicate ? profileAt(library, profileIndex) : vorna::core::defaultProfile(chosen, QString());
    profile.insert(QStringLiteral("name"), chosen);
    profile.insert(QStringLiteral("id"), id);
    profile.insert(QStringLiteral("application"), QString());
    QJsonArray profiles = library.value(kProfiles).toArray();
    profiles.append(profile);
    QJsonObject next = library;
    next.insert(kProfiles, profiles);
    next.insert(QStringLiteral("selectedProfile"), static_cast<int>(profiles.size() - 1));
    return next;
}

QJsonObject withProfileDetails(const QJsonObject& library, int profileIndex, const QString& name,
                               const QString& application, int priority)
{
    QJsonObject profile = profileAt(library, profileIndex);
    profile.insert(QStringLiteral("name"), name.trimmed());
    profile.insert(QStringLiteral("application"), profileIndex == 0 ? QString() : application.trimmed());
    profile.insert(QStringLiteral("priority"), priority);
    return withProfile(library, profileIndex, profile);
}

QJsonObject withoutProfile(const QJsonObject& library, int profileIndex)
{
    if (profileIndex == 0 || !hasProfile(library, profileIndex))
        return library;
    QJsonArray profiles = library.value(kProfiles).toArray();
    profiles.removeAt(profileIndex);
    QJsonObject next = library;
    next.insert(kProfiles, profiles);
    next.insert(QStringLiteral("selectedProfile"), 0);
    return next;
}

QJsonObject withLayerName(const QJsonObject& library, int profileIndex, int layerIndex, const QString& name)
{
    QJsonObject layer = layerAt(library, profileIndex, layerIndex);
    layer.insert(QStringLiteral("name"), name.trimmed());
    return withLayer(library, profileIndex, layerIndex, layer);
}

} // namespace editor
