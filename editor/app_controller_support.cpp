// The support report, the support checks and the support links.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

QString AppController::supportReport(const QString&, double) { return {}; }
void AppController::copySupportReport(const QString&, double) {}
void AppController::openSupport() {}
void AppController::openThirdPartyNotices() {}
