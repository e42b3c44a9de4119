// SessionState's windows and processes: the window table in Z order, the foreground window, the
// processes the session knows, and the WinEvent hooks that hear of foreground changes.
#include "platform/sim/session/session_state.h"

#include "platform/sim/win32/win32_errors.h"

#include <algorithm>

namespace vorna::sim {
namespace {

HWND windowValue(std::uint64_t serial)
{
    // Even values starting where Windows' desktop handles leave off.
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(0x10010 + serial * 2));
}

} // namespace

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

std::optional<ProcessRecord> SessionState::findProcess(DWORD processId)
{
    std::lock_guard lock(m_mutex);
    const auto it = m_processes.find(processId);
    if (it == m_processes.end())
        return std::nullopt;
    return it->second;
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

} // namespace vorna::sim
