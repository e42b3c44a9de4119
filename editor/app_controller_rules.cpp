// The rule editor: the rule list, selecting, saving, renaming and removing rules, and applying
// the library to the agent.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

QVariantList AppController::rules() const { return {}; }
bool AppController::saveRule() { return false; }
bool AppController::renameRule(const QString&, const QString&) { return false; }
void AppController::removeRule(const QString&) {}
void AppController::selectRule(const QString&) {}
void AppController::applyProfile() {}
void AppController::refreshRuleSelection() {}
