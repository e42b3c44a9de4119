#pragma once

// The editor's QML in the real settings window: a shell, and the rule editor's two panels
// placed into it by hand where a test needs them before a page does.

#include "tests/support/settings_shell.h"

#include <QQmlComponent>
#include <QQmlEngine>
#include <QQmlIncubationController>
#include <QtTest/QTest>

namespace vorna::test {

// Creates the panel in `file` (under qrc:/ui/qml/) over the window's content at `area`. The
// mouse page's own panels are hidden, so screenshots show the placed ones alone.
inline QQuickItem* placePanel(SettingsShell& shell, const char* file, const QRectF& area)
{
    if (auto* page = shell.find<QQuickItem>(QStringLiteral("mouseWorkspace")))
        page->setVisible(false);
    QQmlEngine* engine = qmlEngine(shell.window());
    QQmlComponent component(engine, QUrl(QStringLiteral("qrc:/ui/qml/") + QLatin1String(file)));
    QObject* created = component.createWithInitialProperties(
        {{QStringLiteral("windowRoot"), QVariant::fromValue<QObject*>(shell.window())}}, qmlContext(shell.window()));
    auto* item = qobject_cast<QQuickItem*>(created);
    if (item == nullptr) {
        ADD_FAILURE() << component.errorString().toStdString();
        delete created;
        return nullptr;
    }
    item->setParent(shell.window());
    item->setParentItem(shell.window()->contentItem());
    item->setZ(10);
    item->setPosition(area.topLeft());
    item->setSize(area.size());
    shell.settle();
    return item;
}

// The item named `name` inside `within` (depth first, visual and object children).
inline QQuickItem* findIn(QObject* within, const QString& name)
{
    QList<QObject*> pending{within};
    while (!pending.isEmpty()) {
        QObject* object = pending.takeFirst();
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            if (item->objectName() == name)
                return item;
            for (QQuickItem* child : item->childItems())
                pending.append(child);
        }
        pending.append(object->children());
    }
    return nullptr;
}

// Lets the window finish the items it creates in the background (list rows, a page's keys):
// items still being created when the engine goes are reported as a warning.
inline void finishCreating(SettingsShell& shell)
{
    QQmlIncubationController* incubation = qmlEngine(shell.window())->incubationController();
    for (int i = 0; i < 500 && incubation != nullptr && incubation->incubatingObjectCount() > 0; ++i) {
        shell.grab();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

inline void typeInto(SettingsShell& shell, QQuickItem* field, const QString& text)
{
    shell.click(field);
    field->forceActiveFocus();
    for (const QChar character : text) {
        const Qt::Key key = character.unicode() < 128 ? QTest::asciiToKey(char(character.unicode())) : Qt::Key_unknown;
        QTest::sendKeyEvent(QTest::Click, shell.window(), key, QString(character), Qt::NoModifier);
    }
    shell.settle();
}

} // namespace vorna::test
