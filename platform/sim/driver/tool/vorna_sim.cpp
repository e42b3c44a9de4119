// vorna-sim: serves a simulated Windows session to the processes that share it, and drives it
// as a person at the machine would.
#include "platform/sim/broker/broker.h"
#include "platform/sim/broker/broker_client.h"
#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "platform/sim/session/session_limits.h"
#include "platform/sim/process/text.h"
#include "platform/sim/driver/tool/desktop_commands.h"
#include "platform/sim/win32/win32_api.h"

#include <cctype>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vorna::sim;

constexpr const char* helpText = R"(vorna-sim - the simulated Windows session of Vorna Input Trellan on Linux

Usage:
  vorna-sim serve SOCKET            Hold a session and serve it on SOCKET until interrupted.
                                    Programs started with VORNA_SIM_SESSION=SOCKET join it,
                                    and so do the programs they start. A client that breaks
                                    the protocol is told why and let go, and the reason is
                                    printed on standard error; the others go on.
  vorna-sim [--socket SOCKET] [--timeout MS] COMMAND [ARGUMENTS]
                                    Drive the session served on SOCKET (default: the socket
                                    named by VORNA_SIM_SESSION). A broker that stays silent
                                    for MS milliseconds (default: VORNA_SIM_TIMEOUT_MS, else
                                    10000) while connecting or replying is an error (exit 1).

Physical input (each waits until the hooks have decided and prints "passed" or "swallowed"):
  press KEY...                      press keys and keep them down (again: auto-repeat)
  release KEY...                    release keys
  tap KEY...                        press and release each key in turn
  chord KEY...                      press the keys in order, release them in reverse
  type TEXT                         type text on the US keyboard layout; prints each
                                    character with "typed" or "swallowed"
  click [BUTTON]                    press and release a mouse button (default left)
  button-down BUTTON | button-up BUTTON
  move DX DY                        move the mouse by DX, DY pixels
  move-to X Y                       move the mouse to a point
  scroll DELTA | hscroll DELTA      turn the wheel (120 is one notch; up and right positive;
                                    -32768 to 32767)

Reading the session:
  sink [--keep]                     what reached the system since the last read, oldest first
  keys                              keys and buttons that are down, and toggled lock keys
  cursor                            cursor position, clip rectangle and monitors
  hooks                             low-level hooks in chain order (the first runs first)
  windows                           top-level windows; "*" marks the foreground window
  devices                           raw-input devices

Changing the session:
  monitors L,T,R,B [L,T,R,B...] [--primary N]   replace the monitors (1 to 16; negative
                                    origins allowed; edges within 16777216 of 0)
  clip L,T,R,B | clip none          clip the cursor, or free it
  toggle KEY on|off                 set a lock key's state (capslock, numlock, scrolllock)
  layout LAYOUT [TID]               the keyboard layout of a thread, or without TID the
                                    session's default (every thread without its own): en, ru,
                                    de, or a layout handle in hex (e.g. 0x04190419)
  layout-of TID                     print a thread's keyboard layout handle (TID 0: default)
  add-window PID TID TITLE [CLASS]  add a window of another program; prints its handle
  remove-window HWND
  foreground HWND|none              make a window the foreground window
  add-process PID IMAGE [--denied]  describe a process of another program
  notice session CODE               lock, unlock, logon, logoff, console-connect,
                                    console-disconnect, remote-connect, remote-disconnect
  notice power CODE                 suspend, resume, resume-automatic
  notice end-session                ask every top-level window whether the session may end
  add-device mouse|keyboard|hid NAME [BUTTONS | VENDOR PRODUCT]
  remove-device HANDLE              (both tell windows registered for device notices)
  hook-timeout MS                   how long a hook may take before it is skipped and removed
                                    (0 to 4294967295)
  clock MS                          step the session clock (GetTickCount64, the performance
                                    counter) forward by MS milliseconds (0 to 4398046511104,
                                    the session's whole offset included)
  fail POINT ERROR [COUNT [ACCEPT]] make the next COUNT calls fail with ERROR (COUNT -1: until
                                    cleared with "fail POINT 0 0"); ACCEPT: events SendInput takes
                                    first. POINT: send-input, set-hook, register-raw-input,
                                    device-list, device-name, device-info, session-notification,
                                    power-throttling (SetProcessInformation), set-win-event-hook
  wait                              wait until the input stream is idle
  reset                             back to a fresh session (hooks of live programs stay)

Keys: letters and digits, f1-f24, esc, tab, enter, numpad-enter, space, backspace, shift,
lshift, rshift, ctrl, lctrl, rctrl, alt, lalt, ralt, lwin, rwin, apps, capslock, numlock,
scrolllock, pause, printscreen, insert, delete, home, end, pageup, pagedown, left, right, up,
down, numpad0-numpad9, multiply, add, subtract, decimal, divide, or a virtual-key code as vk:NN
(1-255, decimal or 0x hex). Keypad keys follow Num Lock as on Windows. Buttons: left, right,
middle, x1, x2. Numbers are decimal or 0x hex; a value out of range is refused (exit 2).
)";

class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A whole number in [min, max], decimal or 0x hex, with nothing around it; anything else is a
// usage error that names the argument and its range.
std::int64_t integer(const std::string& text, const std::string& what, std::int64_t min, std::int64_t max)
{
    const bool negative = !text.empty() && text[0] == '-';
    const std::size_t sign = negative ? 1 : 0;
    const bool hexadecimal = text.size() > sign + 2 && text[sign] == '0' && (text[sign + 1] == 'x' || text[sign + 1] == 'X');
    const std::size_t first = sign + (hexadecimal ? 2 : 0);
    bool valid = text.size() > first;
    for (std::size_t i = first; valid && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        valid = hexadecimal ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
    }
    if (!valid)
        throw UsageError(what + " is not a number: " + text);
    errno = 0;
    const unsigned long long magnitude = std::strtoull(text.c_str() + first, nullptr, hexadecimal ? 16 : 10);
    constexpr unsigned long long largest = 0x7FFF'FFFF'FFFF'FFFFull;
    const bool fits = errno == 0 && magnitude <= largest + (negative ? 1 : 0);
    std::int64_t value = 0;
    if (fits)
        value = !negative ? static_cast<std::int64_t>(magnitude)
                          : magnitude > largest ? INT64_MIN : -static_cast<std::int64_t>(magnitude);
    if (!fits || value < min || value > max)
        throw UsageError(what + " must be " + std::to_string(min) + " to " + std::to_string(max) + ": " + text);
    return value;
}

// A handle (window, device): 1 to 2^64-1, decimal or 0x hex as the session prints them.
std::uint64_t handle(const std::string& text, const std::string& what)
{
    const bool hexadecimal = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    bool valid = text.size() > (hexadecimal ? 2u : 0u);
    for (std::size_t i = hexadecimal ? 2 : 0; valid && i < text.size(); ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        valid = hexadecimal ? std::isxdigit(c) != 0 : std::isdigit(c) != 0;
    }
    errno = 0;
    const unsigned long long value = valid ? std::strtoull(text.c_str(), nullptr, hexadecimal ? 16 : 10) : 0;
    if (!valid || errno != 0 || value == 0)
        throw UsageError(what + " is not a handle (1 to 2^64-1, as printed): " + text);
    return value;
}

constexpr std::int64_t dwordMax = 0xFFFF'FFFF;


std::optional<UINT> keyByName(std::string name)
{
    for (char& c : name)
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (name.size() == 1 && std::isalnum(static_cast<unsigned char>(name[0])))
        return static_cast<UINT>(std::toupper(static_cast<unsigned char>(name[0])));
    if (name.rfind("vk:", 0) == 0)
        return static_cast<UINT>(integer(name.substr(3), "the virtual-key code of " + name, 1, 255));
    if (name.size() >= 2 && name.size() <= 3 && name[0] == 'f' && std::isdigit(static_cast<unsigned char>(name[1])) &&
        std::isdigit(static_cast<unsigned char>(name.back()))) {
        const int n = std::stoi(name.substr(1));
        if (n >= 1 && n <= 24 && name[1] != '0')
            return static_cast<UINT>(VK_F1 + n - 1);
    }
    if (name.rfind("numpad", 0) == 0 && name.size() == 7 && std::isdigit(static_cast<unsigned char>(name[6])))
        return static_cast<UINT>(VK_NUMPAD0 + (name[6] - '0'));
    static const std::map<std::string, UINT> names = {
        {"esc", VK_ESCAPE},       {"escape", VK_ESCAPE},   {"tab", VK_TAB},          {"enter", VK_RETURN},
        {"numpad-enter", kNumpadEnter}, {"space", VK_SPACE}, {"backspace", VK_BACK},  {"shift", VK_LSHIFT},
        {"lshift", VK_LSHIFT},    {"rshift", VK_RSHIFT},   {"ctrl", VK_LCONTROL},    {"lctrl", VK_LCONTROL},
        {"rctrl", VK_RCONTROL},   {"alt", VK_LMENU},       {"lalt", VK_LMENU},       {"ralt", VK_RMENU},
        {"win", VK_LWIN},         {"lwin", VK_LWIN},       {"rwin", VK_RWIN},        {"apps", VK_APPS},
        {"capslock", VK_CAPITAL}, {"numlock", VK_NUMLOCK}, {"scrolllock", VK_SCROLL}, {"pause", VK_PAUSE},
        {"printscreen", VK_SNAPSHOT}, {"insert", VK_INSERT}, {"delete", VK_DELETE},  {"home", VK_HOME},
        {"end", VK_END},          {"pageup", VK_PRIOR},    {"pagedown", VK_NEXT},    {"left", VK_LEFT},
        {"right", VK_RIGHT},      {"up", VK_UP},           {"down", VK_DOWN},        {"multiply", VK_MULTIPLY},
        {"add", VK_ADD},          {"subtract", VK_SUBTRACT}, {"decimal", VK_DECIMAL}, {"divide", VK_DIVIDE},
    };
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

std::optional<UINT> buttonByName(const std::string& name)
{
    static const std::map<std::string, UINT> names = {{"left", 1}, {"right", 2}, {"middle", 3}, {"x1", 4}, {"x2", 5}};
    const auto it = names.find(name);
    if (it == names.end())
        return std::nullopt;
    return it->second;
}

RECT rectangle(const std::string& text)
{
    std::vector<std::string> parts(1);
    for (const char c : text) {
        if (c == ',')
            parts.emplace_back();
        else
            parts.back() += c;
    }
    if (parts.size() != 4)
        throw UsageError("not a rectangle L,T,R,B: " + text);
    LONG edges[4];
    for (int i = 0; i < 4; ++i)
        edges[i] = static_cast<LONG>(integer(parts[i], "an edge of " + text, -limits::maxCoordinate, limits::maxCoordinate));
    const RECT r{edges[0], edges[1], edges[2], edges[3]};
    if (const char* why = limits::checkRect(r))
        throw UsageError("not a rectangle L,T,R,B: " + text + " (" + why + ")");
    return r;
}

std::string hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

const char* messageName(WPARAM message)
{
    switch (message) {
    case WM_KEYDOWN: return "WM_KEYDOWN";
    case WM_KEYUP: return "WM_KEYUP";
    case WM_SYSKEYDOWN: return "WM_SYSKEYDOWN";
    case WM_SYSKEYUP: return "WM_SYSKEYUP";
    case WM_MOUSEMOVE: return "WM_MOUSEMOVE";
    case WM_LBUTTONDOWN: return "WM_LBUTTONDOWN";
    case WM_LBUTTONUP: return "WM_LBUTTONUP";
    case WM_RBUTTONDOWN: return "WM_RBUTTONDOWN";
    case WM_RBUTTONUP: return "WM_RBUTTONUP";
    case WM_MBUTTONDOWN: return "WM_MBUTTONDOWN";
    case WM_MBUTTONUP: return "WM_MBUTTONUP";
    case WM_XBUTTONDOWN: return "WM_XBUTTONDOWN";
    case WM_XBUTTONUP: return "WM_XBUTTONUP";
    case WM_MOUSEWHEEL: return "WM_MOUSEWHEEL";
    case WM_MOUSEHWHEEL: return "WM_MOUSEHWHEEL";
    default: return "?";
    }
}

void printOutcomes(const std::vector<bool>& outcomes)
{
    for (bool passed : outcomes)
        std::cout << (passed ? "passed" : "swallowed") << '\n';
}

// One line per typed character: "typed" when every key of it reached the system, "swallowed"
// when a hook kept any of them back. The characters are those the US layout can type.
void printTyping(std::wstring_view text, const std::vector<std::vector<PhysicalEvent>>& groups,
    const std::vector<bool>& outcomes)
{
    std::size_t at = 0;
    for (std::size_t i = 0; i < groups.size(); ++i) {
        bool passed = true;
        for (std::size_t k = 0; k < groups[i].size() && at < outcomes.size(); ++k, ++at)
            passed = passed && outcomes[at];
        const wchar_t c = text[i];
        const std::string name = c == L' ' ? "space" : c == L'\n' ? "enter" : c == L'\t' ? "tab" : std::string(1, static_cast<char>(c));
        std::cout << name << ": " << (passed ? "typed" : "swallowed") << '\n';
    }
}

std::vector<PhysicalEvent> keyEvents(const std::vector<std::string>& names, PhysicalEvent::Type type)
{
    std::vector<PhysicalEvent> events;
    for (const std::string& name : names) {
        const auto key = keyByName(name);
        if (!key)
            throw UsageError("unknown key: " + name);
        PhysicalEvent e;
        e.type = type;
        e.key = *key;
        events.push_back(e);
    }
    if (events.empty())
        throw UsageError("name at least one key");
    return events;
}

FailPoint failPoint(const std::string& name)
{
    static const std::map<std::string, FailPoint> names = {
        {"send-input", FailPoint::SendInput},
        {"set-hook", FailPoint::SetWindowsHook},
        {"register-raw-input", FailPoint::RegisterRawInput},
        {"device-list", FailPoint::RawInputDeviceList},
        {"device-name", FailPoint::RawInputDeviceName},
        {"device-info", FailPoint::RawInputDeviceInfo},
        {"session-notification", FailPoint::SessionNotification},
        {"power-throttling", FailPoint::PowerThrottling},
        {"set-win-event-hook", FailPoint::SetWinEventHook},
    };
    const auto it = names.find(name);
    if (it == names.end())
        throw UsageError("unknown failure point: " + name);
    return it->second;
}

WPARAM noticeCode(const std::string& kind, const std::string& name)
{
    static const std::map<std::string, WPARAM> session = {
        {"console-connect", WTS_CONSOLE_CONNECT}, {"console-disconnect", WTS_CONSOLE_DISCONNECT},
        {"remote-connect", WTS_REMOTE_CONNECT},   {"remote-disconnect", WTS_REMOTE_DISCONNECT},
        {"logon", WTS_SESSION_LOGON},             {"logoff", WTS_SESSION_LOGOFF},
        {"lock", WTS_SESSION_LOCK},               {"unlock", WTS_SESSION_UNLOCK}};
    static const std::map<std::string, WPARAM> power = {
        {"suspend", PBT_APMSUSPEND}, {"resume", PBT_APMRESUMESUSPEND}, {"resume-automatic", PBT_APMRESUMEAUTOMATIC}};
    const auto& table = kind == "session" ? session : power;
    const auto it = table.find(name);
    if (it == table.end())
        throw UsageError("unknown " + kind + " notice: " + name);
    return it->second;
}

int drive(Driver& driver, const std::string& command, const std::vector<std::string>& args)
{
    SessionApi& s = driver.session();
    const auto need = [&](std::size_t count, std::size_t most = 0) {
        most = std::max(most, count);
        if (args.size() < count)
            throw UsageError(command + " needs " + std::to_string(count) + " argument(s)");
        if (args.size() > most)
            throw UsageError(command + " takes at most " + std::to_string(most) + " argument(s)");
    };
    const auto coordinate = [&](const std::string& text, const char* what) {
        return static_cast<LONG>(integer(text, command + " " + what, INT32_MIN, INT32_MAX));
    };
    const auto mouse = [&](PhysicalEvent::Type type, LONG x, LONG y, UINT button = 0) {
        PhysicalEvent e;
        e.type = type;
        e.key = button;
        e.x = x;
        e.y = y;
        return e;
    };
    if (command == "press" || command == "release" || command == "tap" || command == "chord") {
        std::vector<PhysicalEvent> events;
        if (command == "press" || command == "release") {
            events = keyEvents(args, command == "press" ? PhysicalEvent::Type::KeyDown : PhysicalEvent::Type::KeyUp);
        } else {
            const auto downs = keyEvents(args, PhysicalEvent::Type::KeyDown);
            const auto ups = keyEvents(args, PhysicalEvent::Type::KeyUp);
            if (command == "tap") {
                for (std::size_t i = 0; i < downs.size(); ++i) {
                    events.push_back(downs[i]);
                    events.push_back(ups[i]);
                }
            } else {
                events = downs;
                events.insert(events.end(), ups.rbegin(), ups.rend());
            }
        }
        printOutcomes(driver.send(events));
    } else if (command == "type") {
        need(1, 1);
        const std::wstring text = fromUtf8(args[0]);
        const auto groups = usTypingEvents(text);
        if (!groups)
            throw UsageError("the text has a character the US layout cannot type");
        std::vector<PhysicalEvent> events;
        for (const auto& group : *groups)
            events.insert(events.end(), group.begin(), group.end());
        printTyping(text, *groups, events.empty() ? std::vector<bool>{} : driver.send(events));
    } else if (command == "click" || command == "button-down" || command == "button-up") {
        need(command == "click" ? 0 : 1, 1);
        const auto button = buttonByName(args.empty() ? "left" : args[0]);
        if (!button)
            throw UsageError("unknown button: " + args[0]);
        std::vector<PhysicalEvent> events;
        if (command != "button-up")
            events.push_back(mouse(PhysicalEvent::Type::ButtonDown, 0, 0, *button));
        if (command != "button-down")
            events.push_back(mouse(PhysicalEvent::Type::ButtonUp, 0, 0, *button));
        printOutcomes(driver.send(events));
    } else if (command == "move" || command == "move-to") {
        need(2, 2);
        printOutcomes(driver.send({mouse(command == "move" ? PhysicalEvent::Type::MoveBy : PhysicalEvent::Type::MoveTo,
                                         coordinate(args[0], "x"), coordinate(args[1], "y"))}));
    } else if (command == "scroll" || command == "hscroll") {
        need(1, 1);
        const auto delta = integer(args[0], command + " delta", limits::minWheelDelta, limits::maxWheelDelta);
        printOutcomes(driver.send({mouse(command == "scroll" ? PhysicalEvent::Type::Wheel : PhysicalEvent::Type::HWheel,
                                         static_cast<LONG>(delta), 0)}));
    } else if (command == "sink") {
        need(0, 1);
        if (!args.empty() && args[0] != "--keep")
            throw UsageError("sink takes only --keep");
        const bool keep = !args.empty();
        for (const SinkEvent& e : s.readSink(!keep)) {
            if (e.kind == HookKind::Keyboard)
                std::cout << messageName(e.message) << " vk=" << e.key.vkCode << " scan=" << hex(e.key.scanCode)
                          << " flags=" << hex(e.key.flags) << " extra=" << hex(e.key.dwExtraInfo) << '\n';
            else
                std::cout << messageName(e.message) << " x=" << e.mouse.pt.x << " y=" << e.mouse.pt.y
                          << " data=" << hex(e.mouse.mouseData) << " flags=" << hex(e.mouse.flags)
                          << " extra=" << hex(e.mouse.dwExtraInfo) << '\n';
        }
    } else if (command == "keys") {
        need(0);
        for (UINT vk = 1; vk < 256; ++vk) {
            const std::uint8_t state = s.page().keys[vk].load();
            const bool lock = vk == VK_CAPITAL || vk == VK_NUMLOCK || vk == VK_SCROLL;
            if ((state & 0x80) || (lock && (state & 1)))
                std::cout << "vk " << vk << ((state & 0x80) ? " down" : "") << ((lock && (state & 1)) ? " toggled" : "") << '\n';
        }
    } else if (command == "cursor") {
        need(0);
        const POINT p = s.page().readCursor();
        const ScreenState screen = s.page().readScreen();
        const RECT clip = screen.effectiveClip();
        std::cout << "cursor " << p.x << "," << p.y << "\nclip " << clip.left << "," << clip.top << "," << clip.right << ","
                  << clip.bottom << (screen.clipped ? "" : " (whole virtual screen)") << '\n';
        for (int i = 0; i < screen.monitorCount; ++i) {
            const RECT& m = screen.monitors[i];
            std::cout << "monitor " << m.left << "," << m.top << "," << m.right << "," << m.bottom
                      << (i == screen.primary ? " primary" : "") << '\n';
        }
    } else if (command == "hooks") {
        need(0);
        for (const HookInfo& h : s.hooks())
            std::cout << hex(reinterpret_cast<std::uintptr_t>(h.hook)) << (h.kind == HookKind::Keyboard ? " keyboard" : " mouse")
                      << " pid " << h.processId << " thread " << h.threadId << '\n';
    } else if (command == "windows") {
        need(0);
        const auto foreground = s.page().foreground.load();
        for (const WindowRecord& w : s.windows())
            std::cout << (reinterpret_cast<std::uintptr_t>(w.hwnd) == foreground ? "* " : "  ")
                      << hex(reinterpret_cast<std::uintptr_t>(w.hwnd)) << " pid " << w.processId << " thread " << w.threadId
                      << " class \"" << toUtf8(w.className) << "\" title \"" << toUtf8(w.title) << "\""
                      << (w.visible ? "" : " hidden") << '\n';
    } else if (command == "devices") {
        need(0);
        std::vector<RawDevice> devices;
        s.rawInputDevices(FailPoint::Count, devices);
        static const char* kinds[] = {"mouse", "keyboard", "hid"};
        for (const RawDevice& d : devices)
            std::cout << hex(d.handle) << ' ' << kinds[d.type < 2 ? d.type : 2] << ' ' << toUtf8(d.name) << '\n';
    } else if (command == "monitors") {
        ScreenState screen = s.page().readScreen();
        screen.monitorCount = 0;
        screen.primary = 0;
        std::optional<std::string> primary;
        for (std::size_t i = 0; i < args.size(); ++i) {
            if (args[i] == "--primary") {
                if (i + 1 == args.size() || primary)
                    throw UsageError("--primary needs one monitor number, once");
                primary = args[++i];
            } else if (screen.monitorCount == ScreenState::maxMonitors) {
                throw UsageError("monitors takes at most " + std::to_string(ScreenState::maxMonitors) + " rectangles");
            } else {
                screen.monitors[screen.monitorCount++] = rectangle(args[i]);
            }
        }
        if (screen.monitorCount == 0)
            throw UsageError("monitors needs at least one rectangle");
        if (primary)
            screen.primary = static_cast<std::int32_t>(integer(*primary, "--primary", 0, screen.monitorCount - 1));
        s.setScreen(screen);
    } else if (command == "clip") {
        need(1, 1);
        ScreenState screen = s.page().readScreen();
        screen.clipped = args[0] != "none";
        if (screen.clipped)
            screen.clip = rectangle(args[0]);
        s.setScreen(screen);
    } else if (command == "toggle") {
        need(2, 2);
        const auto key = keyByName(args[0]);
        if (!key || *key > 255 || (args[1] != "on" && args[1] != "off"))
            throw UsageError("toggle KEY on|off, with a key that has a virtual-key code");
        s.setToggle(*key, args[1] == "on");
    } else if (command == "layout") {
        need(1, 2);
        std::uint64_t layout = 0;
        if (!parseLayout(args[0], layout))
            throw UsageError("layout takes en, ru, de or a layout handle in hex with a language in its low word");
        const DWORD thread = args.size() > 1 ? static_cast<DWORD>(integer(args[1], "layout TID", 1, dwordMax)) : 0;
        s.setKeyboardLayout(thread, layout);
    } else if (command == "layout-of") {
        need(1, 1);
        std::cout << hex(s.keyboardLayout(static_cast<DWORD>(integer(args[0], "layout-of TID", 0, dwordMax)))) << '\n';
    } else if (command == "add-window") {
        need(3, 4);
        WindowRecord w;
        w.processId = static_cast<DWORD>(integer(args[0], "add-window PID", 0, dwordMax));
        w.threadId = static_cast<DWORD>(integer(args[1], "add-window TID", 0, dwordMax));
        w.title = fromUtf8(args[2]);
        w.className = args.size() > 3 ? fromUtf8(args[3]) : L"";
        w.visible = true;
        std::cout << hex(reinterpret_cast<std::uintptr_t>(s.addWindow(w))) << '\n';
    } else if (command == "remove-window") {
        need(1, 1);
        s.removeWindow(reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle(args[0], "remove-window HWND"))));
    } else if (command == "foreground") {
        need(1, 1);
        const HWND window =
            args[0] == "none" ? nullptr : reinterpret_cast<HWND>(static_cast<std::uintptr_t>(handle(args[0], "foreground HWND")));
        if (!s.setForeground(window))
            throw UsageError("no such window: " + args[0]);
    } else if (command == "add-process") {
        need(2, 3);
        ProcessRecord p;
        p.processId = static_cast<DWORD>(integer(args[0], "add-process PID", 0, dwordMax));
        p.imagePath = fromUtf8(args[1]);
        if (args.size() > 2 && args[2] != "--denied")
            throw UsageError("add-process takes only --denied after the image");
        p.accessDenied = args.size() > 2;
        s.addProcess(p);
    } else if (command == "notice") {
        need(1, 2);
        if (args[0] == "end-session") {
            need(1, 1);
            std::cout << s.notify(Notice::QueryEndSession, 0) << " window(s)\n";
        } else if (args[0] == "session" || args[0] == "power") {
            need(2);
            std::cout << s.notify(args[0] == "session" ? Notice::Session : Notice::Power, noticeCode(args[0], args[1]))
                      << " window(s)\n";
        } else {
            throw UsageError("notice session|power|end-session");
        }
    } else if (command == "add-device") {
        RawDevice d;
        if (args.empty() || (args[0] != "mouse" && args[0] != "keyboard" && args[0] != "hid"))
            throw UsageError("add-device mouse|keyboard|hid NAME [BUTTONS | VENDOR PRODUCT]");
        d.type = args[0] == "mouse" ? RIM_TYPEMOUSE : args[0] == "keyboard" ? RIM_TYPEKEYBOARD : RIM_TYPEHID;
        need(2, d.type == RIM_TYPEMOUSE ? 3 : d.type == RIM_TYPEHID ? 4 : 2);
        if (d.type == RIM_TYPEHID && args.size() == 3)
            throw UsageError("add-device hid needs both VENDOR and PRODUCT, or neither");
        d.name = fromUtf8(args[1]);
        if (d.type == RIM_TYPEMOUSE)
            d.buttons = args.size() > 2 ? static_cast<DWORD>(integer(args[2], "add-device BUTTONS", 1, 32)) : 5;
        if (d.type == RIM_TYPEHID && args.size() > 3) {
            d.vendorId = static_cast<DWORD>(integer(args[2], "add-device VENDOR", 0, 0xFFFF));
            d.productId = static_cast<DWORD>(integer(args[3], "add-device PRODUCT", 0, 0xFFFF));
        }
        std::cout << hex(s.addRawDevice(d)) << '\n';
    } else if (command == "remove-device") {
        need(1, 1);
        if (!s.removeRawDevice(handle(args[0], "remove-device HANDLE")))
            throw UsageError("no such device: " + args[0]);
    } else if (command == "hook-timeout") {
        need(1, 1);
        s.setHookTimeout(static_cast<DWORD>(integer(args[0], "hook-timeout MS", 0, dwordMax)));
    } else if (command == "clock") {
        need(1, 1);
        const auto step = integer(args[0], "clock MS", 0, limits::maxClockOffsetMs);
        if (const char* why = limits::checkClockStep(step, s.page().clockOffsetNs.load()))
            throw UsageError(std::string("clock MS: ") + why + ": " + args[0]);
        s.stepClock(step);
    } else if (command == "fail") {
        need(2, 4);
        const FailPoint point = failPoint(args[0]);
        Failure f;
        f.error = static_cast<DWORD>(integer(args[1], "fail ERROR", 0, dwordMax));
        f.remaining = args.size() > 2 ? static_cast<std::int32_t>(integer(args[2], "fail COUNT", -1, INT32_MAX)) : 1;
        f.accept = args.size() > 3 ? static_cast<std::uint32_t>(integer(args[3], "fail ACCEPT", 0, dwordMax)) : 0;
        if (f.error == 0)
            f.remaining = 0;
        s.setFailure(point, f);
    } else if (command == "wait") {
        need(0);
        s.waitIdle();
    } else if (command == "reset") {
        need(0);
        s.reset();
    } else if (!tool::driveDesktop(driver, command, args)) {
        throw UsageError("unknown command: " + command);
    }
    return 0;
}

int serve(const std::string& socket)
{
    sigset_t signals;
    sigemptyset(&signals);
    sigaddset(&signals, SIGINT);
    sigaddset(&signals, SIGTERM);
    sigaddset(&signals, SIGHUP);
    pthread_sigmask(SIG_BLOCK, &signals, nullptr); // the broker's threads inherit the mask
    Broker broker(socket);
    broker.start();
    std::cerr << "vorna-sim: serving a session on " << socket << " (start programs with VORNA_SIM_SESSION=" << socket << ")\n";
    int received = 0;
    sigwait(&signals, &received);
    std::cerr << "vorna-sim: stopped\n";
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    std::vector<std::string> args(argv + 1, argv + argc);
    try {
        if (args.empty() || args[0] == "--help" || args[0] == "-h" || args[0] == "help") {
            std::cout << helpText << tool::desktopHelpText;
            return args.empty() ? 2 : 0;
        }
        if (args[0] == "serve") {
            if (args.size() != 2)
                throw UsageError("serve needs exactly one socket path");
            return serve(args[1]);
        }
        std::string socket;
        std::chrono::milliseconds timeout = BrokerClient::defaultTimeout();
        bool socketGiven = false;
        bool timeoutGiven = false;
        while (!args.empty() && (args[0] == "--socket" || args[0] == "--timeout")) {
            bool& given = args[0] == "--socket" ? socketGiven : timeoutGiven;
            if (given || args.size() < 3)
                throw UsageError(args[0] + " needs a value and a command after it, and comes once");
            given = true;
            if (args[0] == "--socket")
                socket = args[1];
            else
                timeout = std::chrono::milliseconds(integer(args[1], "--timeout MS", 1, 86'400'000));
            args.erase(args.begin(), args.begin() + 2);
        }
        if (!socketGiven) {
            if (const char* fromEnvironment = std::getenv("VORNA_SIM_SESSION"))
                socket = fromEnvironment;
        }
        if (socket.empty())
            throw UsageError("no session: pass --socket SOCKET or set VORNA_SIM_SESSION");
        Driver driver(socket, timeout);
        const std::string command = args[0];
        args.erase(args.begin());
        return drive(driver, command, args);
    } catch (const tool::DesktopUsageError& error) {
        std::cerr << "vorna-sim: " << error.what() << "\n(see vorna-sim --help)\n";
        return 2;
    } catch (const UsageError& error) {
        std::cerr << "vorna-sim: " << error.what() << "\n(see vorna-sim --help)\n";
        return 2;
    } catch (const std::exception& error) {
        std::cerr << "vorna-sim: " << error.what() << '\n';
        return 1;
    }
}
