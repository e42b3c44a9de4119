// The desktop half of the session as the session's holder keeps it (an in-process session or
// a broker). Requests arrive as bytes (DesktopClient writes them), so a broker forwards them
// with one frame kind and knows nothing of their content.
#pragma once

#include "platform/sim/session/desktop_types.h"

#include <array>
#include <map>
#include <mutex>

namespace vorna::sim {

enum class DesktopOp : std::uint8_t {
    // Clipboard, as a member process calls it.
    ClipboardOpen,
    ClipboardClose,
    ClipboardEmpty,
    ClipboardSet,
    ClipboardGet,
    ClipboardNext,
    ClipboardSequence,
    ClipboardOwner,
    RegisterName,
    NameOf,
    // Clipboard, as a driver sees and changes it.
    ClipboardRead,
    ClipboardWrite, // another program's whole write: open, empty, set, close
    ClipboardHold,  // another program opens it (or closes it again)
    // Notification area and menus.
    NotifyIcon,
    TrayIcons,
    Balloons,
    TaskbarRestart,
    ClickIcon,
    MenuOpen,
    MenuPoll,
    MenuChoose,
    LastMenu,
    // Shell and window commands.
    ShellExecute,
    LockWorkStation,
    ShowWindow,
    PostMessage,
    ShellLog,
    // Drive letters and failures.
    SetDrive,
    Drives,
    DriveFolder,
    SetFailure,
    // Display settings, as a member process reads them and as a driver sets them.
    ReadDisplaySettings,
    SetDisplaySettings,
};

class DesktopState {
public:
    // What the desktop needs of the rest of the session.
    class Port {
    public:
        virtual ~Port() = default;
        // The window's owner, when the window exists.
        virtual bool windowOwner(HWND window, DWORD& processId, bool& simulated) = 0;
        // Queues a message for a window of a member process; false when there is no such window.
        virtual bool postToWindow(HWND window, UINT message, WPARAM wParam, LPARAM lParam) = 0;
        // Every top-level window of a member process.
        virtual std::vector<HWND> memberTopLevelWindows() = 0;
    };

    explicit DesktopState(Port& port) : m_port(port) {}

    void handle(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply);
    // A member process has gone: its clipboard opening, icons and open menus go with it.
    void processGone(DWORD processId);
    void reset();

private:
    struct Failure {
        DWORD error = 0;
        std::int32_t remaining = 0;
    };

    bool failLocked(DesktopFail point, DWORD& error);
    DWORD openLocked(DWORD processId, HWND window);
    UINT registerLocked(const std::wstring& name);
    void notifyIcon(wire::Reader& in, wire::Writer& out);
    void click(wire::Reader& in, wire::Writer& out);
    void restartTaskbar(wire::Writer& out);

    Port& m_port;
    std::mutex m_mutex;
    ClipboardState m_clipboard;
    std::vector<std::wstring> m_names; // registered names; index i is 0xC000 + i
    std::vector<TrayIconRecord> m_icons;
    std::vector<BalloonRecord> m_balloons;
    MenuRecord m_menu;
    std::uint64_t m_nextMenu = 1;
    bool m_choiceQueued = false; // a choice made before the next menu opens
    std::int64_t m_queuedChoice = 0;
    std::wstring m_queuedText;
    std::vector<ShellRecord> m_shellLog;
    std::map<wchar_t, std::string> m_drives;
    DisplaySettings m_display;
    std::array<Failure, static_cast<std::size_t>(DesktopFail::Count)> m_failures{};
};

} // namespace vorna::sim
