#include "app/branding.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace app {

namespace {

// The branding file is a few hundred bytes; anything far larger is not ours.
constexpr qint64 kMaxBrandingBytes = 65536;

QString stringMember(const QJsonObject& object, const char* key, const char* fallback)
{
    const QJsonValue value = object.value(QLatin1String(key));
    return value.isString() ? value.toString() : QString::fromUtf8(fallback);
}

} // namespace

void loadBrandingFrom(const QString& path)
{
    QJsonObject object;
    QFile file(path);
    if (file.open(QIODevice::ReadOnly))
        object = QJsonDocument::fromJson(file.read(kMaxBrandingBytes)).object();
    QCoreApplication::setApplicationName(stringMember(object, "displayName", kDefaultDisplayName));
    QCoreApplication::setOrganizationName(stringMember(object, "organization", kDefaultOrganization));
    QCoreApplication::setApplicationVersion(stringMember(object, "version", kDefaultVersion));
}

void loadBranding()
{
    loadBrandingFrom(QStringLiteral(":/config/branding.json"));
}

} // namespace app
