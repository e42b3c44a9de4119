#pragma once

// Edits of the library's profile → layer → rule tree that several editors share. Plain
// functions over JSON values; the controller offers them as its static helpers. Rule names are
// stripped by editor::stripRuleNames (library_state.h).

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace editor {

// After the slot `slot` of "action:" or "macro:" (`prefix`) is deleted: false, leaving the rule
// as it is, when its "target" or its trigger's "fallback" still names that slot; otherwise
// references to higher slots of that prefix move down by one and true is returned. Only
// "target" and the trigger's "fallback" hold slot references.
bool triggerSlotReference(QJsonObject& rule, const QString& prefix, int slot);

// Puts `rules` into the layer and writes the layer, the profile and "profiles" back; indices
// outside the tree change nothing.
void setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules);

} // namespace editor
