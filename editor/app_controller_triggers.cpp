// The trigger editor: hold/tap, double press and source chords of the open rule.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

bool AppController::configureTrigger(const QString&, int, const QString&, const QStringList&) { return false; }
