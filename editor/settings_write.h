#pragma once

// Writes to a settings store that are flushed and checked. Qt keeps a store's unsaved values in
// memory, shared by every settings object of the process, so a write that failed to reach the
// disk would still read back as done; here a failed write is undone in memory as well, and
// every later read sees what the store really holds.

#include <QList>
#include <QSettings>
#include <QString>
#include <QVariant>

namespace editor {

struct SettingChange {
    QString key;
    QVariant value; // an invalid value removes the key
};

// Applies the changes in order, flushes the store and reads its status. On failure every key
// is put back as it was and false is returned; the store then holds the old values.
bool writeSettings(QSettings& settings, const QList<SettingChange>& changes);

// One key: set (or removed, for an invalid value), flushed and checked.
inline bool writeSetting(QSettings& settings, const QString& key, const QVariant& value)
{
    return writeSettings(settings, {SettingChange{key, value}});
}

} // namespace editor
