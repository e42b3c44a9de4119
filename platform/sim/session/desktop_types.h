// The desktop half of the simulated session: clipboard, notification area with its popup
// menus, the shell's log of what programs asked of it, the drive letters that map Windows
// paths to host folders, and the user's display settings. These are the records it keeps and
// hands to drivers.
#pragma once

#include "platform/sim/wire/wire.h"
#include "platform/sim/win32/win32_types.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorna::sim {

struct ClipboardEntry {
    UINT format = 0;
    std::vector<std::uint8_t> data;
};

// Who holds the clipboard open, and what it holds.
struct ClipboardState {
    DWORD sequence = 0;
    HWND owner = nullptr;
    bool open = false;
    DWORD openerProcess = 0;
    HWND openerWindow = nullptr;
    std::vector<ClipboardEntry> entries; // in the order they were set
};

struct TrayIconRecord {
    HWND window = nullptr;
    UINT id = 0;
    DWORD processId = 0;
    UINT callbackMessage = 0; // 0 without NIF_MESSAGE
    std::wstring tip;
    LONG width = 0; // 0: no icon
    LONG height = 0;
    std::vector<std::uint32_t> pixels; // 0xAARRGGBB, premultiplied, top row first
    std::wstring balloonTitle; // the last balloon
    std::wstring balloonText;
    DWORD balloonFlags = 0;
    std::uint32_t changes = 0; // successful NIM_MODIFY calls
};

struct BalloonRecord {
    HWND window = nullptr;
    UINT id = 0;
    std::wstring title;
    std::wstring text;
    DWORD flags = 0;
};

struct MenuItemRecord {
    UINT flags = 0;
    std::uint64_t id = 0;
    std::wstring text;
};

// The popup menu shown now, or the last one shown.
struct MenuRecord {
    std::uint64_t token = 0; // 0: no menu was shown yet
    bool open = false;
    DWORD processId = 0;
    HWND owner = nullptr;
    std::vector<MenuItemRecord> items;
    std::int64_t chosen = -1; // the id returned, 0 dismissed; -1 while open
};

// What a program asked of the shell or of other programs' windows.
struct ShellRecord {
    enum class Kind : std::uint8_t { Execute, Lock, ShowWindow, PostMessage };
    Kind kind = Kind::Execute;
    DWORD processId = 0;
    std::wstring verb;
    std::wstring file;
    std::wstring parameters;
    std::wstring directory;
    std::int32_t show = 0; // ShellExecuteExW's nShow, or ShowWindowAsync's command
    HWND window = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    DWORD error = 0; // 0: the call succeeded
};

// The display settings programs read through SystemParametersInfoW, as a fresh Windows
// session has them.
struct DisplaySettings {
    bool highContrast = false;        // SPI_GETHIGHCONTRAST: HCF_HIGHCONTRASTON
    bool clientAreaAnimation = true;  // SPI_GETCLIENTAREAANIMATION
};

struct DriveMapping {
    wchar_t letter = L'C'; // upper case
    std::string hostFolder;
};

// Calls of the desktop whose failure a driver can force.
enum class DesktopFail : std::uint8_t {
    ClipboardOpen,
    ClipboardRead,  // GetClipboardData
    ClipboardWrite, // SetClipboardData
    ClipboardEmpty,
    ShellExecute,
    NotifyIcon,
    LockWorkStation,
    SystemParameters, // SystemParametersInfoW
    Count
};

enum class TrayClick : std::uint8_t { Left, Right, Double };

namespace wire {

void putClipboardEntry(Writer& w, const ClipboardEntry& e);
ClipboardEntry getClipboardEntry(Reader& r);
void putTrayIcon(Writer& w, const TrayIconRecord& t);
TrayIconRecord getTrayIcon(Reader& r);
void putBalloon(Writer& w, const BalloonRecord& b);
BalloonRecord getBalloon(Reader& r);
void putMenu(Writer& w, const MenuRecord& m);
MenuRecord getMenu(Reader& r);
void putShellRecord(Writer& w, const ShellRecord& s);
ShellRecord getShellRecord(Reader& r);
void putText(Writer& w, const std::string& text);
std::string getText(Reader& r);

} // namespace wire
} // namespace vorna::sim
