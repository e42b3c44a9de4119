#pragma once

// Readers that take a path are fuzzed through one scratch file per fuzz program.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <cstdlib>

// Writes `bytes` to the program's scratch file named `name` and returns its path.
inline QString writeScratchFile(const QString& name, const QByteArray& bytes)
{
    static QTemporaryDir folder;
    const QString path = folder.filePath(name);
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        std::abort();
    return path;
}
