#include "ctl/control_tool.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    // The pipe name follows the per-user data folder, which these two names choose: they must be
    // the agent's own, or the tool would compute another name and never find it.
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    return vorna::ctl::runControlTool(application.arguments().mid(1), stdout, stderr);
}
