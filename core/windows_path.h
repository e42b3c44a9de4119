// Windows path rules (drive letters, both separators, network paths) applied the same on every
// host, so that a library checked on one machine means the same on another.
#pragma once

#include <QString>
#include <QStringView>

namespace vorna::core {

// Path rules of the Windows desktop the program serves, applied identically on every host so
// that a library checked on one machine means the same on another. QDir is not used on purpose:
// it follows the rules of the system it runs on.

// A fully qualified local path: a drive letter, a colon and a separator ("D:\x", "d:/x").
// Drive-relative ("D:x"), root-relative ("\x") and network paths (two leading separators in
// any spelling) are not.
bool isAbsoluteLocalPath(QStringView path);

// Backslashes turned into forward slashes.
QString withForwardSlashes(QString path);

// The last component after either separator.
QStringView pathFileName(QStringView path);

} // namespace vorna::core
