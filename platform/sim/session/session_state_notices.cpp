// SessionState's notices: raw-input devices and the windows registered for them, and the session
// and power notices sent to the windows that asked for them.
#include "platform/sim/session/session_state.h"

#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_message.h"
#include "platform/sim/win32/win32_notice.h"

#include <algorithm>

namespace vorna::sim {
namespace {

// The registrations that hear about a device of this type.
bool usageCovers(USHORT usagePage, USHORT usage, DWORD deviceType)
{
    if (deviceType == RIM_TYPEMOUSE)
        return usagePage == 1 && usage == 2;
    if (deviceType == RIM_TYPEKEYBOARD)
        return usagePage == 1 && usage == 6;
    return !(usagePage == 1 && (usage == 2 || usage == 6));
}

} // namespace

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

} // namespace vorna::sim
