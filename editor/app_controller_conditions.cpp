// Window conditions of a profile, the running applications and the animation setting.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::useApplicationFile(const QUrl&) {}
QVariantList AppController::runningApplications() const { return {}; }
void AppController::updateWindowCondition(const QString&, const QString&, const QString&) {}
bool AppController::animationsEnabled() const { return true; }
