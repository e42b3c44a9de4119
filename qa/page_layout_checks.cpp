#include "qa/page_layout_checks.h"

#include "qa/layout_checks.h"

#include <QAccessible>
#include <QJsonObject>
#include <QQmlContext>
#include <QQmlProperty>
#include <QQuickItem>
#include <QQuickWindow>
#include <QUrl>

namespace qa {

namespace {

QJsonObject itemIssue(const char* kind, const QQuickItem& item)
{
    return {{QStringLiteral("kind"), QLatin1String(kind)}, {QStringLiteral("object"), item.objectName()},
        {QStringLiteral("class"), QLatin1String(item.metaObject()->className())}};
}

// A QML property of `item` resolved in its own context (grouped and attached names included).
QVariant qmlProperty(QQuickItem& item, const QString& name)
{
    const QQmlProperty property(&item, name, qmlContext(&item));
    return property.isValid() ? property.read() : QVariant();
}

QString accessibleName(QQuickItem& item)
{
    QString name = qmlProperty(item, QStringLiteral("Accessible.name")).toString();
    if (name.isEmpty()) {
        if (QAccessibleInterface* accessible = QAccessible::queryAccessibleInterface(&item))
            name = accessible->text(QAccessible::Name);
    }
    return name;
}

} // namespace

void checkPageControlBounds(const QQuickWindow& window, const QString& name, QJsonArray& controls, QJsonArray& issues)
{
    const QQuickItem* control = findInWindow(window, name);
    if (control == nullptr) {
        issues.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("missing-page-control")},
            {QStringLiteral("object"), name}});
        return;
    }
    const QRectF rect = sceneRect(*control);
    controls.append(QJsonObject{{QStringLiteral("object"), name}, {QStringLiteral("rect"), rectJson(rect)}});
    const int width = window.geometry().width();
    if (rect.x() < -1.0 || rect.x() + rect.width() > width + 1.0 || rect.width() <= 0 || rect.height() <= 0) {
        issues.append(QJsonObject{{QStringLiteral("kind"), QStringLiteral("page-control-horizontal-bounds")},
            {QStringLiteral("object"), name}, {QStringLiteral("rect"), rectJson(rect)}});
    }
}

void checkLabelClipping(QQuickItem* item, QJsonArray& issues, int& checked)
{
    if (item == nullptr)
        return;
    if (isTextCandidate(*item)) {
        ++checked;
        const bool noWrap = item->property("wrapMode").toInt() == 0;
        const bool clipped = (noWrap && item->implicitWidth() > item->width() + 1.0)
            || item->implicitHeight() > item->height() + 1.0 || item->property("truncated").toBool();
        if (clipped) {
            QJsonObject label = itemIssue("label-clipped", *item);
            label.insert(QStringLiteral("text"), item->property("text").toString());
            label.insert(QStringLiteral("width"), item->width());
            label.insert(QStringLiteral("height"), item->height());
            label.insert(QStringLiteral("implicitWidth"), item->implicitWidth());
            label.insert(QStringLiteral("implicitHeight"), item->implicitHeight());
            label.insert(QStringLiteral("truncated"), item->property("truncated").toBool());
            issues.append(label);
        }
    }
    for (QQuickItem* child : item->childItems())
        checkLabelClipping(child, issues, checked);
}

void checkIconAccessibility(QQuickItem* item, QJsonArray& issues, int& checked)
{
    if (item == nullptr)
        return;
    if (item->metaObject()->indexOfSignal("clicked()") >= 0 && item->isVisible()) {
        const QUrl source = qmlProperty(*item, QStringLiteral("icon.source")).toUrl();
        if (!source.isEmpty()) {
            ++checked;
            if (accessibleName(*item).trimmed().isEmpty()) {
                QJsonObject unnamed = itemIssue("icon-without-accessible-name", *item);
                unnamed.insert(QStringLiteral("source"), source.toString());
                issues.append(unnamed);
            }
        }
    }
    for (QQuickItem* child : item->childItems())
        checkIconAccessibility(child, issues, checked);
}

} // namespace qa
