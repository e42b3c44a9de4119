#include "editor/window_condition.h"

#include <QJsonArray>
#include <QRegularExpression>

namespace editor {

std::optional<QJsonObject> withWindowCondition(const QJsonObject& library, int profileIndex, const QString& mode,
    const QString& title, const QString& windowClass)
{
    QJsonArray profiles = library.value(QLatin1String("profiles")).toArray();
    if (profileIndex <= 0 || profileIndex >= profiles.size())
        return std::nullopt;
    QJsonObject profile = profiles.at(profileIndex).toObject();
    const QString condition = QStringLiteral("condition");
    if (mode == QLatin1String("foreground") && title.isEmpty() && windowClass.isEmpty())
        profile.remove(condition);
    else
        profile.insert(condition,
            QJsonObject{{QStringLiteral("mode"), mode}, {QStringLiteral("title"), title}, {QStringLiteral("class"), windowClass}});
    profiles.replace(profileIndex, profile);
    QJsonObject next = library;
    next.insert(QStringLiteral("profiles"), profiles);
    return next;
}

QString applicationPathOf(const QUrl& file)
{
    QString path = file.toLocalFile();
    // "file:///C:/x.exe" is a drive path on Windows; hosts that read it as "/C:/x.exe" get the
    // Windows form too, so a profile stores the same text everywhere.
    static const QRegularExpression driveAfterSlash(QStringLiteral("^/[A-Za-z]:/"));
    if (driveAfterSlash.match(path).hasMatch())
        path.remove(0, 1);
    return path;
}

} // namespace editor
