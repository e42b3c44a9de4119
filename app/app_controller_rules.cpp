// The rule editor: the rule list, selecting, saving, renaming and removing rules, and applying
// the library to the agent. The documents come from editor/rule_edits.h; this file keeps the
// editor state in step and reports.

#include "app/app_controller.h"

#include "core/input_id.h"
#include "core/library_document.h"
#include "core/rule_inheritance.h"
#include "editor/layer_tree.h"
#include "editor/rule_edits.h"

namespace {

const char* const kNameRefusedRu = "Название правила: до 80 символов, без переносов строк и управляющих символов.";
const char* const kNameRefusedEn = "Rule name: up to 80 characters, without line breaks or control characters.";

} // namespace

QVariantList AppController::rules() const
{
    return editor::ruleItems(m_library, profileIndex(), layerIndex(),
        [this](const QString& id) { return describeInput(id); }, englishText());
}

void AppController::selectRule(const QString& source)
{
    const editor::RuleIdentity identity =
        *editor::parseRuleIdentity(source, editor::IdentityUse::Select, m_sourceModifiers);
    // The source setter refuses such a text; the rest of the editor state must not change alone.
    vorna::core::InputId parsed = 0;
    if (!vorna::core::parseInputId(identity.source, parsed))
        return;
    const QJsonArray inForce = vorna::core::effectiveRules(m_library, profileIndex(), layerIndex());
    const int at = editor::findRule(inForce, identity.source, identity.modifiers);
    if (at < 0) {
        m_sourceModifiers = identity.modifiers;
        m_trigger = QJsonObject();
        m_keepOriginal = false;
        m_ruleName.clear();
        setSourceId(identity.source);
        return;
    }
    const QJsonObject rule = inForce.at(at).toObject();
    setSourceId(identity.source);
    setTargetId(rule.value(QLatin1String("target")).toString());
    m_trigger = rule.value(QLatin1String("trigger")).toObject();
    m_keepOriginal = rule.value(QLatin1String("keepOriginal")).toBool(false);
    m_sourceModifiers = identity.modifiers;
    m_ruleName = rule.value(QLatin1String("name")).toString();
    emit mappingChanged();
}

void AppController::refreshRuleSelection()
{
    const QJsonArray inForce = vorna::core::effectiveRules(m_library, profileIndex(), layerIndex());
    if (editor::findRule(inForce, m_sourceId, m_sourceModifiers) >= 0) {
        selectRule(editor::ruleIdentityText(m_sourceId, m_sourceModifiers));
        return;
    }
    m_ruleName.clear();
    emit mappingChanged();
}

bool AppController::saveRule()
{
    if (m_recording || !editor::hasLayer(m_library, profileIndex(), layerIndex()))
        return false;
    QString name;
    if (!editor::ruleNameAcceptable(m_ruleName, name)) {
        m_notice = text(kNameRefusedRu, kNameRefusedEn);
        emit libraryChanged();
        return false;
    }
    const editor::EditorRule rule{m_sourceId, m_targetId, m_keepOriginal, m_sourceModifiers, m_trigger, name};
    const editor::RuleSave save = editor::savedRule(m_library, profileIndex(), layerIndex(), rule);
    const bool dirty = m_dirty;
    if (!commitLibrary(save.next, !save.renameOnly))
        return false;
    if (save.renameOnly) {
        m_dirty = dirty;
        emit libraryChanged();
    }
    m_ruleName = name;
    emit mappingChanged();
    return true;
}

bool AppController::renameRule(const QString& identityText, const QString& name)
{
    if (m_recording || !editor::hasLayer(m_library, profileIndex(), layerIndex()))
        return false;
    QString trimmed;
    if (!editor::ruleNameAcceptable(name, trimmed)) {
        m_notice = text(kNameRefusedRu, kNameRefusedEn);
        emit libraryChanged();
        return false;
    }
    const std::optional<editor::RuleIdentity> identity =
        editor::parseRuleIdentity(identityText, editor::IdentityUse::Rename, m_sourceModifiers);
    const editor::RuleRename rename = identity
        ? editor::renamedRule(m_library, profileIndex(), layerIndex(), *identity, trimmed)
        : editor::RuleRename{};
    if (rename.outcome == editor::RuleRename::NotFound) {
        m_notice = text("Правило не найдено.", "Rule not found.");
        emit libraryChanged();
        return false;
    }
    if (rename.outcome == editor::RuleRename::Unchanged)
        return true;
    const bool dirty = m_dirty;
    if (!commitLibrary(rename.next, false))
        return false;
    m_dirty = dirty;
    emit libraryChanged();
    if (m_sourceId == identity->source && m_sourceModifiers == identity->modifiers) {
        m_ruleName = trimmed;
        emit mappingChanged();
    }
    return true;
}

void AppController::removeRule(const QString& source)
{
    if (m_recording || !editor::hasLayer(m_library, profileIndex(), layerIndex()))
        return;
    const editor::RuleIdentity identity =
        *editor::parseRuleIdentity(source, editor::IdentityUse::Remove, m_sourceModifiers);
    if (!commitLibrary(editor::withoutRule(m_library, profileIndex(), layerIndex(), identity), true))
        return;
    if (m_sourceId == identity.source && m_sourceModifiers == identity.modifiers)
        refreshRuleSelection();
}

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
