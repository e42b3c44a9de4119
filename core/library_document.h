// The library document (schema 3): its limits and its one schema check. Every path that takes a
// library (load, import, the agent's configure request) runs the same check, which never changes
// the document.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QtGlobal>

namespace vorna::core {

inline constexpr int kLibrarySchemaVersion = 3;
inline constexpr int kMaxProfiles = 16;
inline constexpr int kLayersPerProfile = 10;
inline constexpr int kMaxLibraryRules = 1024;
// Largest library as compact JSON; the file itself may be a little larger (see library_files.h).
inline constexpr qsizetype kMaxLibraryJsonBytes = 261120;

// The one schema check of a library document (schema 3, or the older schema 2): every key,
// limit and cross-reference, and the rules in force for every profile and layer. Clears
// `error` on entry; on failure sets it to the text of the first failing check. Never changes
// the document.
bool validateLibrary(const QJsonObject& library, QString& error);

// The same check under the name some callers know it by; the conversion of schema 2 is the
// loader's (loadLibrary), not this function's.
inline bool migrateLibrary(const QJsonObject& library, QString& error)
{
    return validateLibrary(library, error);
}

} // namespace vorna::core
