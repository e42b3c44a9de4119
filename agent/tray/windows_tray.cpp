// The tray's life and the state the tick sets: icon index, tooltip and the stopped balloon.
#include "agent/tray/windows_tray.h"

#include "agent/tray/per_monitor_dpi.h"
#include "agent/tray/tray_texts.h"
#include "platform/qt_message_pump.h"

namespace {

const wchar_t kClassName[] = L"Vorna.InputTrellan.Tray";

// Copies at most capacity - 1 UTF-16 units of the text, NUL-terminated: Windows counts the
// field in UTF-16 units on every platform.
template <std::size_t N>
void copyField(WCHAR (&field)[N], const QString& text)
{
    const int written = text.left(static_cast<qsizetype>(N - 1)).toWCharArray(field);
    field[written] = 0;
}

} // namespace

WindowsTray::WindowsTray() = default;

WindowsTray::~WindowsTray()
{
    if (m_window != nullptr) {
        NOTIFYICONDATAW data = notifyData(0);
        Shell_NotifyIconW(NIM_DELETE, &data);
        DestroyWindow(m_window);
    }
    for (HICON icon : m_icons) {
        if (icon != nullptr)
            DestroyIcon(icon);
    }
}

NOTIFYICONDATAW WindowsTray::notifyData(UINT flags) const
{
    NOTIFYICONDATAW data{};
    data.cbSize = sizeof data; // 976 bytes on x86-64 Windows
    data.hWnd = m_window;
    data.uID = vorna::tray::kTrayIconId;
    data.uFlags = flags;
    return data;
}

void WindowsTray::create()
{
    if (m_window != nullptr || !qEnvironmentVariableIsEmpty("VORNA_TEST_INSTANCE"))
        return; // test instances have no tray
    const PerMonitorDpiScope dpi;
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &WindowsTray::windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.lpszClassName = kClassName;
    if (RegisterClassW(&windowClass) == 0 && GetLastError() != ERROR_CLASS_ALREADY_EXISTS)
        return;
    m_window = CreateWindowExW(0, kClassName, L"Vorna Input Trellan", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               GetModuleHandleW(nullptr), this);
    m_taskbarCreatedMessage = RegisterWindowMessageW(L"TaskbarCreated");
    if (m_window == nullptr)
        return;
    vorna::platform::pumpWin32MessagesInQtLoop(this); // the icon's clicks come as window messages
    rebuildIcons();
    addIcon();
}

void WindowsTray::addIcon()
{
    NOTIFYICONDATAW data = notifyData(NIF_MESSAGE | NIF_ICON | NIF_TIP);
    data.uCallbackMessage = vorna::tray::kTrayCallbackMessage;
    data.hIcon = m_icons[m_iconState];
    copyField(data.szTip, m_toolTip.isEmpty() ? vorna::tray::kDefaultToolTip : m_toolTip);
    m_iconAdded = Shell_NotifyIconW(NIM_ADD, &data) != FALSE;
}

quint32 WindowsTray::iconIndex(bool active, bool attention)
{
    return attention ? 2 : (active ? 1 : 0);
}

void WindowsTray::setState(quint32 index)
{
    if (index == m_iconState || index >= m_icons.size())
        return;
    m_iconState = index;
    if (m_window == nullptr || !m_iconAdded || m_icons[index] == nullptr)
        return;
    NOTIFYICONDATAW data = notifyData(NIF_ICON);
    data.hIcon = m_icons[index];
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void WindowsTray::setToolTip(const QString& text)
{
    if (text == m_toolTip)
        return;
    m_toolTip = text;
    if (m_window == nullptr || !m_iconAdded)
        return;
    NOTIFYICONDATAW data = notifyData(NIF_TIP);
    copyField(data.szTip, text);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}

void WindowsTray::notifyStopped(bool stopped)
{
    if (stopped && !m_stoppedShown)
        showStoppedBalloon();
    m_stoppedShown = stopped;
}

void WindowsTray::showStoppedBalloon()
{
    if (m_window == nullptr || !m_iconAdded)
        return;
    NOTIFYICONDATAW data = notifyData(NIF_INFO);
    data.dwInfoFlags = NIIF_INFO;
    copyField(data.szInfoTitle, vorna::tray::kTrayTitle);
    copyField(data.szInfo, vorna::tray::trayTexts(vorna::tray::trayLanguage()).balloon);
    Shell_NotifyIconW(NIM_MODIFY, &data);
}
