#include "agent/context/context_change.h"

namespace vorna::context {

ContextChange decideContextChange(const QJsonObject& storedForeground, const QJsonObject& storedUnderCursor,
                                  const QJsonObject& newForeground, const QJsonObject& newUnderCursor)
{
    const QString windowKey = QStringLiteral("window");
    const bool sameWindow = storedForeground.contains(windowKey) && newForeground.contains(windowKey) &&
                            storedForeground.value(windowKey) == newForeground.value(windowKey);
    if (!storedForeground.isEmpty() && storedForeground == newForeground && storedUnderCursor == newUnderCursor)
        return {};
    return {true, !sameWindow, true};
}

} // namespace vorna::context
