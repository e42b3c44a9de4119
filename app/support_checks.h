#pragma once

// The health summary the diagnostics page shows and the support report carries: eight yes/no
// answers judged from the link to the agent and the agent's last diagnostics.

#include <QVariantMap>
#include <functional>

namespace app {

struct AgentLinkFacts {
    bool compatible = false; // connected to an agent new enough to speak with
    bool active = false;
    bool observing = false;
};

// "engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"
// and "allGood". `processRunning` answers whether the watchdog's process still runs.
QVariantMap supportChecks(const AgentLinkFacts& link, const QVariantMap& diagnostics,
    const std::function<bool(quint32 processId)>& processRunning);

} // namespace app
