// Marker bindings of the mouse diagram: calibration, confirmation, clearing and swapping.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::calibrateHotspot(const QString&) {}
void AppController::confirmHotspot() {}
void AppController::clearHotspot(const QString&) {}
void AppController::swapSideHotspots() {}
QString AppController::hotspotInput(const QString&, const QString& fallback) const { return fallback; }
bool AppController::hotspotBinding(const QString&, const QString&) const { return true; }
