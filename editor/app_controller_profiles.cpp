// Profiles and layers: adding, presets, renaming and deleting.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::addProfile(const QString&, bool) {}
void AppController::addGamePreset(const QString&) {}
void AppController::updateProfile(const QString&, const QString&, int) {}
void AppController::deleteProfile() {}
void AppController::renameLayer(const QString&) {}
