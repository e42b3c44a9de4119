#pragma once

// The edited library's bookkeeping as plain functions: where the start-up load reads from, the
// one store call every commit, undo and redo goes through, the undo and redo stacks and when an
// edit is applied by itself. The controller's
// part file only calls these and emits.

#include <QJsonObject>
#include <QList>
#include <QString>

namespace editor {

// Undo and redo together never hold more documents than this.
inline constexpr int kMaxUndoSteps = 30;

// ---- Start-up load ----

struct LibraryPaths {
    QString current; // "profiles-v3.json"
    QString older;   // "profiles-v2.json" beside it
    QString legacy;  // "profile-p0.json"
};

// The three files of this user (or of this test instance).
LibraryPaths libraryPaths();

// The file the start-up load reads: the current file if it exists, else the older one if it
// exists, else the legacy file outside test instances; a test instance falls back to the
// current file, so it never reads the user's legacy settings.
QString chooseLibrarySource(const LibraryPaths& paths, bool currentExists, bool olderExists, bool testData);

struct StartupLibrary {
    QJsonObject library;  // the document to edit (the default library when nothing loads)
    QString loadProblem;  // non-empty when the file could not be loaded or the new copy written
    QString notice;       // what the user is told about it
};

// The notice for a library file that does not load: names the file and the problem, and says
// what the user can do about it: restore the backup (when there is one that loads) or move the
// file away; edits are refused while it stands there.
QString damagedLibraryNotice(const QString& file, const QString& problem, bool backupUsable, bool english);

// Loads the library for the settings window: reads the chosen source, converting older schemas,
// and writes the result to the current file when it came from an older one (which stays as it
// is). A missing source gives the default library and writes nothing. The notice is in English
// when `english` holds, in Russian otherwise.
StartupLibrary loadStartupLibrary(const LibraryPaths& paths, bool testData, bool english);

// ---- Commit ----

struct CommitShape {
    bool selectionMoved = false; // "selectedProfile" or "selectedLayer" differ
    bool unchanged = false;      // the whole document is equal
};

CommitShape commitShape(const QJsonObject& library, const QJsonObject& next);

// Saves `next` to `path` (checked, previous file kept as ".bak", written atomically), unless the
// file already holds exactly this document: then nothing is written and ".bak" keeps the
// version before it.
bool storeLibrary(const QString& path, const QJsonObject& next, QString& error);

// ---- Undo and redo ----

// A changing commit: the replaced document goes on the undo stack (the oldest dropped beyond
// kMaxUndoSteps) and whatever was undone is gone.
void pushUndoStep(QList<QJsonObject>& undo, QList<QJsonObject>& redo, const QJsonObject& replaced);

// What an undo or redo must do once the document is swapped.
enum class HistoryFollowUp {
    SuspendAutoApply, // the device model changed: the user applies by hand
    RestoreDirty,     // only rule names changed: nothing to apply
    AutoApply,
};

HistoryFollowUp historyFollowUp(const QJsonObject& before, const QJsonObject& after);

// ---- Automatic apply ----

struct AutoApplyFacts {
    bool active = false;        // the agent reports mappings active
    bool armed = false;         // the agent reports a configured library
    bool suspended = false;     // automatic apply is off until the next explicit apply
    bool pendingApply = false;  // an earlier automatic apply is not confirmed yet
    bool connected = false;
    int agentVersion = 0;
};

// Whether an edit is sent to the agent by itself: while mappings are active unless suspended;
// while they are not, only to follow up an unconfirmed automatic apply of an armed agent; and
// only to a connected agent that understands "configure".
bool autoApplyWanted(const AutoApplyFacts& facts);

} // namespace editor
