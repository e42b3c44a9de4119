// The settings window's end of the pipe to the agent: connecting, the status line, observation.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::connectAgent() {}
void AppController::onReconnectTick() {}
void AppController::onAgentConnected() {}
void AppController::onAgentDisconnected() {}
void AppController::onAgentReadyRead() {}
void AppController::sendCommand(QJsonObject) {}
void AppController::sendObserve() {}
void AppController::confirmTrial() {}
void AppController::shutdownAgent() {}
void AppController::pause() {}
