// Per-user preferences of the window: language, theme, the mouse page's live panel and the
// agent's start at logon.

#include "app/app_controller.h"

#include <QSettings>

namespace {

const QStringList& themeNames()
{
    static const QStringList names{QStringLiteral("light"), QStringLiteral("dark"), QStringLiteral("system"),
        QStringLiteral("contrast")};
    return names;
}

} // namespace

QString AppController::language() const
{
    return QSettings().value(QStringLiteral("ui/language"), QStringLiteral("ru")).toString();
}

void AppController::setLanguage(const QString& language)
{
    if (language != QLatin1String("ru") && language != QLatin1String("en"))
        return;
    QSettings().setValue(QStringLiteral("ui/language"), language);
    buildOptionTables();
    emit preferencesChanged();
}

QString AppController::theme() const
{
    const QString value = QSettings().value(QStringLiteral("ui/theme"), QStringLiteral("dark")).toString();
    return themeNames().contains(value) ? value : QStringLiteral("dark");
}

void AppController::setTheme(const QString& theme)
{
    if (!themeNames().contains(theme))
        return;
    QSettings().setValue(QStringLiteral("ui/theme"), theme);
    emit preferencesChanged();
}

bool AppController::mouseLiveExpanded() const
{
    return QSettings().value(QStringLiteral("ui/mouseLiveExpanded"), false).toBool();
}

void AppController::setMouseLiveExpanded(bool expanded)
{
    QSettings settings;
    settings.setValue(QStringLiteral("ui/mouseLiveExpanded"), expanded);
    settings.sync();
    if (settings.status() != QSettings::NoError) {
        m_notice = text("Не удалось сохранить состояние панели ввода.", "Could not save the input panel preference.");
        emit libraryChanged();
    }
    emit preferencesChanged();
}

// The logon start is built with the rest of the preferences page.
bool AppController::startup() const
{
    return false;
}

void AppController::setStartup(bool) {}
