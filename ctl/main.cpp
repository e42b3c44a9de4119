#include "core/agent_pipe_name.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // Same names as every other role, so the same pipe name follows.
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    std::fprintf(stderr, "vornactl: not available in this build yet (agent pipe %s)\n",
                 qPrintable(vorna::core::agentPipeName()));
    return 2;
}
