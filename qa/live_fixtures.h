// Made-up live input for the verification tour: trace and held-state messages built in memory, in
// the shape the agent sends, for the controller's trace entry. Nothing reaches the agent.
#pragma once

#include <QJsonObject>
#include <QList>
#include <QString>
#include <QVariantMap>

namespace qa {

// Frames 11 to 17: a mapped input and its outputs, then the held state.
QList<QJsonObject> mappingFixture(int frame);
// Frame 30: a motion step with the given motion settings and the wheel output it produced.
QList<QJsonObject> motionFixture(const QVariantMap& motion);
// Frames 44 to 49: a keyboard input and what it sent.
QList<QJsonObject> keyboardFixture(int frame);
// A held-state message holding `button` alone.
QJsonObject heldButtonFixture(const QString& button);

} // namespace qa
