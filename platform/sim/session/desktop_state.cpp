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
    Failure& slot = failures_[static_cast<std::size_t>(point)];
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
    if (clipboard_.open && (clipboard_.openerProcess != processId || clipboard_.openerWindow != window))
        return ERROR_ACCESS_DENIED;
    clipboard_.open = true;
    clipboard_.openerProcess = processId;
    clipboard_.openerWindow = window;
    return 0;
}

UINT DesktopState::registerLocked(const std::wstring& name)
{
    if (name.empty())
        return 0;
    const std::wstring key = folded(name);
    for (std::size_t i = 0; i < names_.size(); ++i) {
        if (folded(names_[i]) == key)
            return static_cast<UINT>(kFirstRegistered + i);
    }
    if (names_.size() >= 0x4000)
        return 0;
    names_.push_back(name);
    return static_cast<UINT>(kFirstRegistered + names_.size() - 1);
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
        if (!port_.windowOwner(r.window, owner, simulated))
            r.error = ERROR_INVALID_WINDOW_HANDLE;
        else if (!simulated && !port_.postToWindow(r.window, r.message, r.wParam, r.lParam))
            r.error = ERROR_NOT_ENOUGH_QUOTA;
        std::lock_guard lock(mutex_);
        shellLog_.push_back(r);
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
        if (!port_.windowOwner(r.window, owner, simulated))
            r.error = ERROR_INVALID_WINDOW_HANDLE;
        std::lock_guard lock(mutex_);
        shellLog_.push_back(r);
        out.put(r.error);
        break;
    }
    default: {
        std::lock_guard lock(mutex_);
        switch (op) {
        case DesktopOp::ClipboardOpen: {
            const auto processId = in.get<DWORD>();
            out.put(openLocked(processId, in.get<HWND>()));
            break;
        }
        case DesktopOp::ClipboardClose: {
            const auto processId = in.get<DWORD>();
            if (!clipboard_.open || clipboard_.openerProcess != processId) {
                out.put(DWORD(ERROR_CLIPBOARD_NOT_OPEN));
                break;
            }
            clipboard_.open = false;
            clipboard_.openerProcess = 0;
            clipboard_.openerWindow = nullptr;
            out.put(DWORD(0));
            break;
        }
        case DesktopOp::ClipboardEmpty: {
            const auto processId = in.get<DWORD>();
            DWORD error = 0;
            if (!clipboard_.open || clipboard_.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardEmpty, error)) {
                clipboard_.entries.clear();
                clipboard_.owner = clipboard_.openerWindow;
                ++clipboard_.sequence;
            }
            out.put(error);
            break;
        }
        case DesktopOp::ClipboardSet: {
            const auto processId = in.get<DWORD>();
            ClipboardEntry entry = wire::getClipboardEntry(in);
            DWORD error = 0;
            if (!clipboard_.open || clipboard_.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardWrite, error)) {
                const auto it = std::find_if(clipboard_.entries.begin(), clipboard_.entries.end(),
                                             [&](const ClipboardEntry& e) { return e.format == entry.format; });
                if (it != clipboard_.entries.end())
                    it->data = std::move(entry.data);
                else
                    clipboard_.entries.push_back(std::move(entry));
                ++clipboard_.sequence;
            }
            out.put(error);
            break;
        }
        case DesktopOp::ClipboardGet: {
            const auto processId = in.get<DWORD>();
            const auto format = in.get<UINT>();
            DWORD error = 0;
            const auto it = std::find_if(clipboard_.entries.begin(), clipboard_.entries.end(),
                                         [&](const ClipboardEntry& e) { return e.format == format; });
            if (!clipboard_.open || clipboard_.openerProcess != processId)
                error = ERROR_CLIPBOARD_NOT_OPEN;
            else if (!failLocked(DesktopFail::ClipboardRead, error) && it == clipboard_.entries.end())
                error = ERROR_NOT_FOUND;
            out.put(error).put(error == 0 ? it->data : std::vector<std::uint8_t>{});
            break;
        }
        case DesktopOp::ClipboardNext: {
            const auto processId = in.get<DWORD>();
            const auto after = in.get<UINT>();
            if (!clipboard_.open || clipboard_.openerProcess != processId) {
                out.put(DWORD(ERROR_CLIPBOARD_NOT_OPEN)).put(UINT(0));
                break;
            }
            auto it = clipboard_.entries.begin();
            if (after != 0) {
                it = std::find_if(clipboard_.entries.begin(), clipboard_.entries.end(),
                                  [&](const ClipboardEntry& e) { return e.format == after; });
                if (it != clipboard_.entries.end())
                    ++it;
            }
            out.put(DWORD(0)).put(it == clipboard_.entries.end() ? UINT(0) : it->format);
            break;
        }
        case DesktopOp::ClipboardSequence:
            out.put(clipboard_.sequence);
            break;
        case DesktopOp::ClipboardOwner:
            out.put(clipboard_.owner);
            break;
        case DesktopOp::RegisterName:
            out.put(registerLocked(in.getString()));
            break;
        case DesktopOp::NameOf: {
            const auto atom = in.get<UINT>();
            const bool known = atom >= kFirstRegistered && atom - kFirstRegistered < names_.size();
            out.put(known ? names_[atom - kFirstRegistered] : std::wstring());
            break;
        }
        case DesktopOp::ClipboardRead:
            out.put(clipboard_.sequence).put(clipboard_.owner).put(clipboard_.open).put(clipboard_.openerProcess);
            out.put(clipboard_.openerWindow).put(static_cast<std::uint32_t>(clipboard_.entries.size()));
            for (const ClipboardEntry& e : clipboard_.entries)
                wire::putClipboardEntry(out, e);
            break;
        case DesktopOp::ClipboardWrite: {
            const auto owner = in.get<HWND>();
            const auto count = in.get<std::uint32_t>();
            std::vector<ClipboardEntry> entries;
            for (std::uint32_t i = 0; i < count && in.ok(); ++i)
                entries.push_back(wire::getClipboardEntry(in));
            if (clipboard_.open && clipboard_.openerProcess != kOutsideProcess) {
                out.put(DWORD(ERROR_ACCESS_DENIED));
                break;
            }
            clipboard_.entries = std::move(entries);
            clipboard_.owner = owner;
            clipboard_.sequence += 1 + static_cast<DWORD>(clipboard_.entries.size());
            out.put(DWORD(0));
            break;
        }
        case DesktopOp::ClipboardHold: {
            const bool hold = in.get<bool>();
            if (!hold) {
                if (clipboard_.open && clipboard_.openerProcess == kOutsideProcess)
                    clipboard_.open = false;
                out.put(DWORD(0));
            } else {
                out.put(clipboard_.open ? DWORD(ERROR_ACCESS_DENIED) : openLocked(kOutsideProcess, nullptr));
            }
            break;
        }
        case DesktopOp::TrayIcons:
            out.put(static_cast<std::uint32_t>(icons_.size()));
            for (const TrayIconRecord& t : icons_)
                wire::putTrayIcon(out, t);
            break;
        case DesktopOp::Balloons:
            out.put(static_cast<std::uint32_t>(balloons_.size()));
            for (const BalloonRecord& b : balloons_)
                wire::putBalloon(out, b);
            if (in.get<bool>())
                balloons_.clear();
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
            m.token = nextMenu_++;
            m.open = true;
            if (choiceQueued_) {
                choiceQueued_ = false;
                m.open = false;
                m.chosen = queuedChoice_;
                for (const MenuItemRecord& item : m.items) {
                    if (!queuedText_.empty() && item.text == queuedText_)
                        m.chosen = static_cast<std::int64_t>(item.id);
                }
                if (!queuedText_.empty() && m.chosen < 0)
                    m.chosen = 0; // no such item: the menu is dismissed
            }
            menu_ = m;
            out.put(m.token);
            break;
        }
        case DesktopOp::MenuPoll: {
            const auto token = in.get<std::uint64_t>();
            const bool giveUp = in.get<bool>();
            if (menu_.token == token && menu_.open && giveUp) {
                menu_.open = false;
                menu_.chosen = 0;
            }
            const bool done = menu_.token != token || !menu_.open;
            out.put(done).put(menu_.token == token ? std::max<std::int64_t>(menu_.chosen, 0) : std::int64_t{0});
            break;
        }
        case DesktopOp::MenuChoose: {
            const auto id = in.get<std::int64_t>();
            const std::wstring text = in.getString();
            std::int64_t chosen = id;
            if (!text.empty()) {
                chosen = -1;
                for (const MenuItemRecord& item : menu_.items) {
                    if (item.text == text && (item.flags & MF_SEPARATOR) == 0)
                        chosen = static_cast<std::int64_t>(item.id);
                }
            }
            if (menu_.open) {
                if (chosen < 0) {
                    out.put(false); // no item with that text
                    break;
                }
                menu_.open = false;
                menu_.chosen = chosen;
            } else {
                choiceQueued_ = true;
                queuedChoice_ = id;
                queuedText_ = text;
            }
            out.put(true);
            break;
        }
        case DesktopOp::LastMenu:
            wire::putMenu(out, menu_);
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
            shellLog_.push_back(r);
            out.put(r.error);
            break;
        }
        case DesktopOp::LockWorkStation: {
            ShellRecord r;
            r.kind = ShellRecord::Kind::Lock;
            r.processId = in.get<DWORD>();
            failLocked(DesktopFail::LockWorkStation, r.error);
            shellLog_.push_back(r);
            out.put(r.error);
            break;
        }
        case DesktopOp::ShellLog:
            out.put(static_cast<std::uint32_t>(shellLog_.size()));
            for (const ShellRecord& r : shellLog_)
                wire::putShellRecord(out, r);
            if (in.get<bool>())
                shellLog_.clear();
            break;
        case DesktopOp::SetDrive: {
            const auto letter = static_cast<wchar_t>(std::towupper(in.get<wchar_t>()));
            const std::string folder = wire::getText(in);
            if (folder.empty())
                drives_.erase(letter);
            else
                drives_[letter] = folder;
            break;
        }
        case DesktopOp::Drives:
            out.put(static_cast<std::uint32_t>(drives_.size()));
            for (const auto& [letter, folder] : drives_) {
                out.put(letter);
                wire::putText(out, folder);
            }
            break;
        case DesktopOp::DriveFolder: {
            const auto it = drives_.find(static_cast<wchar_t>(std::towupper(in.get<wchar_t>())));
            wire::putText(out, it == drives_.end() ? std::string() : it->second);
            break;
        }
        case DesktopOp::SetFailure: {
            const auto point = in.get<DesktopFail>();
            Failure f;
            f.error = in.get<DWORD>();
            f.remaining = f.error == 0 ? 0 : in.get<std::int32_t>();
            if (point < DesktopFail::Count)
                failures_[static_cast<std::size_t>(point)] = f;
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
    const bool windowExists = port_.windowOwner(data.window, owner, simulated);
    std::lock_guard lock(mutex_);
    DWORD error = 0;
    if (failLocked(DesktopFail::NotifyIcon, error) || !windowExists) {
        out.put(false);
        return;
    }
    const auto it = std::find_if(icons_.begin(), icons_.end(),
                                 [&](const TrayIconRecord& t) { return t.window == data.window && t.id == data.id; });
    bool ok = true;
    switch (message) {
    case NIM_ADD:
    case NIM_MODIFY: {
        if ((message == NIM_ADD) == (it != icons_.end())) {
            ok = false; // added twice, or changed before it was added
            break;
        }
        TrayIconRecord& icon = it != icons_.end() ? *it : icons_.emplace_back();
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
                balloons_.push_back({data.window, data.id, data.balloonTitle, data.balloonText, data.balloonFlags});
        }
        if (message == NIM_MODIFY)
            ++icon.changes;
        break;
    }
    case NIM_DELETE:
        if (it == icons_.end())
            ok = false;
        else
            icons_.erase(it);
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
        std::lock_guard lock(mutex_);
        // No window named: the first icon there is.
        const auto it = std::find_if(icons_.begin(), icons_.end(), [&](const TrayIconRecord& t) {
            return window == nullptr || (t.window == window && t.id == id);
        });
        if (it == icons_.end() || it->callbackMessage == 0) {
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
        delivered = port_.postToWindow(icon.window, icon.callbackMessage, icon.id, static_cast<LPARAM>(m)) && delivered;
    out.put(delivered);
}

void DesktopState::restartTaskbar(wire::Writer& out)
{
    UINT message = 0;
    {
        std::lock_guard lock(mutex_);
        icons_.clear();
        message = registerLocked(L"TaskbarCreated");
    }
    int told = 0;
    for (HWND window : port_.memberTopLevelWindows())
        told += port_.postToWindow(window, message, 0, 0) ? 1 : 0;
    out.put(told);
}

void DesktopState::processGone(DWORD processId)
{
    std::lock_guard lock(mutex_);
    if (clipboard_.open && clipboard_.openerProcess == processId) {
        clipboard_.open = false; // Windows closes the clipboard of a thread that ends
        clipboard_.openerProcess = 0;
        clipboard_.openerWindow = nullptr;
    }
    std::erase_if(icons_, [&](const TrayIconRecord& t) { return t.processId == processId; });
    if (menu_.open && menu_.processId == processId) {
        menu_.open = false;
        menu_.chosen = 0;
    }
}

void DesktopState::reset()
{
    std::lock_guard lock(mutex_);
    clipboard_ = ClipboardState{};
    icons_.clear();
    balloons_.clear();
    menu_ = MenuRecord{};
    choiceQueued_ = false;
    shellLog_.clear();
    drives_.clear();
    failures_ = {};
    // Registered names stay, as atoms do on Windows until the session ends.
}

} // namespace vorna::sim
