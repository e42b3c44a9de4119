// Export, import and backup restore.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::exportProfiles(const QUrl&, const QString&) {}
void AppController::previewImport(const QUrl&) {}
void AppController::acceptImport() {}
void AppController::restoreBackup() {}
