#include "platform/win32.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

// Runs a thread that owns a queue and stays until released.
class QueueThread {
public:
    explicit QueueThread(bool createQueue)
    {
        thread_ = std::thread([this, createQueue] {
            if (createQueue) {
                MSG msg;
                PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
            }
            id_.store(GetCurrentThreadId());
            while (!release_.load())
                std::this_thread::sleep_for(std::chrono::milliseconds(1));
        });
        while (id_.load() == 0)
            std::this_thread::yield();
    }
    ~QueueThread()
    {
        release_.store(true);
        thread_.join();
    }
    DWORD id() const { return id_.load(); }

private:
    std::atomic<DWORD> id_{0};
    std::atomic<bool> release_{false};
    std::thread thread_;
};

TEST(MessageQueue, PostingBeforeTheFirstPeekFailsWith1444)
{
    QueueThread noQueue(false);
    SetLastError(0);
    EXPECT_FALSE(PostThreadMessageW(noQueue.id(), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), 1444u);

    QueueThread withQueue(true);
    EXPECT_TRUE(PostThreadMessageW(withQueue.id(), WM_USER, 0, 0));
}

TEST(MessageQueue, MessagesArriveInOrderWithTheirParameters)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    for (UINT i = 0; i < 100; ++i)
        ASSERT_TRUE(PostThreadMessageW(GetCurrentThreadId(), WM_APP + (i % 3), i, -LPARAM(i)));
    for (UINT i = 0; i < 100; ++i) {
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.message, WM_APP + (i % 3));
        EXPECT_EQ(msg.wParam, i);
        EXPECT_EQ(msg.lParam, -LPARAM(i));
        EXPECT_EQ(msg.hwnd, nullptr);
    }
    EXPECT_FALSE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
}

TEST(MessageQueue, FilterTakesTheFirstMatchAndKeepsTheRestInOrder)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 1, 1, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 5, 2, 0);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP + 2, 3, 0);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 5, WM_APP + 5, PM_NOREMOVE));
    EXPECT_EQ(msg.wParam, 2u);
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, WM_APP + 5, WM_APP + 5, PM_REMOVE));
    for (WPARAM expected : {1u, 3u}) {
        ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE));
        EXPECT_EQ(msg.wParam, expected);
    }
}

TEST(MessageQueue, QuitEndsGetMessageAndIgnoresTheFilter)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    PostThreadMessageW(GetCurrentThreadId(), WM_QUIT, 7, 0);
    EXPECT_EQ(GetMessageW(&msg, nullptr, WM_USER, WM_USER), FALSE);
    EXPECT_EQ(msg.message, UINT(WM_QUIT));
    EXPECT_EQ(msg.wParam, 7u);
}

TEST(MessageQueue, QuotaRefusesTheTenThousandAndFirst)
{
    QueueThread target(true);
    for (int i = 0; i < 10000; ++i)
        ASSERT_TRUE(PostThreadMessageW(target.id(), WM_USER, 0, 0)) << i;
    EXPECT_FALSE(PostThreadMessageW(target.id(), WM_USER, 0, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_QUOTA));
}

TEST(MessageQueue, GetMessageWakesForAPostFromAnotherThread)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD self = GetCurrentThreadId();
    std::thread poster([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        PostThreadMessageW(self, WM_APP, 42, 0);
    });
    EXPECT_EQ(GetMessageW(&msg, nullptr, 0, 0), TRUE);
    EXPECT_EQ(msg.wParam, 42u);
    poster.join();
}

TEST(MsgWait, ReturnsForNewPostsAndOnlyWithInputAvailableForSeenOnes)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    PostThreadMessageW(GetCurrentThreadId(), WM_APP, 0, 0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0), WAIT_OBJECT_0);
    // Looked at but left in the queue: no longer new.
    ASSERT_TRUE(PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, 0), DWORD(WAIT_TIMEOUT));
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0);
    // A mask without posted messages does not see it.
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 0, QS_KEY, MWMO_INPUTAVAILABLE), DWORD(WAIT_TIMEOUT));
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
}

TEST(MsgWait, WakesForAPostFromAnotherThread)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    const DWORD self = GetCurrentThreadId();
    const auto start = Clock::now();
    std::thread poster([self] {
        std::this_thread::sleep_for(std::chrono::milliseconds(30));
        PostThreadMessageW(self, WM_APP, 0, 0);
    });
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, 5000, QS_ALLINPUT, MWMO_INPUTAVAILABLE), WAIT_OBJECT_0);
    EXPECT_LT(Clock::now() - start, std::chrono::seconds(4));
    poster.join();
    PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);
}

TEST(MsgWait, TimeoutIsNeverEarly)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, 0, 0, PM_NOREMOVE);
    for (DWORD ms : {1u, 5u, 17u, 40u}) {
        const auto start = Clock::now();
        EXPECT_EQ(MsgWaitForMultipleObjectsEx(0, nullptr, ms, QS_ALLINPUT, MWMO_INPUTAVAILABLE), DWORD(WAIT_TIMEOUT));
        EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(ms));
    }
}

TEST(MsgWait, RejectsUnknownHandles)
{
    HANDLE bogus = reinterpret_cast<HANDLE>(0x7FF0);
    EXPECT_EQ(MsgWaitForMultipleObjectsEx(1, &bogus, 0, QS_ALLINPUT, 0), WAIT_FAILED);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
}

} // namespace
