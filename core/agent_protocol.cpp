#include "core/agent_protocol.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

namespace vorna::protocol {

namespace {

QJsonArray withoutNames(const QJsonArray& rules)
{
    QJsonArray result;
    for (const QJsonValue& value : rules) {
        QJsonObject rule = value.toObject();
        if (value.isObject())
            rule.remove(QStringLiteral("name"));
        result.append(value.isObject() ? QJsonValue(rule) : value);
    }
    return result;
}

} // namespace

QString documentHash(const QJsonObject& library)
{
    // QJsonObject keeps its keys sorted, so the compact form is the canonical one.
    const QByteArray bytes = QJsonDocument(library).toJson(QJsonDocument::Compact);
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex());
}

QJsonObject stripRuleNames(const QJsonObject& library)
{
    const QString profilesKey = QStringLiteral("profiles");
    const QString layersKey = QStringLiteral("layers");
    const QString rulesKey = QStringLiteral("rules");
    if (!library.value(profilesKey).isArray())
        return library;
    QJsonArray profiles = library.value(profilesKey).toArray();
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        QJsonObject profile = profiles.at(p).toObject();
        if (!profiles.at(p).isObject() || !profile.value(layersKey).isArray())
            continue;
        QJsonArray layers = profile.value(layersKey).toArray();
        for (qsizetype l = 0; l < layers.size(); ++l) {
            QJsonObject layer = layers.at(l).toObject();
            if (!layers.at(l).isObject() || !layer.value(rulesKey).isArray())
                continue;
            layer[rulesKey] = withoutNames(layer.value(rulesKey).toArray());
            layers[l] = layer;
        }
        profile[layersKey] = layers;
        profiles[p] = profile;
    }
    QJsonObject stripped = library;
    stripped[profilesKey] = profiles;
    return stripped;
}

} // namespace vorna::protocol
