// Custom actions of the library: the list, saving and deleting. Deleting keeps every reference
// consistent: refused while anything (stored or open in an editor) names the slot, otherwise
// every reference above it moves down by one.

#include "app/app_controller.h"

#include "core/custom_action.h"
#include "editor/macro_steps.h"
#include "editor/slot_references.h"

QVariantList AppController::customActions() const
{
    return m_library.value(QLatin1String("actions")).toArray().toVariantList();
}

bool AppController::saveAction(int index, const QString& type, const QString& name, const QString& value,
    const QString& arguments, bool clipboard)
{
    QJsonArray actions = m_library.value(QLatin1String("actions")).toArray();
    if (index < -1 || index >= actions.size())
        return false;
    const QJsonObject action = editor::customAction(type, name, value, arguments, clipboard);
    vorna::core::ParsedAction parsed;
    QString error;
    if (!vorna::core::parseAction(action, parsed, error)) {
        m_notice = text("Проверьте параметры действия: ", "Check action parameters: ") + error;
        emit libraryChanged();
        return false;
    }
    if (index == -1) {
        index = int(actions.size());
        actions.append(action);
    } else {
        actions.replace(index, action);
    }
    QJsonObject next = m_library;
    next.insert(QStringLiteral("actions"), actions);
    if (!commitLibrary(next, true))
        return false;
    setTargetId(library::kActionPrefix.toString() + QString::number(index + 1));
    m_notice = text("Действие сохранено. Сохраните правило кнопки; если назначения на паузе, включите их.",
        "Action saved. Save the button mapping; enable mappings if paused.");
    emit libraryChanged();
    return true;
}

bool AppController::deleteAction(int index)
{
    QJsonArray actions = m_library.value(QLatin1String("actions")).toArray();
    if (index < 0 || index >= actions.size())
        return false;
    const qint32 slot = index + 1;
    auto refuse = [this](const char* russian, const char* english) {
        m_notice = text(russian, english);
        emit libraryChanged();
        return false;
    };

    QJsonObject openRule{{QStringLiteral("trigger"), m_trigger}};
    if (!library::shiftRuleReferences(openRule, library::kActionPrefix, slot))
        return refuse("Сначала уберите действие из открытой настройки нажатия.",
            "Remove this action from the open trigger first.");
    QJsonArray openSteps = m_macroSteps;
    if (!library::shiftCommandSteps(openSteps, slot))
        return refuse("Сначала уберите действие из открытого макроса.",
            "Remove this action from the open macro before deleting it.");
    QJsonObject next = m_library;
    if (!library::shiftLibraryCommandSteps(next, slot))
        return refuse("Сначала уберите это действие из макросов.", "Remove this action from macros before deleting it.");
    if (!library::shiftLibraryRuleReferences(next, library::kActionPrefix, slot))
        return refuse("Перед удалением уберите назначения на это действие.",
            "Remove this action's assignments before deleting it.");

    actions.removeAt(index);
    next.insert(QStringLiteral("actions"), actions);
    if (!commitLibrary(next, true))
        return false;
    m_macroSteps = openSteps;
    emit macroChanged();
    m_trigger = openRule.value(QLatin1String("trigger")).toObject();
    emit mappingChanged();
    // The open rule editor may name any slot; a renumbered list makes every such target stale.
    if (m_targetId.startsWith(library::kActionPrefix))
        setTargetId(QStringLiteral("unchanged"));
    return true;
}
