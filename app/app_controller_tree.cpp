// Helpers over the library's profile, layer and rule tree that several editors share.

#include "app/app_controller.h"

#include "editor/library_state.h"
#include "editor/library_tree.h"

QJsonObject AppController::stripRuleNames(const QJsonObject& library)
{
    return editor::stripRuleNames(library);
}

bool AppController::triggerSlotReference(QJsonObject& rule, const QString& prefix, int slot)
{
    return editor::triggerSlotReference(rule, prefix, slot);
}

void AppController::setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules)
{
    editor::setLayerRules(library, profileIndex, layerIndex, rules);
}
