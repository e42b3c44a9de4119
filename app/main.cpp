#include "app/role_choice.h"
#include "app/settings_window.h"
#include "engine/watchdog.h"

#include <cstdio>

namespace {

int roleNotBuilt(const char* role)
{
    std::fprintf(stderr, "The %s role is not available in this build.\n", role);
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    const app::RoleChoice choice = app::chooseRole(argc, argv);
    switch (choice.role) {
    case app::ProcessRole::Exit:
        return choice.exitCode;
    case app::ProcessRole::ActionWorker:
        return roleNotBuilt("action worker");
    case app::ProcessRole::Watchdog:
        return vorna::windows::Watchdog::run(choice.journalName, choice.agentProcessId);
    case app::ProcessRole::Agent:
        return roleNotBuilt("agent");
    case app::ProcessRole::SettingsWindow:
        return app::runSettingsWindow(argc, argv);
    }
    return 2;
}
