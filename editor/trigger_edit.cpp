#include "editor/trigger_edit.h"

#include "core/rule_list.h"

#include <QJsonArray>

#include <memory>

namespace editor {

QJsonObject triggerObject(const QString& kind, int intervalMs, const QString& fallback, const QStringList& keys)
{
    if (kind == QLatin1String("immediate"))
        return {};
    QJsonObject trigger{{QStringLiteral("kind"), kind}, {QStringLiteral("intervalMs"), intervalMs}};
    if (kind == QLatin1String("chord"))
        trigger.insert(QStringLiteral("keys"), QJsonArray::fromStringList(keys));
    else
        trigger.insert(QStringLiteral("fallback"), fallback);
    return trigger;
}

bool triggerAccepted(const QString& source, const QString& target, int modifiers, const QJsonObject& trigger,
                     QString& error)
{
    const QJsonObject rule{{QStringLiteral("source"), source}, {QStringLiteral("target"), target},
        {QStringLiteral("keepOriginal"), false}, {QStringLiteral("modifiers"), modifiers},
        {QStringLiteral("trigger"), trigger}};
    // A snapshot holds 256 compiled rules: too large for the GUI thread's stack frame.
    const auto snapshot = std::make_unique<vorna::core::RulesSnapshot>();
    return vorna::core::parseRules(QJsonArray{rule}, *snapshot, error);
}

} // namespace editor
