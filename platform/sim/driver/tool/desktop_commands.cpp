#include "platform/sim/driver/tool/desktop_commands.h"

#include "platform/sim/process/text.h"
#include "platform/sim/win32/win32_api.h"

#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <map>

namespace vorna::sim::tool {

const char* const desktopHelpText = R"(
The desktop (clipboard, notification area, shell):
  clipboard                         sequence number, owner, who has it open, and its formats
  clipboard-set TEXT                another program puts TEXT on the clipboard
  clipboard-hold on|off             another program keeps the clipboard open (or closes it)
  tray                              notification-area icons with their tooltip, size and balloon
  tray-click [left|right|double] [HWND ID]
                                    click an icon (default: the first one, left button)
  menu                              the popup menu shown now (or last), with its item ids
  menu-choose ID|TEXT|dismiss       pick an item of the open menu, or of the next one shown
  taskbar-restart                   the shell restarts: icons go, windows hear "TaskbarCreated"
  shell-log [--keep]                files and sites opened, workstation locks, window commands
  drive LETTER FOLDER|none          map a drive letter to a host folder (or remove it)
  drives                            the mapped drive letters
  display [high-contrast on|off] [animation on|off]
                                    print the display settings, or change them first
  desktop-fail POINT ERROR [COUNT]  make the next COUNT calls fail with ERROR (COUNT -1: until
                                    "desktop-fail POINT 0"). POINT: clipboard-open,
                                    clipboard-read, clipboard-write, clipboard-empty,
                                    shell-execute, notify-icon, lock, system-parameters
)";

namespace {

long number(const std::string& text)
{
    char* end = nullptr;
    errno = 0;
    const long value = std::strtol(text.c_str(), &end, 0);
    if (text.empty() || *end != 0 || errno != 0)
        throw DesktopUsageError("not a number: " + text);
    return value;
}

std::string hex(std::uint64_t value)
{
    char text[24];
    std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(value));
    return text;
}

std::string handle(const void* value)
{
    return hex(reinterpret_cast<std::uintptr_t>(value));
}

HWND windowArgument(const std::string& text)
{
    return reinterpret_cast<HWND>(static_cast<std::uintptr_t>(number(text)));
}

void need(const std::string& command, const std::vector<std::string>& args, std::size_t count)
{
    if (args.size() < count)
        throw DesktopUsageError(command + " needs " + std::to_string(count) + " argument(s)");
}

const char* shellKind(ShellRecord::Kind kind)
{
    switch (kind) {
    case ShellRecord::Kind::Execute: return "execute";
    case ShellRecord::Kind::Lock: return "lock";
    case ShellRecord::Kind::ShowWindow: return "show-window";
    case ShellRecord::Kind::PostMessage: return "post-message";
    }
    return "?";
}

} // namespace

bool driveDesktop(Driver& driver, const std::string& command, const std::vector<std::string>& args)
{
    DesktopClient desktop = driver.desktop();
    if (command == "clipboard") {
        const ClipboardState c = desktop.clipboard();
        std::cout << "sequence " << c.sequence << "\nowner " << handle(c.owner) << '\n';
        if (c.open)
            std::cout << "open by pid " << c.openerProcess << " window " << handle(c.openerWindow) << '\n';
        for (const ClipboardEntry& e : c.entries) {
            const std::wstring name = desktop.nameOf(e.format);
            std::cout << "format " << e.format << (name.empty() ? "" : " \"" + toUtf8(name) + "\"") << ' ' << e.data.size()
                      << " bytes";
            if (e.format == CF_UNICODETEXT)
                std::cout << " \"" << toUtf8(fromUtf16Bytes(e.data)) << '"';
            std::cout << '\n';
        }
    } else if (command == "clipboard-set") {
        need(command, args, 1);
        if (desktop.writeClipboardText(fromUtf8(args[0])) != 0)
            throw std::runtime_error("the clipboard is open in another program");
    } else if (command == "clipboard-hold") {
        need(command, args, 1);
        if (args[0] != "on" && args[0] != "off")
            throw DesktopUsageError("clipboard-hold on|off");
        if (desktop.holdClipboard(args[0] == "on") != 0)
            throw std::runtime_error("the clipboard is open in another program");
    } else if (command == "tray") {
        for (const TrayIconRecord& t : desktop.trayIcons()) {
            std::cout << "window " << handle(t.window) << " id " << t.id << " pid " << t.processId << " message "
                      << hex(t.callbackMessage) << " icon " << t.width << "x" << t.height << " tip \"" << toUtf8(t.tip) << '"';
            if (!t.balloonText.empty())
                std::cout << " balloon \"" << toUtf8(t.balloonTitle) << ": " << toUtf8(t.balloonText) << '"';
            std::cout << '\n';
        }
    } else if (command == "tray-click") {
        static const std::map<std::string, TrayClick> kinds = {
            {"left", TrayClick::Left}, {"right", TrayClick::Right}, {"double", TrayClick::Double}};
        const auto kind = kinds.find(args.empty() ? "left" : args[0]);
        if (kind == kinds.end())
            throw DesktopUsageError("tray-click [left|right|double] [HWND ID]");
        const HWND window = args.size() > 2 ? windowArgument(args[1]) : nullptr;
        const UINT id = args.size() > 2 ? static_cast<UINT>(number(args[2])) : 0;
        if (!desktop.clickIcon(window, id, kind->second))
            throw std::runtime_error("no such icon in the notification area");
    } else if (command == "menu") {
        const MenuRecord m = desktop.lastMenu();
        if (m.token == 0) {
            std::cout << "no menu was shown\n";
            return true;
        }
        std::cout << (m.open ? "open" : "closed") << " menu of window " << handle(m.owner) << " (pid " << m.processId << ")";
        if (!m.open)
            std::cout << ", chosen " << m.chosen;
        std::cout << '\n';
        for (const MenuItemRecord& item : m.items) {
            if (item.flags & MF_SEPARATOR)
                std::cout << "  ----\n";
            else
                std::cout << "  " << item.id << " \"" << toUtf8(item.text) << "\"\n";
        }
    } else if (command == "menu-choose") {
        need(command, args, 1);
        bool done = false;
        if (args[0] == "dismiss")
            done = desktop.chooseMenuItem(std::int64_t{0});
        else if (!args[0].empty() && std::isdigit(static_cast<unsigned char>(args[0][0])))
            done = desktop.chooseMenuItem(static_cast<std::int64_t>(number(args[0])));
        else
            done = desktop.chooseMenuItem(fromUtf8(args[0]));
        if (!done)
            throw std::runtime_error("the open menu has no item " + args[0]);
    } else if (command == "taskbar-restart") {
        std::cout << desktop.restartTaskbar() << " window(s)\n";
    } else if (command == "shell-log") {
        const bool keep = !args.empty() && args[0] == "--keep";
        for (const ShellRecord& r : desktop.shellLog(!keep)) {
            std::cout << shellKind(r.kind) << " pid " << r.processId;
            if (r.kind == ShellRecord::Kind::Execute)
                std::cout << " verb \"" << toUtf8(r.verb) << "\" file \"" << toUtf8(r.file) << "\" parameters \""
                          << toUtf8(r.parameters) << "\" show " << r.show;
            if (r.kind == ShellRecord::Kind::ShowWindow)
                std::cout << " window " << handle(r.window) << " command " << r.show;
            if (r.kind == ShellRecord::Kind::PostMessage)
                std::cout << " window " << handle(r.window) << " message " << hex(r.message) << " wParam " << hex(r.wParam)
                          << " lParam " << hex(static_cast<std::uint64_t>(r.lParam));
            std::cout << (r.error == 0 ? " ok" : " error " + std::to_string(r.error)) << '\n';
        }
    } else if (command == "drive") {
        need(command, args, 2);
        if (args[0].size() != 1 || !std::isalpha(static_cast<unsigned char>(args[0][0])))
            throw DesktopUsageError("drive LETTER FOLDER|none");
        desktop.setDrive(static_cast<wchar_t>(std::toupper(static_cast<unsigned char>(args[0][0]))),
                         args[1] == "none" ? std::string() : args[1]);
    } else if (command == "drives") {
        for (const DriveMapping& d : desktop.drives())
            std::cout << static_cast<char>(d.letter) << ": " << d.hostFolder << '\n';
    } else if (command == "display") {
        DisplaySettings settings;
        if (desktop.readDisplaySettings(settings) != 0)
            throw std::runtime_error("the display settings cannot be read");
        if (args.size() % 2 != 0)
            throw DesktopUsageError("display [high-contrast on|off] [animation on|off]");
        for (std::size_t i = 0; i < args.size(); i += 2) {
            bool* setting = args[i] == "high-contrast" ? &settings.highContrast
                : args[i] == "animation"                ? &settings.clientAreaAnimation
                                                        : nullptr;
            if (setting == nullptr || (args[i + 1] != "on" && args[i + 1] != "off"))
                throw DesktopUsageError("display [high-contrast on|off] [animation on|off]");
            *setting = args[i + 1] == "on";
        }
        if (!args.empty())
            desktop.setDisplaySettings(settings);
        std::cout << "high-contrast " << (settings.highContrast ? "on" : "off") << "\nanimation "
                  << (settings.clientAreaAnimation ? "on" : "off") << '\n';
    } else if (command == "desktop-fail") {
        need(command, args, 2);
        static const std::map<std::string, DesktopFail> points = {
            {"clipboard-open", DesktopFail::ClipboardOpen},   {"clipboard-read", DesktopFail::ClipboardRead},
            {"clipboard-write", DesktopFail::ClipboardWrite}, {"clipboard-empty", DesktopFail::ClipboardEmpty},
            {"shell-execute", DesktopFail::ShellExecute},     {"notify-icon", DesktopFail::NotifyIcon},
            {"lock", DesktopFail::LockWorkStation},           {"system-parameters", DesktopFail::SystemParameters}};
        const auto point = points.find(args[0]);
        if (point == points.end())
            throw DesktopUsageError("unknown failure point: " + args[0]);
        desktop.setFailure(point->second, static_cast<DWORD>(number(args[1])),
                           args.size() > 2 ? static_cast<std::int32_t>(number(args[2])) : 1);
    } else {
        return false;
    }
    return true;
}

} // namespace vorna::sim::tool
