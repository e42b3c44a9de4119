// The rule editor: the rule list, selecting, saving, renaming and removing rules, and applying
// the library to the agent.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

#include "core/library_document.h"

QVariantList AppController::rules() const { return {}; }
bool AppController::saveRule() { return false; }
bool AppController::renameRule(const QString&, const QString&) { return false; }
void AppController::removeRule(const QString&) {}
void AppController::selectRule(const QString&) {}
void AppController::refreshRuleSelection() {}

// Sends the whole library to the agent; the outcome arrives with the agent's next "state"
// message, which the agent link compares with the hash recorded here.
void AppController::applyProfile()
{
    if (!engineCompatible()) {
        // One text in both languages.
        m_notice = QStringLiteral(
            "Запущен движок предыдущей сборки. Нажмите «Отключить и выйти», затем откройте новую версию.");
        emit libraryChanged();
        return;
    }
    QString error;
    if (!vorna::core::validateLibrary(m_library, error)) {
        m_notice = error;
        emit libraryChanged();
        return;
    }
    m_autoApplySuspended = false;
    m_pendingDocumentHash.clear();
    m_lastSentHash = documentHash();
    m_lastSentStrippedLibrary = stripRuleNames(m_library);
    if (m_recording)
        stopRecording();
    setCaptureMode(false);
    setObservation(false);
    m_applying = true;
    emit stateChanged();
    sendCommand(QJsonObject{{QStringLiteral("command"), QStringLiteral("configure")}, {QStringLiteral("library"), m_library}});
    emit libraryChanged();
}
