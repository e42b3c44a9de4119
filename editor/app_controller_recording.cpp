// Macro recording: start, stop and the movement steps of the recording feed.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::startRecording() {}
void AppController::stopRecording() {}
void AppController::appendMoveStep() {}
