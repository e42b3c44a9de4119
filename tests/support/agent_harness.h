// A real agent process on a simulated session of its own: a broker started by the test, an
// isolated data, settings and socket folder and test instance, the agent started with --agent,
// and raw clients on its pipe that write exact bytes and read exact lines.
#pragma once

#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "tests/safety/child_process.h"
#include "tests/support/condition_wait.h"

#include <QJsonObject>
#include <QString>
#include <QTemporaryDir>

#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace vorna::test {

// One connection to the agent's socket, by plain POSIX calls.
class RawClient {
public:
    explicit RawClient(const std::string& socketPath);
    ~RawClient();
    RawClient(const RawClient&) = delete;
    RawClient& operator=(const RawClient&) = delete;

    bool connected() const { return m_fd >= 0; }
    int descriptor() const { return m_fd; }
    // Everything in one write call.
    bool send(const std::string& bytes);
    bool request(const QJsonObject& request); // compact JSON and "\n"
    // The next line without its "\n"; nothing on end of stream or time-out.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    std::optional<QJsonObject> readMessage(std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // The next message of this "type" ("state", "trace", ...), skipping others.
    std::optional<QJsonObject> readMessageOfType(const QString& type,
                                                 std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Drops every line already received.
    void drain();
    // Sends the request and returns the state that answers it: the last state line the agent
    // wrote before it answered a marker request sent right behind it. The agent answers one
    // connection's requests in order, so that state is the reply or a state it pushed after the
    // reply, never one that predates the request. Nothing if the agent did not answer.
    std::optional<QJsonObject> ask(const QJsonObject& request);
    // Sends the request and reads its answer (as ask), then the states the agent pushes after
    // it, until one shows `answered`; that state, or the last one read.
    QJsonObject askUntil(const QJsonObject& request, const std::function<bool(const QJsonObject&)>& answered,
                         std::chrono::milliseconds limit = kConditionLimit);
    // A state the agent pushed from a tick that began after this call: the tick has run every
    // periodic check (trial, watchdog, hooks) on what the agent knew when the call was made.
    std::optional<QJsonObject> stateAfterNextTick();
    // Reads until the agent closes the connection; true when it did within the time. The lines
    // read meanwhile are returned in `lines`.
    bool readUntilClosed(std::vector<std::string>& lines, std::chrono::milliseconds timeout = std::chrono::seconds(10));
    // Bytes this client wrote that the agent has not read yet.
    int unreadByAgent() const;

private:
    // Sends a request that the agent refuses at once with a line naming it, and reads up to that
    // line; the last state line read before it is returned in `lastState`.
    bool fence(std::optional<QJsonObject>& lastState);

    int m_fd = -1;
    std::string m_buffer;
    bool m_closed = false;
    std::uint64_t m_fences = 0;
};

inline constexpr DWORD kPatientHookMs = 60000;
inline constexpr DWORD kDesktopWindowProcess = 3999999;

class AgentHarness {
public:
    // Starts a broker with a hook time-out no load reaches (kPatientHookMs): a hook removed for
    // a slow answer makes the engine release every output, which only the tests of that
    // time-out want; they set a short one themselves. A window of another program
    // (kDesktopWindowProcess) is in front, as on a user's desktop.
    AgentHarness();
    ~AgentHarness();

    sim::Driver& driver() { return *m_driver; }
    sim::SessionApi& session() { return m_driver->session(); }

    // Starts the agent and waits until its socket answers. False when it ended or never listened.
    bool startAgent(const std::map<std::string, std::string>& env = {});
    ChildProcess& agent() { return *m_agent; }
    // The agent's socket file.
    std::string socketPath() const;
    std::unique_ptr<RawClient> connect() const;
    // A client that has read its greeting.
    std::unique_ptr<RawClient> connectGreeted(QJsonObject* greeting = nullptr) const;
    // Standard error of an agent that ended.
    std::string agentErrors() const;
    // The session's GetTickCount64, read through the driver: the test process stays out of the
    // session itself.
    std::uint64_t sessionNowMs();
    // Moves the session clock forward until it reads `targetMs`, in steps short enough that
    // the agent, its hook thread and the watchdog keep beating in between (their silence
    // limits are 4 and 5 seconds).
    void advanceClockTo(std::uint64_t targetMs);
    std::string dataDir() const;
    // A visible top-level window of process `processId`, made the foreground window, as a
    // user's desktop has one.
    HWND showForegroundWindow(DWORD processId, const wchar_t* title = L"Window");

    // The environment the agent runs with, for a helper process started by the test.
    const std::map<std::string, std::string>& environment() const { return m_env; }

private:
    QTemporaryDir m_dir;
    std::string m_brokerPath;
    std::unique_ptr<sim::Broker> m_broker;
    std::unique_ptr<sim::Driver> m_driver;
    std::map<std::string, std::string> m_env;
    std::unique_ptr<ChildProcess> m_agent;
    std::string m_pipeName;
};

// Keys that reached the system as "+key_66/i" (down, injected) or "-key_65" (up, physical), read from the
// sink until at least `atLeast` have come (or the limit of a condition wait passed).
std::vector<std::string> keysReached(sim::Driver& driver, std::size_t atLeast);

// The agent's pipe name as a process with `env` computes it.
QString pipeNameFor(const std::map<std::string, std::string>& env);

} // namespace vorna::test
