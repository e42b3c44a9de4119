#include "editor/autostart_store.h"

#include "editor/settings_write.h"

namespace editor {

std::unique_ptr<QSettings> openAutostartStore()
{
#ifdef _WIN32
    return std::make_unique<QSettings>(
        QStringLiteral("HKEY_CURRENT_USER\\Software\\Microsoft\\Windows\\CurrentVersion\\Run"), QSettings::NativeFormat);
#else
    auto store = std::make_unique<QSettings>(QSettings::IniFormat, QSettings::UserScope, QStringLiteral("Microsoft"),
        QStringLiteral("Windows/CurrentVersion/Run"));
    store->setFallbacksEnabled(false); // one key of one user, as in the registry
    return store;
#endif
}

QString autostartCommand(const QString& executablePath)
{
    QString windowsPath = executablePath;
    windowsPath.replace(QLatin1Char('/'), QLatin1Char('\\'));
    return QLatin1Char('"') + windowsPath + QStringLiteral("\" --agent");
}

bool autostartEnabled(const QSettings& store)
{
    return !store.value(QLatin1String(kAutostartValue)).toString().isEmpty();
}

bool writeAutostart(QSettings& store, bool enabled, const QString& command)
{
    const QString key = QString::fromLatin1(kAutostartValue);
    if (!writeSetting(store, key, enabled ? QVariant(command) : QVariant()))
        return false;
    // Qt's registry store reports a refused write but not a value it failed to delete; the
    // registry is read afresh on every read there, so reading back tells what Windows holds.
    return enabled ? store.value(key).toString() == command : !store.contains(key);
}

} // namespace editor
