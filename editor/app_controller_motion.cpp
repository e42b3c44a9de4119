// The motion editor: wheel and cursor settings of a layer.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

bool AppController::saveMotion(const QVariantMap&, bool) { return false; }
QVariantMap AppController::motion() const { return {}; }
bool AppController::motionInherited() const { return true; }
