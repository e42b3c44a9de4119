// A broker: the session held in one process and shared over a Unix socket by every process
// that names the socket in VORNA_SIM_SESSION, and by drivers.
#pragma once

#include "platform/sim/session/session_state.h"

#include <cstddef>
#include <memory>
#include <string>

namespace vorna::sim {

class Broker {
public:
    // Listens on the socket path (an old socket file there is replaced); throws
    // std::runtime_error when it cannot.
    explicit Broker(const std::string& socketPath);
    ~Broker(); // stops serving and removes the socket file
    Broker(const Broker&) = delete;
    Broker& operator=(const Broker&) = delete;

    // Serves on a thread of its own until destroyed.
    void start();
    // Serves on the calling thread until stop() (from another thread or a signal handler's
    // helper) or until destroyed.
    void run();
    void stop();

    SessionState& session();
    const std::string& socketPath() const;
    // Connections being served and hook channels held (a channel whose thread has gone is let
    // go when the next channel opens, or when its process leaves).
    std::size_t clientCount() const;

private:
    class Impl;
    std::unique_ptr<Impl> m_impl;
};

} // namespace vorna::sim
