// Which rules and motion settings are in force for one profile and layer: the global base layer,
// the profile's base layer and the layer itself, a more specific rule replacing an inherited one.
// Also says where each effective rule comes from, for the editor and the agent's traces.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QtGlobal>

namespace vorna::core {

// Rules and motion in force for one profile and layer of a checked library. They inherit along
// the global base layer, the profile's base layer and the layer itself; a more specific rule
// for the same source and modifiers replaces the inherited one in place. Out-of-range indices
// (a profile outside the list, a layer outside 0..9) give an empty list, the default motion
// and an empty annotation.

QJsonArray effectiveRules(const QJsonObject& library, int profileIndex, int layerIndex);

// The most specific "motion" object of the chain, whole; the defaults when none has one.
QJsonObject effectiveMotion(const QJsonObject& library, int profileIndex, int layerIndex);

// Where effective rule number `ruleNumber` (1-based) comes from, for display and traces.
QJsonObject annotatedRules(const QJsonObject& library, int profileIndex, int layerIndex, quint32 ruleNumber);

} // namespace vorna::core
