// SessionState's life, its clock, keyboard layouts, screens, failures and reset; the input
// stream, the windows and the notices are its other parts (session_state_<concern>.cpp).
#include "platform/sim/session/session_state.h"

#include "platform/sim/session/monotonic_clock.h"
#include "platform/sim/session/session_limits.h"
#include "platform/sim/win32/win32_errors.h"

#include <algorithm>

namespace vorna::sim {
namespace {

std::vector<RawDevice> defaultRawDevices()
{
    RawDevice mouse;
    mouse.type = RIM_TYPEMOUSE;
    mouse.name = L"\\\\?\\HID#VID_046D&PID_C077#7&1a2b3c4d&0&0000#{378de44c-56ef-11d1-bc8c-00a0c91405dd}";
    mouse.buttons = 5;
    RawDevice keyboard;
    keyboard.type = RIM_TYPEKEYBOARD;
    keyboard.name = L"\\\\?\\HID#VID_046D&PID_C31C&MI_00#7&2b3c4d5e&0&0000#{884b96c3-56ef-11d1-bc8c-00a0c91405dd}";
    return {mouse, keyboard};
}

} // namespace

SessionState::SessionState(SessionDelivery& delivery) : m_delivery(delivery)
{
    m_page = createSessionPage(m_pageDescriptor);
    m_stream.resize(streamCapacity);
    m_sink.resize(sinkCapacity);
    std::lock_guard lock(m_mutex);
    resetLocked();
}

SessionState::~SessionState()
{
    std::unique_lock lock(m_mutex);
    m_stopping = true;
    m_streamReady.notify_all();
    m_answered.notify_all();
    if (m_streamStarted)
        m_idle.wait(lock, [&] { return m_streamExited; });
    lock.unlock();
    releaseSessionPage(m_page, m_pageDescriptor);
}

DWORD SessionState::tick() const
{
    return static_cast<DWORD>((monotonicNs() + m_page->clockOffsetNs.load()) / 1'000'000);
}

bool SessionState::consumeFailureLocked(FailPoint point, Failure& failure)
{
    if (point >= FailPoint::Count)
        return false; // a plain query that cannot be made to fail
    Failure& slot = m_failures[static_cast<std::size_t>(point)];
    if (slot.remaining == 0)
        return false;
    failure = slot;
    if (slot.remaining > 0)
        --slot.remaining;
    return true;
}

HHOOK SessionState::installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error)
{
    std::lock_guard lock(m_mutex);
    Failure failure;
    if (consumeFailureLocked(FailPoint::SetWindowsHook, failure)) {
        error = failure.error;
        return nullptr;
    }
    const HHOOK hook = reinterpret_cast<HHOOK>(static_cast<std::uintptr_t>(0xA00000 + m_nextHook++ * 4));
    m_hooks.push_back({hook, kind, processId, threadId});
    error = 0;
    return hook;
}

bool SessionState::removeHook(HHOOK hook)
{
    std::lock_guard lock(m_mutex);
    const bool present = std::any_of(m_hooks.begin(), m_hooks.end(), [&](const Hook& h) { return h.hook == hook; });
    removeHookLocked(hook);
    return present;
}

void SessionState::removeHookLocked(HHOOK hook)
{
    std::erase_if(m_hooks, [&](const Hook& h) { return h.hook == hook; });
    m_answered.notify_all(); // a wait for this hook's answer ends now
}

DWORD SessionState::takeFailure(FailPoint call)
{
    std::lock_guard lock(m_mutex);
    Failure failure;
    return consumeFailureLocked(call, failure) ? failure.error : 0;
}

void SessionState::processGone(DWORD processId)
{
    m_desktop.processGone(processId);
    std::lock_guard lock(m_mutex);
    std::erase_if(m_hooks, [&](const Hook& h) { return h.processId == processId; });
    m_answered.notify_all();
    for (auto it = m_windows.begin(); it != m_windows.end();) {
        if (it->second.processId == processId && !it->second.simulated) {
            std::erase(m_sessionNotified, it->first);
            if (m_page->foreground.load() == reinterpret_cast<std::uintptr_t>(it->first))
                m_page->foreground.store(0);
            std::erase(m_zOrder, it->first);
            it = m_windows.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(m_rawRegistrations, [&](const RawRegistration& r) { return r.processId == processId; });
    std::erase_if(m_winEventHooks, [&](const WinEventHookRecord& h) { return h.processId == processId; });
}

void SessionState::desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply)
{
    m_desktop.handle(request, reply);
}

void SessionState::threadGone(DWORD processId, DWORD threadId)
{
    std::lock_guard lock(m_mutex);
    std::erase_if(m_hooks, [&](const Hook& h) { return h.processId == processId && h.threadId == threadId; });
    std::erase_if(m_winEventHooks, [&](const WinEventHookRecord& h) { return h.processId == processId && h.threadId == threadId; });
    m_threadLayouts.erase(threadId);
    m_answered.notify_all();
}

std::uint64_t SessionState::keyboardLayout(DWORD threadId)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_threadLayouts.find(threadId);
    return it == m_threadLayouts.end() ? m_defaultLayout : it->second;
}

void SessionState::setKeyboardLayout(DWORD threadId, std::uint64_t layout)
{
    if ((layout & 0xFFFF) == 0)
        return; // no language: not a layout
    std::lock_guard lock(m_mutex);
    if (threadId == 0)
        m_defaultLayout = layout;
    else if (m_threadLayouts.size() < maxThreadLayouts || m_threadLayouts.count(threadId) != 0)
        m_threadLayouts[threadId] = layout;
}

void SessionState::setScreen(const ScreenState& screen)
{
    std::lock_guard lock(m_mutex);
    ScreenState copy = screen;
    copy.monitorCount = std::clamp(copy.monitorCount, 1, ScreenState::maxMonitors);
    copy.primary = std::clamp(copy.primary, 0, copy.monitorCount - 1);
    m_page->writeScreen(copy);
    m_page->writeCursor(clampToRect(m_page->readCursor(), copy.effectiveClip()));
}

void SessionState::setCursor(POINT point)
{
    std::lock_guard lock(m_mutex);
    m_page->writeCursor(clampToRect(point, m_page->readScreen().effectiveClip()));
}

void SessionState::setToggle(UINT virtualKey, bool on)
{
    if (virtualKey > 255)
        return;
    std::lock_guard lock(m_mutex);
    const std::uint8_t value = m_page->keys[virtualKey].load();
    m_page->keys[virtualKey].store(static_cast<std::uint8_t>((value & ~1u) | (on ? 1u : 0u)));
}

std::vector<SinkEvent> SessionState::readSink(bool clear)
{
    std::lock_guard lock(m_mutex);
    std::vector<SinkEvent> events;
    events.reserve(m_sinkCount);
    for (std::size_t i = 0; i < m_sinkCount; ++i)
        events.push_back(m_sink[(m_sinkHead + i) % sinkCapacity]);
    if (clear) {
        m_sinkHead = 0;
        m_sinkCount = 0;
    }
    return events;
}

std::vector<HookInfo> SessionState::hooks()
{
    std::lock_guard lock(m_mutex);
    std::vector<HookInfo> list;
    for (auto it = m_hooks.rbegin(); it != m_hooks.rend(); ++it) // in chain order
        list.push_back({it->hook, it->kind, it->processId, it->threadId});
    return list;
}

void SessionState::setHookTimeout(DWORD milliseconds)
{
    m_page->hookTimeoutMs.store(milliseconds);
}

void SessionState::stepClock(std::int64_t milliseconds)
{
    // Forward only, and never past limits::maxClockOffsetMs in all: the offset in nanoseconds
    // (and the monotonic time added to it) must not overflow. A broker refuses such steps; here,
    // in-process, a step back does nothing and a step too far stops at the limit.
    constexpr std::int64_t maxNs = limits::maxClockOffsetMs * 1'000'000;
    const std::int64_t stepMs = std::clamp<std::int64_t>(milliseconds, 0, limits::maxClockOffsetMs);
    std::int64_t offset = m_page->clockOffsetNs.load();
    while (!m_page->clockOffsetNs.compare_exchange_weak(offset, std::min(maxNs, offset + stepMs * 1'000'000))) {
    }
}

void SessionState::setFailure(FailPoint point, const Failure& failure)
{
    if (point >= FailPoint::Count)
        return;
    std::lock_guard lock(m_mutex);
    m_failures[static_cast<std::size_t>(point)] = failure;
}

void SessionState::reset()
{
    m_desktop.reset();
    std::unique_lock lock(m_mutex);
    std::vector<std::function<void()>> completions;
    while (m_streamCount > 0) {
        const StreamEvent event = m_stream[m_streamHead];
        m_streamHead = (m_streamHead + 1) % streamCapacity;
        --m_streamCount;
        finishLocked(event, false, completions);
    }
    m_idle.wait(lock, [&] { return !m_inFlight || m_stopping; });
    resetLocked();
    lock.unlock();
    for (auto& done : completions)
        done();
}

void SessionState::resetLocked()
{
    m_sinkHead = 0;
    m_sinkCount = 0;
    for (auto& key : m_page->keys)
        key.store(0);
    m_keyboard = KeyboardState{};
    m_page->writeScreen(ScreenState{});
    m_page->writeCursor({960, 540});
    m_page->lastInputTick.store(0);
    m_page->hookTimeoutMs.store(300);
    m_page->clockOffsetNs.store(0);
    std::erase_if(m_windows, [](const auto& entry) { return entry.second.simulated; });
    std::erase_if(m_zOrder, [&](HWND hwnd) { return m_windows.find(hwnd) == m_windows.end(); });
    if (m_windows.find(reinterpret_cast<HWND>(m_page->foreground.load())) == m_windows.end())
        m_page->foreground.store(0);
    m_processes.clear();
    m_rawDevices = defaultRawDevices();
    for (RawDevice& d : m_rawDevices)
        d.handle = 0x20000 + m_nextRawDevice++ * 2;
    m_failures = {};
    m_defaultLayout = kLayoutUsEnglish;
    m_threadLayouts.clear();
}

} // namespace vorna::sim
