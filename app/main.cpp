#include "agent/actions/action_worker.h"
#include "agent/agent_server.h"
#include "app/branding.h"
#include "app/role_choice.h"
#include "app/settings_window_module.h"
#include "engine/safety/watchdog.h"

#include <QCoreApplication>
#include <cstdio>

namespace {

void printAgentError(const QString& text)
{
    std::fprintf(stderr, "Agent: %s\n", text.toUtf8().constData());
}

int runAgent(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    app::loadBranding();
    int result = 2;
    {
        vorna::ipc::AgentServer server;
        QString error;
        if (!server.start(error)) {
            printAgentError(error);
            return 2;
        }
        result = QCoreApplication::exec();
    } // the server goes before the application object
    return result;
}

} // namespace

int main(int argc, char** argv)
{
    const app::RoleChoice choice = app::chooseRole(argc, argv);
    switch (choice.role) {
    case app::ProcessRole::Exit:
        return choice.exitCode;
    case app::ProcessRole::ActionWorker: {
        // No branding in this role: the worker reads its request and acts, nothing more.
        QCoreApplication application(argc, argv);
        return vorna::actions::runActionWorker();
    }
    case app::ProcessRole::Watchdog:
        return vorna::windows::Watchdog::run(choice.journalName, choice.agentProcessId);
    case app::ProcessRole::Agent:
        return runAgent(argc, argv);
    case app::ProcessRole::SettingsWindow:
        return app::runSettingsWindowModule(argc, argv);
    }
    return 2;
}
