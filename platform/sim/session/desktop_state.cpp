#include "platform/sim/session/desktop_state.h"

#include "platform/sim/win32/win32_api.h"

#include <algorithm>
#include <cwctype>

namespace vorna::sim {
namespace {

// A program outside the session: what a driver's clipboard changes are made as.
constexpr DWORD kOutsideProcess = 0xFFFFFFF0u;
constexpr UINT kFirstRegistered = 0xC000;

std::wstring folded(std::wstring text)
{
    for (wchar_t& c : text)
        c = static_cast<wchar_t>(std::towlower(static_cast<wint_t>(c)));
    return text;
}

} // namespace

namespace wire {

void putText(Writer& w, const std::string& text)
{
    w.put(std::vector<std::uint8_t>(text.begin(), text.end()));
}

std::string getText(Reader& r)
{
    const auto bytes = r.getVector<std::uint8_t>();
    return std::string(bytes.begin(), bytes.end());
}

void putClipboardEntry(Writer& w, const ClipboardEntry& e)
{
    w.put(e.format).put(e.data);
}

ClipboardEntry getClipboardEntry(Reader& r)
{
    ClipboardEntry e;
    e.format = r.get<UINT>();
    e.data = r.getVector<std::uint8_t>();
    return e;
}

void putTrayIcon(Writer& w, const TrayIconRecord& t)
{
    w.put(t.window).put(t.id).put(t.processId).put(t.callbackMessage).put(t.tip).put(t.width).put(t.height).put(t.pixels);
    w.put(t.balloonTitle).put(t.balloonText).put(t.balloonFlags).put(t.changes);
}

TrayIconRecord getTrayIcon(Reader& r)
{
    TrayIconRecord t;
    t.window = r.get<HWND>();
    t.id = r.get<UINT>();
    t.processId = r.get<DWORD>();
    t.callbackMessage = r.get<UINT>();
    t.tip = r.getString();
    t.width = r.get<LONG>();
    t.height = r.get<LONG>();
    t.pixels = r.getVector<std::uint32_t>();
    t.balloonTitle = r.getString();
    t.balloonText = r.getString();
    t.balloonFlags = r.get<DWORD>();
    t.changes = r.get<std::uint32_t>();
    return t;
}

void putBalloon(Writer& w, const BalloonRecord& b)
{
    w.put(b.window).put(b.id).put(b.title).put(b.text).put(b.flags);
}

BalloonRecord getBalloon(Reader& r)
{
    BalloonRecord b;
    b.window = r.get<HWND>();
    b.id = r.get<UINT>();
    b.title = r.getString();
    b.text = r.getString();
    b.flags = r.get<DWORD>();
    return b;
}

void putMenu(Writer& w, const MenuRecord& m)
{
    w.put(m.token).put(m.open).put(m.processId).put(m.owner).put(m.chosen).put(static_cast<std::uint32_t>(m.items.size()));
    for (const MenuItemRecord& item : m.items)
        w.put(item.flags).put(item.id).put(item.text);
}

MenuRecord getMenu(Reader& r)
{
    MenuRecord m;
    m.token = r.get<std::uint64_t>();
    m.open = r.get<bool>();
    m.processId = r.get<DWORD>();
    m.owner = r.get<HWND>();
    m.chosen = r.get<std::int64_t>();
    const auto count = r.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && r.ok(); ++i) {
        MenuItemRecord item;
        item.flags = r.get<UINT>();
        item.id = r.get<std::uint64_t>();
        item.text = r.getString();
        m.items.push_back(item);
    }
    return m;
}

void putShellRecord(Writer& w, const ShellRecord& s)
{
    w.put(s.kind).put(s.processId).put(s.verb).put(s.file).put(s.parameters).put(s.directory).put(s.show).put(s.window);
    w.put(s.message).put(s.wParam).put(s.lParam).put(s.error);
}

ShellRecord getShellRecord(Reader& r)
{
    ShellRecord s;
    s.kind = r.get<ShellRecord::Kind>();
    s.processId = r.get<DWORD>();
    s.verb = r.getString();
    s.file = r.getString();
    s.parameters = r.getString();
    s.directory = r.getString();
    s.show = r.get<std::int32_t>();
    s.window = r.get<HWND>();
    s.message = r.get<UINT>();
    s.wParam = r.get<WPARAM>();
    s.lParam = r.get<LPARAM>();
    s.error = r.get<DWORD>();
    return s;
}

} // namespace wire

bool DesktopState::failLocked(DesktopFail point, DWORD& error)
{
    Failure& slot = m_failures[static_cast<std::size_t>(point)];
    if (slot.remaining == 0)
        return false;
    if (slot.remaining > 0)
        --slot.remaining;
    error = slot.error;
    return true;
}

DWORD DesktopState::openLocked(DWORD processId, HWND window)
{
    DWORD error = 0;
    if (failLocked(DesktopFail::ClipboardOpen, error))
        return error;
    // The window that has it open may open it again; anyone else waits for the close.
    if (m_clipboard.open && (m_clipboard.openerProcess != processId || m_clipboard.openerWindow != window))
        return ERROR_ACCESS_DENIED;
    m_clipboard.open = true;
    m_clipboard.openerProcess = processId;
    m_clipboard.openerWindow = window;
    return 0;
}

UINT DesktopState::registerLocked(const std::wstring& name)
{
    if (name.empty())
        return 0;
    const std::wstring key = folded(name);
    for (std::size_t i = 0; i < m_names.size(); ++i) {
        if (folded(m_names[i]) == key)
            return static_cast<UINT>(kFirstRegistered + i);
    }
    if (m_names.size() >= 0x4000)
        return 0;
    m_names.push_back(name);
    return static_cast<UINT>(kFirstRegistered + m_names.size() - 1);
}

void DesktopState::handle(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply)
{
    wire::Reader in(request.data(), request.size());
    wire::Writer out;
    const auto op = static_cast<DesktopOp>(in.get<std::uint8_t>());
    switch (op) {
    case DesktopOp::NotifyIcon:
        notifyIcon(in, out);
        break;
    case DesktopOp::ClickIcon:
        click(in, out);
        break;
    case DesktopOp::TaskbarRestart:
        restartTaskbar(out);
        break;
    case DesktopOp::PostMessage: {
        ShellRecord r;
        r.kind = ShellRecord::Kind::PostMessage;
        r.processId = in.get<DWORD>();
        r.window = in.get<HWND>();
        r.message = in.get<UINT>();
        r.wParam = in.get<WPARAM>();
        r.lParam = in.get<LPARAM>();
        DWORD owner = 0;
        bool simulated = false;
        if (!m_port.windowOwner(r.window, owner, simulated))
            r.error = ERROR_INVALID_WINDOW_HANDLE;
        else if (!simulated && !m_port.postToWindow(r.window, r.message, r.wParam, r.lParam))
            r.error = ERROR_NOT_ENOUGH_QUOTA;
        std::lock_guard lock(m_mutex);
        m_shellLog.push_back(r);
        out.put(r.error);
        break;
    }
    case DesktopOp::ShowWindow: {
        ShellRecord r;
        r.kind = ShellRecord::Kind::ShowWindow;
        r.processId = in.get<DWORD>();
        r.window = in.get<HWND>();
        r.show = in.get<std::int32_t>();
        DWORD owner = 0;
        bool simulated = false;
        if (!m_port.windowOwner(r.window, owner, simulated))
            r.error = ERROR_INVALID_WINDOW_HANDLE;
        std::lock_guard lock(m_mutex);
        m_shellLog.push_back(r);
        out.put(r.error);
        break;
    }
    default: {
        std::lock_guard lock(m_mutex);
        switch (op) {
        case DesktopOp::ClipboardOpen: {
            const auto processId = in.get<DWORD>();
            out.put(openLocked(processId, in.get<HWND>()));
            break;
        }
        case DesktopOp::ClipboardClose: {
            const auto processId = in.get<DWORD>();
            if (!m_clipboard.open || m_clipboard.openerProcess != processId) {
                out.put(DWORD(ERROR_CLIPBOARD_NOT_OPEN));
                break;
            }
            m_clipboard.open = false;
            m_clipboard.openerProcess = 0;
            m_clipboard.openerWindow = nullptr;
            out.put(DWORD(0));
            break;
        }
        case DesktopOp::ClipboardEmpty: {
            const auto processId = in.get<DWORD>();
            DWORD error = 0;
            if (!m_clipboard.open || m_clipboard.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardEmpty, error)) {
                m_clipboard.entries.clear();
                m_clipboard.owner = m_clipboard.openerWindow;
                ++m_clipboard.sequence;
            }
            out.put(error);
            break;
        }
        case DesktopOp::ClipboardSet: {
            const auto processId = in.get<DWORD>();
            ClipboardEntry entry = wire::getClipboardEntry(in);
            DWORD error = 0;
            if (!m_clipboard.open || m_clipboard.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardWrite, error)) {
                const auto it = std::find_if(m_clipboard.entries.begin(), m_clipboard.entries.end(),
                                             [&](const ClipboardEntry& e) { return e.format == entry.format; });
                if (it != m_clipboard.entries.end())
                    it->data = std::move(entry.data);
                else
                    m_clipboard.entries.push_back(std::move(entry));
                ++m_clipboard.sequence;
            }
            out.put(error);
            break;
        }
        case DesktopOp::ClipboardGet: {
            const auto processId = in.get<DWORD>();
            const auto format = in.get<UINT>();
            DWORD error = 0;
            const auto it = std::find_if(m_clipboard.entries.begin(), m_clipboard.entries.end(),
                                         [&](const ClipboardEntry& e) { return e.format == format; });
            if (!m_clipboard.open || m_clipboard.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardRead, error) && it == m_clipboard.entries.end())
                error = ERROR_NOT_FOUND;
            out.put(error).put(error == 0 ? it->data : std::vector<std::uint8_t>{});
            break;
        }
        case DesktopOp::ClipboardNext: {
            const auto processId = in.get<DWORD>();
            const auto after = in.get<UINT>();
            if (!m_clipboard.open || m_clipboard.openerProcess != processId) {
                out.put(DWORD(ERROR_CLIPBOARD_NOT_OPEN)).put(UINT(0));
                break;
            }
            auto it = m_clipboard.entries.begin();
            if (after != 0) {
                it = std::find_if(m_clipboard.entries.begin(), m_clipboard.entries.end(),
                                  [&](const ClipboardEntry& e) { return e.format == after; });
                if (it != m_clipboard.entries.end())
                    ++it;
            }
            out.put(DWORD(0)).put(it == m_clipboard.entries.end() ? UINT(0) : it->format);
            break;
        }
        case DesktopOp::ClipboardSequence:
            out.put(m_clipboard.sequence);
            break;
        case DesktopOp::ClipboardOwner:
            out.put(m_clipboard.owner);
            break;
        case DesktopOp::RegisterName:
            out.put(registerLocked(in.getString()));
            break;
        case DesktopOp::NameOf: {
            const auto atom = in.get<UINT>();
            const bool known = atom >= kFirstRegistered && atom - kFirstRegistered < m_names.size();
            out.put(known ? m_names[atom - kFirstRegistered] : std::wstring());
            break;
        }
        case DesktopOp::ClipboardRead:
            out.put(m_clipboard.sequence).put(m_clipboard.owner).put(m_clipboard.open).put(m_clipboard.openerProcess);
            out.put(m_clipboard.openerWindow).put(static_cast<std::uint32_t>(m_clipboard.entries.size()));
            for (const ClipboardEntry& e : m_clipboard.entries)
                wire::putClipboardEntry(out, e);
            break;
        case DesktopOp::ClipboardWrite: {
            const auto owner = in.get<HWND>();
            const auto count = in.get<std::uint32_t>();
            std::vector<ClipboardEntry> entries;
            for (std::uint32_t i = 0; i < count && in.ok(); ++i)
                entries.push_back(wire::getClipboardEntry(in));
            if (m_clipboard.open && m_clipboard.openerProcess != kOutsideProcess) {
                out.put(DWORD(ERROR_ACCESS_DENIED));
                break;
            }
            m_clipboard.entries = std::move(entries);
            m_clipboard.owner = owner;
            m_clipboard.sequence += 1 + static_cast<DWORD>(m_clipboard.entries.size());
            out.put(DWORD(0));
            break;
        }
        case DesktopOp::ClipboardHold: {
            const bool hold = in.get<bool>();
            if (!hold) {
                if (m_clipboard.open && m_clipboard.openerProcess == kOutsideProcess)
                    m_clipboard.open = false;
                out.put(DWORD(0));
            } else {
                out.put(m_clipboard.open ? DWORD(ERROR_ACCESS_DENIED) : openLocked(kOutsideProcess, nullptr));
            }
            break;
        }
        case DesktopOp::TrayIcons:
            out.put(static_cast<std::uint32_t>(m_icons.size()));
            for (const TrayIconRecord& t : m_icons)
                wire::putTrayIcon(out, t);
            break;
        case DesktopOp::Balloons:
            out.put(static_cast<std::uint32_t>(m_balloons.size()));
            for (const BalloonRecord& b : m_balloons)
                wire::putBalloon(out, b);
            if (in.get<bool>())
                m_balloons.clear();
            break;
        case DesktopOp::MenuOpen: {
            MenuRecord m;
            m.processId = in.get<DWORD>();
            m.owner = in.get<HWND>();
            const auto count = in.get<std::uint32_t>();
            for (std::uint32_t i = 0; i < count && in.ok(); ++i) {
                MenuItemRecord item;
                item.flags = in.get<UINT>();
                item.id = in.get<std::uint64_t>();
                item.text = in.getString();
                m.items.push_back(item);
            }
            m.token = m_nextMenu++;
            m.open = true;
            if (m_choiceQueued) {
                m_choiceQueued = false;
                m.open = false;
                m.chosen = m_queuedChoice;
                for (const MenuItemRecord& item : m.items) {
                    if (!m_queuedText.empty() && item.text == m_queuedText)
                        m.chosen = static_cast<std::int64_t>(item.id);
                }
                if (!m_queuedText.empty() && m.chosen < 0)
                    m.chosen = 0; // no such item: the menu is dismissed
            }
            m_menu = m;
            out.put(m.token);
            break;
        }
        case DesktopOp::MenuPoll: {
            const auto token = in.get<std::uint64_t>();
            const bool giveUp = in.get<bool>();
            if (m_menu.token == token && m_menu.open && giveUp) {
                m_menu.open = false;
                m_menu.chosen = 0;
            }
            const bool done = m_menu.token != token || !m_menu.open;
            out.put(done).put(m_menu.token == token ? std::max<std::int64_t>(m_menu.chosen, 0) : std::int64_t{0});
            break;
        }
        case DesktopOp::MenuChoose: {
            const auto id = in.get<std::int64_t>();
            const std::wstring text = in.getString();
            std::int64_t chosen = id;
            if (!text.empty()) {
                chosen = -1;
                for (const MenuItemRecord& item : m_menu.items) {
                    if (item.text == text && (item.flags & MF_SEPARATOR) == 0)
                        chosen = static_cast<std::int64_t>(item.id);
                }
            }
            if (m_menu.open) {
                if (chosen < 0) {
                    out.put(false); // no item with that text
                    break;
                }
                m_menu.open = false;
                m_menu.chosen = chosen;
            } else {
                m_choiceQueued = true;
                m_queuedChoice = id;
                m_queuedText = text;
            }
            out.put(true);
            break;
        }
        case DesktopOp::LastMenu:
            wire::putMenu(out, m_menu);
            break;
        case DesktopOp::ShellExecute: {
            ShellRecord r;
            r.kind = ShellRecord::Kind::Execute;
            r.processId = in.get<DWORD>();
            r.verb = in.getString();
            r.file = in.getString();
            r.parameters = in.getString();
            r.directory = in.getString();
            r.show = in.get<std::int32_t>();
            r.error = in.get<DWORD>(); // the file check the caller made
            DWORD forced = 0;
            if (failLocked(DesktopFail::ShellExecute, forced))
                r.error = forced;
            m_shellLog.push_back(r);
            out.put(r.error);
            break;
        }
        case DesktopOp::LockWorkStation: {
            ShellRecord r;
            r.kind = ShellRecord::Kind::Lock;
            r.processId = in.get<DWORD>();
            failLocked(DesktopFail::LockWorkStation, r.error);
            m_shellLog.push_back(r);
            out.put(r.error);
            break;
        }
        case DesktopOp::ShellLog:
            out.put(static_cast<std::uint32_t>(m_shellLog.size()));
            for (const ShellRecord& r : m_shellLog)
                wire::putShellRecord(out, r);
            if (in.get<bool>())
                m_shellLog.clear();
            break;
        case DesktopOp::SetDrive: {
            const auto letter = static_cast<wchar_t>(std::towupper(in.get<wchar_t>()));
            const std::string folder = wire::getText(in);
            if (folder.empty())
                m_drives.erase(letter);
            else
                m_drives[letter] = folder;
            break;
        }
        case DesktopOp::Drives:
            out.put(static_cast<std::uint32_t>(m_drives.size()));
            for (const auto& [letter, folder] : m_drives) {
                out.put(letter);
                wire::putText(out, folder);
            }
            break;
        case DesktopOp::DriveFolder: {
            const auto it = m_drives.find(static_cast<wchar_t>(std::towupper(in.get<wchar_t>())));
            wire::putText(out, it == m_drives.end() ? std::string() : it->second);
            break;
        }
        case DesktopOp::ReadDisplaySettings: {
            DWORD error = 0;
            failLocked(DesktopFail::SystemParameters, error);
            out.put(error).put(m_display.highContrast).put(m_display.clientAreaAnimation);
            break;
        }
        case DesktopOp::SetDisplaySettings:
            m_display.highContrast = in.get<bool>();
            m_display.clientAreaAnimation = in.get<bool>();
            break;
        case DesktopOp::SetFailure: {
            const auto point = in.get<DesktopFail>();
            Failure f;
            f.error = in.get<DWORD>();
            f.remaining = f.error == 0 ? 0 : in.get<std::int32_t>();
            if (point < DesktopFail::Count)
                m_failures[static_cast<std::size_t>(point)] = f;
            break;
        }
        default:
            break;
        }
    }
    }
    reply = out.bytes();
}

void DesktopState::notifyIcon(wire::Reader& in, wire::Writer& out)
{
    const auto message = in.get<DWORD>();
    const auto flags = in.get<UINT>();
    TrayIconRecord data = wire::getTrayIcon(in);
    DWORD owner = 0;
    bool simulated = false;
    const bool windowExists = m_port.windowOwner(data.window, owner, simulated);
    std::lock_guard lock(m_mutex);
    DWORD error = 0;
    if (failLocked(DesktopFail::NotifyIcon, error) || !windowExists) {
        out.put(false);
        return;
    }
    const auto it = std::find_if(m_icons.begin(), m_icons.end(),
                                 [&](const TrayIconRecord& t) { return t.window == data.window && t.id == data.id; });
    bool ok = true;
    switch (message) {
    case NIM_ADD:
    case NIM_MODIFY: {
        if ((message == NIM_ADD) == (it != m_icons.end())) {
            ok = false; // added twice, or changed before it was added
            break;
        }
        TrayIconRecord& icon = it != m_icons.end() ? *it : m_icons.emplace_back();
        icon.window = data.window;
        icon.id = data.id;
        icon.processId = data.processId;
        if (flags & NIF_MESSAGE)
            icon.callbackMessage = data.callbackMessage;
        if (flags & NIF_TIP)
            icon.tip = data.tip;
        if (flags & NIF_ICON) {
            icon.width = data.width;
            icon.height = data.height;
            icon.pixels = data.pixels;
        }
        if (flags & NIF_INFO) {
            icon.balloonTitle = data.balloonTitle;
            icon.balloonText = data.balloonText;
            icon.balloonFlags = data.balloonFlags;
            if (!data.balloonText.empty())
                m_balloons.push_back({data.window, data.id, data.balloonTitle, data.balloonText, data.balloonFlags});
        }
        if (message == NIM_MODIFY)
            ++icon.changes;
        break;
    }
    case NIM_DELETE:
        if (it == m_icons.end())
            ok = false;
        else
            m_icons.erase(it);
        break;
    default:
        ok = false;
    }
    out.put(ok);
}

void DesktopState::click(wire::Reader& in, wire::Writer& out)
{
    const auto window = in.get<HWND>();
    const auto id = in.get<UINT>();
    const auto kind = in.get<TrayClick>();
    TrayIconRecord icon;
    {
        std::lock_guard lock(m_mutex);
        // No window named: the first icon there is.
        const auto it = std::find_if(m_icons.begin(), m_icons.end(), [&](const TrayIconRecord& t) {
            return window == nullptr || (t.window == window && t.id == id);
        });
        if (it == m_icons.end() || it->callbackMessage == 0) {
            out.put(false);
            return;
        }
        icon = *it;
    }
    // What the icon's window hears, in order, as the shell sends it without a version set.
    std::vector<UINT> mouse;
    switch (kind) {
    case TrayClick::Left:
        mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP};
        break;
    case TrayClick::Right:
        mouse = {WM_RBUTTONDOWN, WM_RBUTTONUP};
        break;
    case TrayClick::Double:
        mouse = {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP};
        break;
    }
    bool delivered = true;
    for (UINT m : mouse)
        delivered = m_port.postToWindow(icon.window, icon.callbackMessage, icon.id, static_cast<LPARAM>(m)) && delivered;
    out.put(delivered);
}

void DesktopState::restartTaskbar(wire::Writer& out)
{
    UINT message = 0;
    {
        std::lock_guard lock(m_mutex);
        m_icons.clear();
        message = registerLocked(L"TaskbarCreated");
    }
    int told = 0;
    for (HWND window : m_port.memberTopLevelWindows())
        told += m_port.postToWindow(window, message, 0, 0) ? 1 : 0;
    out.put(told);
}

void DesktopState::processGone(DWORD processId)
{
    std::lock_guard lock(m_mutex);
    if (m_clipboard.open && m_clipboard.openerProcess == processId) {
        m_clipboard.open = false; // Windows closes the clipboard of a thread that ends
        m_clipboard.openerProcess = 0;
        m_clipboard.openerWindow = nullptr;
    }
    std::erase_if(m_icons, [&](const TrayIconRecord& t) { return t.processId == processId; });
    if (m_menu.open && m_menu.processId == processId) {
        m_menu.open = false;
        m_menu.chosen = 0;
    }
}

void DesktopState::reset()
{
    std::lock_guard lock(m_mutex);
    m_clipboard = ClipboardState{};
    m_icons.clear();
    m_balloons.clear();
    m_menu = MenuRecord{};
    m_choiceQueued = false;
    m_shellLog.clear();
    m_drives.clear();
    m_display = DisplaySettings{};
    m_failures = {};
    // Registered names stay, as atoms do on Windows until the session ends.
}

} // namespace vorna::sim
