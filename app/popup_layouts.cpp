#include "app/popup_layouts.h"

#include <QQuickItem>
#include <QTimer>

namespace app {

namespace {

void rearrangeNow(QQuickItem* popupItem)
{
    QList<QQuickItem*> pending{popupItem};
    while (!pending.isEmpty()) {
        QQuickItem* item = pending.takeFirst();
        // QQuickLayout is private API. A layout listens to its children's implicit sizes: told
        // again, it drops the size it kept for each child, then arranges them in updatePolish.
        if (item->inherits("QQuickLayout")) {
            for (QQuickItem* child : item->childItems()) {
                emit child->implicitWidthChanged();
                emit child->implicitHeightChanged();
            }
            item->polish();
        }
        pending.append(item->childItems());
    }
}

} // namespace

void rearrangePopupLayouts(QQuickItem* popupItem)
{
    if (popupItem == nullptr)
        return;
    QTimer::singleShot(0, popupItem, [popupItem] { rearrangeNow(popupItem); });
}

} // namespace app
