// Shortcut capture through the agent and press capture of the rule editor's source.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

void AppController::setTargetId(const QString& id)
{
    if (id == m_targetId)
        return;
    m_targetId = id;
    emit mappingChanged();
}

void AppController::setCaptureMode(bool enabled)
{
    if (enabled == m_captureMode)
        return;
    m_captureMode = enabled;
    emit stateChanged();
}

void AppController::beginOutputCapture() {}
void AppController::cancelOutputCapture() {}
bool AppController::useOutputCapture() { return false; }
void AppController::handleKeyCapture(const QJsonObject&) {}
void AppController::onCaptureTimeout() {}
void AppController::onCaptureReplyTimeout() {}
