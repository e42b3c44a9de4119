// Two real processes in one brokered session.
#include "engine/mapping/injection_marker.h"
#include "peer.h"
#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "platform/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vorna::sim::Broker;
using vorna::sim::Driver;
using vorna::test::startPeer;
using vorna::test::waitForExit;
using Clock = std::chrono::steady_clock;

class BrokeredSession : public testing::Test {
protected:
    void SetUp() override
    {
        const std::string stem = "/tmp/vorna-sim-test-" + std::to_string(::getpid()) + "-" +
                                 testing::UnitTest::GetInstance()->current_test_info()->name();
        socket = stem + ".sock";
        hookLog = stem + ".log";
        broker = std::make_unique<Broker>(socket);
        broker->start();
        driver = std::make_unique<Driver>(socket);
    }
    void TearDown() override
    {
        driver.reset();
        broker.reset();
        std::remove(hookLog.c_str());
    }

    // Starts a peer that hooks the keyboard and waits until its hook is in the chain.
    HANDLE startRecorder(const std::wstring& mode = L"record-keys")
    {
        DWORD pid = 0;
        const HANDLE recorder = startPeer(mode + L" " + std::wstring(hookLog.begin(), hookLog.end()), &pid, socket);
        for (int i = 0; i < 1000; ++i) {
            for (const auto& hook : driver->session().hooks()) {
                if (hook.processId == pid)
                    return recorder;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
        }
        ADD_FAILURE() << "the recorder's hook never appeared";
        return recorder;
    }

    std::vector<std::string> loggedKeys()
    {
        std::ifstream in(hookLog);
        std::vector<std::string> lines;
        for (std::string line; std::getline(in, line);)
            lines.push_back(line);
        return lines;
    }

    std::string socket;
    std::string hookLog;
    std::unique_ptr<Broker> broker;
    std::unique_ptr<Driver> driver;
};

TEST_F(BrokeredSession, AHookInOneProcessSeesInputInjectedByAnother)
{
    const HANDLE recorder = startRecorder();
    const HANDLE sender = startPeer(L"send-keys 66 2", nullptr, socket);
    ASSERT_EQ(waitForExit(sender), 0u);
    driver->session().waitIdle();
    // Injected, with the sender's extra info, seen by the other process's hook.
    EXPECT_EQ(loggedKeys(), (std::vector<std::string>{"66 16 566f726e61495452", "66 144 566f726e61495452",
                                                      "66 16 566f726e61495452", "66 144 566f726e61495452"}));
    const auto sink = driver->takeSink();
    ASSERT_EQ(sink.size(), 4u);
    EXPECT_EQ(sink[0].key.dwExtraInfo, ULONG_PTR(vorna::windows::kInjectionMarker));

    // Physical input from the driver reaches it too, with the key state kept in the broker.
    EXPECT_TRUE(driver->keyDown(VK_RCONTROL));
    EXPECT_TRUE(driver->isDown(VK_CONTROL));
    EXPECT_EQ(loggedKeys().back(), "163 1 0");

    TerminateProcess(recorder, 1);
    waitForExit(recorder);
    CloseHandle(sender);
    CloseHandle(recorder);
}

TEST_F(BrokeredSession, AKilledHookOwnerIsDroppedWithoutStallingInput)
{
    driver->session().setHookTimeout(5000);
    const HANDLE recorder = startRecorder();
    EXPECT_TRUE(driver->tap('A'));
    ASSERT_EQ(loggedKeys().size(), 2u);
    TerminateProcess(recorder, 1);
    waitForExit(recorder);

    const auto start = Clock::now();
    EXPECT_TRUE(driver->tap('B'));
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(2)); // far below the 5 s time-out
    EXPECT_TRUE(driver->session().hooks().empty());
    EXPECT_EQ(loggedKeys().size(), 2u);
    CloseHandle(recorder);
}

TEST_F(BrokeredSession, AHungHookOwnerIsSkippedAfterTheTimeOutAndRemoved)
{
    driver->session().setHookTimeout(100);
    const HANDLE hung = startRecorder(L"hook-and-hang");
    const auto start = Clock::now();
    EXPECT_TRUE(driver->keyDown('H'));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(100));
    EXPECT_TRUE(driver->session().hooks().empty());
    const auto again = Clock::now();
    EXPECT_TRUE(driver->keyUp('H'));
    EXPECT_LT(Clock::now() - again, std::chrono::milliseconds(100));
    TerminateProcess(hung, 1);
    waitForExit(hung);
    CloseHandle(hung);
}

// A reply that takes longer than the driver's time-out is waited for while the broker still
// answers: here a hung hook holds the key press for the session's hook time-out.
TEST_F(BrokeredSession, AReplySlowerThanTheTimeOutIsWaitedForWhileTheBrokerAnswers)
{
    driver->session().setHookTimeout(1500);
    const HANDLE hung = startRecorder(L"hook-and-hang");
    Driver impatient(socket, std::chrono::milliseconds(400));
    const auto start = Clock::now();
    EXPECT_TRUE(impatient.keyDown('H'));
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(1500));
    EXPECT_TRUE(impatient.session().hooks().empty());
    TerminateProcess(hung, 1);
    waitForExit(hung);
    CloseHandle(hung);
}

TEST_F(BrokeredSession, DriversShareTheSessionStateAndClock)
{
    Driver second(socket);
    vorna::sim::ScreenState screen;
    screen.monitorCount = 2;
    screen.monitors[1] = {1920, 0, 3840, 1080};
    driver->session().setScreen(screen);
    EXPECT_EQ(second.session().page().readScreen().monitorCount, 2);
    const std::int64_t before = second.session().page().clockOffsetNs.load();
    driver->session().stepClock(1500);
    EXPECT_EQ(second.session().page().clockOffsetNs.load() - before, 1'500'000'000);
    EXPECT_TRUE(second.moveTo(3000, 500));
    EXPECT_EQ(driver->cursor().x, 3000);
    EXPECT_THROW(Driver("/tmp/vorna-sim-no-such-broker.sock"), std::runtime_error);
}

} // namespace
