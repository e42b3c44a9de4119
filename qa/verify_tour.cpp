#include "qa/verify_tour.h"

#include "app/app_controller.h"
#include "qa/capture_modes.h"
#include "qa/layout_checks.h"
#include "qa/layout_trace.h"
#include "qa/live_fixtures.h"
#include "qa/mouse_matrix.h"
#include "qa/stage_limit.h"

#include <QCoreApplication>
#include <QFont>
#include <QImage>
#include <QKeyEvent>
#include <QQuickItem>
#include <QQuickWindow>
#include <QSettings>
#include <QTimer>
#include <cmath>
#include <iterator>

namespace qa {

namespace {

constexpr int kSideBySideWidth = 1100;
constexpr int kSourceEmphasisWeight = QFont::DemiBold;
const QString kCopyChord = QStringLiteral("chord:key_162+key_67");
const QString kPasteChord = QStringLiteral("chord:key_162+key_86");
const QString kRenamed = QStringLiteral("Вставить из буфера");

struct PinnedControl {
    const char* name;
    double minimumWidth;
};
constexpr PinnedControl kPinnedControls[] = {{"applyAction", 40}, {"quickThemeAction", 32}};
constexpr double kPinnedMinimumHeight = 25;

// One tick's view of the run, with the window and controller operations the frame table uses.
struct Tour {
    const TourState& state;
    QQuickWindow& window;
    AppController& controller;
    int frame;

    // Ends the run: one message (when given) on standard error, then the exit code.
    bool fail(int code, const char* message = nullptr) const
    {
        if (message != nullptr)
            qa::printf(stderr, "%s", message);
        endRun(state.timer, code);
        return false;
    }
    QQuickItem* item(const QString& name) const { return findInWindow(window, name); }
    // Anywhere in the window's object tree, whatever the object's type.
    QObject* object(const char* name) const { return findObject(window, QLatin1String(name)); }
    int page() const { return window.property("page").toInt(); }
    void showPage(const char* constant) const { window.setProperty("page", window.property(constant)); }
    void call(const char* function) const { invokeQml(&window, function); }
    void callOn(const char* objectName, const char* function) const { invokeQml(object(objectName), function); }
    void resize(int width, int height) const { window.resize(width, height); }
    void language(const char* value) const { controller.setLanguage(QLatin1String(value)); }
    void theme(const char* value) const { controller.setTheme(QLatin1String(value)); }
    void feed(const QList<QJsonObject>& messages) const
    {
        for (const QJsonObject& message : messages)
            controller.handleTrace(message);
    }
    QObject* sourcePickerPopup() const
    {
        QObject* picker = object("sourcePicker");
        return picker != nullptr ? picker->property("popup").value<QObject*>() : nullptr;
    }
};

// ---- checks of the frame the previous tick set up ----

bool checkPinnedControls(const Tour& tour)
{
    const double width = tour.window.width();
    const double height = tour.window.height();
    for (const PinnedControl& pinned : kPinnedControls) {
        const QQuickItem* control = tour.item(QLatin1String(pinned.name));
        if (control == nullptr) {
            qa::printf(stderr, "Missing pinned control: %s\n", pinned.name);
            return tour.fail(8);
        }
        const QRectF r = sceneRect(*control);
        const bool unreachable = r.x() < 0 || r.y() < 0 || r.x() + r.width() > width + 1
            || r.y() + r.height() > height + 1 || r.width() < pinned.minimumWidth || r.height() < kPinnedMinimumHeight;
        if (unreachable) {
            qa::printf(stderr, "Unreachable pinned control: %s, frame %d, rect %.1f %.1f %.1f %.1f, window %d %d\n",
                pinned.name, tour.frame - 1, r.x(), r.y(), r.width(), r.height(), tour.window.width(),
                tour.window.height());
            tour.window.grabWindow().save(tour.state.context.filePath(QStringLiteral("failure-layout.png")));
            return tour.fail(8);
        }
    }
    return true;
}

bool checkMappingLayout(const Tour& tour)
{
    const QQuickItem* diagram = tour.item(QStringLiteral("inputDiagram"));
    const QQuickItem* live = tour.item(QStringLiteral("diagramLivePanel"));
    const QQuickItem* editor = tour.item(QStringLiteral("actionEditorCard"));
    const QQuickItem* source = tour.item(QStringLiteral("sourcePicker"));
    if (diagram == nullptr || live == nullptr || editor == nullptr || source == nullptr
        || source->property("font").value<QFont>().weight() < kSourceEmphasisWeight)
        return tour.fail(8, "Mapping layout/source emphasis missing\n");
    const QRectF d = sceneRect(*diagram);
    const QRectF l = sceneRect(*live);
    const QRectF e = sceneRect(*editor);
    auto near = [](double a, double b) { return std::abs(a - b) <= 1; };
    const bool liveUnder = l.y() >= d.y() + d.height() && near(l.x(), d.x()) && near(l.right(), d.right());
    const bool editorPlaced = tour.window.width() < kSideBySideWidth
        ? e.y() >= l.y() + l.height() && near(e.x(), d.x()) && near(e.right(), d.right())
        : e.x() >= d.x() + d.width() && near(e.y(), d.y()) && near(e.bottom(), l.bottom());
    if (liveUnder && editorPlaced)
        return true;
    qa::printf(stderr, "Mapping/live/editor alignment regression frame %d\n", tour.frame - 1);
    return tour.fail(8);
}

bool checkLeftMarker(const Tour& tour)
{
    const QQuickItem* left = tour.item(QStringLiteral("mouseMarker_left"));
    if (left == nullptr || !left->property("selected").toBool()
        || left->property("inputId").toString() != QLatin1String("mouse_left"))
        return tour.fail(9, "Left marker selection regression\n");
    for (const char* side : {"side_front", "side_rear"}) {
        const QQuickItem* marker = tour.item(QStringLiteral("mouseMarker_") + QLatin1String(side));
        const QString expected = QLatin1String(side).endsWith(QLatin1String("front")) ? QStringLiteral("mouse_forward")
                                                                                        : QStringLiteral("mouse_back");
        if (marker == nullptr || marker->property("inputId").toString() != expected
            || marker->property("selected").toBool() || marker->property("pulsing").toBool())
            return tour.fail(9, "Duplicate marker highlight regression\n");
    }
    return true;
}

bool checkSideMarkers(const Tour& tour)
{
    const bool frontShown = tour.frame % 2 == 1;
    for (const char* side : {"side_front", "side_rear"}) {
        const QQuickItem* marker = tour.item(QStringLiteral("mouseMarker_") + QLatin1String(side));
        const bool expected = qstrcmp(side, "side_front") == 0 ? frontShown : !frontShown;
        if (marker == nullptr || marker->property("pulsing").toBool() != expected
            || marker->property("selected").toBool() != expected)
            return tour.fail(9, "Side marker live/selection regression\n");
    }
    return true;
}

bool checkMousePage(const Tour& tour)
{
    if (tour.item(QStringLiteral("mouseMarker_dpi")) != nullptr || tour.item(QStringLiteral("mouseMarker_center")) != nullptr)
        return tour.fail(9, "Hidden hardware-only marker returned\n");
    const QQuickItem* selector = tour.item(QStringLiteral("modelSelector"));
    if (selector == nullptr || selector->property("count").toInt() != tour.controller.models().size()
        || selector->property("currentIndex").toInt() != tour.controller.selectedIndex())
        return tour.fail(8, "Mouse model row is missing or out of sync\n");
    return true;
}

// Checks the frame before `tour.frame`; false when the run ended.
bool checkShownFrame(const Tour& tour)
{
    const QImage image = tour.window.grabWindow();
    if (!checkPinnedControls(tour))
        return false;
    if (image.isNull()
        || !image.save(tour.state.context.filePath(QStringLiteral("page-%1.png").arg(tour.frame - 1))))
        return tour.fail(5);
    const int page = tour.page();
    if ((page == 0 || page == 1) && !checkMappingLayout(tour))
        return false;
    if (tour.frame >= 51 && tour.frame <= 53 && !checkLeftMarker(tour))
        return false;
    if (tour.frame >= 55 && tour.frame <= 60 && !checkSideMarkers(tour))
        return false;
    return page != 0 || checkMousePage(tour);
}

// ---- set-up steps of the frame table ----

void bindSideHotspotsToLeft()
{
    QSettings settings;
    for (const char* model : {"vorna-c1w", "vorna-c2"}) {
        for (const char* hotspot : {"side_front", "side_rear", "dpi"})
            settings.setValue(QStringLiteral("bindings/%1/%2").arg(QLatin1String(model), QLatin1String(hotspot)),
                QStringLiteral("mouse_left"));
    }
}

bool keyboardFocusStep(const Tour& tour)
{
    QQuickItem* first = tour.window.contentItem()->nextItemInFocusChain(true);
    if (first == nullptr)
        return tour.fail(8);
    first->forceActiveFocus(Qt::TabFocusReason);
    QKeyEvent tab(QEvent::KeyPress, Qt::Key_Tab, Qt::NoModifier, QString(), false, 1);
    QCoreApplication::sendEvent(&tour.window, &tab);
    const QQuickItem* now = tour.window.activeFocusItem();
    if (now == nullptr || now == first)
        return tour.fail(8, "Keyboard focus did not advance\n");
    return true;
}

bool inlineRenameStep(const Tour& tour)
{
    QQuickItem* editor = tour.item(QStringLiteral("ruleName_mouse_forward#0"));
    if (editor == nullptr)
        return tour.fail(9, "Inline rule name editor missing\n");
    editor->setProperty("text", kRenamed);
    QMetaObject::invokeMethod(editor, "editingFinished");
    if (tour.controller.ruleName() != kRenamed || tour.controller.targetId() != kPasteChord)
        return tour.fail(9, "Inline rename lost its name or changed its action\n");
    tour.resize(1600, 950);
    return true;
}

struct FrameBlock {
    int first;
    int last;
    bool (*setUp)(const Tour& tour);
};

// In ascending frame order, except the keyboard-focus step, which follows frame 32's first block
// at the very end. Each block runs when the frame lies in its range; false ends the tick.
const FrameBlock kFrameBlocks[] = {
    {0, 0, [](const Tour& t) { return t.showPage("pageMouse"), true; }},
    {1, 1, [](const Tour& t) { return t.showPage("pageKeyboard"), true; }},
    {2, 3, [](const Tour& t) { return t.showPage("pageProfiles"), true; }},
    {4, 4, [](const Tour& t) { return t.showPage("pageMacros"), true; }},
    {5, 5, [](const Tour& t) { return t.showPage("pageDiagnostics"), true; }},
    {6, 6, [](const Tour& t) { return t.showPage("pageSettings"), true; }},
    {7, 7,
        [](const Tour& t) {
            t.language("en");
            t.theme("dark");
            t.showPage("pageMacros");
            return true;
        }},
    {8, 8,
        [](const Tour& t) {
            t.resize(1100, 750);
            t.showPage("pageMouse");
            return true;
        }},
    {9, 9,
        [](const Tour& t) {
            t.theme("light");
            t.showPage("pageProfiles");
            return true;
        }},
    {10, 10,
        [](const Tour& t) {
            t.showPage("pageMouse");
            t.call("showCustomChord");
            return true;
        }},
    {11, 11,
        [](const Tour& t) {
            t.call("closeCustomChord");
            t.resize(1380, 960);
            t.language("ru");
            t.theme("dark");
            t.window.setProperty("demoInput", true);
            return true;
        }},
    {11, 17,
        [](const Tour& t) {
            t.showPage(t.frame == 12 ? "pageKeyboard" : "pageMouse");
            t.controller.clearLive();
            t.feed(mappingFixture(t.frame));
            if (t.frame == 17) {
                t.resize(1100, 750);
                t.language("en");
            }
            return true;
        }},
    {18, 18,
        [](const Tour& t) {
            t.resize(1100, 750);
            t.language("ru");
            t.controller.saveAction(-1, QStringLiteral("text"), QStringLiteral("Приветствие"),
                QStringLiteral("Добрый день!\nHello from Vorna."), QString(), false);
            t.call("showCustomAction");
            return true;
        }},
    {19, 19,
        [](const Tour& t) {
            t.call("closeCustomAction");
            t.language("en");
            t.controller.saveAction(-1, QStringLiteral("application"), QStringLiteral("Open editor"),
                QStringLiteral("C:/Windows/notepad.exe"), QString(), false);
            t.call("showCustomAction");
            return true;
        }},
    {20, 20,
        [](const Tour& t) {
            t.call("closeCustomAction");
            t.resize(1000, 680);
            t.call("showProfileConditions");
            return true;
        }},
    {21, 21,
        [](const Tour& t) {
            t.resize(1380, 960);
            t.language("ru");
            t.theme("light");
            return true;
        }},
    {22, 22, [](const Tour& t) { return t.call("showRunningPickerDemo"), true; }},
    {23, 23,
        [](const Tour& t) {
            t.call("closeRunningPicker");
            t.theme("dark");
            t.showPage("pageMacros");
            t.controller.editMacro(-1);
            t.controller.addMacroStep(QStringLiteral("chord"), kCopyChord, 30);
            t.controller.addMacroStep(QStringLiteral("command"), QStringLiteral("action:1"), 0);
            t.controller.addMacroStep(QStringLiteral("move"), QStringLiteral("20,-10"), 100);
            t.controller.addMacroStep(QStringLiteral("layer"), QStringLiteral("layer:2"), 0);
            t.controller.addMacroStep(QStringLiteral("profile"), QStringLiteral("next"), 0);
            t.controller.saveMacro();
            return true;
        }},
    {24, 24,
        [](const Tour& t) {
            t.resize(1000, 680);
            t.language("en");
            t.call("showMacroMovementDemo");
            return true;
        }},
    {25, 25,
        [](const Tour& t) {
            t.language("ru");
            t.controller.selectRule(QStringLiteral("mouse_back"));
            t.controller.setTargetId(kCopyChord);
            t.controller.configureTrigger(QStringLiteral("holdTap"), 500, QStringLiteral("unchanged"), {});
            t.call("showTriggerEditor");
            return true;
        }},
    {26, 26,
        [](const Tour& t) {
            t.call("closeTriggerEditor");
            t.language("en");
            t.controller.configureTrigger(QStringLiteral("double"), 300, QStringLiteral("action:1"), {});
            t.call("showTriggerEditor");
            return true;
        }},
    {27, 27,
        [](const Tour& t) {
            t.call("closeTriggerEditor");
            t.resize(1380, 960);
            t.language("ru");
            t.theme("light");
            t.controller.configureTrigger(QStringLiteral("chord"), 700, QString(),
                {QStringLiteral("mouse_middle"), QStringLiteral("key_162")});
            t.call("showTriggerEditor");
            return true;
        }},
    {28, 28,
        [](const Tour& t) {
            t.call("closeTriggerEditor");
            t.resize(1000, 680);
            t.theme("dark");
            QVariantMap motion = t.controller.motion();
            motion.insert(QStringLiteral("wheelVertical"), 150);
            motion.insert(QStringLiteral("invertHorizontal"), true);
            t.controller.saveMotion(motion, false);
            t.call("showMotionEditor");
            return true;
        }},
    {29, 29,
        [](const Tour& t) {
            t.call("closeMotionEditor");
            t.language("en");
            t.call("showCursorEditor");
            return true;
        }},
    {30, 30,
        [](const Tour& t) {
            t.call("closeMotionEditor");
            t.language("ru");
            t.controller.clearLive();
            t.feed(motionFixture(t.controller.motion()));
            return true;
        }},
    {31, 31,
        [](const Tour& t) {
            t.resize(1000, 680);
            t.theme("dark");
            t.showPage("pageMouse");
            t.call("scrollBodyStart");
            return true;
        }},
    {32, 32, [](const Tour& t) { return t.call("scrollBodyEnd"), true; }},
    {33, 33,
        [](const Tour& t) {
            t.showPage("pageKeyboard");
            t.theme("contrast");
            return true;
        }},
    {34, 34,
        [](const Tour& t) {
            t.resize(1000, 680);
            t.theme("light");
            t.language("en");
            t.showPage("pageMouse");
            return true;
        }},
    {35, 35,
        [](const Tour& t) {
            t.resize(1280, 720);
            t.theme("system");
            t.showPage("pageKeyboard");
            return true;
        }},
    {36, 36,
        [](const Tour& t) {
            t.resize(1366, 768);
            t.theme("dark");
            t.language("ru");
            t.showPage("pageMouse");
            return true;
        }},
    {37, 37,
        [](const Tour& t) {
            t.resize(1000, 680);
            t.showPage("pageProfiles");
            return true;
        }},
    {38, 38,
        [](const Tour& t) {
            t.showPage("pageMacros");
            t.call("showMacroMovementDemo");
            return true;
        }},
    {39, 39, [](const Tour& t) { return t.call("showMotionEditor"), true; }},
    {40, 40,
        [](const Tour& t) {
            t.call("closeMotionEditor");
            t.call("showCustomAction");
            return true;
        }},
    {41, 41,
        [](const Tour& t) {
            t.call("closeCustomAction");
            t.call("showTriggerEditor");
            return true;
        }},
    {42, 42,
        [](const Tour& t) {
            t.call("closeTriggerEditor");
            t.theme("contrast");
            t.showPage("pageSettings");
            return true;
        }},
    {43, 49,
        [](const Tour& t) {
            t.resize(1380, 960);
            t.theme("dark");
            t.language("ru");
            t.showPage("pageKeyboard");
            t.controller.clearLive();
            if (t.frame >= 44)
                t.feed(keyboardFixture(t.frame));
            return true;
        }},
    {50, 50,
        [](const Tour& t) {
            bindSideHotspotsToLeft();
            t.controller.clearLive();
            t.controller.setSelectedIndex(3);
            t.controller.selectRule(QStringLiteral("mouse_left"));
            t.showPage("pageMouse");
            t.controller.selectRule(QStringLiteral("mouse_left"));
            return true;
        }},
    {51, 51, [](const Tour& t) { return t.controller.handleTrace(heldButtonFixture(QStringLiteral("mouse_left"))), true; }},
    {52, 52, [](const Tour& t) { return t.controller.setSelectedIndex(4), true; }},
    {53, 53,
        [](const Tour& t) {
            QObject* confirm = t.object("bindingConfirm");
            if (confirm == nullptr)
                return t.fail(9);
            confirm->setProperty("previewInput", QStringLiteral("mouse_forward"));
            invokeQml(confirm, "open");
            return true;
        }},
    {54, 54,
        [](const Tour& t) {
            t.callOn("bindingConfirm", "close");
            t.controller.setProfileIndex(0);
            t.controller.setLayerIndex(0);
            return true;
        }},
    {54, 59,
        [](const Tour& t) {
            t.controller.setSelectedIndex(3 + (t.frame - 54) / 2);
            t.controller.clearLive();
            const QString button = t.frame % 2 == 0 ? QStringLiteral("mouse_forward") : QStringLiteral("mouse_back");
            t.controller.selectRule(button);
            t.controller.handleTrace(heldButtonFixture(button));
            return true;
        }},
    {60, 60,
        [](const Tour& t) {
            t.controller.clearLive();
            t.controller.setSelectedIndex(4);
            t.controller.selectRule(QStringLiteral("mouse_forward"));
            t.resize(1380, 1400);
            t.call("scrollBodyStart");
            return true;
        }},
    {61, 61, inlineRenameStep},
    {62, 62,
        [](const Tour& t) {
            t.resize(1000, 680);
            t.controller.setSelectedIndex(0);
            return true;
        }},
    {63, 63, [](const Tour& t) { return t.controller.setSelectedIndex(2), true; }},
    {64, 64,
        [](const Tour& t) {
            t.resize(1380, 960);
            t.controller.setSelectedIndex(4);
            invokeQml(t.sourcePickerPopup(), "open");
            return true;
        }},
    {65, 65,
        [](const Tour& t) {
            invokeQml(t.sourcePickerPopup(), "close");
            t.controller.setSelectedIndex(int(t.controller.models().size()) - 1);
            t.controller.clearLive();
            t.window.setProperty("advancedMapping", false);
            return true;
        }},
    {66, 66, [](const Tour& t) { return t.callOn("mouseCapabilities", "open"), true; }},
    {67, 67,
        [](const Tour& t) {
            t.callOn("mouseCapabilities", "close");
            t.callOn("shortcutRecorder", "open");
            return true;
        }},
    {68, 68,
        [](const Tour& t) {
            t.callOn("shortcutRecorder", "close");
            t.resize(1000, 680);
            t.callOn("shortcutRecorder", "open");
            return true;
        }},
    {32, 32, keyboardFocusStep},
};

void handOver(const Tour& tour)
{
    tour.state.timer->stop();
    tour.callOn("shortcutRecorder", "close");
    runMouseVerification(tour.state.context);
}

} // namespace

void runUiVerification(const TourState& state)
{
    const Tour tour{state, *state.context.window, *state.context.controller, *state.frame};
    if (tour.frame >= 1) {
        if (!checkShownFrame(tour))
            return;
        if (tour.frame >= stageFrameCount(kLegacyFrameCount)) {
            handOver(tour);
            return;
        }
    }
    traceLayoutPhase(state.context.folder,
        QStringLiteral("legacy frame=%1 page=%2 %3x%4")
            .arg(tour.frame)
            .arg(tour.page())
            .arg(tour.window.width())
            .arg(tour.window.height()),
        false);
    for (const FrameBlock& block : kFrameBlocks) {
        if (tour.frame >= block.first && tour.frame <= block.last && !block.setUp(tour))
            return;
    }
    *state.frame = tour.frame + 1;
    restartSettleTime(state.timer);
}

} // namespace qa
