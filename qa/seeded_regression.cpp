#include "qa/seeded_regression.h"

#include "qa/layout_checks.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlListReference>
#include <QQuickItem>
#include <QQuickWindow>

namespace qa {

namespace {

constexpr const char* kSeededMarker = "vornaSeededRegression";

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
    if (item == nullptr)
        return;
    // Owned by the scene as well as shown in it, so it goes with the window.
    item->setParent(window.contentItem());
    item->setParentItem(window.contentItem());
}

void applySeededLayoutRegression(QQuickWindow& window)
{
    if (!seeded("control-outside-card"))
        return;
    QQuickItem* save = findInWindow(window, QStringLiteral("saveRuleAction"));
    QQmlEngine* engine = qmlEngine(&window);
    if (save == nullptr || engine == nullptr || save->property(kSeededMarker).toBool())
        return;
    // A translation moves the drawn button without touching its anchors or layout, so the
    // regression raises no warning of its own.
    QQmlComponent component(engine);
    component.setData("import QtQuick\nTranslate { y: 2000 }\n", QUrl());
    QObject* shift = component.create();
    if (shift == nullptr)
        return;
    shift->setParent(save);
    QQmlListReference(save, "transform").append(shift);
    save->setProperty(kSeededMarker, true);
}

} // namespace qa
