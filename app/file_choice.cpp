#include "app/file_choice.h"

#include <QDir>
#include <QFileInfo>

namespace app {

QString localFilePath(const QUrl& url)
{
    if (url.isLocalFile())
        return url.toLocalFile();
    if (url.scheme().isEmpty() && QDir::isAbsolutePath(url.path()))
        return QDir::cleanPath(url.path());
    return {};
}

QString pickedFilePath(const QString& folder, const QString& typedName, const QString& suffix)
{
    const QString name = typedName.trimmed();
    if (name.isEmpty() || folder.isEmpty())
        return {};
    const QString path = QDir::cleanPath(QDir::isAbsolutePath(name) ? name : QDir(folder).filePath(name));
    const QFileInfo file(path);
    if (file.isDir() || suffix.isEmpty() || !file.suffix().isEmpty() || name.endsWith(QLatin1Char('/')))
        return path;
    return path + QLatin1Char('.') + suffix;
}

} // namespace app
