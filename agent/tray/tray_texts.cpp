#include "agent/tray/tray_texts.h"

#include <QSettings>

namespace vorna::tray {

TrayTexts trayTexts(const QString& language)
{
    if (language == QLatin1String("en"))
        return {QStringLiteral("Open settings"), QStringLiteral("Pause mappings"), QStringLiteral("Enable mappings"),
                QStringLiteral("Disable and quit"),
                QStringLiteral("Mappings stopped. Enable them again in the app or the tray menu")};
    return {QStringLiteral("Открыть настройки"), QStringLiteral("Приостановить назначения"),
            QStringLiteral("Включить назначения"), QStringLiteral("Отключить и выйти"),
            QStringLiteral("Назначения остановлены. Включить снова — в окне программы или в меню значка")};
}

QString trayLanguage()
{
    return QSettings().value(QStringLiteral("ui/language"), QStringLiteral("ru")).toString();
}

} // namespace vorna::tray
