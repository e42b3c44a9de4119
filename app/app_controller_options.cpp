// The input and output option tables, favorites and input descriptions.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::buildOptionTables() {}
QVariantMap AppController::outputOption(const QString&) { return {}; }
void AppController::toggleFavorite(const QString&) {}
bool AppController::favorite(const QString&) const { return false; }
QString AppController::describeInput(const QString& id) const { return id; }
QVariantList AppController::actionCategories() const { return {}; }
