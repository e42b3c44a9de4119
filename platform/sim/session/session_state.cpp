#include "platform/sim/session/session_state.h"

#include "platform/sim/session/session_limits.h"

#include "platform/sim/win32/win32_message.h"
#include "platform/sim/win32/win32_notice.h"
#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/process/wait.h"

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

// The registrations that hear about a device of this type.
bool usageCovers(USHORT usagePage, USHORT usage, DWORD deviceType)
{
    if (deviceType == RIM_TYPEMOUSE)
        return usagePage == 1 && usage == 2;
    if (deviceType == RIM_TYPEKEYBOARD)
        return usagePage == 1 && usage == 6;
    return !(usagePage == 1 && (usage == 2 || usage == 6));
}

HWND windowValue(std::uint64_t serial)
{
    // Even values starting where Windows' desktop handles leave off.
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10010 + serial * 2));
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

HWND SessionState::registerWindow(const WindowRecord& window)
{
    std::lock_guard lock(m_mutex);
    WindowRecord record = window;
    record.hwnd = windowValue(m_nextWindow++);
    m_windows[record.hwnd] = record;
    m_zOrder.insert(m_zOrder.begin(), record.hwnd);
    return record.hwnd;
}

void SessionState::unregisterWindow(HWND window)
{
    std::lock_guard lock(m_mutex);
    m_windows.erase(window);
    std::erase(m_zOrder, window);
    std::erase(m_sessionNotified, window);
    for (RawRegistration& r : m_rawRegistrations) {
        if (r.target == window)
            r.target = nullptr;
    }
    if (m_page->foreground.load() == reinterpret_cast<std::uintptr_t>(window))
        m_page->foreground.store(0);
}

std::optional<WindowRecord> SessionState::findWindow(HWND window)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_windows.find(window);
    if (it == m_windows.end())
        return std::nullopt;
    return it->second;
}

DWORD SessionState::registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId)
{
    std::lock_guard lock(m_mutex);
    Failure failure;
    if (consumeFailureLocked(FailPoint::RegisterRawInput, failure))
        return failure.error;
    // All or nothing: check every entry before changing any.
    for (const RAWINPUTDEVICE& d : devices) {
        if ((d.dwFlags & RIDEV_REMOVE) != 0) {
            if (d.hwndTarget != nullptr)
                return ERROR_INVALID_PARAMETER;
        } else if (d.hwndTarget != nullptr) {
            const auto it = m_windows.find(d.hwndTarget);
            if (it == m_windows.end() || it->second.processId != processId)
                return ERROR_INVALID_WINDOW_HANDLE;
        }
    }
    for (const RAWINPUTDEVICE& d : devices) {
        std::erase_if(m_rawRegistrations, [&](const RawRegistration& r) {
            return r.processId == processId && r.usagePage == d.usUsagePage && r.usage == d.usUsage;
        });
        if ((d.dwFlags & RIDEV_REMOVE) == 0)
            m_rawRegistrations.push_back({processId, d.usUsagePage, d.usUsage, d.dwFlags, d.hwndTarget});
    }
    return 0;
}

DWORD SessionState::rawInputDevices(FailPoint call, std::vector<RawDevice>& devices)
{
    std::lock_guard lock(m_mutex);
    Failure failure;
    if (consumeFailureLocked(call, failure))
        return failure.error;
    devices = m_rawDevices;
    return 0;
}

DWORD SessionState::takeFailure(FailPoint call)
{
    std::lock_guard lock(m_mutex);
    Failure failure;
    return consumeFailureLocked(call, failure) ? failure.error : 0;
}

DWORD SessionState::setSessionNotification(HWND window, bool on)
{
    std::lock_guard lock(m_mutex);
    if (!on) {
        std::erase(m_sessionNotified, window);
        return 0;
    }
    Failure failure;
    if (consumeFailureLocked(FailPoint::SessionNotification, failure))
        return failure.error;
    if (m_windows.find(window) == m_windows.end())
        return ERROR_INVALID_WINDOW_HANDLE;
    if (std::find(m_sessionNotified.begin(), m_sessionNotified.end(), window) == m_sessionNotified.end())
        m_sessionNotified.push_back(window);
    return 0;
}

std::optional<ProcessRecord> SessionState::findProcess(DWORD processId)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_processes.find(processId);
    if (it == m_processes.end())
        return std::nullopt;
    return it->second;
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

bool SessionState::windowOwner(HWND window, DWORD& processId, bool& simulated)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_windows.find(window);
    if (it == m_windows.end())
        return false;
    processId = it->second.processId;
    simulated = it->second.simulated;
    return true;
}

bool SessionState::postToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRecord target;
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_windows.find(window);
        if (it == m_windows.end() || it->second.simulated)
            return false;
        target = it->second;
    }
    notifyWindows({target}, message, wParam, lParam);
    return true;
}

std::vector<HWND> SessionState::memberTopLevelWindows()
{
    std::lock_guard lock(m_mutex);
    std::vector<HWND> list;
    for (const auto& [hwnd, w] : m_windows) {
        if (!w.simulated && w.topLevel)
            list.push_back(hwnd);
    }
    return list;
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

HWND SessionState::addWindow(const WindowRecord& window)
{
    WindowRecord record = window;
    record.simulated = true;
    return registerWindow(record);
}

void SessionState::removeWindow(HWND window)
{
    unregisterWindow(window);
}

bool SessionState::setForeground(HWND window)
{
    std::vector<std::pair<WinEventHookRecord, WindowRecord>> told;
    {
        std::lock_guard lock(m_mutex);
        const auto it = window != nullptr ? m_windows.find(window) : m_windows.end();
        if (window != nullptr && it == m_windows.end())
            return false;
        const bool changed = m_page->foreground.exchange(reinterpret_cast<std::uintptr_t>(window)) !=
                             reinterpret_cast<std::uintptr_t>(window);
        if (window == nullptr)
            return true; // no window to raise and none to report, as on Windows
        std::erase(m_zOrder, window);
        m_zOrder.insert(m_zOrder.begin(), window);
        if (changed)
            told = winEventTargetsLocked(EVENT_SYSTEM_FOREGROUND, it->second);
    }
    sendWinEvents(told, EVENT_SYSTEM_FOREGROUND);
    return true;
}

std::vector<WindowRecord> SessionState::windows()
{
    std::lock_guard lock(m_mutex);
    std::vector<WindowRecord> list;
    for (HWND hwnd : m_zOrder)
        list.push_back(m_windows.at(hwnd));
    return list;
}

HWINEVENTHOOK SessionState::installWinEventHook(const WinEventHookRecord& hook, DWORD& error)
{
    if (hook.eventMin > hook.eventMax) {
        error = ERROR_INVALID_HOOK_FILTER;
        return nullptr;
    }
    std::lock_guard lock(m_mutex);
    if (Failure failure; consumeFailureLocked(FailPoint::SetWinEventHook, failure)) {
        error = failure.error;
        return nullptr;
    }
    WinEventHookRecord record = hook;
    record.hook = reinterpret_cast<HWINEVENTHOOK>(static_cast<std::uintptr_t>(0xB00000 + m_nextWinEventHook++ * 4));
    m_winEventHooks.push_back(record);
    error = 0;
    return record.hook;
}

bool SessionState::removeWinEventHook(HWINEVENTHOOK hook)
{
    std::lock_guard lock(m_mutex);
    return std::erase_if(m_winEventHooks, [&](const WinEventHookRecord& h) { return h.hook == hook; }) != 0;
}

std::vector<std::pair<WinEventHookRecord, WindowRecord>> SessionState::winEventTargetsLocked(DWORD event, const WindowRecord& window)
{
    std::vector<std::pair<WinEventHookRecord, WindowRecord>> targets;
    for (const WinEventHookRecord& h : m_winEventHooks) {
        const bool ownProcess = h.processId == window.processId;
        if (event < h.eventMin || event > h.eventMax || (h.watchProcess != 0 && h.watchProcess != window.processId) ||
            (h.watchThread != 0 && h.watchThread != window.threadId) || (ownProcess && (h.flags & WINEVENT_SKIPOWNPROCESS)) ||
            (ownProcess && h.threadId == window.threadId && (h.flags & WINEVENT_SKIPOWNTHREAD)))
            continue;
        targets.emplace_back(h, window);
    }
    return targets;
}

void SessionState::sendWinEvents(const std::vector<std::pair<WinEventHookRecord, WindowRecord>>& targets, DWORD event)
{
    MSG msg{};
    msg.message = winEventMessage;
    msg.lParam = static_cast<LPARAM>(event);
    msg.time = tick();
    for (const auto& [hook, window] : targets) {
        msg.hwnd = window.hwnd;
        msg.wParam = reinterpret_cast<WPARAM>(hook.hook);
        msg.pt.x = static_cast<LONG>(window.threadId);
        m_delivery.deliverWindowMessage(hook.processId, hook.threadId, msg);
    }
}

void SessionState::addProcess(const ProcessRecord& process)
{
    std::lock_guard lock(m_mutex);
    m_processes[process.processId] = process;
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

void SessionState::notifyWindows(const std::vector<WindowRecord>& targets, UINT message, WPARAM wParam, LPARAM lParam)
{
    MSG msg{};
    msg.message = message;
    msg.wParam = wParam;
    msg.lParam = lParam;
    msg.time = tick();
    msg.pt = m_page->readCursor();
    for (const WindowRecord& w : targets) {
        msg.hwnd = w.hwnd;
        m_delivery.deliverWindowMessage(w.processId, w.threadId, msg);
    }
}

int SessionState::notify(Notice notice, WPARAM code)
{
    std::vector<WindowRecord> targets;
    UINT message = 0;
    LPARAM lParam = 0;
    {
        std::lock_guard lock(m_mutex);
        for (const auto& [hwnd, w] : m_windows) {
            if (w.simulated)
                continue;
            const bool registered = std::find(m_sessionNotified.begin(), m_sessionNotified.end(), hwnd) != m_sessionNotified.end();
            if (notice == Notice::Session ? registered : w.topLevel)
                targets.push_back(w);
        }
    }
    switch (notice) {
    case Notice::Session:
        message = WM_WTSSESSION_CHANGE;
        lParam = 1; // the session id
        break;
    case Notice::Power:
        message = WM_POWERBROADCAST;
        break;
    case Notice::QueryEndSession:
        message = WM_QUERYENDSESSION;
        code = 0;
        break;
    }
    notifyWindows(targets, message, code, lParam);
    return static_cast<int>(targets.size());
}

std::uint64_t SessionState::addRawDevice(const RawDevice& device)
{
    std::vector<WindowRecord> targets;
    RawDevice record = device;
    {
        std::lock_guard lock(m_mutex);
        record.handle = 0x20000 + m_nextRawDevice++ * 2;
        m_rawDevices.push_back(record);
        for (const RawRegistration& r : m_rawRegistrations) {
            const auto it = m_windows.find(r.target);
            if ((r.flags & RIDEV_DEVNOTIFY) && it != m_windows.end() && usageCovers(r.usagePage, r.usage, record.type))
                targets.push_back(it->second);
        }
    }
    notifyWindows(targets, WM_INPUT_DEVICE_CHANGE, GIDC_ARRIVAL, static_cast<LPARAM>(record.handle));
    return record.handle;
}

bool SessionState::removeRawDevice(std::uint64_t handle)
{
    std::vector<WindowRecord> targets;
    {
        std::lock_guard lock(m_mutex);
        const auto it = std::find_if(m_rawDevices.begin(), m_rawDevices.end(), [&](const RawDevice& d) { return d.handle == handle; });
        if (it == m_rawDevices.end())
            return false;
        const DWORD type = it->type;
        m_rawDevices.erase(it);
        for (const RawRegistration& r : m_rawRegistrations) {
            const auto w = m_windows.find(r.target);
            if ((r.flags & RIDEV_DEVNOTIFY) && w != m_windows.end() && usageCovers(r.usagePage, r.usage, type))
                targets.push_back(w->second);
        }
    }
    notifyWindows(targets, WM_INPUT_DEVICE_CHANGE, GIDC_REMOVAL, static_cast<LPARAM>(handle));
    return true;
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
