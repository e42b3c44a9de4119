// The macro editor: the macro list, the open macro's steps and their editing.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

QVariantList AppController::macros() const { return {}; }
QVariantList AppController::macroSteps() const { return m_macroSteps.toVariantList(); }
QString AppController::macroDuration() const { return {}; }
void AppController::editMacro(int) {}
void AppController::reloadMacroEditor(const QJsonArray&) {}
void AppController::addMacroStep(const QString&, const QString&, int) {}
void AppController::removeMacroStep(int) {}
void AppController::moveMacroStep(int, int) {}
void AppController::duplicateMacroStep(int) {}
void AppController::saveMacro() {}
void AppController::deleteMacro() {}
void AppController::updateMacroStep(int, const QString&, const QString&, int) {}
