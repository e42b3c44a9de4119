// A thread that installs one low-level hook and pumps its messages (or holds still), for tests
// of the input stream.
#pragma once

#include "platform/win32.h"

#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

namespace vorna::test {

class HookThread {
public:
    using Handler = std::function<LRESULT(int code, WPARAM message, LPARAM data)>;

    HookThread(int hookId, Handler handler, bool pumping = true) : handler_(std::move(handler)), pumping_(pumping)
    {
        thread_ = std::thread([this, hookId] { run(hookId); });
        std::unique_lock lock(mutex_);
        changed_.wait(lock, [&] { return ready_; });
    }
    ~HookThread()
    {
        {
            std::lock_guard lock(mutex_);
            quit_ = true;
        }
        changed_.notify_all();
        PostThreadMessageW(threadId_, WM_QUIT, 0, 0);
        thread_.join();
    }

    HHOOK hook() const { return hook_; }
    DWORD threadId() const { return threadId_; }
    // True while the hook procedure runs inside PeekMessageW on this thread.
    static bool insideRetrieval() { return retrieving; }
    BOOL unhookResult() const { return unhooked_; }

    void setPumping(bool on)
    {
        {
            std::lock_guard lock(mutex_);
            pumping_ = on;
        }
        changed_.notify_all();
    }

    // Lets the test's handler pass the event on.
    static LRESULT passOn(int code, WPARAM message, LPARAM data) { return CallNextHookEx(nullptr, code, message, data); }

private:
    static LRESULT CALLBACK trampoline(int code, WPARAM message, LPARAM data) { return (*current)(code, message, data); }

    void run(int hookId)
    {
        current = &handler_;
        MSG msg;
        PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
        hook_ = SetWindowsHookExW(hookId, trampoline, GetModuleHandleW(nullptr), 0);
        threadId_ = GetCurrentThreadId();
        {
            std::lock_guard lock(mutex_);
            ready_ = true;
        }
        changed_.notify_all();
        for (;;) {
            {
                std::unique_lock lock(mutex_);
                changed_.wait(lock, [&] { return pumping_ || quit_; });
                if (quit_)
                    break;
            }
            MsgWaitForMultipleObjectsEx(0, nullptr, 20, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
            retrieving = true;
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                retrieving = false;
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
                retrieving = true;
            }
            retrieving = false;
        }
        unhooked_ = hook_ ? UnhookWindowsHookEx(hook_) : FALSE;
    }

    static inline thread_local Handler* current = nullptr;
    static inline thread_local bool retrieving = false;

    Handler handler_;
    std::mutex mutex_;
    std::condition_variable changed_;
    bool ready_ = false;
    bool pumping_;
    bool quit_ = false;
    HHOOK hook_ = nullptr;
    std::atomic<DWORD> threadId_{0};
    BOOL unhooked_ = FALSE;
    std::thread thread_;
};

} // namespace vorna::test
