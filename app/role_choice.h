#pragma once

#include <QStringList>
#include <cstdint>
#include <string>

namespace app {

enum class ProcessRole { ActionWorker, Watchdog, Agent, SettingsWindow, Exit };

// What the command line asks this process to be. For the watchdog it also carries the journal
// name and the agent's process id; `Exit` carries the exit code of a malformed watchdog line.
struct RoleChoice {
    ProcessRole role = ProcessRole::SettingsWindow;
    std::wstring journalName;
    std::uint32_t agentProcessId = 0;
    int exitCode = 0;
};

// Scans the raw arguments behind the program name (as bytes, exact case) in three passes:
// "--action-worker", then "--watchdog", then "--agent"; none of them means the settings window.
RoleChoice chooseRole(int argc, const char* const* argv);

} // namespace app
