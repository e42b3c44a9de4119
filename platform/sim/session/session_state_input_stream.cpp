// The session's input stream: one event at a time through the low-level hook chain of its
// kind, newest hook first; only what passes every hook changes the system.
#include "platform/sim/session/session_state.h"

#include "platform/sim/session/keyboard_hardware.h"
#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_message.h"
#include "platform/sim/win32/win32_screen.h"

#include <algorithm>
#include <chrono>
#include <future>
#include <thread>

namespace vorna::sim {
namespace {

using StreamEvent = SessionState::StreamEvent;
using Action = StreamEvent::Action;

// One INPUT becomes up to this many events: a move, ten button transitions, two wheels.
constexpr std::size_t maxEventsPerInput = 13;

std::size_t expandInput(const INPUT& input, StreamEvent* out)
{
    std::size_t n = 0;
    if (input.type == INPUT_KEYBOARD) {
        const KEYBDINPUT& ki = input.ki;
        StreamEvent& e = out[n++];
        e = {};
        e.action = Action::Key;
        e.injected = true;
        e.up = (ki.dwFlags & KEYEVENTF_KEYUP) != 0;
        e.unicode = (ki.dwFlags & KEYEVENTF_UNICODE) != 0;
        e.byScan = !e.unicode && (ki.dwFlags & KEYEVENTF_SCANCODE) != 0;
        e.extended = (ki.dwFlags & KEYEVENTF_EXTENDEDKEY) != 0 || (e.byScan && (ki.wScan >> 8) == 0xE0);
        e.virtualKey = ki.wVk;
        e.scan = e.byScan ? static_cast<WORD>(ki.wScan & 0xFF) : ki.wScan;
        e.time = ki.time;
        e.extraInfo = ki.dwExtraInfo;
        return n;
    }
    if (input.type != INPUT_MOUSE)
        return 0;
    const MOUSEINPUT& mi = input.mi;
    const auto add = [&](Action action) -> StreamEvent& {
        StreamEvent& e = out[n++];
        e = {};
        e.action = action;
        e.injected = true;
        e.time = mi.time;
        e.extraInfo = mi.dwExtraInfo;
        return e;
    };
    if (mi.dwFlags & MOUSEEVENTF_MOVE) {
        StreamEvent& e = add((mi.dwFlags & MOUSEEVENTF_ABSOLUTE) ? Action::MoveNormalized : Action::MoveRelative);
        e.virtualDesk = (mi.dwFlags & MOUSEEVENTF_VIRTUALDESK) != 0;
        e.x = mi.dx;
        e.y = mi.dy;
    }
    struct ButtonFlag {
        DWORD flag;
        UINT button;
        bool up;
    };
    static constexpr ButtonFlag buttons[] = {
        {MOUSEEVENTF_LEFTDOWN, 1, false},   {MOUSEEVENTF_LEFTUP, 1, true},   {MOUSEEVENTF_RIGHTDOWN, 2, false},
        {MOUSEEVENTF_RIGHTUP, 2, true},     {MOUSEEVENTF_MIDDLEDOWN, 3, false}, {MOUSEEVENTF_MIDDLEUP, 3, true},
    };
    for (const ButtonFlag& b : buttons) {
        if (mi.dwFlags & b.flag) {
            StreamEvent& e = add(Action::Button);
            e.button = b.button;
            e.up = b.up;
        }
    }
    for (const DWORD flag : {DWORD(MOUSEEVENTF_XDOWN), DWORD(MOUSEEVENTF_XUP)}) {
        if ((mi.dwFlags & flag) == 0)
            continue;
        for (const UINT x : {1u, 2u}) {
            if (mi.mouseData & x) {
                StreamEvent& e = add(Action::Button);
                e.button = 3 + x;
                e.up = flag == MOUSEEVENTF_XUP;
            }
        }
    }
    if (mi.dwFlags & MOUSEEVENTF_WHEEL)
        add(Action::Wheel).x = static_cast<LONG>(mi.mouseData);
    if (mi.dwFlags & MOUSEEVENTF_HWHEEL)
        add(Action::HWheel).x = static_cast<LONG>(mi.mouseData);
    return n;
}

StreamEvent physicalToStream(const PhysicalEvent& p)
{
    StreamEvent e;
    using Type = PhysicalEvent::Type;
    switch (p.type) {
    case Type::KeyDown:
    case Type::KeyUp: {
        e.action = Action::Key;
        e.up = p.type == Type::KeyUp;
        const HardwareKey hardware = hardwareKeyFor(p.key);
        if (hardware.scan != 0) {
            e.byScan = true;
            e.scan = hardware.scan;
            e.extended = hardware.extended;
        } else {
            e.virtualKey = static_cast<WORD>(p.key & 0xFF); // a key without a scan code of ours
        }
        break;
    }
    case Type::ScanDown:
    case Type::ScanUp:
        e.action = Action::Key;
        e.up = p.type == Type::ScanUp;
        e.byScan = true;
        e.scan = static_cast<WORD>(p.key & 0xFF);
        e.extended = p.extended;
        break;
    case Type::MoveBy:
        e.action = Action::MoveRelative;
        break;
    case Type::MoveTo:
        e.action = Action::MovePixel;
        break;
    case Type::ButtonDown:
    case Type::ButtonUp:
        e.action = Action::Button;
        e.button = p.key;
        e.up = p.type == Type::ButtonUp;
        break;
    case Type::Wheel:
        e.action = Action::Wheel;
        break;
    case Type::HWheel:
        e.action = Action::HWheel;
        break;
    }
    if (e.action != Action::Key && e.action != Action::Button) {
        e.x = p.x;
        e.y = p.y;
    }
    return e;
}

bool isAltKey(WORD vk) { return vk == VK_LMENU || vk == VK_RMENU || vk == VK_MENU; }
bool isCtrlKey(WORD vk) { return vk == VK_LCONTROL || vk == VK_RCONTROL || vk == VK_CONTROL; }

constexpr WORD buttonKeys[] = {0, VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
constexpr UINT buttonMessages[][2] = {{0, 0},
                                      {WM_LBUTTONDOWN, WM_LBUTTONUP},
                                      {WM_RBUTTONDOWN, WM_RBUTTONUP},
                                      {WM_MBUTTONDOWN, WM_MBUTTONUP},
                                      {WM_XBUTTONDOWN, WM_XBUTTONUP},
                                      {WM_XBUTTONDOWN, WM_XBUTTONUP}};

LONG clampCoordinate(std::int64_t value)
{
    return static_cast<LONG>(std::clamp<std::int64_t>(value, INT32_MIN / 2, INT32_MAX / 2));
}

} // namespace

bool SessionState::keyDown(int virtualKey) const
{
    return (m_page->keys[virtualKey].load(std::memory_order_relaxed) & 0x80) != 0;
}

void SessionState::setKeyLocked(int virtualKey, bool down)
{
    const std::uint8_t old = m_page->keys[virtualKey].load(std::memory_order_relaxed);
    std::uint8_t value = static_cast<std::uint8_t>(down ? (old | 0x80) : (old & ~0x80));
    if (down && !(old & 0x80))
        value ^= 1; // every fresh press flips the toggle bit; it matters for the lock keys
    m_page->keys[virtualKey].store(value, std::memory_order_relaxed);
    // The generic modifiers follow their left and right keys.
    static constexpr int sides[][3] = {{VK_SHIFT, VK_LSHIFT, VK_RSHIFT}, {VK_CONTROL, VK_LCONTROL, VK_RCONTROL}, {VK_MENU, VK_LMENU, VK_RMENU}};
    for (const auto& side : sides) {
        if (virtualKey == side[1] || virtualKey == side[2]) {
            const bool any = keyDown(side[1]) || keyDown(side[2]);
            const std::uint8_t generic = m_page->keys[side[0]].load(std::memory_order_relaxed);
            m_page->keys[side[0]].store(static_cast<std::uint8_t>(any ? (generic | 0x80) : (generic & ~0x80)),
                                       std::memory_order_relaxed);
        }
    }
}

bool SessionState::enqueueLocked(const StreamEvent& event)
{
    if (m_streamCount == streamCapacity)
        return false;
    m_stream[(m_streamHead + m_streamCount) % streamCapacity] = event;
    ++m_streamCount;
    return true;
}

void SessionState::startStreamLocked()
{
    if (!m_streamStarted) {
        m_streamStarted = true;
        std::thread([this] { runStream(); }).detach();
    }
    m_streamReady.notify_one();
}

UINT SessionState::sendInput(const INPUT* inputs, UINT count, DWORD& error)
{
    std::lock_guard lock(m_mutex);
    error = 0;
    Failure failure;
    UINT limit = count;
    if (consumeFailureLocked(FailPoint::SendInput, failure)) {
        limit = std::min<UINT>(count, failure.accept);
        error = failure.error;
    }
    UINT accepted = 0;
    StreamEvent events[maxEventsPerInput];
    for (; accepted < limit; ++accepted) {
        if (inputs[accepted].type > INPUT_HARDWARE) {
            error = ERROR_INVALID_PARAMETER;
            break;
        }
        const std::size_t n = expandInput(inputs[accepted], events);
        if (streamCapacity - m_streamCount < n) {
            error = ERROR_NOT_ENOUGH_QUOTA;
            break;
        }
        for (std::size_t i = 0; i < n; ++i)
            enqueueLocked(events[i]);
    }
    if (accepted > 0)
        startStreamLocked();
    if (accepted == count)
        error = 0;
    return accepted;
}

void SessionState::injectAsync(const std::vector<PhysicalEvent>& events, InjectDone done)
{
    {
        std::lock_guard lock(m_mutex);
        const std::uint64_t ticket = done ? m_nextTicket++ : 0;
        std::size_t queued = 0;
        for (const PhysicalEvent& p : events) {
            StreamEvent e = physicalToStream(p);
            e.ticket = ticket;
            if (!enqueueLocked(e))
                break; // no room: what did not fit never reaches anything
            ++queued;
        }
        if (queued > 0)
            startStreamLocked();
        if (done && queued > 0) {
            Waiter& waiter = m_waiters[ticket];
            waiter.remaining = queued;
            waiter.total = events.size();
            waiter.done = std::move(done);
            waiter.outcomes.reserve(events.size());
            return;
        }
    }
    if (done)
        done(std::vector<bool>(events.size(), false));
}

std::vector<bool> SessionState::inject(const std::vector<PhysicalEvent>& events, bool wait)
{
    if (!wait) {
        injectAsync(events, nullptr);
        return {};
    }
    std::promise<std::vector<bool>> promise;
    auto result = promise.get_future();
    injectAsync(events, [&promise](std::vector<bool> outcomes) { promise.set_value(std::move(outcomes)); });
    return result.get();
}

void SessionState::whenIdle(std::function<void()> done)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_streamCount > 0 || m_inFlight) {
            m_idleWaiters.push_back(std::move(done));
            return;
        }
    }
    done();
}

void SessionState::waitIdle()
{
    std::unique_lock lock(m_mutex);
    m_idle.wait(lock, [&] { return (m_streamCount == 0 && !m_inFlight) || m_stopping; });
}

SessionState::Prepared SessionState::prepareLocked(const StreamEvent& e)
{
    Prepared p;
    HookCall& call = p.call;
    const DWORD now = tick();
    const DWORD time = e.injected && e.time != 0 ? e.time : now;
    p.arrived = now;
    const ULONG_PTR extra = e.injected ? e.extraInfo : 0;

    if (e.action == Action::Key) {
        call.kind = HookKind::Keyboard;
        WORD vk;
        WORD scan = e.scan;
        bool extended = e.extended;
        if (e.unicode) {
            vk = VK_PACKET;
            extended = false;
        } else if (e.byScan) {
            if (!e.injected) {
                const HardwareKey sent = m_keyboard.send({scan, extended}, e.up);
                scan = sent.scan;
                extended = sent.extended;
            }
            vk = virtualKeyFor({scan, extended}, (m_page->keys[VK_NUMLOCK].load() & 1) != 0);
        } else {
            vk = sidedModifier(e.virtualKey, extended);
        }
        const bool altDown = isAltKey(vk) ? !e.up : (keyDown(VK_LMENU) || keyDown(VK_RMENU));
        const bool ctrlDown = !isCtrlKey(vk) && (keyDown(VK_LCONTROL) || keyDown(VK_RCONTROL));
        // Windows makes system keys of what is typed while Alt (and not Ctrl) is down, and of F10.
        const bool system = ((isAltKey(vk) || altDown) && !ctrlDown) || vk == VK_F10;
        call.message = e.up ? (system ? WM_SYSKEYUP : WM_KEYUP) : (system ? WM_SYSKEYDOWN : WM_KEYDOWN);
        call.key.vkCode = vk;
        call.key.scanCode = scan;
        call.key.flags = (extended ? LLKHF_EXTENDED : 0u) | (e.injected ? LLKHF_INJECTED : 0u) | (e.up ? LLKHF_UP : 0u) |
                         (altDown ? LLKHF_ALTDOWN : 0u);
        call.key.time = time;
        call.key.dwExtraInfo = extra;
        if (!e.unicode && vk != 0) {
            p.stateKey = vk;
            p.stateDown = !e.up;
        }
        return p;
    }

    call.kind = HookKind::Mouse;
    const POINT cursor = m_page->readCursor();
    call.mouse.pt = cursor;
    call.mouse.flags = e.injected ? LLMHF_INJECTED : 0u;
    call.mouse.time = time;
    call.mouse.dwExtraInfo = extra;
    switch (e.action) {
    case Action::MoveRelative:
    case Action::MoveNormalized:
    case Action::MovePixel: {
        const ScreenState screen = m_page->readScreen();
        POINT target;
        if (e.action == Action::MoveRelative) {
            target = {clampCoordinate(std::int64_t(cursor.x) + e.x), clampCoordinate(std::int64_t(cursor.y) + e.y)};
        } else if (e.action == Action::MovePixel) {
            target = {e.x, e.y};
        } else {
            // 0..65535 spread over the virtual screen (or the primary monitor) as Windows does
            // it: pixel = origin + value * size / 65536, rounded down. A sender aiming at pixel
            // centres is exact only up to 32768 pixels; past that it must aim at the pixel's
            // first value, and only this rounding tells the two apart.
            const RECT r = e.virtualDesk ? screen.virtualScreen() : screen.monitors[screen.primary];
            const std::int64_t nx = std::clamp<std::int64_t>(e.x, 0, 65535);
            const std::int64_t ny = std::clamp<std::int64_t>(e.y, 0, 65535);
            target = {static_cast<LONG>(r.left + nx * (r.right - r.left) / 65536),
                      static_cast<LONG>(r.top + ny * (r.bottom - r.top) / 65536)};
        }
        target = clampToRect(target, screen.effectiveClip());
        call.message = WM_MOUSEMOVE;
        call.mouse.pt = target;
        p.moves = true;
        p.point = target;
        return p;
    }
    case Action::Button: {
        const UINT b = std::clamp<UINT>(e.button, 1, 5);
        call.message = buttonMessages[b][e.up ? 1 : 0];
        if (b >= 4)
            call.mouse.mouseData = DWORD(b == 4 ? XBUTTON1 : XBUTTON2) << 16;
        p.stateKey = buttonKeys[b];
        p.stateDown = !e.up;
        return p;
    }
    case Action::Wheel:
    case Action::HWheel:
        call.message = e.action == Action::Wheel ? WM_MOUSEWHEEL : WM_MOUSEHWHEEL;
        call.mouse.mouseData = DWORD(static_cast<WORD>(static_cast<SHORT>(e.x))) << 16;
        return p;
    default:
        return p;
    }
}

void SessionState::applyLocked(const Prepared& p)
{
    if (p.stateKey != 0)
        setKeyLocked(p.stateKey, p.stateDown);
    if (p.moves)
        m_page->writeCursor(p.point);
    // Stamped when the event arrived, before any hook ran, as Windows does: a hook that saw the
    // event never looks older than it, however long the chain took to answer.
    m_page->lastInputTick.store(p.arrived, std::memory_order_relaxed);
    SinkEvent& entry = m_sink[(m_sinkHead + m_sinkCount) % sinkCapacity];
    if (m_sinkCount == sinkCapacity)
        m_sinkHead = (m_sinkHead + 1) % sinkCapacity; // the oldest record gives way
    else
        ++m_sinkCount;
    entry.kind = p.call.kind;
    entry.message = p.call.message;
    entry.key = p.call.kind == HookKind::Keyboard ? p.call.key : KBDLLHOOKSTRUCT{};
    entry.mouse = p.call.kind == HookKind::Mouse ? p.call.mouse : MSLLHOOKSTRUCT{};
}

void SessionState::finishLocked(const StreamEvent& event, bool passed, std::vector<std::function<void()>>& completions)
{
    if (event.ticket == 0)
        return;
    const auto it = m_waiters.find(event.ticket);
    if (it == m_waiters.end())
        return;
    it->second.outcomes.push_back(passed);
    if (--it->second.remaining > 0)
        return;
    it->second.outcomes.resize(it->second.total, false);
    completions.push_back([waiter = std::move(it->second)]() { waiter.done(waiter.outcomes); });
    m_waiters.erase(it);
}

void SessionState::answerHook(std::uint64_t callId, LRESULT result, bool calledNext)
{
    std::lock_guard lock(m_mutex);
    if (callId == 0 || callId != m_awaitedCall)
        return; // too late: the hook was skipped
    m_answerResult = result;
    m_answerCalledNext = calledNext;
    m_answerReady = true;
    m_answered.notify_all();
}

bool SessionState::callHook(const Hook& hook, const HookCall& templateCall, LRESULT& result, bool& calledNext)
{
    const auto present = [&] {
        return std::any_of(m_hooks.begin(), m_hooks.end(), [&](const Hook& h) { return h.hook == hook.hook; });
    };
    HookCall call = templateCall;
    call.hook = hook.hook;
    call.threadId = hook.threadId;
    {
        std::lock_guard lock(m_mutex);
        if (!present() || m_stopping)
            return false;
        call.callId = m_nextCall++;
        m_awaitedCall = call.callId;
        m_answerReady = false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(m_page->hookTimeoutMs.load());
    LRESULT directResult = 0;
    bool directNext = false;
    const auto delivery = m_delivery.deliverHookCall(hook.processId, call, this, deadline, directResult, directNext);
    if (delivery != SessionDelivery::Delivery::Later) {
        std::lock_guard lock(m_mutex);
        m_awaitedCall = 0;
        if (delivery == SessionDelivery::Delivery::Answered) {
            result = directResult;
            calledNext = directNext;
            return true;
        }
        removeHookLocked(hook.hook); // gone, or too slow: dropped silently, as Windows does
        return false;
    }
    std::unique_lock lock(m_mutex);
    const bool ended = m_answered.wait_until(lock, deadline, [&] { return m_answerReady || !present() || m_stopping; });
    m_awaitedCall = 0;
    if (m_answerReady) {
        result = m_answerResult;
        calledNext = m_answerCalledNext;
        return true;
    }
    if (!ended)
        removeHookLocked(hook.hook); // too slow: skipped and silently removed, as Windows does
    lock.unlock();
    m_delivery.cancelHookCall(hook.processId, hook.threadId, call.callId);
    return false;
}

void SessionState::runStream()
{
    std::unique_lock lock(m_mutex);
    std::vector<std::function<void()>> completions;
    completions.reserve(16);
    Hook chain[maxChain];
    for (;;) {
        m_streamReady.wait(lock, [&] { return m_streamCount > 0 || m_stopping; });
        if (m_stopping)
            break;
        const StreamEvent event = m_stream[m_streamHead];
        m_streamHead = (m_streamHead + 1) % streamCapacity;
        --m_streamCount;
        m_inFlight = true;
        const Prepared prepared = prepareLocked(event);
        std::size_t n = 0;
        for (auto it = m_hooks.rbegin(); it != m_hooks.rend() && n < maxChain; ++it) {
            if (it->kind == prepared.call.kind)
                chain[n++] = *it;
        }
        lock.unlock();
        bool passed = true;
        for (std::size_t i = 0; i < n; ++i) {
            LRESULT result = 0;
            bool calledNext = false;
            if (!callHook(chain[i], prepared.call, result, calledNext))
                continue; // gone or too slow: the next hook gets the event
            if (result != 0) {
                passed = false; // swallowed: nothing after this hook sees it
                break;
            }
            if (!calledNext)
                break; // passed on to the system, but later hooks were not called
        }
        lock.lock();
        if (passed)
            applyLocked(prepared);
        finishLocked(event, passed, completions);
        m_inFlight = false;
        if (m_streamCount == 0) {
            for (auto& waiter : m_idleWaiters)
                completions.push_back(std::move(waiter));
            m_idleWaiters.clear();
            m_idle.notify_all();
        }
        if (!completions.empty()) {
            lock.unlock();
            for (auto& done : completions)
                done();
            completions.clear();
            lock.lock();
        }
    }
    m_streamExited = true;
    m_idle.notify_all();
}

} // namespace vorna::sim
