// Item lookup and the layout checks of the mouse page. Every check only reads the live scene and
// appends issue objects ({"kind": ..., ...}) to an array its caller owns; none stops a run.
#pragma once

#include <QJsonArray>
#include <QJsonObject>
#include <QRectF>
#include <QString>

class AppController;
class QObject;
class QQuickItem;
class QQuickWindow;

namespace qa {

// The first visible item named `name` below `root`, depth first in pre-order; a hidden namesake
// does not end the search.
QQuickItem* findVisibleItem(QQuickItem* root, const QString& name);
inline QQuickItem* findItem(QQuickItem* root, const QString& name)
{
    return findVisibleItem(root, name);
}
// The same below the window's content item.
QQuickItem* findInWindow(const QQuickWindow& window, const QString& name);
// Any object of the window named `name`, visible or not, searched through object children and
// child items (a Repeater's or a Loader's items are not always object children of their parent).
QObject* findObject(const QQuickWindow& window, const QString& name);

QJsonObject rectJson(const QRectF& rect);
// The item's own box mapped to the scene.
QRectF sceneRect(const QQuickItem& item);
// The window's current size as a rectangle at the origin.
QRectF windowArea(const QQuickWindow& window);

// Editable fields are never judged: their text scrolls inside them by design. Recognised by
// inheriting the text-input or text-edit item class, whatever the control wrapping them is called.
bool isEditableField(const QObject& item);
// A visible, non-editable item with a non-empty `text` and a `wrapMode`: what the text checks judge.
bool isTextCandidate(const QQuickItem& item);

void checkControlBounds(const QQuickWindow& window, const QString& name, double minimumWidth, QJsonArray& issues);
void checkSavePanel(const QQuickWindow& window, QJsonArray& issues);
QJsonObject measurePictureStage(const QQuickWindow& window);
void checkModelSelector(const QQuickWindow& window, const AppController& controller, QJsonArray& issues);
void checkTextFits(QQuickItem* item, const QQuickWindow& window, QJsonArray& issues, int& checked);
void checkMouseDiagram(const QQuickWindow& window, const AppController& controller, QJsonArray& leaders,
    QJsonArray& issues);

} // namespace qa
