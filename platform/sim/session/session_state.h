// The simulated session itself: one input stream with its hook chains, key state, cursor and
// screens, windows and processes, raw-input devices and notices. The same object serves an
// in-process session and a broker; what differs is how hook calls and window messages reach
// the threads they are for (SessionDelivery).
// Its parts: session_state.cpp (life, clock, keyboards, screens, failures, reset) and
// session_state_{input_stream,windows,notices}.cpp.
#pragma once

#include "platform/sim/session/desktop_state.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_message.h"

#include <array>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <unordered_map>

namespace vorna::sim {

class SessionDelivery {
public:
    enum class Delivery : std::uint8_t {
        Later,    // the answer comes through the port's answerHook
        Answered, // the delivery waited for the answer itself
        TimedOut, // no answer by the deadline
        Gone,     // the owner has gone: its hook is dropped at once
    };
    virtual ~SessionDelivery() = default;
    virtual Delivery deliverHookCall(DWORD processId, const HookCall& call, HookAnswerPort* port,
                                     std::chrono::steady_clock::time_point deadline, LRESULT& result, bool& calledNext) = 0;
    virtual void cancelHookCall(DWORD processId, DWORD threadId, std::uint64_t callId) = 0;
    virtual bool deliverWindowMessage(DWORD processId, DWORD threadId, const MSG& message) = 0;
};

class SessionState final : public SessionApi, public HookAnswerPort, private DesktopState::Port {
public:
    explicit SessionState(SessionDelivery& delivery);
    ~SessionState() override;

    int pageDescriptor() const { return m_pageDescriptor; }
    // A member process has gone: its hooks, windows and registrations go with it.
    void processGone(DWORD processId);
    // A thread of a member has ended (in-process sessions learn this from the thread itself).
    void threadGone(DWORD processId, DWORD threadId);

    // Completion of an inject without blocking the caller (the broker's I/O threads).
    using InjectDone = std::function<void(std::vector<bool>)>;
    void injectAsync(const std::vector<PhysicalEvent>& events, InjectDone done);
    void whenIdle(std::function<void()> done);

    const SessionPage& page() override { return *m_page; }
    UINT sendInput(const INPUT* inputs, UINT count, DWORD& error) override;
    HHOOK installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error) override;
    bool removeHook(HHOOK hook) override;
    HWND registerWindow(const WindowRecord& window) override;
    void unregisterWindow(HWND window) override;
    std::optional<WindowRecord> findWindow(HWND window) override;
    DWORD registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId) override;
    DWORD rawInputDevices(FailPoint call, std::vector<RawDevice>& devices) override;
    DWORD setSessionNotification(HWND window, bool on) override;
    DWORD takeFailure(FailPoint call) override;
    std::optional<ProcessRecord> findProcess(DWORD processId) override;
    void desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply) override;
    HWINEVENTHOOK installWinEventHook(const WinEventHookRecord& hook, DWORD& error) override;
    bool removeWinEventHook(HWINEVENTHOOK hook) override;
    std::uint64_t keyboardLayout(DWORD threadId) override;

    std::vector<bool> inject(const std::vector<PhysicalEvent>& events, bool wait) override;
    void waitIdle() override;
    void setScreen(const ScreenState& screen) override;
    void setCursor(POINT point) override;
    void setToggle(UINT virtualKey, bool on) override;
    void setKeyboardLayout(DWORD threadId, std::uint64_t layout) override;
    HWND addWindow(const WindowRecord& window) override;
    void removeWindow(HWND window) override;
    bool setForeground(HWND window) override;
    std::vector<WindowRecord> windows() override;
    void addProcess(const ProcessRecord& process) override;
    std::vector<SinkEvent> readSink(bool clear) override;
    std::vector<HookInfo> hooks() override;
    int notify(Notice notice, WPARAM code) override;
    std::uint64_t addRawDevice(const RawDevice& device) override;
    bool removeRawDevice(std::uint64_t handle) override;
    void setHookTimeout(DWORD milliseconds) override;
    void stepClock(std::int64_t milliseconds) override;
    void setFailure(FailPoint point, const Failure& failure) override;
    void reset() override;

    // The answer of the hook call in flight (see hook_call.h for the way a call takes).
    void answerHook(std::uint64_t callId, LRESULT result, bool calledNext) override;

    // One event of the input stream, as queued; positions and virtual keys are worked out when
    // the event's turn comes, from the state the events before it left.
    struct StreamEvent {
        enum class Action : std::uint8_t { Key, MoveRelative, MoveNormalized, MovePixel, Button, Wheel, HWheel };
        Action action = Action::Key;
        bool injected = false;
        bool up = false;
        bool extended = false;
        bool unicode = false;
        bool byScan = false;     // the virtual key comes from the scan code
        bool virtualDesk = false;
        WORD virtualKey = 0;
        WORD scan = 0;
        UINT button = 0; // 1-5
        LONG x = 0;      // move; wheel delta
        LONG y = 0;
        DWORD time = 0;
        ULONG_PTR extraInfo = 0;
        std::uint64_t ticket = 0; // a driver waiting for the outcome
    };

private:
    struct Hook {
        HHOOK hook;
        HookKind kind;
        DWORD processId;
        DWORD threadId;
    };
    struct Prepared {
        HookCall call;
        WORD stateKey = 0; // virtual key whose state changes (keys, buttons), 0 none
        bool stateDown = false;
        bool moves = false;
        POINT point{};
        DWORD arrived = 0; // tick when the event entered the hook chain
    };
    struct Waiter {
        std::vector<bool> outcomes;
        std::size_t remaining = 0; // queued events still to come
        std::size_t total = 0;
        InjectDone done;
    };
    struct RawRegistration {
        DWORD processId;
        USHORT usagePage;
        USHORT usage;
        DWORD flags;
        HWND target;
    };

    static constexpr std::size_t streamCapacity = 16384;
    static constexpr std::size_t sinkCapacity = 65536;
    static constexpr std::size_t maxChain = 64;

    void runStream();
    bool enqueueLocked(const StreamEvent& event);
    void startStreamLocked();
    Prepared prepareLocked(const StreamEvent& event);
    void applyLocked(const Prepared& prepared);
    void finishLocked(const StreamEvent& event, bool passed, std::vector<std::function<void()>>& completions);
    bool windowOwner(HWND window, DWORD& processId, bool& simulated) override;
    bool postToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) override;
    std::vector<HWND> memberTopLevelWindows() override;
    bool callHook(const Hook& hook, const HookCall& call, LRESULT& result, bool& calledNext);
    void removeHookLocked(HHOOK hook);
    bool consumeFailureLocked(FailPoint point, Failure& failure);
    void notifyWindows(const std::vector<WindowRecord>& targets, UINT message, WPARAM wParam, LPARAM lParam);
    std::vector<std::pair<WinEventHookRecord, WindowRecord>> winEventTargetsLocked(DWORD event, const WindowRecord& window);
    void sendWinEvents(const std::vector<std::pair<WinEventHookRecord, WindowRecord>>& targets, DWORD event);
    DWORD tick() const;
    bool keyDown(int virtualKey) const;
    void setKeyLocked(int virtualKey, bool down);
    void resetLocked();

    SessionDelivery& m_delivery;
    int m_pageDescriptor = -1;
    SessionPage* m_page = nullptr;

    std::mutex m_mutex;
    std::condition_variable m_streamReady;
    std::condition_variable m_idle;
    std::condition_variable m_answered;
    bool m_streamStarted = false;
    bool m_stopping = false;
    bool m_streamExited = false;
    std::vector<StreamEvent> m_stream; // ring of streamCapacity
    std::size_t m_streamHead = 0;
    std::size_t m_streamCount = 0;
    bool m_inFlight = false;
    std::vector<std::function<void()>> m_idleWaiters;
    std::uint64_t m_nextTicket = 1;
    std::unordered_map<std::uint64_t, Waiter> m_waiters;

    std::vector<Hook> m_hooks; // in installation order; the chain runs from the back
    std::uint64_t m_nextHook = 1;
    std::uint64_t m_nextCall = 1;
    std::uint64_t m_awaitedCall = 0;
    bool m_answerReady = false;
    LRESULT m_answerResult = 0;
    bool m_answerCalledNext = false;

    KeyboardState m_keyboard; // the physical keyboard's own state (stream thread, under m_mutex)

    std::vector<SinkEvent> m_sink; // ring of sinkCapacity
    std::size_t m_sinkHead = 0;
    std::size_t m_sinkCount = 0;

    std::map<HWND, WindowRecord> m_windows;
    std::vector<HWND> m_zOrder; // top first: new windows and the foreground window go on top
    std::vector<WinEventHookRecord> m_winEventHooks;
    std::uint64_t m_nextWinEventHook = 1;
    std::uint64_t m_nextWindow = 1;
    std::map<DWORD, ProcessRecord> m_processes;
    std::vector<RawDevice> m_rawDevices;
    std::uint64_t m_nextRawDevice = 1;
    std::vector<RawRegistration> m_rawRegistrations;
    std::vector<HWND> m_sessionNotified;
    std::array<Failure, static_cast<std::size_t>(FailPoint::Count)> m_failures{};
    std::uint64_t m_defaultLayout = kLayoutUsEnglish;
    std::map<DWORD, std::uint64_t> m_threadLayouts; // at most maxThreadLayouts
    static constexpr std::size_t maxThreadLayouts = 4096;
    DesktopState m_desktop{*this};
};

} // namespace vorna::sim
