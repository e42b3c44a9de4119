// The --agent process for real: started on a simulated session of its own, reached through its
// socket, stopped, refused, flooded and stalled by clients.
#include "tests/support/agent_harness.h"
#include "core/pipe_server_user.h"
#include "platform/win32.h"
#include "tests/support/foreign_server.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QSet>
#include <QStringList>

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <sys/socket.h>
#include <sys/un.h>
#include <set>
#include <thread>

using namespace std::chrono_literals;
using vorna::sim::FailPoint;
using vorna::sim::Failure;
using vorna::test::AgentHarness;
using vorna::test::ChildProcess;
using vorna::test::RawClient;

namespace {

const QJsonObject kState{{"command", "state"}, {"version", 1}};
const std::string kStateLine = R"({"command":"state","version":1})" "\n";
const std::string kShutdownLine = R"({"command":"shutdown","version":1})" "\n";

QSet<QString> keysOf(const QJsonObject& object)
{
    const QStringList keys = object.keys();
    return QSet<QString>(keys.begin(), keys.end());
}

std::string readFile(const std::string& path)
{
    std::ifstream file(path, std::ios::binary);
    std::stringstream text;
    text << file.rdbuf();
    return text.str();
}

// The arguments a process was started with.
std::vector<std::string> commandLine(pid_t pid)
{
    const std::string raw = readFile("/proc/" + std::to_string(pid) + "/cmdline");
    std::vector<std::string> words;
    std::string word;
    for (char c : raw) {
        if (c == '\0') {
            words.push_back(word);
            word.clear();
        } else {
            word += c;
        }
    }
    return words;
}

pid_t parentOf(pid_t pid)
{
    std::istringstream stat(readFile("/proc/" + std::to_string(pid) + "/stat"));
    std::string skip;
    pid_t parent = 0;
    // pid (name) state ppid: the name has no spaces here.
    stat >> skip >> skip >> skip >> parent;
    return parent;
}

bool processGone(pid_t pid, std::chrono::milliseconds limit = vorna::test::kConditionLimit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < deadline) {
        vorna::test::waitForProcess(pid, 0ms); // reaps it when it became ours
        const std::string stat = readFile("/proc/" + std::to_string(pid) + "/stat");
        if (stat.empty() || stat.find(") Z") != std::string::npos)
            return true;
        std::this_thread::sleep_for(10ms);
    }
    return false;
}

// Watchdog processes of this session (their environment names our broker).
std::set<pid_t> watchdogsOfSession(const std::string& brokerSocket)
{
    std::set<pid_t> found;
    for (const auto& entry : std::filesystem::directory_iterator("/proc")) {
        const std::string name = entry.path().filename().string();
        if (name.find_first_not_of("0123456789") != std::string::npos)
            continue;
        const pid_t pid = std::stoi(name);
        const std::vector<std::string> args = commandLine(pid);
        if (std::find(args.begin(), args.end(), "--watchdog") == args.end())
            continue;
        if (readFile("/proc/" + name + "/environ").find("VORNA_SIM_SESSION=" + brokerSocket) != std::string::npos)
            found.insert(pid);
    }
    return found;
}

// How an agent started beside the harness's own ended: its exit code and standard error.
struct AgentEnd {
    int exitCode = -1;
    std::string errors;
};

AgentEnd runAnotherAgent(const AgentHarness& harness)
{
    const std::string program = vorna::test::builtProgram("app", "vorna-input-trellan");
    const std::string errors = harness.environment().at("TMPDIR") + "/second-errors.txt";
    ChildProcess agent({"/bin/sh", "-c", "exec \"" + program + "\" --agent 2>\"" + errors + "\""});
    const auto end = agent.wait(20s);
    return AgentEnd{end ? end->exitCode : -1, readFile(errors)};
}

// The agent's name: its socket file's name.
std::string nameOf(const AgentHarness& harness)
{
    return std::filesystem::path(harness.socketPath()).filename();
}

class AgentProcess : public testing::Test {
protected:
    void SetUp() override { vorna::test::adoptOrphans(); }
    AgentHarness harness;
};

} // namespace

TEST_F(AgentProcess, GreetingCarriesExactlyTheStateKeysAndALiveWatchdogChild)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    QJsonObject greeting;
    auto client = harness.connectGreeted(&greeting);
    ASSERT_TRUE(client);

    const QSet<QString> stateKeys{
        "type", "active", "pending", "observing", "trialSeconds", "source", "target", "error",
        "devices", "diagnostics", "agentVersion", "watchdogPid", "configured", "documentHash",
        "profileName", "layerName", "ruleCount", "contextReason", "foregroundElevated", "agentElevated",
        "foregroundExecutable", "foregroundElevationProbable", "foregroundIntegrityError", "contextAvailable"};
    const QSet<QString> diagnosticKeys{
        "inputEvents", "suppressed", "outputEvents", "outputFailures", "stopReason", "win32Error",
        "hookRecoveries", "lastHookRecoveryMs", "hookRecoveryError", "hookThreadPriority", "hookPriorityError",
        "preciseTimer", "preciseTimerError", "agentPowerPolicyError", "watchdogPowerPolicyError", "macroActive",
        "observationDrops", "timedEvents", "p50us", "p95us", "p99us", "maxus", "deviceRefreshCount",
        "deviceEnumerationError"};
    EXPECT_EQ(keysOf(greeting), stateKeys);
    EXPECT_EQ(keysOf(greeting["diagnostics"].toObject()), diagnosticKeys);
    EXPECT_EQ(greeting["type"].toString(), "state");
    EXPECT_EQ(greeting["agentVersion"].toInt(), 10);
    EXPECT_FALSE(greeting["active"].toBool());
    EXPECT_FALSE(greeting["configured"].toBool());
    EXPECT_EQ(greeting["diagnostics"].toObject()["agentPowerPolicyError"].toInt(-1), 0);

    const pid_t watchdog = greeting["watchdogPid"].toInt();
    ASSERT_GT(watchdog, 0);
    const std::vector<std::string> args = commandLine(watchdog);
    ASSERT_GE(args.size(), 4u);
    EXPECT_EQ(args[1], "--watchdog");
    EXPECT_EQ(args[3], std::to_string(harness.agent().pid()));
    EXPECT_EQ(parentOf(watchdog), harness.agent().pid());
    const std::string journal = args[2];

    // "shutdown" answers first, then the agent ends and takes everything with it.
    const std::optional<QJsonObject> reply = client->ask(QJsonObject{{"command", "shutdown"}, {"version", 1}});
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["type"].toString(), "state");
    const auto end = harness.agent().wait(10s);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->exitCode, 0);
    EXPECT_TRUE(processGone(watchdog));
    EXPECT_FALSE(std::filesystem::exists(harness.socketPath()));
    const std::wstring journalName(journal.begin(), journal.end());
    const HANDLE left = OpenFileMappingW(FILE_MAP_READ, FALSE, journalName.c_str());
    EXPECT_EQ(left, nullptr) << "the safety journal outlived the agent";
    if (left != nullptr)
        CloseHandle(left);
}

// The GUI libraries stay in the settings window's module: neither the agent nor its watchdog
// maps them.
TEST_F(AgentProcess, NeitherTheAgentNorItsWatchdogMapsAGuiLibrary)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    QJsonObject greeting;
    ASSERT_TRUE(harness.connectGreeted(&greeting));
    const pid_t watchdog = greeting["watchdogPid"].toInt();
    ASSERT_GT(watchdog, 0);
    for (const pid_t pid : {pid_t(harness.agent().pid()), watchdog}) {
        const std::string maps = readFile("/proc/" + std::to_string(pid) + "/maps");
        ASSERT_NE(maps.find("libQt6Core"), std::string::npos) << pid;
        for (const char* library : {"libQt6Gui", "libQt6Qml", "libQt6Quick", "vorna-settings-window"})
            EXPECT_EQ(maps.find(library), std::string::npos) << library << " in process " << pid;
    }
}

TEST_F(AgentProcess, ANameHeldByALiveAgentIsNeverTakenOver)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    const std::set<pid_t> before = watchdogsOfSession(harness.environment().at("VORNA_SIM_SESSION"));
    ASSERT_EQ(before.size(), 1u);

    const AgentEnd second = runAnotherAgent(harness);
    EXPECT_EQ(second.exitCode, 2);
    EXPECT_EQ(second.errors, "Agent: " + nameOf(harness) + ": another agent is already listening\n");
    EXPECT_EQ(watchdogsOfSession(harness.environment().at("VORNA_SIM_SESSION")), before);

    // The first agent still serves its name.
    auto client = harness.connectGreeted();
    ASSERT_TRUE(client);
    EXPECT_TRUE(client->ask(kState));
}

TEST_F(AgentProcess, ANameHeldByAnotherUsersProgramIsNamedAsSuchAndLeftAlone)
{
    // The socket folder is open to every user, as /tmp is, and another user took the name.
    ASSERT_TRUE(vorna::test::openToEveryone(QString::fromStdString(harness.environment().at("TMPDIR"))));
    vorna::test::ForeignServer impostor(harness.socketPath());
    ASSERT_TRUE(impostor.listening());

    const AgentEnd agent = runAnotherAgent(harness);
    EXPECT_EQ(agent.exitCode, 2);
    EXPECT_EQ(agent.errors, "Agent: " + nameOf(harness) + ": " + vorna::core::kNameHeldByOtherUser + "\n");
    EXPECT_TRUE(std::filesystem::exists(harness.socketPath()));
    const vorna::test::ForeignServer::Received received = impostor.finish();
    EXPECT_EQ(received.connections, 1); // the probe, which asked nothing
    EXPECT_EQ(received.bytes, 0);
}

TEST_F(AgentProcess, AStaleSocketFileDoesNotBlockStart)
{
    // A socket file whose owner is gone: bound, never listened on, left behind.
    const std::string path = harness.socketPath();
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_EQ(::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ::close(fd);
    ASSERT_TRUE(std::filesystem::exists(path));

    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    EXPECT_TRUE(harness.connectGreeted());
}

TEST_F(AgentProcess, AWatchdogThatNeverBecomesReadyFailsTheStart)
{
    // Its hooks cannot be installed, so the watchdog gives up before it reports ready.
    harness.session().setFailure(FailPoint::SetWindowsHook, Failure{ERROR_ACCESS_DENIED, -1, 0});
    EXPECT_FALSE(harness.startAgent());
    const auto end = harness.agent().wait(20s);
    ASSERT_TRUE(end);
    EXPECT_EQ(end->exitCode, 2);
    EXPECT_EQ(harness.agentErrors(), "Agent: Safety monitor did not become ready\n");
}

TEST_F(AgentProcess, AFailedPowerThrottlingSwitchIsReportedAndTheAgentRuns)
{
    harness.session().setFailure(FailPoint::PowerThrottling, Failure{ERROR_ACCESS_DENIED, -1, 0});
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    QJsonObject greeting;
    ASSERT_TRUE(harness.connectGreeted(&greeting));
    EXPECT_EQ(greeting["diagnostics"].toObject()["agentPowerPolicyError"].toInt(), int(ERROR_ACCESS_DENIED));
}

TEST_F(AgentProcess, ABadRequestLineGetsOneErrorAndTheConnectionEndsBeforeTheNextLineRuns)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    const struct Row {
        const char* name;
        std::string line;
        const char* error;
    } rows[] = {
        {"an array", "[]\n", "Invalid JSON object"},
        {"an empty object", "{}\n", "Unsupported protocol"},
        {"protocol 2", R"({"command":"state","version":2})" "\n", "Unsupported protocol"},
        {"a string version", R"({"command":"state","version":"1"})" "\n", "Unsupported protocol"},
        {"an unknown command", R"({"command":"dance","version":1})" "\n", "Unknown command"},
        {"a bare line end", "\n", "Invalid JSON object"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto client = harness.connectGreeted();
        ASSERT_TRUE(client);
        // Had the valid line after it run, the agent would shut down.
        ASSERT_TRUE(client->send(row.line + kShutdownLine));
        std::vector<std::string> lines;
        ASSERT_TRUE(client->readUntilClosed(lines));
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0], std::string(R"({"error":")") + row.error + "\"}");
    }
    auto client = harness.connectGreeted();
    ASSERT_TRUE(client);
    EXPECT_TRUE(client->ask(kState));
}

TEST_F(AgentProcess, NineRequestsInOneWriteGetEightRepliesThenTheEnd)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    auto client = harness.connectGreeted();
    ASSERT_TRUE(client);
    std::string nine;
    for (int i = 0; i < 9; ++i)
        nine += kStateLine;
    ASSERT_TRUE(client->send(nine));
    std::vector<std::string> lines;
    ASSERT_TRUE(client->readUntilClosed(lines));
    EXPECT_EQ(lines.size(), 8u);
}

TEST_F(AgentProcess, ALineBeyondTheReadLimitAbortsTheClientSilently)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    auto client = harness.connectGreeted();
    ASSERT_TRUE(client);
    ASSERT_TRUE(client->send(std::string(262145, 'a')));
    std::vector<std::string> lines;
    ASSERT_TRUE(client->readUntilClosed(lines));
    EXPECT_TRUE(lines.empty());

    // A request line of the largest size still passes: 262,143 bytes of object and "\n".
    auto other = harness.connectGreeted();
    ASSERT_TRUE(other);
    std::string padded = R"({"command":"state","version":1,"pad":")";
    padded += std::string(262144 - padded.size() - 3, 'x') + "\"}\n";
    ASSERT_EQ(padded.size(), 262144u);
    ASSERT_TRUE(other->send(padded));
    const std::optional<QJsonObject> reply = other->readMessage();
    ASSERT_TRUE(reply);
    EXPECT_EQ((*reply)["type"].toString(), "state");
}

TEST_F(AgentProcess, AFifthClientIsRefusedUntilOneOfFourLeaves)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    std::vector<std::unique_ptr<RawClient>> four;
    for (int i = 0; i < 4; ++i) {
        four.push_back(harness.connectGreeted());
        ASSERT_TRUE(four.back());
    }
    auto fifth = harness.connect();
    std::vector<std::string> lines;
    ASSERT_TRUE(fifth->readUntilClosed(lines));
    EXPECT_TRUE(lines.empty());

    four.pop_back();
    // The agent notices the departure on its own time.
    std::unique_ptr<RawClient> again;
    ASSERT_TRUE(vorna::test::waitFor([&] { return (again = harness.connectGreeted()) != nullptr; }, vorna::test::kConditionLimit, 20ms));
    EXPECT_TRUE(again->ask(kState));
}

TEST_F(AgentProcess, AClientOfAnotherSessionIsRefused)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    const std::string client = vorna::test::builtProgram("tests/agent", "agent_pipe_client");
    const auto run = [&](const char* session) {
        ::setenv("VORNA_SESSION_ID", session, 1);
        ChildProcess process({client, harness.socketPath()});
        ::unsetenv("VORNA_SESSION_ID");
        std::string received;
        while (const std::optional<std::string> line = process.readLine(10s))
            received += *line;
        process.wait(10s);
        return received;
    };
    EXPECT_EQ(run("2"), "");
    // The same helper in the agent's own session is greeted.
    EXPECT_NE(run("1").find(R"("type":"state")"), std::string::npos);
}

TEST_F(AgentProcess, AReaderThatNeverReadsIsAbortedWhileAnotherIsServed)
{
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    auto stalled = harness.connect();
    auto served = harness.connectGreeted();
    ASSERT_TRUE(stalled && served);
    const std::optional<std::string> greeting = stalled->readLine();
    ASSERT_TRUE(greeting);

    // Eight requests at a time, each batch read by the agent before the next is written, so
    // only the output backlog can end this client. Its replies fill the kernel's buffer, then
    // the agent's queue; the agent drops the client once more than 1 MiB waits there.
    std::string batch;
    for (int i = 0; i < 8; ++i)
        batch += kStateLine;
    std::size_t requests = 0;
    bool stopped = false;
    while (!stopped && requests < 20000) {
        if (!stalled->send(batch))
            break;
        requests += 8;
        int wait = 0;
        while (stalled->unreadByAgent() > 0 && wait++ < 500)
            std::this_thread::sleep_for(1ms);
        stopped = stalled->unreadByAgent() > 0; // nobody reads this connection any more
    }
    std::vector<std::string> lines;
    EXPECT_TRUE(stalled->readUntilClosed(lines, 20s));
    // The agent answered far more than the kernel could hold before it gave up on the client.
    EXPECT_GT(requests * greeting->size(), 1048576u);
    EXPECT_LT(lines.size(), requests);
    EXPECT_TRUE(served->ask(kState));
}
