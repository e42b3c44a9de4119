// The keyboard layout of the foreground window, its key labels and Num Lock.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::updateKeyboardLayout() {}
