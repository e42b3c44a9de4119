// The agent's notification-area icon: three state icons (off, active, attention) drawn from
// the program's icon with a coloured badge, the tooltip, the "mappings stopped" balloon, and a
// menu whose choices leave as signals. The agent's tick drives it; it never looks at the
// engine itself. A test instance (VORNA_TEST_INSTANCE set) has no tray at all.
#pragma once

#include "platform/win32.h"

#include <QObject>
#include <QString>
#include <array>

class WindowsTray : public QObject {
    Q_OBJECT

public:
    WindowsTray();
    ~WindowsTray() override;

    // Creates the hidden window and adds the icon; once.
    void create();
    // 2 when attention, else 1 when active, else 0.
    static quint32 iconIndex(bool active, bool attention);
    void setState(quint32 index);
    // Shown cut to its first 127 UTF-16 units; the same text again sends nothing.
    void setToolTip(const QString& text);
    // Shows the stopped balloon once per stop: on the first call with stopped after one without.
    void notifyStopped(bool stopped);
    void showStoppedBalloon();

signals:
    void openRequested();
    void pauseRequested();
    void enableRequested();
    void exitRequested();

private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT handleMessage(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void showMenu();
    void addIcon();
    void rebuildIcons();
    HICON makeIcon(std::uint32_t colour) const;
    NOTIFYICONDATAW notifyData(UINT flags) const;

    quint32 m_iconState = 0;
    bool m_stoppedShown = false;
    HWND m_window = nullptr;
    UINT m_taskbarCreatedMessage = 0;
    std::array<HICON, 3> m_icons{};
    bool m_iconAdded = false;
    QString m_toolTip;
};
