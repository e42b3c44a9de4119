// When a refresh of the window context counts as a change, and which signals it fires.
#pragma once

#include <QJsonObject>

namespace vorna::context {

struct ContextChange {
    bool store = false;        // keep the new descriptions
    bool focusChanged = false; // another foreground window: fired first
    bool changed = false;      // any change of either description
};

// The foreground is the same when both descriptions name the same window, or when neither names
// one: "no foreground window" is a state like any other, so a desktop without an active window
// does not report a focus change (which resets the engine's held outputs) on every refresh.
ContextChange decideContextChange(const QJsonObject& storedForeground, const QJsonObject& storedUnderCursor,
                                  const QJsonObject& newForeground, const QJsonObject& newUnderCursor);

} // namespace vorna::context
