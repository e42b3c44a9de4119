#pragma once

// The seven starter profiles the profiles page offers: a new profile whose first layer maps the
// two side buttons to a task's common keys. A user creates one and then adjusts it.

#include <QJsonObject>
#include <QString>

#include <optional>
#include <span>

namespace editor {

struct StarterProfile {
    const char* kind; // the argument of addGamePreset
    const char* russianName;
    const char* englishName;
    const char* backTarget;    // "mouse_back" in the first layer
    const char* forwardTarget; // "mouse_forward" in the first layer
    const char* secondLayerBackTarget; // "mouse_back" in the second layer, or nullptr
};

std::span<const StarterProfile> starterProfiles();

// The row for `kind` (exact, case-sensitive), or nothing.
const StarterProfile* findStarterProfile(const QString& kind);

// The library with the starter profile appended under `id` and selected on its first layer.
QJsonObject withStarterProfile(const QJsonObject& library, const StarterProfile& starter, bool english,
                               const QString& id);

} // namespace editor
