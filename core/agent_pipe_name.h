#pragma once

#include <QString>

namespace vorna::core {

// The local-socket name the agent listens on: private to one user's application-data folder,
// one Windows session and, in test runs, one test instance. Depends on the application and
// organization names set before the call.
QString agentPipeName();

} // namespace vorna::core
