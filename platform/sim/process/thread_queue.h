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

    DWORD threadId() const { return m_threadId; }
    // Polls readable when something may have arrived; the owner re-checks under the lock.
    int wakeDescriptor() const { return m_pollFd; }
    // A broker's direct line to this thread: hook calls arrive on it and answers leave on it,
    // with no other thread in between. The owning thread only.
    void attachChannel(int socket);
    bool hasChannel() const { return m_channel.fd >= 0; }

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

    const DWORD m_threadId;
    const int m_wakeFd;
    const int m_pollFd; // epoll over m_wakeFd and the channel
    Channel m_channel;
    std::mutex m_mutex;
    std::vector<MSG> m_ring; // grows to the quota, then reused without allocation
    std::size_t m_head = 0;
    std::size_t m_count = 0;
    std::uint64_t m_postedSerial = 0; // messages posted so far
    std::uint64_t m_seenSerial = 0;   // m_postedSerial when the thread last looked at its queue
    bool m_callPending = false;
    HookCall m_call{};
    HookAnswerPort* m_callPort = nullptr;
    std::vector<MSG> m_winEvents; // WinEvents waiting for the thread to retrieve messages
};

// The calling thread's queue; created on first use when create is set.
ThreadQueue* currentThreadQueue(bool create);
std::shared_ptr<ThreadQueue> findThreadQueue(DWORD threadId);

// What the queue calls when its thread retrieves messages or ends. The stand-ins define them
// (stand_ins/win32_input_hooks.cpp, win32_window_query_events.cpp, win32_window.cpp); they are
// declared here, where they are called, so that this folder includes nothing above it.

// Runs a hook procedure of this process on the calling thread (defined with the hooks).
LRESULT runLowLevelHook(const HookCall& call, bool& calledNext);
// Runs the WinEvent callback a winEventMessage is for, if its hook is still installed (defined
// with the WinEvent hooks).
void runWinEvent(const MSG& message);
// What a thread owns and loses when it ends, as on Windows (defined with hooks and windows).
void releaseThreadHooks(DWORD threadId);
void releaseThreadWinEvents(DWORD threadId);
void releaseThreadWindows(DWORD threadId);

} // namespace vorna::sim
