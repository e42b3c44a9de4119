#pragma once

// The settings window and the check modes live in a module beside the program, so the agent,
// its watchdog and the action workers never map the GUI libraries. The program loads the module
// only for the settings-window role and calls its one entry, found by name.

#include <QString>
#include <QtGlobal>

// Runs the settings window (or the check mode the arguments ask for) and returns the process
// exit code. Defined in the module; the program never links it.
extern "C" Q_DECL_EXPORT int vornaRunSettingsWindow(int argc, char** argv);

namespace app {

using SettingsWindowEntry = decltype(&vornaRunSettingsWindow);

inline constexpr const char* kSettingsWindowEntryName = "vornaRunSettingsWindow";

// The module's file in `programFolder`.
QString settingsWindowModulePath(const QString& programFolder);

// Loads the module at `path` and resolves its entry: the entry, or nullptr with `error` saying
// what is wrong with which file. The module stays loaded for the rest of the process.
SettingsWindowEntry loadSettingsWindowModule(const QString& path, QString& error);

// The settings-window role of the program: loads the module beside the executable and runs it;
// when the module cannot be used, prints why on stderr and returns 2.
int runSettingsWindowModule(int argc, char** argv);

} // namespace app
