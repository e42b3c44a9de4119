#include "agent/context/context_change.h"

namespace vorna::context {

ContextChange decideContextChange(const QJsonObject& storedForeground, const QJsonObject& storedUnderCursor,
                                  const QJsonObject& newForeground, const QJsonObject& newUnderCursor)
{
    if (storedForeground == newForeground && storedUnderCursor == newUnderCursor)
        return {};
    // A missing "window" on both sides compares equal: no foreground window before and now.
    const QString windowKey = QStringLiteral("window");
    const bool sameWindow = storedForeground.value(windowKey) == newForeground.value(windowKey);
    return {true, !sameWindow, true};
}

} // namespace vorna::context
