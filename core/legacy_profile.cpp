#include "core/legacy_profile.h"

#include "core/json_checks.h"
#include "core/model_id.h"
#include "core/output_mapping.h"

#include <QStandardPaths>

namespace vorna::core {

QString legacyProfilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/profile-p0.json");
}

bool validateLegacyProfile(const QJsonObject& profile, QString& error)
{
    static const QStringList keys = {
        QStringLiteral("schemaVersion"), QStringLiteral("modelId"), QStringLiteral("source"), QStringLiteral("target"),
    };
    if (profile.size() != keys.size()) {
        error = QStringLiteral("Unexpected profile fields");
        return false;
    }
    if (!hasOnlyKeys(profile, keys)) {
        error = QStringLiteral("Unexpected profile field");
        return false;
    }
    if (profile.value(QStringLiteral("schemaVersion")).toInt(-1) != 1
        || !isKnownModelId(profile.value(QStringLiteral("modelId")).toString())) {
        error = QStringLiteral("Unsupported profile version or model");
        return false;
    }
    const QJsonValue source = profile.value(QStringLiteral("source"));
    const QJsonValue target = profile.value(QStringLiteral("target"));
    if (!source.isString() || !target.isString()) {
        error = QStringLiteral("Missing mapping");
        return false;
    }
    CompiledRule scratch;
    return parseMappingRule(source.toString(), target.toString(), scratch, error);
}

} // namespace vorna::core
