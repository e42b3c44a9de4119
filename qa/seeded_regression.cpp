#include "qa/seeded_regression.h"

#include "qa/layout_checks.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>

namespace qa {

namespace {

bool seeded(const char* name)
{
    return qgetenv(kSeedVariable) == name;
}

} // namespace

void applySeededWarning(QQuickWindow& window)
{
    QQmlEngine* engine = qmlEngine(&window);
    if (!seeded("qml-warning") || engine == nullptr)
        return;
    // A binding that names nothing: the engine reports it as a warning when it is evaluated.
    QQmlComponent component(engine);
    component.setData("import QtQuick\nItem { width: seededMissingObject.width }\n", QUrl());
    auto* item = qobject_cast<QQuickItem*>(component.create());
    if (item != nullptr)
        item->setParentItem(window.contentItem());
}

void applySeededLayoutRegression(QQuickWindow& window)
{
    if (!seeded("control-outside-card"))
        return;
    QQuickItem* save = findInWindow(window, QStringLiteral("saveRuleAction"));
    if (save == nullptr || save->parentItem() == window.contentItem())
        return;
    save->setParentItem(window.contentItem());
    save->setPosition(QPointF(0, 0));
}

} // namespace qa
