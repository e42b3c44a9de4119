// When a refresh of the window context counts as a change, and which signals it fires.
#pragma once

#include <QJsonObject>

namespace vorna::context {

struct ContextChange {
    bool store = false;        // keep the new descriptions
    bool focusChanged = false; // another foreground window: fired first
    bool changed = false;      // any change of either description
};

// The same foreground window means both descriptions carry a "window" value and the values are
// equal. An empty stored foreground always counts as a change, so while there is no foreground
// window every refresh fires both signals.
ContextChange decideContextChange(const QJsonObject& storedForeground, const QJsonObject& storedUnderCursor,
                                  const QJsonObject& newForeground, const QJsonObject& newUnderCursor);

} // namespace vorna::context
