// Which session this process belongs to (a broker's when VORNA_SIM_SESSION names its socket;
// children inherit the variable and so join too), and how an in-process session reaches the
// threads of this process.
#include "platform/sim/broker/broker_client.h"
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/session/session_state.h"

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

namespace vorna::sim {
namespace {

class LocalDelivery final : public SessionDelivery {
public:
    Delivery deliverHookCall(DWORD processId, const HookCall& call, HookAnswerPort* port, std::chrono::steady_clock::time_point,
                             LRESULT&, bool&) override
    {
        const auto queue = processId == DWORD(::getpid()) ? findThreadQueue(call.threadId) : nullptr;
        if (!queue)
            return Delivery::Gone;
        queue->deliverHookCall(call, port);
        return Delivery::Later;
    }
    void cancelHookCall(DWORD, DWORD threadId, std::uint64_t callId) override
    {
        if (const auto queue = findThreadQueue(threadId))
            queue->cancelHookCall(callId);
    }
    bool deliverWindowMessage(DWORD processId, DWORD threadId, const MSG& message) override
    {
        const auto queue = processId == DWORD(::getpid()) ? findThreadQueue(threadId) : nullptr;
        return queue && queue->post(message);
    }
};

SessionApi* chooseSession()
{
    // Never destroyed: threads may still use it while the process exits.
    const char* socket = std::getenv("VORNA_SIM_SESSION");
    if (socket != nullptr && *socket != 0) {
        try {
            return new BrokerClient(socket, BrokerClient::Role::Member);
        } catch (const std::exception& error) {
            // Better a private session than none: the program still runs, alone.
            std::fprintf(stderr, "vorna-sim: %s; using a private session\n", error.what());
        }
    }
    static auto* delivery = new LocalDelivery;
    return new SessionState(*delivery);
}

} // namespace

SessionApi& processSession()
{
    static SessionApi* const session = chooseSession();
    return *session;
}

} // namespace vorna::sim
