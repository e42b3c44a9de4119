#include "editor/library_state.h"

#include "core/agent_protocol.h"
#include "core/legacy_profile.h"
#include "core/library_files.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>

namespace editor {

namespace {

// The ".bak" a restore would bring back loads as a library.
bool hasUsableBackup(const LibraryPaths& paths)
{
    QJsonObject backup;
    QString ignored;
    return vorna::core::loadLibrary(paths.current + QStringLiteral(".bak"), backup, ignored);
}

} // namespace

QString damagedLibraryNotice(const QString& file, const QString& problem, bool backupUsable, bool english)
{
    const QString shown = QDir::toNativeSeparators(file);
    if (english) {
        const QString what = QStringLiteral("Settings not loaded: the file \"%1\" cannot be used as a library (%2). ")
                                 .arg(shown, problem);
        return what
            + (backupUsable ? QStringLiteral("Restore the backup on the Profiles page, or move this file to another folder.")
                            : QStringLiteral("There is no backup to restore: move this file to another folder to start "
                                             "from an empty library."));
    }
    const QString what =
        QStringLiteral("Настройки не загружены: файл «%1» не удаётся использовать как набор (%2). ").arg(shown, problem);
    return what
        + (backupUsable ? QStringLiteral("Восстановите резервную копию в разделе профилей или перенесите этот файл в "
                                         "другую папку.")
                        : QStringLiteral("Резервной копии нет: перенесите этот файл в другую папку, чтобы начать с "
                                         "пустого набора."));
}

LibraryPaths libraryPaths()
{
    const QString current = vorna::core::libraryPath();
    return LibraryPaths{
        current,
        QFileInfo(current).absoluteDir().filePath(QStringLiteral("profiles-v2.json")),
        vorna::core::legacyProfilePath(),
    };
}

QString chooseLibrarySource(const LibraryPaths& paths, bool currentExists, bool olderExists, bool testData)
{
    if (currentExists)
        return paths.current;
    if (olderExists)
        return paths.older;
    return testData ? paths.current : paths.legacy;
}

StartupLibrary loadStartupLibrary(const LibraryPaths& paths, bool testData, bool english)
{
    StartupLibrary result{vorna::core::defaultLibrary(), {}, {}};
    const QString source =
        chooseLibrarySource(paths, QFileInfo::exists(paths.current), QFileInfo::exists(paths.older), testData);
    if (!QFileInfo::exists(source))
        return result;

    QString error;
    QJsonObject loaded;
    if (!vorna::core::loadLibrary(source, loaded, error)) {
        result.loadProblem = error;
        result.notice = damagedLibraryNotice(source, error, hasUsableBackup(paths), english);
        return result;
    }
    result.library = loaded;
    // The older file is only read: the converted library goes to the current file beside it.
    if (source != paths.current && !vorna::core::saveLibrary(paths.current, loaded, error)) {
        result.loadProblem = error;
        result.notice = (english ? QStringLiteral("The old file is kept, but the new copy of the settings was not written: ")
                                 : QStringLiteral("Старый файл сохранён, но новая копия настроек не записана: "))
            + error;
    }
    return result;
}

CommitShape commitShape(const QJsonObject& library, const QJsonObject& next)
{
    const QString profile = QStringLiteral("selectedProfile");
    const QString layer = QStringLiteral("selectedLayer");
    return CommitShape{
        next.value(profile) != library.value(profile) || next.value(layer) != library.value(layer),
        next == library,
    };
}

bool storeLibrary(const QString& path, const QJsonObject& next, QString& error)
{
    // Writing the same document again would replace ".bak" with it and lose the version the
    // user could still restore. Only the file itself says whether it holds `next` (after a
    // failed start-up load the window's copy is not what is on disk); the store writes compact
    // JSON, so comparing bytes is enough and costs no second check of the document.
    QFile file(path);
    if (file.open(QIODevice::ReadOnly) && file.size() <= vorna::core::kMaxLibraryFileBytes
        && file.read(vorna::core::kMaxLibraryFileBytes + 1) == QJsonDocument(next).toJson(QJsonDocument::Compact))
        return true;
    file.close();
    return vorna::core::saveLibrary(path, next, error);
}

void pushUndoStep(QList<QJsonObject>& undo, QList<QJsonObject>& redo, const QJsonObject& replaced)
{
    undo.append(replaced);
    while (undo.size() > kMaxUndoSteps)
        undo.removeFirst();
    redo.clear();
}

HistoryFollowUp historyFollowUp(const QJsonObject& before, const QJsonObject& after)
{
    const QString model = QStringLiteral("modelId");
    if (after.value(model) != before.value(model))
        return HistoryFollowUp::SuspendAutoApply;
    if (vorna::protocol::stripRuleNames(after) == vorna::protocol::stripRuleNames(before))
        return HistoryFollowUp::RestoreDirty;
    return HistoryFollowUp::AutoApply;
}

bool autoApplyWanted(const AutoApplyFacts& facts)
{
    const bool wanted = facts.active ? !facts.suspended : facts.pendingApply && !facts.suspended && facts.armed;
    return wanted && facts.connected && facts.agentVersion > vorna::protocol::kOlderEngineVersion;
}

} // namespace editor
