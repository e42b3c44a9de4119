#pragma once

// Profile and layer edits as plain functions over the library document. The limits (profile
// count, name lengths, priority, application text) are the library check's: these build the
// candidate and the commit refuses what breaks them.

#include <QJsonObject>
#include <QString>

namespace editor {

// A new profile id: 32 lower-case hexadecimal digits of a random UUID, never from the name.
QString newProfileId();

// The library with a new profile appended and selected. `duplicate` copies the profile at
// `profileIndex` (layers, rules, motion, condition, priority); otherwise it starts empty. The
// new profile takes `name` trimmed (or `fallbackName` when that is empty), `id` and no
// application. Nothing when duplicating a profile that does not exist.
QJsonObject withNewProfile(const QJsonObject& library, int profileIndex, const QString& name, bool duplicate,
                           const QString& fallbackName, const QString& id);

// The profile at `profileIndex` with the trimmed name (left empty when blank, so that the
// check refuses it), the trimmed application ("" on the global profile) and the priority.
QJsonObject withProfileDetails(const QJsonObject& library, int profileIndex, const QString& name,
                               const QString& application, int priority);

// The library without the profile at `profileIndex`, the global profile selected and the
// selected layer kept. Unchanged for the global profile or an index outside the list.
QJsonObject withoutProfile(const QJsonObject& library, int profileIndex);

// The layer's name set to the trimmed name.
QJsonObject withLayerName(const QJsonObject& library, int profileIndex, int layerIndex, const QString& name);

} // namespace editor
