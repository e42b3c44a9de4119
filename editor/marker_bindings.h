#pragma once

// Which input a marker of the mouse diagram stands for. Fixed markers carry their input in the
// catalog; the others (the side buttons, a DPI or centre button) are bound by the user per
// device model and stored in the settings store. The side markers take priority: a DPI or
// centre binding that equals what a side marker shows is ignored, not the side marker's.

#include "editor/settings_write.h"

#include <QList>
#include <QString>
#include <QVariantList>

#include <functional>
#include <optional>

namespace editor {

inline constexpr char kSideFront[] = "side_front";
inline constexpr char kSideRear[] = "side_rear";

// The current device model's markers and what the settings store holds for them.
struct MarkerModel {
    QString modelId;
    QVariantList hotspots; // catalog entries: "id", "input", "defaultInput"
    // The stored binding of a marker; nothing when the key does not exist.
    std::function<std::optional<QString>(const QString& marker)> stored;
};

QString bindingKey(const QString& modelId, const QString& marker);
QString previousBindingKey(const QString& modelId, const QString& marker);

// A marker of the model whose catalog input is empty: the user binds it.
bool isCalibratable(const MarkerModel& model, const QString& marker);

// May `marker` be bound to `input`: a valid input id that no fixed marker has and no other
// calibratable marker shows (side markers against what another side marker stores; others
// against what a side marker shows and what another non-side marker stores).
bool bindingAllowed(const MarkerModel& model, const QString& marker, const QString& input);

// The input a marker shows: its catalog input; else its stored binding while that is allowed;
// else, for a side marker, its default ("mouse_forward" / "mouse_back") or the other side
// button when the opposite marker has taken that default; else `fallback`.
QString effectiveInput(const MarkerModel& model, const QString& marker, const QString& fallback);

// The settings writes that exchange what the two side markers show: both are stored
// explicitly, and what each held before (or showed, when nothing was stored) becomes its
// previous binding. Nothing when either shows nothing or both show the same.
std::optional<QList<SettingChange>> sideSwapChanges(const MarkerModel& model);

// Clearing a marker's binding: the stored value is kept as its previous binding, then removed.
// Empty when nothing is stored.
QList<SettingChange> clearChanges(const MarkerModel& model, const QString& marker);

} // namespace editor
