#pragma once

// A layer's own wheel and cursor settings, the "motion" object: a layer without one inherits
// the settings in force beneath it.

#include <QJsonObject>

#include <optional>

namespace editor {

// True when the layer has no "motion" of its own (also for a place that does not exist).
bool motionInherited(const QJsonObject& library, int profileIndex, int layerIndex);

// The library with the layer's own "motion" set to `motion` as given, or removed without one.
QJsonObject withLayerMotion(const QJsonObject& library, int profileIndex, int layerIndex,
                            const std::optional<QJsonObject>& motion);

} // namespace editor
