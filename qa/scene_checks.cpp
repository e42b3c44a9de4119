#include "qa/scene_checks.h"

#include "qa/layout_checks.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QJsonObject>
#include <QMetaObject>
#include <QQuickItem>
#include <QQuickWindow>
#include <QVariant>
#include <cmath>

namespace qa {

namespace {

// Item classes a user operates; a list delegate counts too, since it takes clicks.
constexpr const char* kControlClasses[] = {"QQuickAbstractButton", "QQuickComboBox", "QQuickSpinBox", "QQuickSlider",
    "QQuickRangeSlider", "QQuickDial", "QQuickTextField", "QQuickTextArea"};
// Controls whose frame is what tells the user where to click or type.
constexpr const char* kFramedClasses[] = {"QQuickComboBox", "QQuickSpinBox", "QQuickTextField", "QQuickTextArea"};
// Clipping by these is scrolling: what they cut off is one scroll away, not lost.
constexpr const char* kScrollingClasses[] = {"QQuickFlickable", "QQuickScrollView"};

constexpr double kLargeTextPixels = 24.0;
constexpr double kLargeBoldTextPixels = 18.66;
constexpr double kTolerance = 1.0;   // layout rounding
constexpr double kOverlapPixels = 2.0; // touching edges are not an overlap

// The item's own width and height in the scene; a text field's bounding rectangle is that of its
// text, not of the field.
QRectF box(const QQuickItem& item)
{
    return item.mapRectToScene(QRectF(0, 0, item.width(), item.height()));
}

bool inherits(const QObject& object, const char* className)
{
    for (const QMetaObject* meta = object.metaObject(); meta != nullptr; meta = meta->superClass()) {
        if (qstrcmp(meta->className(), className) == 0)
            return true;
    }
    return false;
}

template <std::size_t N>
bool inheritsAny(const QObject& object, const char* const (&classes)[N])
{
    for (const char* name : classes) {
        if (inherits(object, name))
            return true;
    }
    return false;
}

enum class Kind { Text, Control };

struct Node {
    QQuickItem* item;
    Kind kind;
    QRectF full;     // the item's box in the scene
    QRectF visible;  // what of it the window and the clipping ancestors let through
    QRectF framed;   // what the ancestors that do not scroll let through
    const QQuickItem* layer; // the open popup it belongs to; null for the window's own content
    bool scrolls;    // inside something that scrolls
    double opacity;
    const QQuickItem* scroller; // the nearest clipping ancestor that scrolls
};

// A label's text, or an icon label's when it shows its text.
bool isShownText(const QQuickItem& item)
{
    if (isTextCandidate(item))
        return true;
    if (!inherits(item, "QQuickIconLabel") || item.property("text").toString().isEmpty())
        return false;
    return item.property("display").toInt() != 0; // 0: icon only
}

void collect(QQuickItem* item, QRectF clip, QRectF framed, double opacity, const QQuickItem* layer, bool scrolls,
    const QQuickItem* scroller, QList<Node>& nodes)
{
    if (item == nullptr || !item->isVisible())
        return;
    opacity *= item->opacity();
    if (opacity < 0.02)
        return;
    if (item->parentItem() != nullptr && inherits(*item->parentItem(), "QQuickOverlay"))
        layer = item;
    const QRectF full = box(*item);
    const QRectF visible = full & clip;
    if (visible.width() > 0 && visible.height() > 0) {
        if (isShownText(*item))
            nodes.append({item, Kind::Text, full, visible, framed, layer, scrolls, opacity, scroller});
        else if (inheritsAny(*item, kControlClasses))
            nodes.append({item, Kind::Control, full, visible, framed, layer, scrolls, opacity, scroller});
    }
    if (item->clip()) {
        clip &= full;
        if (inheritsAny(*item, kScrollingClasses)) {
            scrolls = true;
            scroller = item;
            // What lies beyond a scrolling area that is itself in full view is reached by
            // scrolling, also where that area ends at the window's edge: only frames inside it
            // cut its content for good.
            if (framed.adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance).contains(full))
                framed = QRectF(-1e6, -1e6, 2e6, 2e6);
        } else {
            framed &= full;
        }
    }
    if (inherits(*item, "QQuickFlickable"))
        scrolls = true;
    for (QQuickItem* child : item->childItems())
        collect(child, clip, framed, opacity, layer, scrolls, scroller, nodes);
}

QString describe(const QQuickItem& item)
{
    QString name = item.objectName();
    if (name.isEmpty())
        name = QLatin1String(item.metaObject()->className());
    const QString text = item.property("text").toString();
    if (!text.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(text.left(60));
    return name;
}

QJsonObject issue(const char* kind, const QQuickItem& item)
{
    return {{QStringLiteral("kind"), QLatin1String(kind)}, {QStringLiteral("what"), describe(item)},
        {QStringLiteral("rect"), rectJson(box(item))}};
}

double luminance(const QColor& colour)
{
    auto channel = [](double value) {
        return value <= 0.04045 ? value / 12.92 : std::pow((value + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(colour.redF()) + 0.7152 * channel(colour.greenF()) + 0.0722 * channel(colour.blueF());
}

QColor over(const QColor& top, double alpha, const QColor& below)
{
    auto mix = [alpha](double a, double b) { return a * alpha + b * (1.0 - alpha); };
    return QColor::fromRgbF(float(mix(top.redF(), below.redF())), float(mix(top.greenF(), below.greenF())),
        float(mix(top.blueF(), below.blueF())));
}

// The colour covering most of the pixels given; what lies behind a text or around a control.
class ColourCount {
public:
    void add(const QImage& picture, int x, int y)
    {
        if (x >= 0 && y >= 0 && x < picture.width() && y < picture.height())
            ++m_counts[picture.pixel(x, y) | 0xFF000000u];
    }
    bool empty() const { return m_counts.isEmpty(); }
    // Colours close to `ignored` (a text's own, where its glyphs cover more than the gaps
    // between them) only count when nothing else is there.
    QColor dominant(const QColor& ignored = QColor()) const
    {
        auto near = [&ignored](QRgb pixel) {
            return ignored.isValid() && std::abs(qRed(pixel) - ignored.red()) < 24
                && std::abs(qGreen(pixel) - ignored.green()) < 24 && std::abs(qBlue(pixel) - ignored.blue()) < 24;
        };
        QRgb best = 0;
        int most = -1;
        QRgb fallback = 0;
        int fallbackCount = -1;
        for (auto it = m_counts.cbegin(); it != m_counts.cend(); ++it) {
            if (near(it.key())) {
                if (it.value() > fallbackCount) {
                    fallbackCount = it.value();
                    fallback = it.key();
                }
            } else if (it.value() > most) {
                most = it.value();
                best = it.key();
            }
        }
        return QColor::fromRgb(most >= 0 ? best : fallback);
    }

private:
    QHash<QRgb, int> m_counts;
};

QColor behind(const QImage& picture, const QRectF& area, const QColor& text)
{
    ColourCount count;
    const QRect pixels = area.toAlignedRect() & picture.rect();
    const int step = pixels.width() * pixels.height() > 40000 ? 3 : 1;
    for (int y = pixels.top(); y <= pixels.bottom(); y += step) {
        for (int x = pixels.left(); x <= pixels.right(); x += step)
            count.add(picture, x, y);
    }
    return count.dominant(text);
}

// The pixels two steps outside `box`, where only the visible part of the ring is sampled.
QColor around(const QImage& picture, const QRectF& box, const QRectF& visible)
{
    ColourCount count;
    const QRect ring = box.toAlignedRect().adjusted(-2, -2, 1, 1);
    const QRect seen = visible.toAlignedRect().adjusted(-3, -3, 3, 3);
    auto sample = [&](int x, int y) {
        if (seen.contains(x, y))
            count.add(picture, x, y);
    };
    for (int x = ring.left(); x <= ring.right(); ++x) {
        sample(x, ring.top());
        sample(x, ring.bottom());
    }
    for (int y = ring.top(); y <= ring.bottom(); ++y) {
        sample(ring.left(), y);
        sample(ring.right(), y);
    }
    return count.empty() ? QColor() : count.dominant();
}

bool isLarge(const QQuickItem& text)
{
    const QFont font = text.property("font").value<QFont>();
    const double pixels = font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF() * 96.0 / 72.0;
    return pixels >= kLargeTextPixels || (pixels >= kLargeBoldTextPixels && font.weight() >= QFont::Bold);
}

// A scroll bar or indicator that shows now, on the scrolling item or on the scroll view around it.
bool showsScrolling(const QQuickItem& scroller)
{
    QList<const QQuickItem*> places{&scroller};
    if (scroller.parentItem() != nullptr && inherits(*scroller.parentItem(), "QQuickScrollView"))
        places.append(scroller.parentItem());
    for (const QQuickItem* place : places) {
        for (const QQuickItem* child : place->childItems()) {
            if (!inherits(*child, "QQuickScrollBar") && !inherits(*child, "QQuickScrollIndicator"))
                continue;
            const QQuickItem* handle = child->property("contentItem").value<QQuickItem*>();
            if (child->isVisible() && child->opacity() > 0 && child->property("size").toDouble() < 1.0
                && handle != nullptr && handle->isVisible() && handle->opacity() > 0)
                return true;
        }
    }
    return false;
}

// The text may be cut by an outer scrolling area rather than its nearest one (a text field's own
// scroll view inside the scrolling page): any scrolling area that cuts it and shows that it
// scrolls tells the user where the rest is.
bool cutByAScrollerThatShowsIt(const QQuickItem& text, const QRectF& full)
{
    for (const QQuickItem* up = text.parentItem(); up != nullptr; up = up->parentItem()) {
        if (!up->clip() || !inheritsAny(*up, kScrollingClasses))
            continue;
        if (!box(*up).adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance).contains(full) && showsScrolling(*up))
            return true;
    }
    return false;
}

void judgeTextFit(const Node& node, QJsonArray& issues)
{
    QQuickItem& text = *node.item;
    const bool noWrap = !text.property("wrapMode").isValid() || text.property("wrapMode").toInt() == 0;
    const bool elided = text.property("truncated").toBool();
    const bool tooWide = noWrap && text.implicitWidth() > text.width() + kTolerance;
    const bool tooLow = text.implicitHeight() > text.height() + kTolerance
        && text.property("fontSizeMode").toInt() == 0 && text.property("maximumLineCount").isValid();
    if (elided || tooWide || tooLow) {
        QJsonObject found = issue("text-cut", text);
        found.insert(QStringLiteral("implicitWidth"), text.implicitWidth());
        found.insert(QStringLiteral("implicitHeight"), text.implicitHeight());
        found.insert(QStringLiteral("elided"), elided);
        issues.append(found);
        return;
    }
    // A frame that does not scroll hides what it cuts for good, and so does the window's edge.
    if (!node.framed.adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance).contains(node.full)) {
        issues.append(issue("text-cut-by-frame", text));
        return;
    }
    // A text cut at the edge of a scrolling area reads as lying under whatever is beyond that
    // edge, unless the area shows that it scrolls.
    const bool cut = node.visible.height() < node.full.height() - kTolerance
        || node.visible.width() < node.full.width() - kTolerance;
    if (cut && node.scroller != nullptr && !cutByAScrollerThatShowsIt(text, node.full))
        issues.append(issue("text-cut-by-hidden-scrolling", text));
}

void judgeTextContrast(const Node& node, const QImage& picture, QJsonArray& issues)
{
    QQuickItem& text = *node.item;
    if (!text.isEnabled())
        return; // inactive controls are exempt
    // A text mostly scrolled out of sight shows a sliver of its box, not its letters: it is judged
    // where it is scrolled into view.
    if (node.visible.height() < node.full.height() / 2 || node.visible.width() < node.full.width() / 2)
        return;
    const QColor colour = text.property("color").value<QColor>();
    if (!colour.isValid())
        return;
    const QColor background = behind(picture, node.visible, colour);
    const QColor shown = over(colour, colour.alphaF() * node.opacity, background);
    const double ratio = contrastRatio(shown, background);
    const double needed = isLarge(text) ? kLargeTextContrast : kTextContrast;
    if (ratio + 1e-6 >= needed)
        return;
    QJsonObject found = issue("text-contrast", text);
    found.insert(QStringLiteral("colour"), colour.name(QColor::HexArgb));
    found.insert(QStringLiteral("background"), background.name());
    found.insert(QStringLiteral("ratio"), std::round(ratio * 100) / 100);
    found.insert(QStringLiteral("needed"), needed);
    issues.append(found);
}

QColor fillOf(const QQuickItem& box)
{
    return box.property("color").value<QColor>();
}

QColor borderOf(const QQuickItem& box)
{
    const QObject* pen = box.property("border").value<QObject*>();
    if (pen == nullptr || pen->property("width").toDouble() <= 0)
        return {};
    return pen->property("color").value<QColor>();
}

// The best of a box's fill and border against what surrounds it.
double outlineContrast(const QQuickItem& box, const QColor& surroundings)
{
    double best = 1.0;
    for (const QColor& colour : {fillOf(box), borderOf(box)}) {
        if (colour.isValid() && colour.alpha() > 0)
            best = std::max(best, contrastRatio(over(colour, colour.alphaF(), surroundings), surroundings));
    }
    return best;
}

void judgeOutline(const Node& node, const QImage& picture, QJsonArray& issues)
{
    QQuickItem& control = *node.item;
    if (!control.isEnabled())
        return;
    // A check box or switch is found by its indicator; a field or list by its frame.
    QQuickItem* frame = nullptr;
    if (inherits(control, "QQuickAbstractButton"))
        frame = control.property("indicator").value<QQuickItem*>();
    else if (inheritsAny(control, kFramedClasses))
        frame = control.property("background").value<QQuickItem*>();
    if (frame == nullptr || !frame->isVisible() || frame->width() <= 0 || frame->height() <= 0)
        return;
    const QColor surroundings = around(picture, box(*frame), node.visible);
    if (!surroundings.isValid())
        return;
    const double ratio = outlineContrast(*frame, surroundings);
    if (ratio + 1e-6 >= kOutlineContrast)
        return;
    QJsonObject found = issue("outline-contrast", control);
    found.insert(QStringLiteral("fill"), fillOf(*frame).name(QColor::HexArgb));
    found.insert(QStringLiteral("border"), borderOf(*frame).name(QColor::HexArgb));
    found.insert(QStringLiteral("surroundings"), surroundings.name());
    found.insert(QStringLiteral("ratio"), std::round(ratio * 100) / 100);
    issues.append(found);
}

void judgeOverlaps(const QList<Node>& nodes, QJsonArray& issues)
{
    for (qsizetype i = 0; i < nodes.size(); ++i) {
        const Node& a = nodes.at(i);
        for (qsizetype j = i + 1; j < nodes.size(); ++j) {
            const Node& b = nodes.at(j);
            if (a.layer != b.layer || a.item->isAncestorOf(b.item) || b.item->isAncestorOf(a.item))
                continue;
            const QRectF shared = a.visible & b.visible;
            if (shared.width() <= kOverlapPixels || shared.height() <= kOverlapPixels)
                continue;
            QJsonObject found = issue("covered", *a.item);
            found.insert(QStringLiteral("by"), describe(*b.item));
            found.insert(QStringLiteral("byRect"), rectJson(b.full));
            issues.append(found);
        }
    }
}

} // namespace

double contrastRatio(const QColor& a, const QColor& b)
{
    const double first = luminance(a);
    const double second = luminance(b);
    return (std::max(first, second) + 0.05) / (std::min(first, second) + 0.05);
}

// While a popup is open, the window's own content lies dimmed or partly under it, so its colours
// are judged when it is shown on its own; the popup's are judged now.
bool popupOpen(const QQuickWindow& window)
{
    for (const QQuickItem* child : window.contentItem()->childItems()) {
        if (!inherits(*child, "QQuickOverlay"))
            continue;
        for (const QQuickItem* layer : child->childItems()) {
            if (layer->isVisible() && layer->opacity() > 0)
                return true;
        }
    }
    return false;
}

SceneVerdict judgeScene(const QQuickWindow& window, const QImage& picture)
{
    SceneVerdict verdict;
    QList<Node> nodes;
    const QRectF area = windowArea(window);
    collect(window.contentItem(), area, area, 1.0, nullptr, false, nullptr, nodes);
    const bool underPopup = popupOpen(window);
    for (const Node& node : std::as_const(nodes)) {
        const bool seenAsIs = !underPopup || node.layer != nullptr;
        if (node.kind == Kind::Text) {
            ++verdict.texts;
            judgeTextFit(node, verdict.issues);
            if (seenAsIs)
                judgeTextContrast(node, picture, verdict.issues);
            continue;
        }
        ++verdict.controls;
        if (!node.scrolls && !area.adjusted(-kTolerance, -kTolerance, kTolerance, kTolerance).contains(node.full))
            verdict.issues.append(issue("control-outside-window", *node.item));
        if (seenAsIs)
            judgeOutline(node, picture, verdict.issues);
    }
    judgeOverlaps(nodes, verdict.issues);
    return verdict;
}

QString describeIssues(const QJsonArray& issues)
{
    QString lines;
    for (const QJsonValue& value : issues) {
        const QJsonObject found = value.toObject();
        lines += found.value(QStringLiteral("kind")).toString() + QStringLiteral(": ")
            + found.value(QStringLiteral("what")).toString();
        for (auto it = found.constBegin(); it != found.constEnd(); ++it) {
            if (it.key() == QLatin1String("kind") || it.key() == QLatin1String("what"))
                continue;
            const QJsonValue field = it.value();
            QString shown;
            if (field.isObject()) {
                const QJsonObject r = field.toObject();
                shown = QStringLiteral("%1,%2 %3x%4")
                            .arg(r.value(QStringLiteral("x")).toDouble())
                            .arg(r.value(QStringLiteral("y")).toDouble())
                            .arg(r.value(QStringLiteral("width")).toDouble())
                            .arg(r.value(QStringLiteral("height")).toDouble());
            } else {
                shown = field.toVariant().toString();
            }
            lines += QStringLiteral(" %1=%2").arg(it.key(), shown);
        }
        lines += QLatin1Char('\n');
    }
    return lines;
}

} // namespace qa
