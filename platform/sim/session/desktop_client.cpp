#include "platform/sim/session/desktop_client.h"

#include "platform/sim/session/desktop_state.h"
#include "platform/sim/win32/win32_api.h"

#include <unistd.h>

namespace vorna::sim {
namespace {

// The broker has gone: a call fails as a busy system would.
constexpr DWORD kNoSession = ERROR_NOT_ENOUGH_MEMORY;

DWORD self()
{
    return static_cast<DWORD>(::getpid());
}

wire::Writer request(DesktopOp op)
{
    wire::Writer w;
    w.put(static_cast<std::uint8_t>(op));
    return w;
}

} // namespace

std::vector<std::uint8_t> utf16Bytes(const std::wstring& text)
{
    std::vector<std::uint8_t> bytes;
    const auto unit = [&](std::uint32_t u) {
        bytes.push_back(static_cast<std::uint8_t>(u & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(u >> 8));
    };
    for (wchar_t c : text) {
        const auto code = static_cast<std::uint32_t>(c);
        if (code >= 0x10000) {
            unit(0xD800 + ((code - 0x10000) >> 10));
            unit(0xDC00 + ((code - 0x10000) & 0x3FF));
        } else {
            unit(code);
        }
    }
    unit(0);
    return bytes;
}

std::wstring fromUtf16Bytes(const std::vector<std::uint8_t>& bytes)
{
    std::wstring text;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        const std::uint32_t u = bytes[i] | (bytes[i + 1] << 8);
        if (u == 0)
            break;
        if (u >= 0xD800 && u < 0xDC00 && i + 3 < bytes.size()) {
            const std::uint32_t low = bytes[i + 2] | (bytes[i + 3] << 8);
            if (low >= 0xDC00 && low < 0xE000) {
                text.push_back(static_cast<wchar_t>(0x10000 + ((u - 0xD800) << 10) + (low - 0xDC00)));
                i += 2;
                continue;
            }
        }
        text.push_back(static_cast<wchar_t>(u));
    }
    return text;
}

bool DesktopClient::call(wire::Writer& w, std::vector<std::uint8_t>& reply)
{
    m_session.desktopCall(w.bytes(), reply);
    return !reply.empty();
}

#define VORNA_DESKTOP_ERROR_CALL(w)                               \
    std::vector<std::uint8_t> reply;                              \
    if (!call(w, reply))                                          \
        return kNoSession;                                        \
    return wire::Reader(reply.data(), reply.size()).get<DWORD>()

DWORD DesktopClient::openClipboard(HWND window)
{
    auto w = request(DesktopOp::ClipboardOpen);
    w.put(self()).put(window);
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::closeClipboard()
{
    auto w = request(DesktopOp::ClipboardClose);
    w.put(self());
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::emptyClipboard()
{
    auto w = request(DesktopOp::ClipboardEmpty);
    w.put(self());
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::setClipboardData(UINT format, const std::vector<std::uint8_t>& data)
{
    auto w = request(DesktopOp::ClipboardSet);
    w.put(self());
    wire::putClipboardEntry(w, {format, data});
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::getClipboardData(UINT format, std::vector<std::uint8_t>& data)
{
    auto w = request(DesktopOp::ClipboardGet);
    w.put(self()).put(format);
    std::vector<std::uint8_t> reply;
    if (!call(w, reply))
        return kNoSession;
    wire::Reader in(reply.data(), reply.size());
    const auto error = in.get<DWORD>();
    data = in.getVector<std::uint8_t>();
    return error;
}

DWORD DesktopClient::nextClipboardFormat(UINT after, UINT& next)
{
    auto w = request(DesktopOp::ClipboardNext);
    w.put(self()).put(after);
    std::vector<std::uint8_t> reply;
    next = 0;
    if (!call(w, reply))
        return kNoSession;
    wire::Reader in(reply.data(), reply.size());
    const auto error = in.get<DWORD>();
    next = in.get<UINT>();
    return error;
}

DWORD DesktopClient::clipboardSequence()
{
    auto w = request(DesktopOp::ClipboardSequence);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    return wire::Reader(reply.data(), reply.size()).get<DWORD>();
}

HWND DesktopClient::clipboardOwner()
{
    auto w = request(DesktopOp::ClipboardOwner);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    return wire::Reader(reply.data(), reply.size()).get<HWND>();
}

UINT DesktopClient::registerName(const std::wstring& name)
{
    auto w = request(DesktopOp::RegisterName);
    w.put(name);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    return wire::Reader(reply.data(), reply.size()).get<UINT>();
}

std::wstring DesktopClient::nameOf(UINT atom)
{
    auto w = request(DesktopOp::NameOf);
    w.put(atom);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    return in.getString();
}

bool DesktopClient::notifyIcon(DWORD message, UINT flags, const TrayIconRecord& data)
{
    auto w = request(DesktopOp::NotifyIcon);
    w.put(message).put(flags);
    wire::putTrayIcon(w, data);
    std::vector<std::uint8_t> reply;
    return call(w, reply) && wire::Reader(reply.data(), reply.size()).get<bool>();
}

std::uint64_t DesktopClient::openMenu(HWND owner, const std::vector<MenuItemRecord>& items)
{
    auto w = request(DesktopOp::MenuOpen);
    w.put(self()).put(owner).put(static_cast<std::uint32_t>(items.size()));
    for (const MenuItemRecord& item : items)
        w.put(item.flags).put(item.id).put(item.text);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    return wire::Reader(reply.data(), reply.size()).get<std::uint64_t>();
}

bool DesktopClient::pollMenu(std::uint64_t token, bool giveUp, std::int64_t& chosen)
{
    auto w = request(DesktopOp::MenuPoll);
    w.put(token).put(giveUp);
    std::vector<std::uint8_t> reply;
    chosen = 0;
    if (!call(w, reply))
        return true; // no session: the menu is as good as dismissed
    wire::Reader in(reply.data(), reply.size());
    const bool done = in.get<bool>();
    chosen = in.get<std::int64_t>();
    return done;
}

DWORD DesktopClient::shellExecute(const ShellRecord& c)
{
    auto w = request(DesktopOp::ShellExecute);
    w.put(self()).put(c.verb).put(c.file).put(c.parameters).put(c.directory).put(c.show).put(c.error);
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::lockWorkStation()
{
    auto w = request(DesktopOp::LockWorkStation);
    w.put(self());
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::showWindow(HWND window, int command)
{
    auto w = request(DesktopOp::ShowWindow);
    w.put(self()).put(window).put(static_cast<std::int32_t>(command));
    VORNA_DESKTOP_ERROR_CALL(w);
}

DWORD DesktopClient::postMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto w = request(DesktopOp::PostMessage);
    w.put(self()).put(window).put(message).put(wParam).put(lParam);
    VORNA_DESKTOP_ERROR_CALL(w);
}

#undef VORNA_DESKTOP_ERROR_CALL

std::string DesktopClient::driveFolder(wchar_t letter)
{
    auto w = request(DesktopOp::DriveFolder);
    w.put(letter);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    return wire::getText(in);
}

ClipboardState DesktopClient::clipboard()
{
    auto w = request(DesktopOp::ClipboardRead);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    ClipboardState c;
    c.sequence = in.get<DWORD>();
    c.owner = in.get<HWND>();
    c.open = in.get<bool>();
    c.openerProcess = in.get<DWORD>();
    c.openerWindow = in.get<HWND>();
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        c.entries.push_back(wire::getClipboardEntry(in));
    return c;
}

DWORD DesktopClient::writeClipboard(const std::vector<ClipboardEntry>& entries, HWND owner)
{
    auto w = request(DesktopOp::ClipboardWrite);
    w.put(owner).put(static_cast<std::uint32_t>(entries.size()));
    for (const ClipboardEntry& e : entries)
        wire::putClipboardEntry(w, e);
    std::vector<std::uint8_t> reply;
    if (!call(w, reply))
        return kNoSession;
    return wire::Reader(reply.data(), reply.size()).get<DWORD>();
}

DWORD DesktopClient::writeClipboardText(const std::wstring& text)
{
    return writeClipboard({{CF_UNICODETEXT, utf16Bytes(text)}});
}

DWORD DesktopClient::holdClipboard(bool hold)
{
    auto w = request(DesktopOp::ClipboardHold);
    w.put(hold);
    std::vector<std::uint8_t> reply;
    if (!call(w, reply))
        return kNoSession;
    return wire::Reader(reply.data(), reply.size()).get<DWORD>();
}

std::vector<TrayIconRecord> DesktopClient::trayIcons()
{
    auto w = request(DesktopOp::TrayIcons);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    std::vector<TrayIconRecord> icons;
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        icons.push_back(wire::getTrayIcon(in));
    return icons;
}

std::vector<BalloonRecord> DesktopClient::balloons(bool clear)
{
    auto w = request(DesktopOp::Balloons);
    w.put(clear);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    std::vector<BalloonRecord> list;
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        list.push_back(wire::getBalloon(in));
    return list;
}

int DesktopClient::restartTaskbar()
{
    auto w = request(DesktopOp::TaskbarRestart);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    return wire::Reader(reply.data(), reply.size()).get<int>();
}

bool DesktopClient::clickIcon(HWND window, UINT id, TrayClick click)
{
    auto w = request(DesktopOp::ClickIcon);
    w.put(window).put(id).put(click);
    std::vector<std::uint8_t> reply;
    return call(w, reply) && wire::Reader(reply.data(), reply.size()).get<bool>();
}

bool DesktopClient::chooseMenuItem(std::int64_t id)
{
    auto w = request(DesktopOp::MenuChoose);
    w.put(id).put(std::wstring());
    std::vector<std::uint8_t> reply;
    return call(w, reply) && wire::Reader(reply.data(), reply.size()).get<bool>();
}

bool DesktopClient::chooseMenuItem(const std::wstring& text)
{
    auto w = request(DesktopOp::MenuChoose);
    w.put(std::int64_t{0}).put(text);
    std::vector<std::uint8_t> reply;
    return call(w, reply) && wire::Reader(reply.data(), reply.size()).get<bool>();
}

MenuRecord DesktopClient::lastMenu()
{
    auto w = request(DesktopOp::LastMenu);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    return wire::getMenu(in);
}

std::vector<ShellRecord> DesktopClient::shellLog(bool clear)
{
    auto w = request(DesktopOp::ShellLog);
    w.put(clear);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    std::vector<ShellRecord> log;
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        log.push_back(wire::getShellRecord(in));
    return log;
}

void DesktopClient::setDrive(wchar_t letter, const std::string& hostFolder)
{
    auto w = request(DesktopOp::SetDrive);
    w.put(letter);
    wire::putText(w, hostFolder);
    std::vector<std::uint8_t> reply;
    call(w, reply);
}

std::vector<DriveMapping> DesktopClient::drives()
{
    auto w = request(DesktopOp::Drives);
    std::vector<std::uint8_t> reply;
    call(w, reply);
    wire::Reader in(reply.data(), reply.size());
    std::vector<DriveMapping> list;
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
        DriveMapping d;
        d.letter = in.get<wchar_t>();
        d.hostFolder = wire::getText(in);
        list.push_back(d);
    }
    return list;
}

DWORD DesktopClient::readDisplaySettings(DisplaySettings& settings)
{
    auto w = request(DesktopOp::ReadDisplaySettings);
    std::vector<std::uint8_t> reply;
    if (!call(w, reply))
        return kNoSession;
    wire::Reader in(reply.data(), reply.size());
    const auto error = in.get<DWORD>();
    DisplaySettings read;
    read.highContrast = in.get<bool>();
    read.clientAreaAnimation = in.get<bool>();
    if (error == 0)
        settings = read;
    return error;
}

void DesktopClient::setDisplaySettings(const DisplaySettings& settings)
{
    auto w = request(DesktopOp::SetDisplaySettings);
    w.put(settings.highContrast).put(settings.clientAreaAnimation);
    std::vector<std::uint8_t> reply;
    call(w, reply);
}

void DesktopClient::setFailure(DesktopFail point, DWORD error, std::int32_t count)
{
    auto w = request(DesktopOp::SetFailure);
    w.put(point).put(error).put(count);
    std::vector<std::uint8_t> reply;
    call(w, reply);
}

} // namespace vorna::sim
