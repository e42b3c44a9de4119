// The records the simulated session keeps and exchanges with processes and drivers.
#pragma once

#include "platform/sim/session/hook_call.h"
#include "platform/sim/win32/win32_types.h"
#include "platform/sim/win32/win32_window_query.h"

#include <cstdint>
#include <string>

namespace vorna::sim {

// Monitors, primary first in Windows' sense (the one SM_CXSCREEN describes), and the clip.
struct ScreenState {
    static constexpr int maxMonitors = 16;
    std::int32_t monitorCount = 1;
    std::int32_t primary = 0;
    RECT monitors[maxMonitors] = {{0, 0, 1920, 1080}};
    std::int32_t clipped = 0; // 0: the clip is the whole virtual screen
    RECT clip{};

    RECT virtualScreen() const;
    RECT effectiveClip() const;
    // -1 when the point is on no monitor and nearest is false.
    int monitorAt(POINT point, bool nearest) const;
};

// Handle values of monitors: stable while the layout stays.
HMONITOR monitorHandle(int index);
int monitorIndex(HMONITOR monitor);

POINT clampToRect(POINT point, const RECT& rect); // right and bottom exclusive

struct WindowRecord {
    HWND hwnd = nullptr;
    DWORD processId = 0;
    DWORD threadId = 0;
    bool visible = false;
    bool topLevel = true;   // message-only windows get no broadcasts
    bool simulated = false; // made by a driver: no procedure behind it
    HWND parent = nullptr;  // a child window's parent; its root is the top-level ancestor
    RECT rect{};            // screen rectangle, right and bottom exclusive; hit-tested when visible
    std::wstring title;
    std::wstring className;
};

// A WinEvent hook as the session keeps it: the range of events, the installing thread, and
// which processes and threads it hears about (0: all).
struct WinEventHookRecord {
    HWINEVENTHOOK hook = nullptr;
    DWORD eventMin = 0;
    DWORD eventMax = 0;
    DWORD processId = 0; // installer
    DWORD threadId = 0;
    DWORD watchProcess = 0;
    DWORD watchThread = 0;
    DWORD flags = 0;
};

struct ProcessRecord {
    DWORD processId = 0;
    std::wstring imagePath;
    DWORD integrityRid = 0x2000; // medium
    bool accessDenied = false;
};

struct RawDevice {
    std::uint64_t handle = 0; // assigned by the session
    DWORD type = 0;           // RIM_TYPEMOUSE, RIM_TYPEKEYBOARD, RIM_TYPEHID
    std::wstring name;
    DWORD buttons = 0;
    DWORD vendorId = 0;
    DWORD productId = 0;
};

// A WinEvent travels to its hook's thread as this posted message, above 0xFFFF where no program's
// messages are: hwnd the event's window, wParam the hook, lParam the event, pt.x the thread of
// the event's window, time its time. Retrieving messages runs the hook's callback instead.
inline constexpr UINT winEventMessage = 0x10001;

// Calls whose failure a driver can force.
enum class FailPoint : std::uint8_t {
    SendInput,
    SetWindowsHook,
    RegisterRawInput,
    RawInputDeviceList,
    RawInputDeviceName,
    RawInputDeviceInfo,
    SessionNotification,
    PowerThrottling, // SetProcessInformation
    SetWinEventHook,
    Count
};

struct Failure {
    DWORD error = 0;
    std::int32_t remaining = 0; // calls still to fail; -1 until cleared
    std::uint32_t accept = 0;   // SendInput: events taken before failing
};

// What reached the system: an event that passed every hook.
struct SinkEvent {
    HookKind kind = HookKind::Keyboard;
    WPARAM message = 0;
    KBDLLHOOKSTRUCT key{};
    MSLLHOOKSTRUCT mouse{};
};

struct HookInfo {
    HHOOK hook = nullptr;
    HookKind kind = HookKind::Keyboard;
    DWORD processId = 0;
    DWORD threadId = 0;
};

enum class Notice : std::uint8_t { Session, Power, QueryEndSession };

// Input from the driver, as the hardware would produce it.
struct PhysicalEvent {
    enum class Type : std::uint8_t { KeyDown, KeyUp, ScanDown, ScanUp, MoveBy, MoveTo, ButtonDown, ButtonUp, Wheel, HWheel };
    Type type = Type::KeyDown;
    UINT key = 0;      // virtual key (kNumpadEnter for the keypad's Enter), scan code, or button 1-5
    bool extended = false; // scan events: the E0 prefix
    LONG x = 0;        // move; wheel delta
    LONG y = 0;
};

} // namespace vorna::sim
