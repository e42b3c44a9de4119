// The name of the agent's local socket, built in one place so that the agent, the settings
// window and vornactl always meet: one name per user, Windows session and test instance.
#pragma once

#include <QString>

namespace vorna::core {

// The local-socket name the agent listens on: private to one user's application-data folder,
// one Windows session and, in test runs, one test instance. Depends on the application and
// organization names set before the call.
QString agentPipeName();

} // namespace vorna::core
