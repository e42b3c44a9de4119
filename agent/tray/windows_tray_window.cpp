// The tray's hidden window: the icon's mouse messages, the shell's restart, display changes,
// and the right-click menu.
#include "agent/tray/per_monitor_dpi.h"
#include "agent/tray/tray_texts.h"
#include "agent/tray/windows_tray.h"

#include <string>

LRESULT CALLBACK WindowsTray::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(window, message, wParam, lParam);
    }
    auto* tray = reinterpret_cast<WindowsTray*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (tray == nullptr)
        return DefWindowProcW(window, message, wParam, lParam);
    return tray->handleMessage(window, message, wParam, lParam);
}

LRESULT WindowsTray::handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (m_taskbarCreatedMessage != 0 && message == m_taskbarCreatedMessage) {
        // The shell was restarted and has forgotten the icon.
        m_iconAdded = false;
        rebuildIcons();
        addIcon();
        return 0;
    }
    if (message == WM_DPICHANGED || message == WM_SETTINGCHANGE) {
        rebuildIcons();
        return DefWindowProcW(window, message, wParam, lParam);
    }
    if (message == vorna::tray::kTrayCallbackMessage) {
        switch (static_cast<UINT>(lParam)) {
        case WM_LBUTTONUP:
        case WM_LBUTTONDBLCLK:
            emit openRequested();
            return 0;
        case WM_RBUTTONUP:
            showMenu();
            return 0;
        default:
            break;
        }
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

void WindowsTray::showMenu()
{
    const PerMonitorDpiScope dpi;
    const vorna::tray::TrayTexts texts = vorna::tray::trayTexts(vorna::tray::trayLanguage());
    HMENU menu = CreatePopupMenu();
    UINT chosen = vorna::tray::kMenuDismissed;
    if (menu != nullptr) {
        const bool active = m_iconState == 1;
        const std::wstring open = texts.open.toStdWString();
        const std::wstring second = (active ? texts.pause : texts.enable).toStdWString();
        const std::wstring quit = texts.quit.toStdWString();
        AppendMenuW(menu, MF_STRING, vorna::tray::kMenuOpen, open.c_str());
        AppendMenuW(menu, MF_STRING, active ? vorna::tray::kMenuPause : vorna::tray::kMenuEnable, second.c_str());
        AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
        AppendMenuW(menu, MF_STRING, vorna::tray::kMenuQuit, quit.c_str());
        POINT cursor{};
        GetCursorPos(&cursor);
        SetForegroundWindow(m_window);
        chosen = static_cast<UINT>(
            TrackPopupMenu(menu, TPM_RIGHTBUTTON | TPM_NONOTIFY | TPM_RETURNCMD, cursor.x, cursor.y, 0, m_window, nullptr));
        DestroyMenu(menu);
        // Lets the menu close properly when the user clicks elsewhere.
        PostMessageW(m_window, WM_NULL, 0, 0);
    }
    // The item clicked decides, not the state now: it may have changed while the menu was open.
    switch (chosen) {
    case vorna::tray::kMenuOpen:
        emit openRequested();
        break;
    case vorna::tray::kMenuPause:
        emit pauseRequested();
        break;
    case vorna::tray::kMenuEnable:
        emit enableRequested();
        break;
    case vorna::tray::kMenuQuit:
        emit exitRequested();
        break;
    default:
        break;
    }
}
