// A thread's message queue: posted messages in FIFO order with a quota, and the one pending
// low-level hook call, which runs only when the owning thread retrieves messages.
#pragma once

#include "platform/sim/session/hook_call.h"
#include "platform/sim/win32/win32_message.h"

#include <memory>
#include <mutex>
#include <vector>

namespace vorna::sim {

class ThreadQueue {
public:
    static constexpr std::size_t quota = 10000; // posted messages, as on Windows

    explicit ThreadQueue(DWORD threadId);
    ~ThreadQueue();
    ThreadQueue(const ThreadQueue&) = delete;
    ThreadQueue& operator=(const ThreadQueue&) = delete;

    DWORD threadId() const { return threadId_; }
    // Polls readable when something may have arrived; the owner re-checks under the lock.
    int wakeDescriptor() const { return pollFd_; }
    // A broker's direct line to this thread: hook calls arrive on it and answers leave on it,
    // with no other thread in between. The owning thread only.
    void attachChannel(int socket);
    bool hasChannel() const { return channel_.fd >= 0; }

    // Any thread.
    bool post(const MSG& message); // false with ERROR_NOT_ENOUGH_QUOTA when full
    void deliverHookCall(const HookCall& call, HookAnswerPort* port);
    void cancelHookCall(std::uint64_t callId);

    // The owning thread only.
    bool peek(MSG* message, HWND window, UINT first, UINT last, UINT removal);
    BOOL get(MSG* message, HWND window, UINT first, UINT last);
    bool wakeReady(DWORD wakeMask, DWORD flags);
    void drainWake();

private:
    // Answers hook calls that came over the channel.
    struct Channel final : HookAnswerPort {
        int fd = -1;
        std::vector<std::uint8_t> pending; // bytes of a frame not yet complete
        void answerHook(std::uint64_t callId, LRESULT result, bool calledNext) override;
    };

    void wake();
    void pullChannel();
    void serveHookCalls();
    void serveWinEvents();
    bool take(MSG* message, HWND window, UINT first, UINT last, bool remove);

    const DWORD threadId_;
    const int wakeFd_;
    const int pollFd_; // epoll over wakeFd_ and the channel
    Channel channel_;
    std::mutex mutex_;
    std::vector<MSG> ring_; // grows to the quota, then reused without allocation
    std::size_t head_ = 0;
    std::size_t count_ = 0;
    std::uint64_t postedSerial_ = 0; // messages posted so far
    std::uint64_t seenSerial_ = 0;   // postedSerial_ when the thread last looked at its queue
    bool callPending_ = false;
    HookCall call_{};
    HookAnswerPort* callPort_ = nullptr;
    std::vector<MSG> winEvents_; // WinEvents waiting for the thread to retrieve messages
};

// The calling thread's queue; created on first use when create is set.
ThreadQueue* currentThreadQueue(bool create);
std::shared_ptr<ThreadQueue> findThreadQueue(DWORD threadId);

// Runs a hook procedure of this process on the calling thread (defined with the hooks).
LRESULT runLowLevelHook(const HookCall& call, bool& calledNext);
// Runs the WinEvent callback a winEventMessage is for, if its hook is still installed (defined
// with the WinEvent hooks).
void runWinEvent(const MSG& message);
// What a thread owns and loses when it ends, as on Windows (defined with hooks and windows).
void releaseThreadHooks(DWORD threadId);
void releaseThreadWinEvents(DWORD threadId);
void releaseThreadWindows(DWORD threadId);
// Sends a window message to its procedure (defined with the windows).
LRESULT dispatchWindowMessage(const MSG& message);

} // namespace vorna::sim
