#pragma once

// Reading and replacing one profile or one layer of a library document. Edits copy the whole
// document; these put a changed profile or layer back along its path.

#include <QJsonArray>
#include <QJsonObject>

namespace editor {

// Whether the library has a profile at `profileIndex` and that profile a layer at `layerIndex`.
bool hasLayer(const QJsonObject& library, int profileIndex, int layerIndex);
bool hasProfile(const QJsonObject& library, int profileIndex);

QJsonObject profileAt(const QJsonObject& library, int profileIndex);
QJsonObject layerAt(const QJsonObject& library, int profileIndex, int layerIndex);

// The library with that profile (or layer) replaced; unchanged when the place does not exist.
QJsonObject withProfile(const QJsonObject& library, int profileIndex, const QJsonObject& profile);
QJsonObject withLayer(const QJsonObject& library, int profileIndex, int layerIndex, const QJsonObject& layer);

// The library with that layer's "rules" replaced.
QJsonObject withLayerRules(const QJsonObject& library, int profileIndex, int layerIndex, const QJsonArray& rules);

} // namespace editor
