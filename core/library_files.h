// The library on disk: where it lives, the defaults when there is none, and reading, saving and
// restoring it with a ".bak" beside it. Writes are atomic and checked (core/atomic_write.h), so a
// failed save, a full disk included, never leaves a half file.
#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace vorna::core {

// Largest library, ".bak" or preserved file read from disk, in bytes.
inline constexpr qint64 kMaxLibraryFileBytes = 262144;

// What marks a damaged library that a restore moved aside: "profiles-v3.json.damaged-<time>".
inline constexpr char kDamagedSuffix[] = ".damaged-";

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

// Checks `library`, keeps the current file (when it loads as a library) as path + ".bak" and
// writes the new one atomically. A current file that does not load is never overwritten. On
// failure the file and its ".bak" are as they were.
bool saveLibrary(const QString& path, const QJsonObject& library, QString& error);

// The name a damaged library at `path` is moved aside to: path + ".damaged-yyyyMMdd-HHmmss" in
// local time, and "-<attempt>" after it from the second attempt on.
QString setAsideName(const QString& path, const QDateTime& when, int attempt);

// Puts path + ".bak" back in place. A current file that loads is kept as path + ".before-restore";
// one that does not (unreadable, too large, a folder, not a library) is moved aside to the first
// free setAsideName at `now`, returned in `setAside` (empty otherwise). A ".bak" that holds the
// document already in force changes nothing and succeeds. On failure the files are as they were.
bool restoreLibraryBackup(const QString& path, QJsonObject& library, QString& setAside, QString& error,
    const QDateTime& now = QDateTime::currentDateTime());

} // namespace vorna::core
