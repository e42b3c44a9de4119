// Automatic profile choice: which profile is in force for the foreground window (or the window
// under the cursor), decided from plain window descriptions so that it is tested without
// windows.
#pragma once

#include <QJsonObject>

namespace vorna::core {

// The profile in force: the stored selection when automatic choice is off, otherwise the best
// profile whose application and window condition match the foreground window (or the window
// under the cursor, for conditions that ask for it); 0, the global profile, when none matches.
// A window description holds "executable" (full path), "title" and "class".
int resolveAutomaticProfile(const QJsonObject& library, const QJsonObject& foreground,
                            const QJsonObject& underCursor);

} // namespace vorna::core
