// The macro editor: the macro list, the open macro's working copy and its editing. Only
// saveMacro and deleteMacro write the library, each as one commit; step edits touch only the
// working copy and are refused while a recording fills it.

#include "app/app_controller.h"

#include "core/macro.h"
#include "editor/macro_steps.h"
#include "editor/slot_references.h"

namespace {

constexpr qsizetype kStepLimit = qsizetype(vorna::core::kMaxMacroSteps);

} // namespace

QVariantList AppController::macros() const
{
    return m_library.value(QLatin1String("macros")).toArray().toVariantList();
}

QVariantList AppController::macroSteps() const
{
    QVariantList result;
    for (const QJsonValue& value : m_macroSteps) {
        QVariantMap step = value.toObject().toVariantMap();
        step.insert(QStringLiteral("label"),
            macroStepLabel(step.value(QStringLiteral("type")).toString(), step.value(QStringLiteral("input")).toString()));
        result.append(step);
    }
    return result;
}

// A wait has no value to name: its kind and duration say everything.
QString AppController::macroStepLabel(const QString& type, const QString& input) const
{
    if (type == QLatin1String("wait"))
        return {};
    if (type == QLatin1String("move"))
        return QStringLiteral("ΔX / ΔY: ") + input;
    if (type == QLatin1String("layer"))
        return text("Основной слой ", "Base layer ") + input.mid(6);
    if (type == QLatin1String("profile"))
        return input == QLatin1String("next") ? text("Следующий профиль", "Next profile")
                                              : text("Предыдущий профиль", "Previous profile");
    return describeInput(input);
}

QString AppController::newMacroName() const
{
    return text("Новый макрос", "New macro");
}

QString AppController::macroDuration() const
{
    return editor::macroDuration(m_macroSteps, m_macroMode, m_macroRepeat, englishText());
}

void AppController::editMacro(int index)
{
    if (m_recording)
        stopRecording();
    const QJsonArray macros = m_library.value(QLatin1String("macros")).toArray();
    if (index < 0 || index >= macros.size()) {
        m_macroIndex = -1;
        m_macroName = newMacroName();
        m_macroNameGiven = true;
        m_macroSteps = QJsonArray();
        m_macroMode = QStringLiteral("once");
        m_macroRepeat = 1;
    } else {
        const QJsonObject macro = macros.at(index).toObject();
        m_macroIndex = index;
        m_macroName = macro.value(QLatin1String("name")).toString();
        m_macroSteps = macro.value(QLatin1String("steps")).toArray();
        m_macroMode = macro.value(QLatin1String("mode")).toString();
        m_macroRepeat = int(macro.value(QLatin1String("repeat")).toInteger());
    }
    emit macroChanged();
}

void AppController::reloadMacroEditor(const QJsonArray& previousMacros)
{
    const std::optional<int> reopen =
        editor::macroToReopen(previousMacros, m_library.value(QLatin1String("macros")).toArray(), m_macroIndex);
    if (reopen)
        editMacro(*reopen);
}

void AppController::addMacroStep(const QString& type, const QString& input, int milliseconds)
{
    if (m_recording || m_macroSteps.size() >= kStepLimit || !editor::isMacroStepType(type))
        return;
    m_macroSteps.append(editor::macroStep(type, input, milliseconds));
    emit macroChanged();
}

void AppController::updateMacroStep(int index, const QString& type, const QString& input, int milliseconds)
{
    if (m_recording || index < 0 || index >= m_macroSteps.size() || !editor::isMacroStepType(type))
        return;
    m_macroSteps.replace(index, editor::macroStep(type, input, milliseconds));
    emit macroChanged();
}

void AppController::removeMacroStep(int index)
{
    if (m_recording || index < 0 || index >= m_macroSteps.size())
        return;
    m_macroSteps.removeAt(index);
    emit macroChanged();
}

void AppController::moveMacroStep(int index, int direction)
{
    const qint64 target = qint64(index) + direction;
    if (m_recording || index < 0 || target < 0 || index >= m_macroSteps.size() || target >= m_macroSteps.size())
        return;
    const QJsonValue moved = m_macroSteps.at(index);
    m_macroSteps.replace(index, m_macroSteps.at(target));
    m_macroSteps.replace(target, moved);
    emit macroChanged();
}

void AppController::duplicateMacroStep(int index)
{
    if (m_recording || index < 0 || index >= m_macroSteps.size() || m_macroSteps.size() >= kStepLimit)
        return;
    m_macroSteps.insert(index + 1, m_macroSteps.at(index));
    emit macroChanged();
}

void AppController::saveMacro()
{
    if (m_recording)
        stopRecording();
    QJsonArray macros = m_library.value(QLatin1String("macros")).toArray();
    const QJsonObject macro{{QStringLiteral("name"), m_macroName.trimmed()}, {QStringLiteral("mode"), m_macroMode},
        {QStringLiteral("repeat"), m_macroRepeat}, {QStringLiteral("steps"), m_macroSteps}};
    const bool append = m_macroIndex < 0 || m_macroIndex >= macros.size();
    if (append)
        macros.append(macro);
    else
        macros.replace(m_macroIndex, macro);
    QJsonObject next = m_library;
    next.insert(QStringLiteral("macros"), macros);
    if (!commitLibrary(next, true))
        return;
    // A saved new macro is open at its slot, so saving again replaces it instead of adding one.
    if (append)
        m_macroIndex = int(macros.size()) - 1;
    m_notice = text("Макрос сохранён. Назначьте его кнопке и сохраните правило; на паузе включите назначения.",
        "Macro saved. Assign it to a button and save the mapping; enable mappings if paused.");
    emit libraryChanged();
    emit macroChanged();
}

void AppController::deleteMacro()
{
    QJsonArray macros = m_library.value(QLatin1String("macros")).toArray();
    if (m_recording || m_macroIndex < 0 || m_macroIndex >= macros.size())
        return;
    const qint32 slot = m_macroIndex + 1;
    auto refuse = [this](const char* russian, const char* english) {
        m_notice = text(russian, english);
        emit libraryChanged();
    };
    QJsonObject openRule{{QStringLiteral("trigger"), m_trigger}};
    if (!library::shiftRuleReferences(openRule, library::kMacroPrefix, slot))
        return refuse("Сначала уберите макрос из открытой настройки нажатия.",
            "Remove this macro from the open trigger first.");
    QJsonObject next = m_library;
    if (!library::shiftLibraryRuleReferences(next, library::kMacroPrefix, slot))
        return refuse("Сначала удалите назначения кнопок на этот макрос.",
            "Remove this macro's button assignments before deleting it.");
    macros.removeAt(m_macroIndex);
    next.insert(QStringLiteral("macros"), macros);
    if (!commitLibrary(next, true))
        return;
    m_trigger = openRule.value(QLatin1String("trigger")).toObject();
    emit mappingChanged();
    // The open rule editor's target follows the renumbering; one naming the deleted macro would
    // otherwise silently point at its neighbour.
    const qint32 open = library::referenceSlot(m_targetId, library::kMacroPrefix);
    if (open == slot)
        setTargetId(QStringLiteral("unchanged"));
    else if (open > slot)
        setTargetId(library::shiftReferenceDown(m_targetId, library::kMacroPrefix, slot));
    editMacro(-1);
}
