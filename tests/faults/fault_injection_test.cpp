// Faults injected end to end on the simulated session, at seeded random points: the agent killed
// or stopped while keys, buttons, chords and a hold macro's output are down; hooks that time out
// and are removed by the session; SendInput failing part way; an action worker killed or stopped
// mid-reply; a committing settings controller killed mid-write. After each: no key or button
// left down in the session, the library file the old or the new document, and no process or
// shared memory left behind.
//
// VORNA_FAULT_SEED and VORNA_FAULT_RUNS replace the fixed seed and the run count, for runs by
// hand: VORNA_FAULT_SEED=$RANDOM VORNA_FAULT_RUNS=200 ctest -R Faults --output-on-failure
#include "core/library_files.h"
#include "platform/win32.h"
#include "tests/core/library_fixture.h"
#include "tests/support/agent_harness.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QUuid>

#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>

#include <algorithm>
#include <cerrno>
#include <random>
#include <sstream>
#include <thread>

namespace {

using namespace std::chrono_literals;
using vorna::test::AgentHarness;
using vorna::test::ChildProcess;
using vorna::test::RawClient;

std::uint32_t fromEnvironment(const char* name, std::uint32_t fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != 0 ? std::uint32_t(std::strtoul(text, nullptr, 10)) : fallback;
}

const std::uint32_t kSeed = fromEnvironment("VORNA_FAULT_SEED", 20'261'210);
const std::uint32_t kRuns = fromEnvironment("VORNA_FAULT_RUNS", 2);

// The physical inputs of the fault library and what each one holds down while it is held.
struct Press {
    const char* name;
    bool button;
    UINT code;   // virtual key, or button 1-5
    UINT output; // a key the agent holds down for it
};
constexpr Press kPresses[] = {
    {"A (mapped to B)", false, 'A', 'B'},
    {"back button (mapped to C)", true, 4, 'C'},
    {"G (Ctrl+V chord)", false, 'G', 'V'},
    {"D (hold macro pressing F)", false, 'D', 'F'},
};
constexpr UINT kActionKey = 'H';
constexpr DWORD kBrowserProcess = 4242;

QJsonObject rule(const char* source, const char* target)
{
    return {{"source", source}, {"target", target}, {"keepOriginal", false}, {"modifiers", 0}};
}

QJsonObject faultLibrary()
{
    QJsonObject library = vorna::test::edited(vorna::core::defaultLibrary(), {"profiles", 0, "layers", 0, "rules"},
        QJsonArray{rule("key_65", "key_66"), rule("mouse_back", "key_67"), rule("key_71", "chord:key_162+key_86"),
            rule("key_68", "macro:1"), rule("key_72", "action:1")});
    library["macros"] = QJsonArray{QJsonObject{{"name", "Hold F"}, {"mode", "hold"}, {"repeat", 1},
        {"steps", QJsonArray{QJsonObject{{"type", "down"}, {"input", "key_70"}, {"ms", 20}},
                      QJsonObject{{"type", "wait"}, {"input", ""}, {"ms", 8000}},
                      QJsonObject{{"type", "up"}, {"input", "key_70"}, {"ms", 20}}}}}};
    library["actions"] = QJsonArray{QJsonObject{{"type", "website"}, {"name", "Site"}, {"value", "https://example.com/"}}};
    return library;
}

bool processGone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

template <typename Condition>
bool eventually(Condition condition, std::chrono::milliseconds limit = vorna::test::kConditionLimit)
{
    return vorna::test::waitFor(condition, limit, 20ms);
}

// The whole of a small /proc file; empty when the process has gone meanwhile.
std::string readProcFile(const std::string& path)
{
    std::string text;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return text;
    char chunk[4096];
    for (ssize_t n; (n = ::read(fd, chunk, sizeof chunk)) > 0;)
        text.append(chunk, std::size_t(n));
    ::close(fd);
    return text;
}

// The children of `parent` whose command line holds `word`, zombies included.
std::vector<pid_t> childrenWith(pid_t parent, const std::string& word)
{
    std::vector<pid_t> found;
    DIR* proc = ::opendir("/proc");
    if (proc == nullptr)
        return found;
    while (const dirent* entry = ::readdir(proc)) {
        const pid_t pid = static_cast<pid_t>(std::strtol(entry->d_name, nullptr, 10));
        if (pid <= 0)
            continue;
        const std::string stat = readProcFile("/proc/" + std::to_string(pid) + "/stat");
        const auto close = stat.rfind(')');
        if (close == std::string::npos || close + 2 >= stat.size())
            continue;
        std::istringstream rest(stat.substr(close + 2));
        char state = 0;
        pid_t ppid = 0;
        rest >> state >> ppid;
        if (ppid != parent)
            continue;
        const std::string cmdline = readProcFile("/proc/" + std::to_string(pid) + "/cmdline");
        if (cmdline.find(word) != std::string::npos || state == 'Z')
            found.push_back(pid);
    }
    ::closedir(proc);
    return found;
}

// The safety journal's shared memory of an agent, as the simulated session names it.
bool journalMemoryExists(pid_t agent)
{
    const std::string suffix = "VornaInputSafety-" + std::to_string(agent);
    DIR* shm = ::opendir("/dev/shm");
    if (shm == nullptr)
        return false;
    bool exists = false;
    while (const dirent* entry = ::readdir(shm)) {
        const std::string name = entry->d_name;
        exists = exists || (name.size() >= suffix.size() && name.compare(name.size() - suffix.size(), suffix.size(), suffix) == 0);
    }
    ::closedir(shm);
    return exists;
}

class Faults : public testing::Test {
protected:
    // A fresh broker and agent, with the fault library configured and active.
    void startConfiguredAgent()
    {
        // Start-up is not the subject here: on a loaded machine the watchdog can miss the
        // agent's readiness wait, so a second start is allowed.
        for (int attempt = 0; attempt < 2; ++attempt) {
            m_harness.reset(); // first: a harness made beside a live one nests its folders in it
            m_harness = std::make_unique<AgentHarness>();
            if (m_harness->startAgent())
                break;
        }
        ASSERT_TRUE(m_harness->agent().wait(0ms) == std::nullopt) << m_harness->agentErrors();
        // An action runs for the window in front (without one it is refused before any worker).
        m_harness->showForegroundWindow(kBrowserProcess, L"Browser");
        QJsonObject greeting;
        m_client = m_harness->connectGreeted(&greeting);
        ASSERT_TRUE(m_client);
        m_watchdog = static_cast<pid_t>(greeting["watchdogPid"].toInt());
        const QJsonObject state = m_client->askUntil(
            QJsonObject{{"command", "configure"}, {"version", 1}, {"library", faultLibrary()}},
            [](const QJsonObject& s) { return s["active"].toBool() && s["configured"].toBool(); });
        ASSERT_TRUE(state["active"].toBool()) << QJsonDocument(state).toJson().constData();
        ASSERT_TRUE(state["error"].toString().isEmpty()) << state["error"].toString().toStdString();
    }

    // Presses the input until the agent holds its output down.
    void pressAndHold(const Press& p)
    {
        press(p, true);
        if (eventually([&] { return m_harness->driver().isDown(p.output); }))
            return;
        const auto state = m_client->ask({{"command", "state"}, {"version", 1}});
        ADD_FAILURE() << p.name << ": no output held; the agent says "
                      << (state ? QJsonDocument(*state).toJson(QJsonDocument::Compact).toStdString() : "nothing");
    }

    void press(const Press& p, bool down)
    {
        vorna::sim::Driver& driver = m_harness->driver();
        if (p.button)
            down ? driver.buttonDown(p.code) : driver.buttonUp(p.code);
        else
            down ? driver.keyDown(p.code) : driver.keyUp(p.code);
    }

    // Every key and button the session's system state shows down.
    std::vector<UINT> keysDown()
    {
        m_harness->session().waitIdle();
        std::vector<UINT> down;
        for (UINT vk = 1; vk < 255; ++vk) {
            if (m_harness->driver().isDown(vk))
                down.push_back(vk);
        }
        return down;
    }

    void expectNothingDown(const std::string& what)
    {
        std::vector<UINT> down;
        EXPECT_TRUE(eventually([&] { return (down = keysDown()).empty(); }))
            << what << ": still down " << testing::PrintToString(down);
    }

    // After the agent ended: its watchdog and its journal's shared memory go too.
    void expectAgentLeftNothing(pid_t agent)
    {
        EXPECT_TRUE(eventually([&] { return processGone(m_watchdog); })) << "the watchdog outlived its agent";
        EXPECT_TRUE(eventually([&] { return !journalMemoryExists(agent); })) << "the journal's memory stayed";
    }

    // Runs `body` kRuns times, each with its own seed on a fresh agent.
    template <typename Body>
    void seededRuns(Body body)
    {
        for (std::uint32_t run = 0; run < kRuns; ++run) {
            std::mt19937 random(kSeed + run);
            SCOPED_TRACE("seed " + std::to_string(kSeed + run));
            startConfiguredAgent();
            if (HasFatalFailure())
                return;
            body(random);
            m_client.reset();
            m_harness.reset();
        }
    }

    std::unique_ptr<AgentHarness> m_harness;
    std::unique_ptr<RawClient> m_client;
    pid_t m_watchdog = 0;
};

TEST_F(Faults, AnAgentKilledOrStoppedWhileOutputsAreHeldLeavesNothingDown)
{
    seededRuns([&](std::mt19937& random) {
        std::vector<Press> held(std::begin(kPresses), std::end(kPresses));
        std::shuffle(held.begin(), held.end(), random);
        held.resize(1 + random() % held.size());
        for (const Press& p : held) {
            pressAndHold(p);
            std::this_thread::sleep_for(std::chrono::milliseconds(random() % 30));
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 200));
        // The faults land while every output is still held (the hold macro's F included).
        for (const Press& p : held)
            EXPECT_TRUE(m_harness->driver().isDown(p.output)) << p.name << ": the output was let go before the fault";

        const pid_t agent = m_harness->agent().pid();
        if (random() % 2 == 0) {
            m_harness->agent().signal(SIGKILL);
        } else {
            // A hung agent: its heartbeat stops, and the watchdog ends it after 5 s of silence.
            m_harness->agent().signal(SIGSTOP);
            m_harness->session().stepClock(5200);
        }
        if (!m_harness->agent().wait(vorna::test::kConditionLimit)) {
            ADD_FAILURE() << "the agent did not end";
            return;
        }
        expectAgentLeftNothing(agent);
        std::vector<UINT> down;
        EXPECT_TRUE(eventually([&] {
            down = keysDown();
            return std::none_of(down.begin(), down.end(), [](UINT vk) { return vk != 'A' && vk != 'G' && vk != 'D'; });
        })) << "outputs still down " << testing::PrintToString(down);
        for (const Press& p : held)
            press(p, false);
        expectNothingDown("after the user let go");
    });
}

TEST_F(Faults, HooksRemovedForATimeOutLeaveNoOutputDown)
{
    seededRuns([&](std::mt19937& random) {
        const Press& p = kPresses[random() % std::size(kPresses)];
        SCOPED_TRACE(p.name);
        pressAndHold(p);
        std::this_thread::sleep_for(std::chrono::milliseconds(50 + random() % 100));
        m_harness->session().setHookTimeout(100);
        // The hook thread does not answer: the session skips and removes its hooks.
        m_harness->agent().signal(SIGSTOP);
        m_harness->driver().tap('Z');
        m_harness->agent().signal(SIGCONT);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 300));
        press(p, false);
        expectNothingDown("after the hooks were lost");
        // The agent lives on.
        EXPECT_TRUE(m_client->ask(QJsonObject{{"command", "state"}, {"version", 1}}));
    });
}

TEST_F(Faults, SendInputFailingPartWayLeavesNothingDown)
{
    startConfiguredAgent();
    if (HasFatalFailure())
        return;
    std::mt19937 random(kSeed);
    for (std::uint32_t round = 0; round < 4 * kRuns; ++round) {
        const Press& p = kPresses[random() % std::size(kPresses)];
        SCOPED_TRACE(std::string(p.name) + ", round " + std::to_string(round));
        const vorna::sim::Failure failure{ERROR_ACCESS_DENIED, std::int32_t(1 + random() % 2), std::uint32_t(random() % 2)};
        m_harness->session().setFailure(vorna::sim::FailPoint::SendInput, failure);
        press(p, true);
        std::this_thread::sleep_for(std::chrono::milliseconds(random() % 100));
        press(p, false);
        m_harness->session().setFailure(vorna::sim::FailPoint::SendInput, vorna::sim::Failure{});
        expectNothingDown("after a failed SendInput");
    }
}

TEST_F(Faults, AnActionWorkerKilledOrStoppedMidReplyLeavesNoWorkerBehind)
{
    startConfiguredAgent();
    if (HasFatalFailure())
        return;
    std::mt19937 random(kSeed);
    const pid_t agent = m_harness->agent().pid();
    int caught = 0;
    for (std::uint32_t round = 0; round < 2 * kRuns; ++round) {
        // The last round stops the worker instead: the agent ends it after its time limit.
        const bool stop = round + 1 == 2 * kRuns;
        SCOPED_TRACE("round " + std::to_string(round) + (stop ? " (stopped)" : " (killed)"));
        m_harness->driver().tap(kActionKey);
        const auto delay = std::chrono::microseconds(random() % 20000);
        std::vector<pid_t> workers;
        // A worker that finished before it was seen is no fault: this round then catches none.
        eventually([&] { return !(workers = childrenWith(agent, "--action-worker")).empty(); }, 2s);
        std::this_thread::sleep_for(delay);
        for (const pid_t worker : workers)
            caught += ::kill(worker, stop ? SIGSTOP : SIGKILL) == 0;
        EXPECT_TRUE(eventually([&] { return childrenWith(agent, "--action-worker").empty(); }))
            << "a worker was left behind";
        EXPECT_TRUE(m_client->ask(QJsonObject{{"command", "state"}, {"version", 1}})) << "the agent stopped answering";
    }
    EXPECT_GT(caught, 0) << "no worker was ever caught running";
    expectNothingDown("after the workers");
}

TEST_F(Faults, ASettingsWindowKilledMidCommitLeavesTheOldOrTheNewLibrary)
{
    std::mt19937 random(kSeed);
    for (std::uint32_t run = 0; run < 3 * kRuns; ++run) {
        SCOPED_TRACE("run " + std::to_string(run));
        QTemporaryDir folder;
        const std::string data = folder.path().toStdString();
        const std::string instance = "test-" + QUuid::createUuid().toString(QUuid::Id128).toLower().toStdString();
        ChildProcess window({"/usr/bin/env", "QT_QPA_PLATFORM=offscreen", "VORNA_TEST_INSTANCE=" + instance,
            "VORNA_TEST_DATA=" + data, "XDG_CONFIG_HOME=" + data + "/config", "XDG_RUNTIME_DIR=" + data,
            "ASAN_OPTIONS=detect_leaks=0", vorna::test::builtProgram("tests/faults", "fault_commit_loop")});
        ASSERT_EQ(window.readLine(30s), std::optional<std::string>("ready"));
        std::this_thread::sleep_for(std::chrono::microseconds(random() % 50000));
        window.signal(SIGKILL);
        ASSERT_TRUE(window.wait());

        const QDir dir(folder.path());
        for (const QString& name : {QStringLiteral("profiles-v3.json"), QStringLiteral("profiles-v3.json.bak")}) {
            if (name.endsWith(".bak") && !dir.exists(name))
                continue;
            QJsonObject library;
            QString error;
            ASSERT_TRUE(vorna::core::loadLibrary(dir.filePath(name), library, error))
                << name.toStdString() << ": " << error.toStdString();
            const qsizetype rules = library["profiles"][0]["layers"][0]["rules"].toArray().size();
            EXPECT_TRUE(rules == 2 || rules == 24) << name.toStdString() << " holds " << rules << " rules";
        }
    }
}

} // namespace
