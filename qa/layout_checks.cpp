#include "qa/layout_checks.h"

#include "app/app_controller.h"

#include <QMetaObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSet>
#include <QVariant>

namespace qa {

namespace {

constexpr double kMinimumControlHeight = 25.0;

QJsonObject issue(const char* kind)
{
    return QJsonObject{{QStringLiteral("kind"), QLatin1String(kind)}};
}

double number(const QObject& object, const char* property)
{
    return object.property(property).toDouble();
}

} // namespace

QQuickItem* findVisibleItem(QQuickItem* root, const QString& name)
{
    if (root == nullptr)
        return nullptr;
    if (root->objectName() == name && root->isVisible())
        return root;
    for (QQuickItem* child : root->childItems()) {
        if (QQuickItem* found = findVisibleItem(child, name))
            return found;
    }
    return nullptr;
}

QQuickItem* findInWindow(const QQuickWindow& window, const QString& name)
{
    return findVisibleItem(window.contentItem(), name);
}

QObject* findObject(const QQuickWindow& window, const QString& name)
{
    QList<QObject*> pending{const_cast<QQuickWindow*>(&window), window.contentItem()};
    QSet<QObject*> seen;
    while (!pending.isEmpty()) {
        QObject* object = pending.takeFirst();
        if (object == nullptr || seen.contains(object))
            continue;
        seen.insert(object);
        if (object->objectName() == name)
            return object;
        pending.append(object->children());
        if (auto* item = qobject_cast<QQuickItem*>(object)) {
            for (QQuickItem* child : item->childItems())
                pending.append(child);
        }
    }
    return nullptr;
}

QJsonObject rectJson(const QRectF& rect)
{
    return {{QStringLiteral("x"), rect.x()}, {QStringLiteral("y"), rect.y()}, {QStringLiteral("width"), rect.width()},
        {QStringLiteral("height"), rect.height()}};
}

QRectF sceneRect(const QQuickItem& item)
{
    return item.mapRectToScene(item.boundingRect());
}

QRectF windowArea(const QQuickWindow& window)
{
    return QRectF(0, 0, window.geometry().width(), window.geometry().height());
}

bool isEditableField(const QObject& item)
{
    for (const QMetaObject* meta = item.metaObject(); meta != nullptr; meta = meta->superClass()) {
        const QLatin1String name(meta->className());
        if (name == QLatin1String("QQuickTextInput") || name == QLatin1String("QQuickTextEdit"))
            return true;
    }
    return false;
}

bool isTextCandidate(const QQuickItem& item)
{
    if (!item.isVisible() || isEditableField(item))
        return false;
    const QVariant text = item.property("text");
    return text.isValid() && item.property("wrapMode").isValid() && !text.toString().isEmpty();
}

void checkControlBounds(const QQuickWindow& window, const QString& name, double minimumWidth, QJsonArray& issues)
{
    const QQuickItem* control = findInWindow(window, name);
    if (control == nullptr) {
        QJsonObject missing = issue("missing-control");
        missing.insert(QStringLiteral("object"), name);
        issues.append(missing);
        return;
    }
    const QRectF rect = sceneRect(*control);
    const QRectF allowed = windowArea(window).adjusted(-1, -1, 1, 1);
    if (allowed.contains(rect) && rect.width() >= minimumWidth && rect.height() >= kMinimumControlHeight)
        return;
    QJsonObject bounds = issue("control-bounds");
    bounds.insert(QStringLiteral("object"), name);
    bounds.insert(QStringLiteral("rect"), rectJson(rect));
    issues.append(bounds);
}

void checkSavePanel(const QQuickWindow& window, QJsonArray& issues)
{
    const QQuickItem* card = findInWindow(window, QStringLiteral("actionEditorCard"));
    const QQuickItem* save = findInWindow(window, QStringLiteral("saveRuleAction"));
    if (card == nullptr || save == nullptr) {
        issues.append(issue("missing-save-control"));
        return;
    }
    const QRectF button = sceneRect(*save);
    if (sceneRect(*card).contains(button) && button.height() >= kMinimumControlHeight)
        return;
    QJsonObject outside = issue("save-outside-panel");
    outside.insert(QStringLiteral("rect"), rectJson(button));
    issues.append(outside);
}

QJsonObject measurePictureStage(const QQuickWindow& window)
{
    const QQuickItem* card = findInWindow(window, QStringLiteral("inputDiagram"));
    const QQuickItem* stage = findInWindow(window, QStringLiteral("mousePictureStage"));
    const QQuickItem* picture = findInWindow(window, QStringLiteral("normalizedMouseImage"));
    if (card == nullptr || stage == nullptr || picture == nullptr || !(card->height() > 0) || !(stage->height() > 0))
        return {};
    const double paintedHeight = number(*picture, "paintedHeight");
    return {{QStringLiteral("cardRect"), rectJson(sceneRect(*card))},
        {QStringLiteral("stageRect"), rectJson(sceneRect(*stage))},
        {QStringLiteral("paintedWidth"), number(*picture, "paintedWidth")},
        {QStringLiteral("paintedHeight"), paintedHeight},
        {QStringLiteral("heightFractionOfCard"), paintedHeight / card->height()},
        {QStringLiteral("heightFractionOfStage"), paintedHeight / stage->height()}};
}

void checkModelSelector(const QQuickWindow& window, const AppController& controller, QJsonArray& issues)
{
    const QVariantList models = controller.models();
    const QQuickItem* selector = findInWindow(window, QStringLiteral("modelSelector"));
    if (selector == nullptr || selector->property("count").toInt() != models.size()
        || selector->property("currentIndex").toInt() != controller.selectedIndex()) {
        issues.append(issue("missing-or-wrong-model-row"));
        return;
    }
    const QRectF area = windowArea(window);
    double previousRight = -1;
    for (int i = 0; i < models.size(); ++i) {
        const QString suffix = QString::number(i);
        const QQuickItem* option = findInWindow(window, QStringLiteral("modelOption_") + suffix);
        const QQuickItem* label = findInWindow(window, QStringLiteral("modelLabel_") + suffix);
        const QQuickItem* image = findInWindow(window, QStringLiteral("modelImage_") + suffix);
        if (option == nullptr || label == nullptr || image == nullptr) {
            QJsonObject missing = issue("missing-model-card");
            missing.insert(QStringLiteral("modelIndex"), i);
            issues.append(missing);
            continue;
        }
        const QRectF card = sceneRect(*option);
        const QRectF labelRect = sceneRect(*label);
        const double labelImplicitHeight = label->implicitHeight();
        const bool fits = area.contains(card) && card.x() >= previousRight && card.contains(labelRect)
            && card.contains(sceneRect(*image)) && labelImplicitHeight <= label->height() + 1;
        if (!fits) {
            QJsonObject bounds = issue("model-row-bounds");
            bounds.insert(QStringLiteral("modelIndex"), i);
            bounds.insert(QStringLiteral("cardRect"), rectJson(card));
            bounds.insert(QStringLiteral("labelRect"), rectJson(labelRect));
            bounds.insert(QStringLiteral("labelText"), label->property("text").toString());
            bounds.insert(QStringLiteral("labelImplicitHeight"), labelImplicitHeight);
            issues.append(bounds);
        }
        previousRight = card.x() + card.width();
        if (models.at(i).toMap().value(QStringLiteral("generic")).toBool() && i != models.size() - 1)
            issues.append(issue("generic-model-is-not-rightmost"));
    }
}

void checkTextFits(QQuickItem* item, const QQuickWindow& window, QJsonArray& issues, int& checked)
{
    if (item == nullptr)
        return;
    if (isTextCandidate(*item)) {
        QRectF visible = sceneRect(*item) & windowArea(window);
        for (const QQuickItem* ancestor = item->parentItem(); ancestor != nullptr; ancestor = ancestor->parentItem()) {
            if (ancestor->clip())
                visible &= sceneRect(*ancestor);
        }
        if (visible.width() > 0 && visible.height() > 0) {
            ++checked;
            const bool noWrap = item->property("wrapMode").toInt() == 0;
            if ((noWrap && item->implicitWidth() > item->width() + 1) || item->property("truncated").toBool()) {
                QJsonObject width = issue("text-width");
                width.insert(QStringLiteral("object"), item->objectName());
                width.insert(QStringLiteral("class"), QLatin1String(item->metaObject()->className()));
                width.insert(QStringLiteral("text"), item->property("text").toString());
                width.insert(QStringLiteral("implicitWidth"), item->implicitWidth());
                width.insert(QStringLiteral("width"), item->width());
                issues.append(width);
            }
        }
    }
    for (QQuickItem* child : item->childItems())
        checkTextFits(child, window, issues, checked);
}

void checkMouseDiagram(const QQuickWindow& window, const AppController& controller, QJsonArray& leaders,
    QJsonArray& issues)
{
    const QQuickItem* diagram = findInWindow(window, QStringLiteral("inputDiagram"));
    if (diagram == nullptr) {
        issues.append(issue("missing-diagram"));
        return;
    }
    const QRectF card = sceneRect(*diagram);
    const QQuickItem* picture = findInWindow(window, QStringLiteral("normalizedMouseImage"));
    if (picture == nullptr || picture->property("status").toInt() != 1 || !(number(*picture, "paintedWidth") > 0)
        || !(number(*picture, "paintedHeight") > 0))
        issues.append(issue("mouse-image-not-ready"));

    const QVariantList models = controller.models();
    const int selected = controller.selectedIndex();
    const QVariantMap model = selected >= 0 && selected < models.size() ? models.at(selected).toMap() : QVariantMap();
    QList<QRectF> placed;
    for (const QVariant& entry : model.value(QStringLiteral("hotspots")).toList()) {
        const QVariantMap hotspot = entry.toMap();
        const QString id = hotspot.value(QStringLiteral("id")).toString();
        auto withHotspot = [&id](const char* kind) {
            QJsonObject found = issue(kind);
            found.insert(QStringLiteral("hotspot"), id);
            return found;
        };
        if (id == QLatin1String("dpi") || id == QLatin1String("center")) {
            if (findInWindow(window, QStringLiteral("mouseMarker_") + id) != nullptr)
                issues.append(withHotspot("hardware-only-marker"));
            continue;
        }
        const QQuickItem* caption = findInWindow(window, QStringLiteral("mouseLeader_") + id);
        const QQuickItem* text = findInWindow(window, QStringLiteral("mouseLeaderText_") + id);
        const QQuickItem* marker = findInWindow(window, QStringLiteral("mouseMarker_") + id);
        const QString input = controller.hotspotInput(id, hotspot.value(QStringLiteral("input")).toString());
        if (caption == nullptr || text == nullptr || marker == nullptr
            || marker->property("inputId").toString() != input) {
            issues.append(withHotspot("missing-or-wrong-marker"));
            continue;
        }
        const QRectF captionRect = sceneRect(*caption);
        const QRectF textRect = sceneRect(*text);
        const double textImplicitHeight = text->implicitHeight();
        leaders.append(QJsonObject{{QStringLiteral("hotspot"), id}, {QStringLiteral("input"), input},
            {QStringLiteral("rect"), rectJson(captionRect)}, {QStringLiteral("text"), text->property("text").toString()},
            {QStringLiteral("textRect"), rectJson(textRect)}, {QStringLiteral("textImplicitHeight"), textImplicitHeight}});
        if (!captionRect.contains(textRect) || textImplicitHeight > text->height() + 1) {
            QJsonObject outside = withHotspot("leader-text-outside-caption");
            outside.insert(QStringLiteral("captionRect"), rectJson(captionRect));
            outside.insert(QStringLiteral("textRect"), rectJson(textRect));
            outside.insert(QStringLiteral("textImplicitHeight"), textImplicitHeight);
            issues.append(outside);
        }
        if (!card.contains(captionRect))
            issues.append(withHotspot("leader-outside-card"));
        for (const QRectF& earlier : placed) {
            if (earlier.intersects(captionRect))
                issues.append(withHotspot("leader-overlap"));
        }
        placed.append(captionRect);
    }
}

} // namespace qa
