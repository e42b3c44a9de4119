#include "tests/support/agent_harness.h"

#include "core/agent_pipe_name.h"
#include "tests/support/output_notation.h"

#include <QCoreApplication>
#include <QDir>
#include <QJsonDocument>
#include <QUuid>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <ctime>
#include <cstdlib>
#include <fstream>
#include <linux/sockios.h>
#include <poll.h>
#include <sstream>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace vorna::test {

using namespace std::chrono_literals;

RawClient::RawClient(const std::string& socketPath)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (socketPath.size() >= sizeof address.sun_path)
        return;
    socketPath.copy(address.sun_path, socketPath.size());
    m_fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (m_fd >= 0 && ::connect(m_fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        ::close(m_fd);
        m_fd = -1;
    }
}

RawClient::~RawClient()
{
    if (m_fd >= 0)
        ::close(m_fd);
}

bool RawClient::send(const std::string& bytes)
{
    std::size_t sent = 0;
    while (m_fd >= 0 && sent < bytes.size()) {
        const ssize_t n = ::send(m_fd, bytes.data() + sent, bytes.size() - sent, MSG_NOSIGNAL);
        if (n <= 0)
            return false;
        sent += std::size_t(n);
    }
    return m_fd >= 0;
}

bool RawClient::request(const QJsonObject& request)
{
    return send(QJsonDocument(request).toJson(QJsonDocument::Compact).toStdString() + "\n");
}

std::optional<std::string> RawClient::readLine(std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        if (const auto end = m_buffer.find('\n'); end != std::string::npos) {
            std::string line = m_buffer.substr(0, end);
            m_buffer.erase(0, end + 1);
            return line;
        }
        // Rounded up: time left below a millisecond still waits, rather than returning unread.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (m_closed || m_fd < 0 || left.count() <= 0)
            return std::nullopt;
        pollfd fd{m_fd, POLLIN, 0};
        if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
            continue;
        char chunk[65536];
        const ssize_t n = ::recv(m_fd, chunk, sizeof chunk, 0);
        if (n <= 0) {
            m_closed = true;
            continue;
        }
        m_buffer.append(chunk, std::size_t(n));
    }
}

std::optional<QJsonObject> RawClient::readMessage(std::chrono::milliseconds timeout)
{
    const std::optional<std::string> line = readLine(timeout);
    if (!line)
        return std::nullopt;
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(*line));
    if (!document.isObject())
        return std::nullopt;
    return document.object();
}

std::optional<QJsonObject> RawClient::readMessageOfType(const QString& type, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        const std::optional<QJsonObject> message = readMessage(left);
        if (!message)
            return std::nullopt;
        if (message->value(QStringLiteral("type")).toString() == type)
            return message;
    }
    return std::nullopt;
}

void RawClient::drain()
{
    while (readLine(std::chrono::milliseconds(1))) {
    }
}

bool RawClient::fence(std::optional<QJsonObject>& lastState)
{
    // A key capture for window 0 is refused before anything changes, with a line that carries
    // the request number back.
    const QString number = QString::number(++m_fences + 1'000'000'000'000ULL);
    if (!request({{"command", "captureKeys"}, {"version", 1}, {"window", "0"}, {"request", number}}))
        return false;
    const auto deadline = std::chrono::steady_clock::now() + kConditionLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        const std::optional<QJsonObject> message = readMessage(std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
        if (!message)
            return false;
        const QString type = message->value(QStringLiteral("type")).toString();
        if (type == QLatin1String("state"))
            lastState = *message;
        else if (type == QLatin1String("keyCapture") && message->value(QStringLiteral("request")).toString() == number)
            return true;
    }
    return false;
}

std::optional<QJsonObject> RawClient::ask(const QJsonObject& request)
{
    if (!this->request(request))
        return std::nullopt;
    std::optional<QJsonObject> state;
    if (!fence(state))
        return std::nullopt;
    return state;
}

QJsonObject RawClient::askUntil(const QJsonObject& request, const std::function<bool(const QJsonObject&)>& answered,
                                std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    std::optional<QJsonObject> state = ask(request);
    if (!state)
        return {};
    QJsonObject last = *state;
    while (!answered(last) && std::chrono::steady_clock::now() < deadline) {
        state = readMessageOfType(QStringLiteral("state"), std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now()));
        if (!state)
            break;
        last = *state;
    }
    return last;
}

std::optional<QJsonObject> RawClient::stateAfterNextTick()
{
    std::optional<QJsonObject> ignored;
    if (!fence(ignored))
        return std::nullopt;
    // Ticks and requests run on the agent's one main thread: a state after the marker's answer
    // was pushed at the end of a tick that began after the marker was handled.
    return readMessageOfType(QStringLiteral("state"), kConditionLimit);
}

bool RawClient::readUntilClosed(std::vector<std::string>& lines, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (std::optional<std::string> line = readLine(left))
            lines.push_back(std::move(*line));
        else if (m_closed)
            return true;
    }
    return false;
}

int RawClient::unreadByAgent() const
{
    int queued = 0;
    return m_fd >= 0 && ::ioctl(m_fd, SIOCOUTQ, &queued) == 0 ? queued : -1;
}

QString pipeNameFor(const std::map<std::string, std::string>& env)
{
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    for (const auto& [name, value] : env)
        ::setenv(name.c_str(), value.c_str(), 1);
    return core::agentPipeName();
}

AgentHarness::AgentHarness()
{
    const std::string root = m_dir.path().toStdString();
    m_brokerPath = root + "/session.sock";
    m_broker = std::make_unique<sim::Broker>(m_brokerPath);
    m_broker->start();
    m_driver = std::make_unique<sim::Driver>(m_brokerPath);
    m_driver->session().setHookTimeout(kPatientHookMs);
    // A user's desktop has a window in front; tests of a desktop without one take it away.
    session().addProcess({kDesktopWindowProcess, L"C:\\Windows\\explorer.exe"});
    showForegroundWindow(kDesktopWindowProcess, L"Desktop window");
    const QString instance = QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::Id128);
    m_env = {
        {"VORNA_SIM_SESSION", m_brokerPath},
        {"VORNA_TEST_INSTANCE", instance.toStdString()},
        {"XDG_DATA_HOME", root + "/data"},
        {"XDG_CONFIG_HOME", root + "/config"},
        {"TMPDIR", root},
    };
    // The test computes the agent's name as the agent does, and its helpers inherit the same.
    m_pipeName = pipeNameFor(m_env).toStdString();
}

AgentHarness::~AgentHarness()
{
    // A failed test says how its agent fared: a failure that follows from the agent's end is
    // traced to it, not to a wait.
    if (m_agent && testing::Test::HasFailure()) {
        const std::optional<ProcessEnd> end = m_agent->wait(std::chrono::milliseconds(0));
        std::string fate = "still running";
        if (end)
            fate = end->signal != 0 ? "ended by signal " + std::to_string(end->signal) : "exited with " + std::to_string(end->exitCode);
        std::fprintf(stderr, "agent: %s\n%s", fate.c_str(), agentErrors().c_str());
    }
    m_agent.reset();
    m_driver.reset();
    m_broker.reset();
}

std::uint64_t AgentHarness::sessionNowMs()
{
    timespec now{};
    ::clock_gettime(CLOCK_MONOTONIC, &now);
    const std::int64_t ns = std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec + session().page().clockOffsetNs.load();
    return static_cast<std::uint64_t>(ns / 1'000'000);
}

void AgentHarness::advanceClockTo(std::uint64_t targetMs)
{
    constexpr std::int64_t kLongestStepMs = 2000;
    for (std::uint64_t now = sessionNowMs(); now < targetMs; now = sessionNowMs()) {
        const std::int64_t step = std::min<std::int64_t>(kLongestStepMs, std::int64_t(targetMs - now));
        session().stepClock(step);
        if (step == kLongestStepMs)
            std::this_thread::sleep_for(300ms); // a beat from everyone before the next step
        else
            break;
    }
}

std::string AgentHarness::dataDir() const
{
    return m_env.at("XDG_DATA_HOME");
}

HWND AgentHarness::showForegroundWindow(DWORD processId, const wchar_t* title)
{
    sim::WindowRecord window;
    window.processId = processId;
    window.visible = true;
    window.simulated = true;
    window.title = title;
    window.className = L"TestWindow";
    const HWND hwnd = session().addWindow(window);
    session().setForeground(hwnd);
    return hwnd;
}

std::string AgentHarness::socketPath() const
{
    return m_env.at("TMPDIR") + "/" + m_pipeName;
}

bool AgentHarness::startAgent(const std::map<std::string, std::string>& env)
{
    for (const auto& [name, value] : env)
        ::setenv(name.c_str(), value.c_str(), 1);
    const std::string program = builtProgram("app", "vorna-input-trellan");
    const std::string errors = m_env.at("TMPDIR") + "/agent-errors.txt";
    // The shell only redirects standard error and becomes the agent; in a session of its own,
    // as tests stop it with SIGSTOP.
    m_agent = std::make_unique<ChildProcess>(
        std::vector<std::string>{"/bin/sh", "-c", "exec \"" + program + "\" --agent 2>\"" + errors + "\""}, true);
    const auto deadline = std::chrono::steady_clock::now() + 20s;
    while (std::chrono::steady_clock::now() < deadline) {
        if (::access(socketPath().c_str(), F_OK) == 0) {
            RawClient probe(socketPath());
            if (probe.connected() && probe.readLine(5s))
                return true;
        }
        if (m_agent->wait(0ms))
            return false;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

std::unique_ptr<RawClient> AgentHarness::connect() const
{
    return std::make_unique<RawClient>(socketPath());
}

std::unique_ptr<RawClient> AgentHarness::connectGreeted(QJsonObject* greeting) const
{
    auto client = connect();
    const std::optional<QJsonObject> first = client->readMessage();
    if (!first)
        return nullptr;
    if (greeting != nullptr)
        *greeting = *first;
    return client;
}

std::string AgentHarness::agentErrors() const
{
    std::ifstream file(m_env.at("TMPDIR") + "/agent-errors.txt");
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

std::vector<std::string> keysReached(sim::Driver& driver, std::size_t atLeast)
{
    std::vector<std::string> keys;
    const auto deadline = std::chrono::steady_clock::now() + kConditionLimit;
    while (keys.size() < atLeast && std::chrono::steady_clock::now() < deadline) {
        for (const sim::SinkEvent& e : driver.takeSink()) {
            if (e.kind != sim::HookKind::Keyboard)
                continue;
            keys.push_back(withMarks(keyText((e.key.flags & LLKHF_UP) ? '-' : '+', e.key.vkCode), false,
                                     (e.key.flags & LLKHF_INJECTED) != 0));
        }
        std::this_thread::sleep_for(10ms);
    }
    return keys;
}

} // namespace vorna::test
