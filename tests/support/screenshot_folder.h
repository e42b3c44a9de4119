#pragma once

#include <QDir>
#include <QString>
#include <QtGlobal>

namespace vorna::test {

// Where tests save windows for a person to look at: "<build>/screenshots" (the temporary folder
// when run outside the build), made if missing. Empty when it cannot be made, so that a save
// into it fails visibly instead of landing somewhere else.
inline QString screenshotFolder()
{
    const QString folder = qEnvironmentVariable("VORNA_BINARY_DIR", QDir::tempPath()) + QStringLiteral("/screenshots");
    return QDir().mkpath(folder) ? folder : QString();
}

} // namespace vorna::test
