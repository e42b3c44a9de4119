// End to end on one simulated session shared by processes: an agent holds input through the
// journal, dies, hangs or stops, and its watchdog releases (or leaves) what it must.
#include "engine/mapping/injection_marker.h"
#include "engine/safety/safety_journal.h"
#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "tests/safety/child_process.h"
#include "tests/support/condition_wait.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

using namespace vorna::windows;
using vorna::sim::Broker;
using vorna::sim::Driver;
using vorna::sim::FailPoint;
using vorna::sim::Failure;
using vorna::sim::HookKind;
using vorna::sim::SinkEvent;
using vorna::test::ChildProcess;
using vorna::test::ProcessEnd;
using vorna::test::ScopedEnv;
using namespace std::chrono_literals;

namespace {

constexpr ULONG_PTR kMarker = ULONG_PTR(kInjectionMarker);

std::string stubPath()
{
    return vorna::test::builtProgram("tests/safety", "safety_agent_stub");
}

// One event that reached the system, as the tests compare it.
struct Seen {
    bool key = true;
    WPARAM message = 0;
    DWORD code = 0; // virtual key, or mouseData for buttons
    DWORD scan = 0;
    DWORD flags = 0;
    bool operator==(const Seen&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Seen& s)
{
    return out << (s.key ? "key" : "mouse") << " message 0x" << std::hex << s.message << " code 0x" << s.code << " scan 0x"
               << s.scan << " flags 0x" << s.flags << std::dec;
}

Seen keyUp(DWORD vk, DWORD flags = LLKHF_INJECTED | LLKHF_UP, DWORD scan = 0)
{
    return {true, WM_KEYUP, vk, scan, flags};
}

Seen buttonUp(WPARAM message, DWORD data = 0)
{
    return {false, message, data, 0, LLMHF_INJECTED};
}

// Ups the system received from our own marked injections.
std::vector<Seen> markedUps(const std::vector<SinkEvent>& sink)
{
    std::vector<Seen> ups;
    for (const SinkEvent& e : sink) {
        if (e.kind == HookKind::Keyboard) {
            if (e.key.dwExtraInfo == kMarker && (e.key.flags & LLKHF_INJECTED) && (e.key.flags & LLKHF_UP)) {
                const DWORD scan = e.key.vkCode == VK_PACKET ? e.key.scanCode : 0;
                ups.push_back({true, e.message, e.key.vkCode, scan, e.key.flags & (LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)});
            }
        } else if (e.mouse.dwExtraInfo == kMarker && (e.mouse.flags & LLMHF_INJECTED)) {
            const bool up = e.message == WM_LBUTTONUP || e.message == WM_RBUTTONUP || e.message == WM_MBUTTONUP ||
                            e.message == WM_XBUTTONUP;
            if (up)
                ups.push_back({false, e.message, e.mouse.mouseData >> 16, 0, e.mouse.flags & LLMHF_INJECTED});
        }
    }
    return ups;
}

bool journalGoes(const std::string& journalName)
{
    const std::wstring name(journalName.begin(), journalName.end());
    return vorna::test::waitFor([&] {
        const HANDLE left = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
        if (left == nullptr)
            return true;
        CloseHandle(left);
        return false;
    });
}

// The stand-in agent: it creates the journal, its watchdog starts and it holds what it is told.
class StubAgent {
public:
    explicit StubAgent(const std::vector<std::string>& holds) : process_(arguments(holds), true)
    {
        const std::optional<std::string> ready = process_.readLine();
        if (!ready) {
            failure_ = "no answer";
            return;
        }
        std::istringstream words(*ready);
        std::string word;
        words >> word;
        if (word != "ready") {
            failure_ = *ready;
            return;
        }
        words >> watchdogPid_ >> journalName_;
        if (process_.readLine() != std::optional<std::string>("holding"))
            failure_ = "did not hold";
    }

    bool started() const { return failure_.empty(); }
    const std::string& failure() const { return failure_; }
    ChildProcess& process() { return process_; }
    pid_t watchdogPid() const { return watchdogPid_; }
    const std::string& journalName() const { return journalName_; }

private:
    static std::vector<std::string> arguments(const std::vector<std::string>& holds)
    {
        std::vector<std::string> all{stubPath(), "agent"};
        all.insert(all.end(), holds.begin(), holds.end());
        return all;
    }

    ChildProcess process_;
    std::string failure_;
    pid_t watchdogPid_ = 0;
    std::string journalName_;
};

class WatchdogSession : public testing::Test {
protected:
    void SetUp() override
    {
        vorna::test::adoptOrphans();
        const std::string tag = std::to_string(::getpid());
        socketPath_ = (std::filesystem::temp_directory_path() / ("vorna-safety-" + tag + ".sock")).string();
        resultPath_ = (std::filesystem::temp_directory_path() / ("vorna-safety-" + tag + ".result")).string();
        broker_ = std::make_unique<Broker>(socketPath_);
        broker_->start();
        driver_ = std::make_unique<Driver>(socketPath_);
        session_.emplace("VORNA_SIM_SESSION", QByteArray::fromStdString(socketPath_));
        result_.emplace("VORNA_STUB_RESULT", QByteArray::fromStdString(resultPath_));
    }
    void TearDown() override
    {
        result_.reset();
        session_.reset();
        driver_.reset();
        broker_.reset();
        std::filesystem::remove(resultPath_);
    }

    Driver& driver() { return *driver_; }

    // Waits until the watchdog has ended and returns its exit code as it reported it.
    std::optional<int> watchdogExit(pid_t watchdog, std::chrono::milliseconds timeout = 10s)
    {
        if (!vorna::test::waitForProcess(watchdog, timeout))
            return std::nullopt;
        return writtenResult();
    }

    // The exit code the stub watchdog wrote, once it has written it.
    std::optional<int> writtenResult(std::chrono::milliseconds timeout = vorna::test::kConditionLimit)
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            std::ifstream file(resultPath_);
            int code = 0;
            if (file >> code)
                return code;
            std::this_thread::sleep_for(10ms);
        }
        return std::nullopt;
    }

    std::vector<Seen> ups() { return markedUps(driver().takeSink()); }

    // The session's GetTickCount64, read through the driver: this process stays out of the
    // session, so that none of its own links outlives the broker.
    std::uint64_t sessionTickMs()
    {
        timespec now{};
        clock_gettime(CLOCK_MONOTONIC, &now);
        const std::int64_t ns = std::int64_t(now.tv_sec) * 1'000'000'000 + now.tv_nsec +
                                driver().session().page().clockOffsetNs.load();
        return static_cast<std::uint64_t>(ns / 1'000'000);
    }

    // Starts a case afresh: no key state, no failures, no result of an earlier watchdog.
    void freshCase()
    {
        driver().session().reset();
        std::filesystem::remove(resultPath_);
    }

private:
    std::string socketPath_;
    std::string resultPath_;
    std::unique_ptr<Broker> broker_;
    std::unique_ptr<Driver> driver_;
    std::optional<ScopedEnv> session_;
    std::optional<ScopedEnv> result_;
};

} // namespace

TEST_F(WatchdogSession, AKilledAgentsHeldInputIsReleasedUnlessTheUserHoldsIt)
{
    struct Case {
        const char* name;
        std::vector<std::string> holds;
        std::vector<UINT> heldBeforeStart; // physical keys down before the watchdog starts
        std::vector<UINT> heldAfterStart;  // physical keys down while it watches
        std::vector<UINT> buttonsHeld;
        std::vector<Seen> expected;
    } cases[] = {
        {"Left Shift and Right Ctrl", {"key:160", "key:163"}, {}, {}, {},
         {keyUp(160), keyUp(163, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)}},
        {"Left Shift held by the user", {"key:160", "key:163"}, {}, {VK_LSHIFT}, {},
         {keyUp(163, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)}},
        {"Left Shift held since before the watch", {"key:160", "key:163"}, {VK_LSHIFT}, {}, {},
         {keyUp(163, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)}},
        {"buttons, numpad Enter, characters and the paste keys",
         {"text:162", "text:86", "button:1", "button:2", "button:4", "numpad-enter", "unicode:1103", "unicode:65"},
         {}, {}, {2},
         {keyUp(86), keyUp(162), buttonUp(WM_LBUTTONUP), buttonUp(WM_XBUTTONUP, XBUTTON1),
          keyUp(VK_RETURN, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED), keyUp(VK_PACKET, LLKHF_INJECTED | LLKHF_UP, 1103),
          keyUp(VK_PACKET, LLKHF_INJECTED | LLKHF_UP, 65)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshCase();
        for (UINT vk : c.heldBeforeStart)
            driver().keyDown(vk);
        StubAgent agent(c.holds);
        ASSERT_TRUE(agent.started()) << agent.failure();
        for (UINT vk : c.heldAfterStart)
            driver().keyDown(vk);
        for (UINT button : c.buttonsHeld)
            driver().buttonDown(button);
        driver().takeSink();

        agent.process().signal(SIGKILL);
        ASSERT_TRUE(agent.process().wait().has_value());
        EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(0));
        driver().session().waitIdle();
        EXPECT_EQ(ups(), c.expected);

        // The journal went with them (the name is removed a moment after its creator died).
        EXPECT_TRUE(journalGoes(agent.journalName()));
    }
}

// The system's key state counts the agent's injected Shift as down: a watchdog that attaches
// later must not take it for the user's, or no watchdog ever releases it.
TEST_F(WatchdogSession, ASecondWatchdogNeverTakesTheAgentsKeyForTheUsers)
{
    StubAgent agent({"key:160"});
    ASSERT_TRUE(agent.started()) << agent.failure();
    ChildProcess second({stubPath(), "--watchdog", agent.journalName(), std::to_string(agent.process().pid())});
    const auto hooksOfWatchdogs = [&] { return driver().session().hooks().size(); };
    vorna::test::waitFor([&] { return hooksOfWatchdogs() >= 4; });
    ASSERT_EQ(hooksOfWatchdogs(), 4u) << "the second watchdog's hooks are in";
    driver().takeSink();

    agent.process().signal(SIGKILL);
    ASSERT_TRUE(agent.process().wait().has_value());
    const std::optional<ProcessEnd> secondEnd = second.wait();
    ASSERT_TRUE(secondEnd.has_value());
    EXPECT_EQ(secondEnd->exitCode, 0);
    EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(0));
    driver().session().waitIdle();
    const std::vector<Seen> released = ups();
    EXPECT_FALSE(released.empty());
    for (const Seen& up : released)
        EXPECT_EQ(up, keyUp(160));
    EXPECT_FALSE(driver().isDown(VK_LSHIFT));
}

// The key state names numpad Enter as Enter and, with NumLock off, keypad 7 as Home: a key the
// user held when the watchdog began and released under its own name is no longer the user's.
TEST_F(WatchdogSession, AKeyHeldAtTheStartIsLetGoUnderItsOwnName)
{
    struct Case {
        const char* name;
        UINT physical;
        std::string agentHolds;
        Seen expected;
    } cases[] = {
        {"numpad Enter and Enter", vorna::sim::kNumpadEnter, "key:13", keyUp(VK_RETURN)},
        {"keypad 7 and Home", VK_NUMPAD7, "key:36", keyUp(VK_HOME, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        freshCase();
        driver().keyDown(c.physical);
        StubAgent agent({c.agentHolds});
        ASSERT_TRUE(agent.started()) << agent.failure();
        driver().keyUp(c.physical);
        driver().takeSink();

        agent.process().signal(SIGKILL);
        ASSERT_TRUE(agent.process().wait().has_value());
        EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(0));
        driver().session().waitIdle();
        EXPECT_EQ(ups(), std::vector<Seen>{c.expected});
    }
}

TEST_F(WatchdogSession, AReleaseThatFailsDoesNotStopTheOthers)
{
    StubAgent agent({"key:160", "key:163"});
    ASSERT_TRUE(agent.started()) << agent.failure();
    driver().takeSink();
    driver().session().setFailure(FailPoint::SendInput, Failure{ERROR_ACCESS_DENIED, 1, 0});
    agent.process().signal(SIGKILL);
    agent.process().wait();
    EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(4));
    driver().session().waitIdle();
    EXPECT_EQ(ups(), std::vector<Seen>{keyUp(163, LLKHF_INJECTED | LLKHF_UP | LLKHF_EXTENDED)});
}

TEST_F(WatchdogSession, AHungAgentIsEndedOnlyAfter5000MsOfSilence)
{
    StubAgent agent({"key:160"});
    ASSERT_TRUE(agent.started()) << agent.failure();
    driver().takeSink();
    agent.process().signal(SIGSTOP);

    // The real time since the last beat adds to the step, and on a loaded machine (or under
    // ThreadSanitizer) that can be more than a second: leave two seconds of it.
    driver().session().stepClock(3000);
    std::this_thread::sleep_for(500ms); // several wakes of the watchdog
    EXPECT_FALSE(vorna::test::waitForProcess(agent.process().pid(), 0ms).has_value()) << "ended too early";

    driver().session().stepClock(2100);
    const std::optional<ProcessEnd> end = agent.process().wait(vorna::test::kConditionLimit);
    ASSERT_TRUE(end.has_value());
    // Ended by TerminateProcess: on Linux that is SIGKILL, so the signal shows, not code 91.
    EXPECT_EQ(end->signal, SIGKILL);
    EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(0));
    driver().session().waitIdle();
    EXPECT_EQ(ups(), std::vector<Seen>{keyUp(160)});
}

// The same on the real clock, once.
TEST_F(WatchdogSession, AHungAgentIsEndedOnTheRealClock)
{
    StubAgent agent({"key:162"});
    ASSERT_TRUE(agent.started()) << agent.failure();
    const std::wstring name(agent.journalName().begin(), agent.journalName().end());
    const HANDLE mapping = OpenFileMappingW(FILE_MAP_ALL_ACCESS, FALSE, name.c_str());
    ASSERT_NE(mapping, nullptr);
    auto* journal = static_cast<SafetyJournalView*>(MapViewOfFile(mapping, FILE_MAP_ALL_ACCESS, 0, 0, kSafetyJournalSize));
    ASSERT_NE(journal, nullptr);
    driver().takeSink();
    // Its own session: no other process ending can orphan its group while it is stopped, which
    // would end it by SIGHUP long before the watchdog acts.
    ASSERT_EQ(::getsid(agent.process().pid()), agent.process().pid());

    agent.process().signal(SIGSTOP);
    std::this_thread::sleep_for(50ms); // a beat in flight lands
    const std::uint64_t lastBeat = journal->agentHeartbeat();
    const std::optional<ProcessEnd> end = agent.process().wait(vorna::test::kConditionLimit);
    const std::uint64_t endedAt = sessionTickMs();
    ASSERT_TRUE(end.has_value());
    EXPECT_GT(endedAt - lastBeat, 5000u);
    EXPECT_EQ(end->signal, SIGKILL);
    EXPECT_EQ(watchdogExit(agent.watchdogPid()), std::optional<int>(0));
    driver().session().waitIdle();
    EXPECT_EQ(ups(), std::vector<Seen>{keyUp(162)});
    UnmapViewOfFile(journal);
    CloseHandle(mapping);
}

TEST_F(WatchdogSession, ACleanStopReleasesOnlyWhatTheJournalStillLists)
{
    struct Case {
        const char* command;
        std::vector<Seen> expected;
    } cases[] = {
        {"stop", {}},                   // the agent let go of everything first
        {"stop-keep", {keyUp(160)}},    // it stopped with a key still marked
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        freshCase();
        StubAgent agent({"key:160"});
        ASSERT_TRUE(agent.started()) << agent.failure();
        driver().takeSink();
        agent.process().writeLine(c.command);
        EXPECT_EQ(agent.process().readLine(), std::optional<std::string>("closed"));
        const std::optional<ProcessEnd> end = agent.process().wait();
        ASSERT_TRUE(end.has_value());
        EXPECT_EQ(end->exitCode, 0);
        EXPECT_EQ(writtenResult(), std::optional<int>(0));
        EXPECT_NE(::kill(agent.watchdogPid(), 0), 0) << "the watchdog outlived its agent";
        driver().session().waitIdle();
        EXPECT_EQ(ups(), c.expected);
    }
}

TEST_F(WatchdogSession, AWatchdogWithoutHooksEndsAndTheAgentDoesNotStart)
{
    driver().session().setFailure(FailPoint::SetWindowsHook, Failure{ERROR_ACCESS_DENIED, -1, 0});
    StubAgent agent({});
    EXPECT_FALSE(agent.started());
    EXPECT_EQ(agent.failure().rfind("failed Safety monitor did not become ready", 0), 0u) << agent.failure();
    EXPECT_EQ(writtenResult(), std::optional<int>(3));
    const std::optional<ProcessEnd> end = agent.process().wait();
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->exitCode, 2);
}
