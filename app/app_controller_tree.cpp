// Helpers over the library's profile, layer and rule tree that several editors share.

#include "app/app_controller.h"

#include "core/agent_protocol.h"
#include "editor/library_tree.h"

QJsonObject AppController::stripRuleNames(const QJsonObject& library)
{
    return vorna::protocol::stripRuleNames(library);
}

bool AppController::triggerSlotReference(QJsonObject& rule, const QString& prefix, int slot)
{
    return editor::triggerSlotReference(rule, prefix, slot);
}

void AppController::setLayerRules(QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules)
{
    editor::setLayerRules(library, profileIndex, layerIndex, rules);
}
