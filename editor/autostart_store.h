#pragma once

// The agent's start at sign-in: the string value "VornaInputTrellan" in the current user's Run
// key of the registry, whose text Windows runs at sign-in. Off Windows an INI file in the
// user's configuration folder stands in for that key ("Microsoft/Windows/CurrentVersion/Run.ini"
// under the settings path of the INI format); Qt's native format there would not reach the
// registry but write a file named after the key into the current folder.

#include <QSettings>
#include <QString>

#include <memory>

namespace editor {

inline constexpr char kAutostartValue[] = "VornaInputTrellan";

// The settings object on the Run key (or its stand-in).
std::unique_ptr<QSettings> openAutostartStore();

// The value's text for this executable: the path with Windows separators in double quotes,
// then " --agent", so Windows starts the program in its agent role.
QString autostartCommand(const QString& executablePath);

// The value exists and is not empty; what it runs is not examined.
bool autostartEnabled(const QSettings& store);

// Sets the value to `command` or removes it, flushes, checks the store's status and reads the
// value back; false when the store does not hold what was asked (a refused write keeps what it
// held before).
bool writeAutostart(QSettings& store, bool enabled, const QString& command);

} // namespace editor
