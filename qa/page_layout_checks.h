// The layout checks of the settings pages: one named control inside the window's width, labels
// that show their whole text, and icon buttons that carry an accessible name.
#pragma once

#include <QJsonArray>
#include <QString>

class QQuickItem;
class QQuickWindow;

namespace qa {

// Appends {"object", "rect"} to `controls` when the control is found, and an issue when it is
// missing or leaves the window horizontally.
void checkPageControlBounds(const QQuickWindow& window, const QString& name, QJsonArray& controls, QJsonArray& issues);
// `item` and all its descendants; `checked` counts the labels examined.
void checkLabelClipping(QQuickItem* item, QJsonArray& issues, int& checked);
// `item` and all its descendants; `checked` counts the icon buttons examined.
void checkIconAccessibility(QQuickItem* item, QJsonArray& issues, int& checked);

} // namespace qa
