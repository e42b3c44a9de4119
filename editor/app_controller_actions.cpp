// Custom actions of the library: the list, saving and deleting.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

QVariantList AppController::customActions() const { return {}; }
bool AppController::saveAction(int, const QString&, const QString&, const QString&, const QString&, bool) { return false; }
bool AppController::deleteAction(int) { return false; }
