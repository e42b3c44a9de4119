// The library on disk: where it lives, the defaults when there is none, and reading, saving and
// restoring it with a ".bak" beside it. Writes are atomic, so a failed save never leaves a half
// file.
#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace vorna::core {

// Largest library, ".bak" or preserved file read from disk, in bytes.
inline constexpr qint64 kMaxLibraryFileBytes = 262144;

// "profiles-v3.json" in the test data folder (a valid VORNA_TEST_INSTANCE with an absolute
// VORNA_TEST_DATA), otherwise in the application's local data folder. Creates nothing.
QString libraryPath();

// A profile with ten empty layers.
QJsonObject defaultProfile(const QString& name, const QString& id);

// The library used when there is none: schema 3, the global profile only.
QJsonObject defaultLibrary();

// Reads a library file (at most kMaxLibraryFileBytes), converts a legacy single-mapping profile
// or a schema-2 document to schema 3, and checks it. `library` is assigned only on success.
bool loadLibrary(const QString& path, QJsonObject& library, QString& error);

// Replaces the file at `path` with `bytes` in one step; on failure the old file stays as it was.
bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error);

// Checks `library`, keeps the current file (when it loads as a library) as path + ".bak" and
// writes the new one atomically. A current file that does not load is never overwritten.
bool saveLibrary(const QString& path, const QJsonObject& library, QString& error);

// Puts path + ".bak" back in place, keeping the current file as path + ".before-restore".
// A ".bak" that holds the document already in force changes nothing and succeeds.
bool restoreLibraryBackup(const QString& path, QJsonObject& library, QString& error);

} // namespace vorna::core
