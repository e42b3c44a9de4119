// Typed calls of the session's desktop half, for the Win32 stand-ins of a member process and
// for drivers. Each call is one request to wherever the session is held.
#pragma once

#include "platform/sim/session/desktop_types.h"
#include "platform/sim/session/session_api.h"

namespace vorna::sim {

class DesktopClient {
public:
    explicit DesktopClient(SessionApi& session) : m_session(session) {}

    // --- as a member process calls them; errors are Win32 error codes, 0 on success
    DWORD openClipboard(HWND window);
    DWORD closeClipboard();
    DWORD emptyClipboard();
    DWORD setClipboardData(UINT format, const std::vector<std::uint8_t>& data);
    DWORD getClipboardData(UINT format, std::vector<std::uint8_t>& data);
    DWORD nextClipboardFormat(UINT after, UINT& next);
    DWORD clipboardSequence();
    HWND clipboardOwner();
    UINT registerName(const std::wstring& name); // 0 when refused
    std::wstring nameOf(UINT atom);              // empty when not a registered name
    bool notifyIcon(DWORD message, UINT flags, const TrayIconRecord& data);
    std::uint64_t openMenu(HWND owner, const std::vector<MenuItemRecord>& items);
    // True once the menu is closed, with the id chosen (0 dismissed); giveUp dismisses it.
    bool pollMenu(std::uint64_t token, bool giveUp, std::int64_t& chosen);
    DWORD shellExecute(const ShellRecord& call); // call.error: the caller's own file check
    DWORD lockWorkStation();
    DWORD showWindow(HWND window, int command);
    DWORD postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    std::string driveFolder(wchar_t letter); // empty when the drive is not mapped
    DWORD readDisplaySettings(DisplaySettings& settings);

    // --- as a driver sees and changes the desktop
    ClipboardState clipboard();
    // Another program replaces the clipboard's content (open, empty, set each, close); fails
    // with ERROR_ACCESS_DENIED while a program has it open.
    DWORD writeClipboard(const std::vector<ClipboardEntry>& entries, HWND owner = nullptr);
    DWORD writeClipboardText(const std::wstring& text); // CF_UNICODETEXT as UTF-16
    // Another program opens the clipboard and keeps it open, or closes it again.
    DWORD holdClipboard(bool hold);
    std::vector<TrayIconRecord> trayIcons();
    std::vector<BalloonRecord> balloons(bool clear = false);
    // The shell restarts: every icon is gone and top-level windows hear "TaskbarCreated".
    int restartTaskbar();
    // Clicks an icon (the first one when window is null); false when there is none with a
    // callback message.
    bool clickIcon(HWND window, UINT id, TrayClick click);
    // Picks an item of the open menu by id (0 dismisses it), or of the next menu when none is
    // open; false when the open menu has no item with that text.
    bool chooseMenuItem(std::int64_t id);
    bool chooseMenuItem(const std::wstring& text);
    MenuRecord lastMenu();
    std::vector<ShellRecord> shellLog(bool clear = false);
    // An empty folder removes the mapping.
    void setDrive(wchar_t letter, const std::string& hostFolder);
    std::vector<DriveMapping> drives();
    // The user changes the display settings.
    void setDisplaySettings(const DisplaySettings& settings);
    // The next count calls fail with error (count -1: until cleared with error 0).
    void setFailure(DesktopFail point, DWORD error, std::int32_t count = 1);

private:
    bool call(wire::Writer& request, std::vector<std::uint8_t>& reply);

    SessionApi& m_session;
};

// UTF-16 bytes of a wide string with its terminating zero, as CF_UNICODETEXT holds text, and
// back (up to the first zero).
std::vector<std::uint8_t> utf16Bytes(const std::wstring& text);
std::wstring fromUtf16Bytes(const std::vector<std::uint8_t>& bytes);

} // namespace vorna::sim
