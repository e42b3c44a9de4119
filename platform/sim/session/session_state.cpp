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

SessionState::SessionState(SessionDelivery& delivery) : delivery_(delivery)
{
    page_ = createSessionPage(pageDescriptor_);
    stream_.resize(streamCapacity);
    sink_.resize(sinkCapacity);
    std::lock_guard lock(mutex_);
    resetLocked();
}

SessionState::~SessionState()
{
    std::unique_lock lock(mutex_);
    stopping_ = true;
    streamReady_.notify_all();
    answered_.notify_all();
    if (streamStarted_)
        idle_.wait(lock, [&] { return streamExited_; });
    lock.unlock();
    releaseSessionPage(page_, pageDescriptor_);
}

DWORD SessionState::tick() const
{
    return static_cast<DWORD>((monotonicNs() + page_->clockOffsetNs.load()) / 1'000'000);
}

bool SessionState::consumeFailureLocked(FailPoint point, Failure& failure)
{
    if (point >= FailPoint::Count)
        return false; // a plain query that cannot be made to fail
    Failure& slot = failures_[static_cast<std::size_t>(point)];
    if (slot.remaining == 0)
        return false;
    failure = slot;
    if (slot.remaining > 0)
        --slot.remaining;
    return true;
}

HHOOK SessionState::installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error)
{
    std::lock_guard lock(mutex_);
    Failure failure;
    if (consumeFailureLocked(FailPoint::SetWindowsHook, failure)) {
        error = failure.error;
        return nullptr;
    }
    const HHOOK hook = reinterpret_cast<HHOOK>(static_cast<std::uintptr_t>(0xA00000 + nextHook_++ * 4));
    hooks_.push_back({hook, kind, processId, threadId});
    error = 0;
    return hook;
}

bool SessionState::removeHook(HHOOK hook)
{
    std::lock_guard lock(mutex_);
    const bool present = std::any_of(hooks_.begin(), hooks_.end(), [&](const Hook& h) { return h.hook == hook; });
    removeHookLocked(hook);
    return present;
}

void SessionState::removeHookLocked(HHOOK hook)
{
    std::erase_if(hooks_, [&](const Hook& h) { return h.hook == hook; });
    answered_.notify_all(); // a wait for this hook's answer ends now
}

HWND SessionState::registerWindow(const WindowRecord& window)
{
    std::lock_guard lock(mutex_);
    WindowRecord record = window;
    record.hwnd = windowValue(nextWindow_++);
    windows_[record.hwnd] = record;
    zOrder_.insert(zOrder_.begin(), record.hwnd);
    return record.hwnd;
}

void SessionState::unregisterWindow(HWND window)
{
    std::lock_guard lock(mutex_);
    windows_.erase(window);
    std::erase(zOrder_, window);
    std::erase(sessionNotified_, window);
    for (RawRegistration& r : rawRegistrations_) {
        if (r.target == window)
            r.target = nullptr;
    }
    if (page_->foreground.load() == reinterpret_cast<std::uintptr_t>(window))
        page_->foreground.store(0);
}

std::optional<WindowRecord> SessionState::findWindow(HWND window)
{
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(window);
    if (it == windows_.end())
        return std::nullopt;
    return it->second;
}

DWORD SessionState::registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId)
{
    std::lock_guard lock(mutex_);
    Failure failure;
    if (consumeFailureLocked(FailPoint::RegisterRawInput, failure))
        return failure.error;
    // All or nothing: check every entry before changing any.
    for (const RAWINPUTDEVICE& d : devices) {
        if ((d.dwFlags & RIDEV_REMOVE) != 0) {
            if (d.hwndTarget != nullptr)
                return ERROR_INVALID_PARAMETER;
        } else if (d.hwndTarget != nullptr) {
            const auto it = windows_.find(d.hwndTarget);
            if (it == windows_.end() || it->second.processId != processId)
                return ERROR_INVALID_WINDOW_HANDLE;
        }
    }
    for (const RAWINPUTDEVICE& d : devices) {
        std::erase_if(rawRegistrations_, [&](const RawRegistration& r) {
            return r.processId == processId && r.usagePage == d.usUsagePage && r.usage == d.usUsage;
        });
        if ((d.dwFlags & RIDEV_REMOVE) == 0)
            rawRegistrations_.push_back({processId, d.usUsagePage, d.usUsage, d.dwFlags, d.hwndTarget});
    }
    return 0;
}

DWORD SessionState::rawInputDevices(FailPoint call, std::vector<RawDevice>& devices)
{
    std::lock_guard lock(mutex_);
    Failure failure;
    if (consumeFailureLocked(call, failure))
        return failure.error;
    devices = rawDevices_;
    return 0;
}

DWORD SessionState::takeFailure(FailPoint call)
{
    std::lock_guard lock(mutex_);
    Failure failure;
    return consumeFailureLocked(call, failure) ? failure.error : 0;
}

DWORD SessionState::setSessionNotification(HWND window, bool on)
{
    std::lock_guard lock(mutex_);
    if (!on) {
        std::erase(sessionNotified_, window);
        return 0;
    }
    Failure failure;
    if (consumeFailureLocked(FailPoint::SessionNotification, failure))
        return failure.error;
    if (windows_.find(window) == windows_.end())
        return ERROR_INVALID_WINDOW_HANDLE;
    if (std::find(sessionNotified_.begin(), sessionNotified_.end(), window) == sessionNotified_.end())
        sessionNotified_.push_back(window);
    return 0;
}

std::optional<ProcessRecord> SessionState::findProcess(DWORD processId)
{
    std::lock_guard lock(mutex_);
    const auto it = processes_.find(processId);
    if (it == processes_.end())
        return std::nullopt;
    return it->second;
}

void SessionState::processGone(DWORD processId)
{
    desktop_.processGone(processId);
    std::lock_guard lock(mutex_);
    std::erase_if(hooks_, [&](const Hook& h) { return h.processId == processId; });
    answered_.notify_all();
    for (auto it = windows_.begin(); it != windows_.end();) {
        if (it->second.processId == processId && !it->second.simulated) {
            std::erase(sessionNotified_, it->first);
            if (page_->foreground.load() == reinterpret_cast<std::uintptr_t>(it->first))
                page_->foreground.store(0);
            std::erase(zOrder_, it->first);
            it = windows_.erase(it);
        } else {
            ++it;
        }
    }
    std::erase_if(rawRegistrations_, [&](const RawRegistration& r) { return r.processId == processId; });
    std::erase_if(winEventHooks_, [&](const WinEventHookRecord& h) { return h.processId == processId; });
}

void SessionState::desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply)
{
    desktop_.handle(request, reply);
}

bool SessionState::windowOwner(HWND window, DWORD& processId, bool& simulated)
{
    std::lock_guard lock(mutex_);
    const auto it = windows_.find(window);
    if (it == windows_.end())
        return false;
    processId = it->second.processId;
    simulated = it->second.simulated;
    return true;
}

bool SessionState::postToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    WindowRecord target;
    {
        std::lock_guard lock(mutex_);
        const auto it = windows_.find(window);
        if (it == windows_.end() || it->second.simulated)
            return false;
        target = it->second;
    }
    notifyWindows({target}, message, wParam, lParam);
    return true;
}

std::vector<HWND> SessionState::memberTopLevelWindows()
{
    std::lock_guard lock(mutex_);
    std::vector<HWND> list;
    for (const auto& [hwnd, w] : windows_) {
        if (!w.simulated && w.topLevel)
            list.push_back(hwnd);
    }
    return list;
}

void SessionState::threadGone(DWORD processId, DWORD threadId)
{
    std::lock_guard lock(mutex_);
    std::erase_if(hooks_, [&](const Hook& h) { return h.processId == processId && h.threadId == threadId; });
    std::erase_if(winEventHooks_, [&](const WinEventHookRecord& h) { return h.processId == processId && h.threadId == threadId; });
    threadLayouts_.erase(threadId);
    answered_.notify_all();
}

std::uint64_t SessionState::keyboardLayout(DWORD threadId)
{
    std::lock_guard lock(mutex_);
    const auto it = threadLayouts_.find(threadId);
    return it == threadLayouts_.end() ? defaultLayout_ : it->second;
}

void SessionState::setKeyboardLayout(DWORD threadId, std::uint64_t layout)
{
    if ((layout & 0xFFFF) == 0)
        return; // no language: not a layout
    std::lock_guard lock(mutex_);
    if (threadId == 0)
        defaultLayout_ = layout;
    else if (threadLayouts_.size() < maxThreadLayouts || threadLayouts_.count(threadId) != 0)
        threadLayouts_[threadId] = layout;
}

void SessionState::setScreen(const ScreenState& screen)
{
    std::lock_guard lock(mutex_);
    ScreenState copy = screen;
    copy.monitorCount = std::clamp(copy.monitorCount, 1, ScreenState::maxMonitors);
    copy.primary = std::clamp(copy.primary, 0, copy.monitorCount - 1);
    page_->writeScreen(copy);
    page_->writeCursor(clampToRect(page_->readCursor(), copy.effectiveClip()));
}

void SessionState::setCursor(POINT point)
{
    std::lock_guard lock(mutex_);
    page_->writeCursor(clampToRect(point, page_->readScreen().effectiveClip()));
}

void SessionState::setToggle(UINT virtualKey, bool on)
{
    if (virtualKey > 255)
        return;
    std::lock_guard lock(mutex_);
    const std::uint8_t value = page_->keys[virtualKey].load();
    page_->keys[virtualKey].store(static_cast<std::uint8_t>((value & ~1u) | (on ? 1u : 0u)));
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
        std::lock_guard lock(mutex_);
        const auto it = window != nullptr ? windows_.find(window) : windows_.end();
        if (window != nullptr && it == windows_.end())
            return false;
        const bool changed = page_->foreground.exchange(reinterpret_cast<std::uintptr_t>(window)) !=
                             reinterpret_cast<std::uintptr_t>(window);
        if (window == nullptr)
            return true; // no window to raise and none to report, as on Windows
        std::erase(zOrder_, window);
        zOrder_.insert(zOrder_.begin(), window);
        if (changed)
            told = winEventTargetsLocked(EVENT_SYSTEM_FOREGROUND, it->second);
    }
    sendWinEvents(told, EVENT_SYSTEM_FOREGROUND);
    return true;
}

std::vector<WindowRecord> SessionState::windows()
{
    std::lock_guard lock(mutex_);
    std::vector<WindowRecord> list;
    for (HWND hwnd : zOrder_)
        list.push_back(windows_.at(hwnd));
    return list;
}

HWINEVENTHOOK SessionState::installWinEventHook(const WinEventHookRecord& hook, DWORD& error)
{
    if (hook.eventMin > hook.eventMax) {
        error = ERROR_INVALID_HOOK_FILTER;
        return nullptr;
    }
    std::lock_guard lock(mutex_);
    if (Failure failure; consumeFailureLocked(FailPoint::SetWinEventHook, failure)) {
        error = failure.error;
        return nullptr;
    }
    WinEventHookRecord record = hook;
    record.hook = reinterpret_cast<HWINEVENTHOOK>(static_cast<std::uintptr_t>(0xB00000 + nextWinEventHook_++ * 4));
    winEventHooks_.push_back(record);
    error = 0;
    return record.hook;
}

bool SessionState::removeWinEventHook(HWINEVENTHOOK hook)
{
    std::lock_guard lock(mutex_);
    return std::erase_if(winEventHooks_, [&](const WinEventHookRecord& h) { return h.hook == hook; }) != 0;
}

std::vector<std::pair<WinEventHookRecord, WindowRecord>> SessionState::winEventTargetsLocked(DWORD event, const WindowRecord& window)
{
    std::vector<std::pair<WinEventHookRecord, WindowRecord>> targets;
    for (const WinEventHookRecord& h : winEventHooks_) {
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
        delivery_.deliverWindowMessage(hook.processId, hook.threadId, msg);
    }
}

void SessionState::addProcess(const ProcessRecord& process)
{
    std::lock_guard lock(mutex_);
    processes_[process.processId] = process;
}

std::vector<SinkEvent> SessionState::readSink(bool clear)
{
    std::lock_guard lock(mutex_);
    std::vector<SinkEvent> events;
    events.reserve(sinkCount_);
    for (std::size_t i = 0; i < sinkCount_; ++i)
        events.push_back(sink_[(sinkHead_ + i) % sinkCapacity]);
    if (clear) {
        sinkHead_ = 0;
        sinkCount_ = 0;
    }
    return events;
}

std::vector<HookInfo> SessionState::hooks()
{
    std::lock_guard lock(mutex_);
    std::vector<HookInfo> list;
    for (auto it = hooks_.rbegin(); it != hooks_.rend(); ++it) // in chain order
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
    msg.pt = page_->readCursor();
    for (const WindowRecord& w : targets) {
        msg.hwnd = w.hwnd;
        delivery_.deliverWindowMessage(w.processId, w.threadId, msg);
    }
}

int SessionState::notify(Notice notice, WPARAM code)
{
    std::vector<WindowRecord> targets;
    UINT message = 0;
    LPARAM lParam = 0;
    {
        std::lock_guard lock(mutex_);
        for (const auto& [hwnd, w] : windows_) {
            if (w.simulated)
                continue;
            const bool registered = std::find(sessionNotified_.begin(), sessionNotified_.end(), hwnd) != sessionNotified_.end();
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
        std::lock_guard lock(mutex_);
        record.handle = 0x20000 + nextRawDevice_++ * 2;
        rawDevices_.push_back(record);
        for (const RawRegistration& r : rawRegistrations_) {
            const auto it = windows_.find(r.target);
            if ((r.flags & RIDEV_DEVNOTIFY) && it != windows_.end() && usageCovers(r.usagePage, r.usage, record.type))
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
        std::lock_guard lock(mutex_);
        const auto it = std::find_if(rawDevices_.begin(), rawDevices_.end(), [&](const RawDevice& d) { return d.handle == handle; });
        if (it == rawDevices_.end())
            return false;
        const DWORD type = it->type;
        rawDevices_.erase(it);
        for (const RawRegistration& r : rawRegistrations_) {
            const auto w = windows_.find(r.target);
            if ((r.flags & RIDEV_DEVNOTIFY) && w != windows_.end() && usageCovers(r.usagePage, r.usage, type))
                targets.push_back(w->second);
        }
    }
    notifyWindows(targets, WM_INPUT_DEVICE_CHANGE, GIDC_REMOVAL, static_cast<LPARAM>(handle));
    return true;
}

void SessionState::setHookTimeout(DWORD milliseconds)
{
    page_->hookTimeoutMs.store(milliseconds);
}

void SessionState::stepClock(std::int64_t milliseconds)
{
    // Forward only, and never past limits::maxClockOffsetMs in all: the offset in nanoseconds
    // (and the monotonic time added to it) must not overflow. A broker refuses such steps; here,
    // in-process, a step back does nothing and a step too far stops at the limit.
    constexpr std::int64_t maxNs = limits::maxClockOffsetMs * 1'000'000;
    const std::int64_t stepMs = std::clamp<std::int64_t>(milliseconds, 0, limits::maxClockOffsetMs);
    std::int64_t offset = page_->clockOffsetNs.load();
    while (!page_->clockOffsetNs.compare_exchange_weak(offset, std::min(maxNs, offset + stepMs * 1'000'000))) {
    }
}

void SessionState::setFailure(FailPoint point, const Failure& failure)
{
    if (point >= FailPoint::Count)
        return;
    std::lock_guard lock(mutex_);
    failures_[static_cast<std::size_t>(point)] = failure;
}

void SessionState::reset()
{
    desktop_.reset();
    std::unique_lock lock(mutex_);
    std::vector<std::function<void()>> completions;
    while (streamCount_ > 0) {
        const StreamEvent event = stream_[streamHead_];
        streamHead_ = (streamHead_ + 1) % streamCapacity;
        --streamCount_;
        finishLocked(event, false, completions);
    }
    idle_.wait(lock, [&] { return !inFlight_ || stopping_; });
    resetLocked();
    lock.unlock();
    for (auto& done : completions)
        done();
}

void SessionState::resetLocked()
{
    sinkHead_ = 0;
    sinkCount_ = 0;
    for (auto& key : page_->keys)
        key.store(0);
    keyboard_ = KeyboardState{};
    page_->writeScreen(ScreenState{});
    page_->writeCursor({960, 540});
    page_->lastInputTick.store(0);
    page_->hookTimeoutMs.store(300);
    page_->clockOffsetNs.store(0);
    std::erase_if(windows_, [](const auto& entry) { return entry.second.simulated; });
    std::erase_if(zOrder_, [&](HWND hwnd) { return windows_.find(hwnd) == windows_.end(); });
    if (windows_.find(reinterpret_cast<HWND>(page_->foreground.load())) == windows_.end())
        page_->foreground.store(0);
    processes_.clear();
    rawDevices_ = defaultRawDevices();
    for (RawDevice& d : rawDevices_)
        d.handle = 0x20000 + nextRawDevice_++ * 2;
    failures_ = {};
    defaultLayout_ = kLayoutUsEnglish;
    threadLayouts_.clear();
}

} // namespace vorna::sim
