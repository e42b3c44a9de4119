#pragma once

// The trigger of the rule being edited: how the press is recognised (at once, short or long,
// single or double, or after one to three preceding inputs). The core's rule check decides
// whether a trigger fits the rule's source and target.

#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace editor {

// The trigger object for `kind`: empty for "immediate"; otherwise "kind" and "intervalMs"
// (not clamped), with "keys" for "chord" and "fallback" for every other kind.
QJsonObject triggerObject(const QString& kind, int intervalMs, const QString& fallback, const QStringList& keys);

// Checks a rule of this source, target and modifiers with `trigger` through the core's rule
// check; on failure `error` holds the core's text.
bool triggerAccepted(const QString& source, const QString& target, int modifiers, const QJsonObject& trigger,
                     QString& error);

} // namespace editor
