#pragma once

// A folder path that no write can create: it lies under a regular file. Tests run as root, so
// permissions would not make a write fail; this does, on every file system.

#include <QDir>
#include <QFile>
#include <QString>

namespace vorna::test {

// Makes the regular file `blocker` inside `folder` and returns "<folder>/<blocker>/<below>".
inline QString unwritablePath(const QString& folder, const QString& below = QStringLiteral("config"))
{
    const QString blocker = QDir(folder).filePath(QStringLiteral("blocker"));
    QFile file(blocker);
    if (!file.exists() && file.open(QIODevice::WriteOnly))
        file.close();
    return blocker + QLatin1Char('/') + below;
}

} // namespace vorna::test
