#pragma once

// Moving one profile or one layer between libraries, and reading a whole library file back.
//
// A package file is a small envelope, {"library":…,"packageVersion":1,"scope":"profile"|"layer"},
// around a complete library that passes the core's check and holds only what the exported
// profile or layer needs: the rules in force there, and the custom actions and macros those
// rules reach, compacted and renumbered from slot 1. Reading a package merges it into a copy of
// the current library; a file without "packageVersion" is a whole library ("collection") that
// replaces the current one. Nothing here changes the caller's library or shows anything: every
// function returns false with one English message in `error` when it fails.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace library {

// Largest package or collection file read or written, in bytes.
inline constexpr qint64 kMaxPackageBytes = 262144;

// ---- Export ----

// The package library for `scope` ("profile" or "layer") of the selected profile and layer of
// `source`: the rules and motion in force there, with only the actions and macros they use.
bool buildPackage(const QJsonObject& source, const QString& scope, QJsonObject& package, QString& error);

// The envelope around `package` as compact JSON (keys in ascending order), refused when it is
// larger than kMaxPackageBytes.
bool encodePackage(const QJsonObject& package, const QString& scope, QByteArray& bytes, QString& error);

// buildPackage and encodePackage, then an atomic write to `path`; on failure an existing file
// there stays as it was.
bool exportPackage(const QString& path, const QJsonObject& source, const QString& scope, QString& error);

// The whole library as its "collection" export writes it: every profile's "application" cut to
// its file name (after the last "/" or "\", whatever the host) and "automatic" false.
QJsonObject collectionExport(const QJsonObject& library);

// ---- Import ----

// A package's bytes: at most kMaxPackageBytes.
bool readPackageFile(const QString& path, QByteArray& bytes, QString& error);

// The complete library that importing the envelope `envelope` into `current` produces: for
// "profile" the package's profile appended under a fresh id and selected; for "layer" the
// selected layer replaced; the package's actions and macros merged into the lists (equal
// entries reuse their slot) and its references renumbered to match. `scope` receives the
// envelope's scope text as soon as it is read; `result` is written only on success.
bool mergePackage(const QJsonObject& envelope, const QJsonObject& current, QJsonObject& result, QString& scope,
                  QString& error);

// Reads `path` and returns in `result` the library that accepting it would commit: a package
// merged into `current` (mergePackage), or a whole library file loaded, converted and checked
// like the library file itself (scope "collection").
bool importPackage(const QString& path, const QJsonObject& current, QJsonObject& result, QString& scope,
                   QString& error);

// ---- The library's own files ----

// Whether `path` names the live library file `libraryFile` or one of the copies the library
// store keeps beside it (".bak", ".before-restore", a damaged file moved aside): an export must
// never replace them.
bool isLibraryStoreFile(const QString& path, const QString& libraryFile);

} // namespace library
