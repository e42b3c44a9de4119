// The single-mapping profile file of early versions, kept only so that an old installation's
// setting is carried into a library on first load.
#pragma once

#include <QJsonObject>
#include <QString>

namespace vorna::core {

// The single-mapping settings file of early versions ("profile-p0.json", schema 1), read only
// to convert it into a library. Always in the application's local data folder.
QString legacyProfilePath();

// Checks a legacy document: exactly schemaVersion 1, a known modelId and one source/target
// mapping that parses.
bool validateLegacyProfile(const QJsonObject& profile, QString& error);

} // namespace vorna::core
