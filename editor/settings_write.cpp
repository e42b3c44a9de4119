#include "editor/settings_write.h"

namespace editor {
namespace {

void apply(QSettings& settings, const SettingChange& change)
{
    if (change.value.isValid())
        settings.setValue(change.key, change.value);
    else
        settings.remove(change.key);
}

} // namespace

bool writeSettings(QSettings& settings, const QList<SettingChange>& changes)
{
    QList<SettingChange> before;
    before.reserve(changes.size());
    for (const SettingChange& change : changes)
        before.append({change.key, settings.contains(change.key) ? settings.value(change.key) : QVariant()});
    for (const SettingChange& change : changes)
        apply(settings, change);
    settings.sync();
    if (settings.status() == QSettings::NoError)
        return true;
    // Last change first, so a key changed twice ends at its first old value.
    for (auto it = before.crbegin(); it != before.crend(); ++it)
        apply(settings, *it);
    return false;
}

} // namespace editor
