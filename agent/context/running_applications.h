// The running-applications list of the settings window's application picker: one entry per
// program (executable path, letter case ignored) with a visible, titled window, in Z order.
#pragma once

#include <QJsonObject>
#include <QSet>
#include <QString>
#include <QVariantList>

namespace vorna::context {

inline constexpr int maxRunningApplications = 128;
inline constexpr int labelTitleUnits = 80;
inline constexpr int titleUnits = 512;
inline constexpr int classUnits = 256;

// At most units UTF-16 units of text; a surrogate pair cut in two loses its first half too,
// so no lone surrogate is left behind.
QString leftUnits(const QString& text, int units);
// The executable's file name (after the last "\" or "/"), " · ", then the title's first 80 units.
QString applicationLabel(const QString& executable, const QString& title);
// Adds the window described (a WindowDescription) unless it is hidden, has no executable or
// title, or its program is listed already. False when the walk should stop: the list is full.
bool appendApplication(bool visible, const QJsonObject& description, QVariantList& entries, QSet<QString>& seenExecutables);

} // namespace vorna::context
