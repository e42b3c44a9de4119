// Export, import and backup restore. An import is two steps: the preview reads and checks the
// file and keeps the library it would produce as the pending import, changing nothing; only
// acceptance commits it, whole, after pausing the mappings. Neither import nor restore applies
// the library: it reaches the agent when the user applies or enables mappings.

#include "app/app_controller.h"

#include "core/library_files.h"
#include "editor/import_preview.h"
#include "editor/packages.h"

#include <QDir>

namespace {

// The rule editor after the library under it was replaced: nothing loaded from the old one.
void clearRuleEditor(QString& targetId, QJsonObject& trigger, bool& keepOriginal)
{
    targetId = QStringLiteral("unchanged");
    trigger = QJsonObject();
    keepOriginal = false;
}

} // namespace

void AppController::exportProfiles(const QUrl& path, const QString& scope)
{
    const QString file = localPath(path);
    QString error;
    if (file.isEmpty()) {
        m_notice = text("Экспорт не выполнен: не выбран файл на этом компьютере. Выберите папку и введите имя файла.",
                        "Nothing was exported: no file on this computer was chosen. Choose a folder and type a file name.");
    } else if (library::isLibraryStoreFile(file, vorna::core::libraryPath())) {
        // Writing an export there would replace the library in use, or the copy a restore needs.
        m_notice = text("Экспорт не может заменить файл текущего набора или его резервную копию. Выберите другой файл.",
                        "An export cannot replace the library file in use or its backup. Choose another file.");
    } else if (scope == QLatin1String("collection")) {
        m_notice = vorna::core::saveLibrary(file, library::collectionExport(m_library), error)
            ? text("Экспорт сохранён. Условия используют имена программ; пути запуска и шаблоны сохранены.",
                   "Exported. Profile matching uses application names; launch paths and templates remain.")
            : error;
    } else {
        m_notice = library::exportPackage(file, m_library, scope, error)
            ? text("Экспорт сохранён вместе с нужными действиями и макросами.",
                   "Scoped export saved with its referenced actions and macros.")
            : error;
    }
    emit libraryChanged();
}

void AppController::previewImport(const QUrl& path)
{
    discardPendingImport();
    QJsonObject result;
    QString scope;
    QString error;
    if (!library::importPackage(localPath(path), m_library, result, scope, error)) {
        m_notice = error;
        emit libraryChanged();
        return;
    }
    result.insert(QStringLiteral("automatic"), false);
    m_pendingImport = result;
    m_importPreview = editor::importPreviewText(result, scope, englishText());
    emit libraryChanged();
}

void AppController::acceptImport()
{
    if (m_pendingImport.isEmpty())
        return;
    pause();
    // The commit writes the file before it touches memory: a failed save leaves the library,
    // the history and the pending import as they were, so the user can try again.
    if (!commitLibrary(QJsonObject(m_pendingImport), false)) {
        emit libraryChanged();
        return;
    }
    discardPendingImport();
    // The agent was paused: whatever it ran is no longer in force, even when the imported
    // library equalled this one.
    m_dirty = true;
    clearRuleEditor(m_targetId, m_trigger, m_keepOriginal);
    refreshRuleSelection();
    editMacro(-1);
    emit mappingChanged();
    emit libraryChanged();
}

void AppController::restoreBackup()
{
    pause();
    QJsonObject restored;
    QString setAside;
    QString error;
    if (!vorna::core::restoreLibraryBackup(vorna::core::libraryPath(), restored, setAside, error)) {
        m_notice = error;
        emit libraryChanged();
        return;
    }
    // A backup equal to the library in force restores nothing: the history and the editors
    // stay as they are.
    if (restored != m_library || !m_loadProblem.isEmpty()) {
        m_library = restored;
        m_undoStack.clear();
        m_redoStack.clear();
        discardPendingImport();
        m_dirty = true;
        clearRuleEditor(m_targetId, m_trigger, m_keepOriginal);
        buildOptionTables();
        refreshRuleSelection();
        syncSelectedModel();
        editMacro(-1);
        m_loadProblem.clear();
        emit mappingChanged();
    }
    m_notice = setAside.isEmpty()
        ? text("Восстановлено. Назначения на паузе.", "Restored. Mappings remain paused.")
        : text("Восстановлено. Повреждённый файл перенесён в «%1». Назначения на паузе.",
              "Restored. The damaged file was moved to \"%1\". Mappings remain paused.")
              .arg(QDir::toNativeSeparators(setAside));
    emit libraryChanged();
}
