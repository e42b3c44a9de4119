// The tray's words and menu ids. Pause and enable have ids of their own, so the item clicked is
// the item done even when the state changed while the menu was open.
#pragma once

#include <QString>

namespace vorna::tray {

enum MenuId : unsigned {
    kMenuDismissed = 0,
    kMenuOpen = 1,
    kMenuPause = 2,
    kMenuQuit = 3,
    kMenuEnable = 4,
};

struct TrayTexts {
    QString open;
    QString pause;
    QString enable;
    QString quit;
    QString balloon;
};

// "en" gives English, anything else Russian.
TrayTexts trayTexts(const QString& language);
// The "ui/language" setting of the per-user settings store (default "ru").
QString trayLanguage();

// The icon's id and the message its mouse events arrive with.
inline constexpr unsigned kTrayIconId = 1;
inline constexpr unsigned kTrayCallbackMessage = 0x805B;

inline const QString kTrayTitle = QStringLiteral("Vorna Input Trellan");
// Shown until the tick sets a tooltip; Russian whatever the language.
inline const QString kDefaultToolTip = QStringLiteral("Vorna Input Trellan · На паузе");

} // namespace vorna::tray
