// Per-user preferences of the window: language, theme, the mouse page's live panel and the
// agent's start at sign-in. Nothing is kept in memory: every read asks the store again, and
// every write is flushed and checked, so a preference that was not saved never shows as set.

#include "app/app_controller.h"

#include "editor/autostart_store.h"
#include "editor/settings_write.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

const QString kLanguageKey = QStringLiteral("ui/language");
const QString kThemeKey = QStringLiteral("ui/theme");
const QString kMouseLiveExpandedKey = QStringLiteral("ui/mouseLiveExpanded");

const QStringList& themeNames()
{
    static const QStringList names{QStringLiteral("light"), QStringLiteral("dark"), QStringLiteral("system"),
        QStringLiteral("contrast")};
    return names;
}

} // namespace

// Returned as stored: only "en" means English; any other value, "de" included, means Russian.
QString AppController::language() const
{
    return QSettings().value(kLanguageKey, QStringLiteral("ru")).toString();
}

void AppController::setLanguage(const QString& language)
{
    if (language != QLatin1String("ru") && language != QLatin1String("en"))
        return;
    // A new macro's name that the user left as given is the given name of the new language.
    const bool givenMacroName = m_macroNameGiven && m_macroIndex < 0 && m_macroName == newMacroName();
    QSettings settings;
    const bool saved = editor::writeSetting(settings, kLanguageKey, language);
    if (givenMacroName)
        m_macroName = newMacroName();
    // The texts follow the stored language, the old one when the write failed.
    m_notice = saved ? QString() : text("Не удалось сохранить язык интерфейса.", "Could not save the interface language.");
    buildOptionTables();
    if (!connected())
        m_status = englishText() ? QStringLiteral("Engine not connected") : QStringLiteral("Движок не подключён");
    emit stateChanged();
    emit preferencesChanged();
    emit libraryChanged();
    emit macroChanged();
}

// Returned as stored; a value that is no theme leaves the theme picker without a selection.
QString AppController::theme() const
{
    return QSettings().value(kThemeKey, QStringLiteral("dark")).toString();
}

void AppController::setTheme(const QString& theme)
{
    if (!themeNames().contains(theme))
        return;
    QSettings settings;
    if (!editor::writeSetting(settings, kThemeKey, theme)) {
        m_notice = text("Не удалось сохранить оформление.", "Could not save the theme.");
        emit libraryChanged();
    }
    emit preferencesChanged();
}

bool AppController::mouseLiveExpanded() const
{
    return QSettings().value(kMouseLiveExpandedKey, false).toBool();
}

void AppController::setMouseLiveExpanded(bool expanded)
{
    if (expanded == mouseLiveExpanded())
        return;
    QSettings settings;
    if (!editor::writeSetting(settings, kMouseLiveExpandedKey, expanded)) {
        m_notice = text("Не удалось сохранить состояние панели ввода.", "Could not save the input panel preference.");
        emit libraryChanged();
    }
    emit preferencesChanged();
}

bool AppController::startup() const
{
    return editor::autostartEnabled(*editor::openAutostartStore());
}

void AppController::setStartup(bool enabled)
{
    const std::unique_ptr<QSettings> store = editor::openAutostartStore();
    if (!editor::writeAutostart(*store, enabled, editor::autostartCommand(QCoreApplication::applicationFilePath()))) {
        // One text in both languages.
        m_notice = QStringLiteral("Не удалось изменить автозапуск");
        emit libraryChanged();
    }
    emit preferencesChanged();
}
