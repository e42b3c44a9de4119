// The notification area and popup menus of this process.
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/stand_ins/gdi_objects.h"
#include "platform/sim/win32/win32_api.h"

#include <chrono>
#include <cwchar>
#include <map>
#include <mutex>
#include <unistd.h>

namespace {

using vorna::sim::DesktopClient;
using vorna::sim::MenuItemRecord;
using vorna::sim::processSession;

struct Menus {
    std::mutex mutex;
    std::map<HMENU, std::vector<MenuItemRecord>> table;
    std::uintptr_t next = 0x7D0000;
};

Menus& menus()
{
    static auto* instance = new Menus;
    return *instance;
}

std::wstring field(const WCHAR* text, std::size_t capacity)
{
    return std::wstring(text, wcsnlen(text, capacity));
}

// An open menu that nobody answers is dismissed after this long, as a user walking away would.
constexpr auto kMenuPatience = std::chrono::seconds(60);

} // namespace

BOOL WINAPI Shell_NotifyIconW(DWORD dwMessage, PNOTIFYICONDATAW lpData)
{
    if (lpData == nullptr || lpData->cbSize != sizeof(NOTIFYICONDATAW)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    vorna::sim::TrayIconRecord record;
    record.window = lpData->hWnd;
    record.id = lpData->uID;
    record.processId = DWORD(::getpid());
    record.callbackMessage = lpData->uCallbackMessage;
    record.tip = field(lpData->szTip, std::size(lpData->szTip));
    if ((lpData->uFlags & NIF_ICON) != 0)
        vorna::sim::readIcon(lpData->hIcon, record.width, record.height, record.pixels);
    record.balloonTitle = field(lpData->szInfoTitle, std::size(lpData->szInfoTitle));
    record.balloonText = field(lpData->szInfo, std::size(lpData->szInfo));
    record.balloonFlags = lpData->dwInfoFlags;
    if (!DesktopClient(processSession()).notifyIcon(dwMessage, lpData->uFlags, record)) {
        SetLastError(ERROR_GEN_FAILURE);
        return FALSE;
    }
    return TRUE;
}

HMENU WINAPI CreatePopupMenu()
{
    Menus& m = menus();
    std::lock_guard lock(m.mutex);
    const auto menu = reinterpret_cast<HMENU>(m.next += 16);
    m.table[menu];
    return menu;
}

BOOL WINAPI AppendMenuW(HMENU hMenu, UINT uFlags, UINT_PTR uIDNewItem, LPCWSTR lpNewItem)
{
    Menus& m = menus();
    std::lock_guard lock(m.mutex);
    const auto it = m.table.find(hMenu);
    if (it == m.table.end()) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    const bool separator = (uFlags & MF_SEPARATOR) != 0;
    it->second.push_back({uFlags, separator ? 0 : uIDNewItem, separator || lpNewItem == nullptr ? L"" : lpNewItem});
    return TRUE;
}

BOOL WINAPI DestroyMenu(HMENU hMenu)
{
    Menus& m = menus();
    std::lock_guard lock(m.mutex);
    if (m.table.erase(hMenu) == 0) {
        SetLastError(ERROR_INVALID_MENU_HANDLE);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI TrackPopupMenu(HMENU hMenu, UINT uFlags, int, int, int, HWND hWnd, const RECT*)
{
    std::vector<MenuItemRecord> items;
    {
        Menus& m = menus();
        std::lock_guard lock(m.mutex);
        const auto it = m.table.find(hMenu);
        if (it == m.table.end()) {
            SetLastError(ERROR_INVALID_MENU_HANDLE);
            return FALSE;
        }
        items = it->second;
    }
    if (!IsWindow(hWnd)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    DesktopClient desktop(processSession());
    const std::uint64_t token = desktop.openMenu(hWnd, items);
    const auto patience = std::chrono::steady_clock::now() + kMenuPatience;
    std::int64_t chosen = 0;
    for (;;) {
        // The modal loop: this thread's other messages go on being dispatched meanwhile.
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (desktop.pollMenu(token, std::chrono::steady_clock::now() >= patience, chosen))
            break;
        MsgWaitForMultipleObjectsEx(0, nullptr, 5, QS_ALLINPUT, 0);
    }
    if ((uFlags & TPM_RETURNCMD) != 0)
        return static_cast<BOOL>(chosen);
    if (chosen != 0 && (uFlags & TPM_NONOTIFY) == 0)
        PostMessageW(hWnd, 0x0111 /* WM_COMMAND */, static_cast<WPARAM>(chosen), 0);
    return chosen != 0 ? TRUE : FALSE;
}
