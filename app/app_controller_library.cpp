// The edited library: start-up load, the one commit path (file before memory), undo and redo,
// the document hash and automatic apply, and the selection that lives in the document. The
// decisions are the plain functions of editor/library_state.h; this file applies them.

#include "app/app_controller.h"

#include "core/agent_protocol.h"
#include "core/library_document.h"
#include "core/library_files.h"
#include "editor/library_state.h"

void AppController::loadLibrary()
{
    m_library = vorna::core::defaultLibrary();
    const editor::StartupLibrary loaded =
        editor::loadStartupLibrary(editor::libraryPaths(), !qEnvironmentVariable("VORNA_TEST_DATA").isEmpty(), englishText());
    m_library = loaded.library;
    m_loadProblem = loaded.loadProblem;
    if (!loaded.notice.isEmpty())
        m_notice = loaded.notice;
    syncSelectedModel();
    buildOptionTables();
    selectRule(m_sourceId + QLatin1Char('#') + QString::number(m_sourceModifiers));
}

bool AppController::commitLibrary(const QJsonObject& next, bool apply)
{
    const editor::CommitShape shape = editor::commitShape(m_library, next);
    QString error;
    if (!editor::storeLibrary(vorna::core::libraryPath(), next, error)) {
        m_notice = error;
        emit libraryChanged();
        return false;
    }
    if (!shape.unchanged) {
        editor::pushUndoStep(m_undoStack, m_redoStack, m_library);
        m_library = next;
        m_dirty = true;
        discardPendingImport();
        syncSelectedModel();
    }
    m_notice.clear();
    m_loadProblem.clear();
    buildOptionTables();
    if (shape.selectionMoved)
        refreshRuleSelection();
    emit libraryChanged();
    if (!shape.unchanged && apply)
        autoApply();
    return true;
}

void AppController::undo()
{
    stepHistory(m_undoStack, m_redoStack);
}

void AppController::redo()
{
    stepHistory(m_redoStack, m_undoStack);
}

void AppController::stepHistory(QList<QJsonObject>& from, QList<QJsonObject>& to)
{
    if (from.isEmpty())
        return;
    QString error;
    if (!editor::storeLibrary(vorna::core::libraryPath(), from.last(), error)) {
        m_notice = error; // stacks, document and dirty stay, so the step can be retried
        emit libraryChanged();
        return;
    }
    // Taken before the swap, so that redo keeps the document it restores.
    const QJsonObject previous = m_library;
    const bool previousDirty = m_dirty;
    const QJsonArray previousMacros = m_library.value(QStringLiteral("macros")).toArray();

    to.append(m_library);
    m_library = from.takeLast();
    m_dirty = true;
    discardPendingImport();
    buildOptionTables();
    refreshRuleSelection();
    syncSelectedModel();
    reloadMacroEditor(previousMacros);

    switch (editor::historyFollowUp(previous, m_library)) {
    case editor::HistoryFollowUp::SuspendAutoApply:
        m_autoApplySuspended = true;
        m_pendingDocumentHash.clear();
        break;
    case editor::HistoryFollowUp::RestoreDirty:
        m_dirty = previousDirty;
        break;
    case editor::HistoryFollowUp::AutoApply:
        autoApply();
        break;
    }
    emit libraryChanged();
}

void AppController::discardPendingImport()
{
    m_pendingImport = QJsonObject();
    m_importPreview.clear();
}

QString AppController::documentHash() const
{
    return vorna::protocol::documentHash(m_library);
}

void AppController::autoApply()
{
    const editor::AutoApplyFacts facts{
        m_active, m_armed, m_autoApplySuspended, !m_pendingDocumentHash.isEmpty(), connected(), m_agentVersion,
    };
    if (!editor::autoApplyWanted(facts))
        return;
    const QString hash = documentHash();
    applyProfile();
    m_pendingDocumentHash = hash;
}

void AppController::syncSelectedModel()
{
    const QString model = m_library.value(QStringLiteral("modelId")).toString();
    for (int index = 0; index < m_models.size(); ++index) {
        if (m_models.at(index).toMap().value(QStringLiteral("id")).toString() != model)
            continue;
        if (m_selectedIndex != index) {
            m_selectedIndex = index;
            emit selectionChanged();
        }
        return;
    }
}

QVariantList AppController::profiles() const
{
    return m_library.value(QLatin1String("profiles")).toArray().toVariantList();
}

QVariantList AppController::layers() const
{
    const QJsonArray profiles = m_library.value(QLatin1String("profiles")).toArray();
    return profiles.at(profileIndex()).toObject().value(QLatin1String("layers")).toArray().toVariantList();
}

int AppController::profileIndex() const { return m_library.value(QLatin1String("selectedProfile")).toInt(0); }
int AppController::layerIndex() const { return m_library.value(QLatin1String("selectedLayer")).toInt(0); }
bool AppController::automatic() const { return m_library.value(QLatin1String("automatic")).toBool(false); }

// The three setters commit even an unchanged value: the commit then writes nothing and only
// refreshes, like any other unchanged commit.
void AppController::setProfileIndex(int index)
{
    if (index < 0 || index >= m_library.value(QLatin1String("profiles")).toArray().size())
        return;
    QJsonObject next = m_library;
    next.insert(QStringLiteral("selectedProfile"), index);
    commitLibrary(next, true);
}

void AppController::setLayerIndex(int index)
{
    if (index < 0 || index >= vorna::core::kLayersPerProfile)
        return;
    QJsonObject next = m_library;
    next.insert(QStringLiteral("selectedLayer"), index);
    commitLibrary(next, true);
}

void AppController::setAutomatic(bool automatic)
{
    QJsonObject next = m_library;
    next.insert(QStringLiteral("automatic"), automatic);
    commitLibrary(next, true);
}
