#include "platform/win32.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

LARGE_INTEGER relative(std::int64_t milliseconds)
{
    LARGE_INTEGER due;
    due.QuadPart = -milliseconds * 10'000;
    return due;
}

TEST(WaitableTimer, FiresNeverEarly)
{
    for (DWORD flags : {0u, DWORD(CREATE_WAITABLE_TIMER_HIGH_RESOLUTION)}) {
        const HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, flags, TIMER_ALL_ACCESS);
        ASSERT_NE(timer, nullptr);
        for (std::int64_t ms : {1, 7, 25}) {
            const LARGE_INTEGER due = relative(ms);
            const auto start = Clock::now();
            ASSERT_TRUE(SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE));
            ASSERT_EQ(WaitForSingleObject(timer, 5000), WAIT_OBJECT_0);
            EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
        }
        CloseHandle(timer);
    }
}

TEST(WaitableTimer, AutoResetTimerIsTakenByOneWaitManualResetStays)
{
    const HANDLE automatic = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    const HANDLE manual = CreateWaitableTimerW(nullptr, TRUE, nullptr);
    const LARGE_INTEGER due = relative(1);
    SetWaitableTimer(automatic, &due, 0, nullptr, nullptr, FALSE);
    SetWaitableTimer(manual, &due, 0, nullptr, nullptr, FALSE);
    EXPECT_EQ(WaitForSingleObject(automatic, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(automatic, 20), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(WaitForSingleObject(manual, 1000), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(manual, 0), WAIT_OBJECT_0);
    CloseHandle(automatic);
    CloseHandle(manual);
}

TEST(WaitableTimer, CancelStopsAPendingTimerAndSettingAgainRestarts)
{
    const HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    LARGE_INTEGER due = relative(20);
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    EXPECT_TRUE(CancelWaitableTimer(timer));
    EXPECT_EQ(WaitForSingleObject(timer, 60), DWORD(WAIT_TIMEOUT));
    due = relative(1);
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    EXPECT_EQ(WaitForSingleObject(timer, 1000), WAIT_OBJECT_0);
    CloseHandle(timer);
}

TEST(WaitableTimer, WakesMsgWaitAsTheFirstHandle)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const HANDLE timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    const LARGE_INTEGER due = relative(5);
    const auto start = Clock::now();
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &timer, 5000, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0);
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(5));
    // A queued message and a signalled handle: the handle wins, as the lowest index does.
    SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE);
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &timer, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &timer, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0 + 1);
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
    CloseHandle(timer);
}

TEST(Handles, ClosedOrUnknownHandlesFail)
{
    const HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    EXPECT_TRUE(CloseHandle(timer));
    EXPECT_FALSE(CloseHandle(timer));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(WaitForSingleObject(timer, 0), WAIT_FAILED);
    EXPECT_EQ(WaitForSingleObject(nullptr, 0), WAIT_FAILED);
}

TEST(Handles, WaitTimeoutIsNeverEarly)
{
    const HANDLE timer = CreateWaitableTimerW(nullptr, FALSE, nullptr);
    for (DWORD ms : {1u, 3u, 20u}) {
        const auto start = Clock::now();
        EXPECT_EQ(WaitForSingleObject(timer, ms), DWORD(WAIT_TIMEOUT));
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
    }
    CloseHandle(timer);
}

} // namespace
