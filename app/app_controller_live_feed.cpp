// Agent input events, trace messages and the macro recording feed; the coalesced live signal.
// The live signal's coalescing is in place; the feeds are placeholders that keep the
// controller whole until they are built.

#include "app/app_controller.h"

void AppController::handleTrace(const QJsonObject&) {}
void AppController::handleInputEvent(const QJsonObject&) {}
void AppController::setRecordingControl(double, double, double, double) {}

void AppController::onLiveCoalesced()
{
    emit liveChanged();
}

void AppController::onLiveModelChanged()
{
    if (!liveCoalesceTimer.isActive())
        liveCoalesceTimer.start();
}
