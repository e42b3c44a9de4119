// Every page, dialog, file dialog and popup of the real window, at the check runs' two window
// sizes, in both languages and both themes, judged by the scene checks: nothing cut, nothing too
// faint, no control lying on another, no control off the window.

#include "app/controller_seams.h"
#include "qa/capture_modes.h"
#include "qa/layout_checks.h"
#include "qa/scene_checks.h"
#include "tests/support/settings_shell.h"

#include <QFontDatabase>
#include <QGuiApplication>
#include <QImage>
#include <QQuickItem>

#include <gtest/gtest.h>

namespace {

using vorna::test::SettingsShell;

// Colour changes are animated; a still desktop makes every frame final once it is polished.
class StillDesktop : public PlatformProbe {
public:
    bool clientAreaAnimation() const override { return false; }
};

ControllerSeams stillSeams()
{
    ControllerSeams seams;
    seams.probe = std::make_shared<StillDesktop>();
    return seams;
}

void showPage(SettingsShell& shell, const char* constant)
{
    QQuickWindow& window = *shell.window();
    window.setProperty("page", window.property(constant));
}

void callWindow(SettingsShell& shell, const char* function)
{
    qa::invokeQml(shell.window(), function);
}

void callOn(SettingsShell& shell, const char* objectName, const char* function)
{
    qa::invokeQml(shell.find(QLatin1String(objectName)), function);
}

QObject* sourcePickerPopup(SettingsShell& shell)
{
    QObject* picker = qa::findInWindow(*shell.window(), QStringLiteral("sourcePicker"));
    return picker != nullptr ? picker->property("popup").value<QObject*>() : nullptr;
}

// A macro with a few steps, so the macros page shows its lists filled.
void addMacro(SettingsShell& shell)
{
    AppController& controller = shell.controller();
    controller.editMacro(-1);
    controller.setProperty("macroName", QStringLiteral("Layout macro"));
    controller.addMacroStep(QStringLiteral("tap"), QStringLiteral("key_65"), 40);
    controller.addMacroStep(QStringLiteral("wait"), QString(), 80);
    controller.addMacroStep(QStringLiteral("move"), QStringLiteral("20,-10"), 100);
    controller.saveMacro();
}

struct View {
    const char* name;
    void (*open)(SettingsShell& shell);
};

const View kViews[] = {
    {"MousePageWithTheLiveStripExpanded",
        [](SettingsShell& s) {
            s.controller().setMouseLiveExpanded(true);
            showPage(s, "pageMouse");
        }},
    {"MousePageWithAdvancedMapping",
        [](SettingsShell& s) {
            showPage(s, "pageMouse");
            s.window()->setProperty("advancedMapping", true);
        }},
    {"KeyboardPage", [](SettingsShell& s) { showPage(s, "pageKeyboard"); }},
    {"ProfilesPageWithConditions", [](SettingsShell& s) { callWindow(s, "showProfileConditions"); }},
    {"MacrosPage",
        [](SettingsShell& s) {
            addMacro(s);
            showPage(s, "pageMacros");
        }},
    {"DiagnosticsPageWithDetails",
        [](SettingsShell& s) {
            showPage(s, "pageDiagnostics");
            if (QObject* toggle = s.find(QStringLiteral("diagnosticsTechnicalToggle")))
                toggle->setProperty("checked", true);
        }},
    {"SettingsPage", [](SettingsShell& s) { showPage(s, "pageSettings"); }},
    {"ShortcutRecorder", [](SettingsShell& s) { callOn(s, "shortcutRecorder", "open"); }},
    {"MouseCapabilities", [](SettingsShell& s) { callOn(s, "mouseCapabilities", "open"); }},
    {"ActionEditor", [](SettingsShell& s) { callWindow(s, "showCustomAction"); }},
    {"TriggerEditor", [](SettingsShell& s) { callWindow(s, "showTriggerEditor"); }},
    {"MotionEditorWheel", [](SettingsShell& s) { callWindow(s, "showMotionEditor"); }},
    {"MotionEditorCursor", [](SettingsShell& s) { callWindow(s, "showCursorEditor"); }},
    {"MotionEditorWithItsNotice",
        [](SettingsShell& s) {
            // A save leaves its notice in the editor's footer, beside the buttons.
            QVariantMap motion = s.controller().motion();
            motion.insert(QStringLiteral("wheelVertical"), 150);
            s.controller().saveMotion(motion, false);
            callWindow(s, "showMotionEditor");
        }},
    {"BindingConfirm",
        [](SettingsShell& s) {
            QObject* confirm = s.find(QStringLiteral("bindingConfirm"));
            ASSERT_NE(confirm, nullptr);
            confirm->setProperty("previewInput", QStringLiteral("mouse_forward"));
            qa::invokeQml(confirm, "open");
        }},
    {"RunningPicker", [](SettingsShell& s) { callWindow(s, "showRunningPickerDemo"); }},
    {"ChordDialog", [](SettingsShell& s) { callWindow(s, "showCustomChord"); }},
    {"ExportFileDialog", [](SettingsShell& s) { callOn(s, "exportFile", "open"); }},
    {"ImportFileDialog", [](SettingsShell& s) { callOn(s, "importFile", "open"); }},
    {"ApplicationFileDialog", [](SettingsShell& s) { callOn(s, "appFile", "open"); }},
    {"QuickThemeMenu",
        [](SettingsShell& s) {
            auto* action = s.find<QQuickItem>(QStringLiteral("quickThemeAction"));
            ASSERT_NE(action, nullptr);
            s.click(action);
            // As under the pointer or after an arrow key: the first entry highlighted.
            if (QObject* menu = s.find(QStringLiteral("quickThemeMenu")))
                menu->setProperty("currentIndex", 0);
        }},
    {"LiveHistoryPopup",
        [](SettingsShell& s) {
            showPage(s, "pageKeyboard");
            s.settle();
            callOn(s, "historyPopup", "open");
        }},
    {"SourcePickerPopup",
        [](SettingsShell& s) {
            showPage(s, "pageMouse");
            s.settle();
            qa::invokeQml(sourcePickerPopup(s), "open");
        }},
};

struct Frame {
    const char* language;
    int width;
    int height;
};

// The sizes of the check runs' page matrix, in both languages.
const Frame kFrames[] = {{"ru", 1380, 960}, {"en", 1380, 960}, {"ru", 1000, 680}, {"en", 1000, 680}};
const char* const kThemes[] = {"dark", "light"};

QString frameName(const View& view, const char* theme, const Frame& frame)
{
    return QStringLiteral("scene-%1-%2-%3-%4x%5")
        .arg(QLatin1String(view.name), QLatin1String(frame.language), QLatin1String(theme))
        .arg(frame.width)
        .arg(frame.height);
}

// Closes whatever popup or dialog is open, file dialogs included.
void closePopups(SettingsShell& shell)
{
    for (QQuickItem* child : shell.window()->contentItem()->childItems()) {
        if (!child->inherits("QQuickOverlay"))
            continue;
        for (QQuickItem* layer : child->childItems()) {
            if (layer->inherits("QQuickPopupItem"))
                qa::invokeQml(layer->parent(), "close");
        }
    }
    for (const char* dialog : {"exportFile", "importFile", "appFile"})
        qa::invokeQml(shell.find(QLatin1String(dialog)), "close");
    shell.settle();
}

class SceneJudge : public testing::TestWithParam<View> {};

TEST_P(SceneJudge, NothingIsCutFaintCoveredOrOffTheWindow)
{
    const View& view = GetParam();
    SettingsShell shell(stillSeams());
    ASSERT_NE(shell.window(), nullptr);
    const bool keep = qEnvironmentVariableIsSet("VORNA_SCENE_SHOTS");
    for (const char* theme : kThemes) {
      // Opened in its theme, as a user opens it; the language and size change while it is open.
      closePopups(shell);
      shell.controller().setTheme(QLatin1String(theme));
      shell.settle();
      view.open(shell);
      for (const Frame& frame : kFrames) {
        shell.controller().setLanguage(QLatin1String(frame.language));
        shell.window()->resize(frame.width, frame.height);
        const QImage picture = shell.grab();
        ASSERT_FALSE(picture.isNull());
        const qa::SceneVerdict verdict = qa::judgeScene(*shell.window(), picture);
        const QString name = frameName(view, theme, frame);
        EXPECT_GT(verdict.texts, 3) << name.toStdString();
        EXPECT_TRUE(verdict.issues.isEmpty()) << name.toStdString() << "\n"
                                              << qa::describeIssues(verdict.issues).toStdString();
        if (keep || !verdict.issues.isEmpty())
            picture.save(vorna::test::screenshotFolder() + QLatin1Char('/') + name + QStringLiteral(".png"));
      }
    }
}

INSTANTIATE_TEST_SUITE_P(Views, SceneJudge, testing::ValuesIn(kViews),
    [](const testing::TestParamInfo<View>& info) { return std::string(info.param.name); });

// The brightness of a switch's track against the popup behind it.
double trackContrast(const QQuickItem& toggle, const QColor& behind)
{
    const auto* track = toggle.property("indicator").value<QQuickItem*>();
    return track != nullptr ? qa::contrastRatio(track->property("color").value<QColor>(), behind) : 0.0;
}

// A switch that is on stands out more than one that is off, in both themes: an inverted look
// reads as the opposite state.
TEST(SwitchLook, OnStandsOutMoreThanOff)
{
    SettingsShell shell(stillSeams());
    ASSERT_NE(shell.window(), nullptr);
    showPage(shell, "pageKeyboard");
    shell.settle();
    callOn(shell, "historyPopup", "open");
    auto* toggle = shell.find<QQuickItem>(QStringLiteral("historyKeep"));
    ASSERT_NE(toggle, nullptr);
    for (const char* theme : kThemes) {
        shell.controller().setTheme(QLatin1String(theme));
        shell.settle();
        const QColor paper = shell.window()->property("paper").value<QColor>();
        toggle->setProperty("checked", false);
        shell.settle();
        const double off = trackContrast(*toggle, paper);
        toggle->setProperty("checked", true);
        shell.settle();
        const double on = trackContrast(*toggle, paper);
        EXPECT_GT(on, off) << theme;
        EXPECT_GE(off, qa::kOutlineContrast) << theme; // and off is still seen as a switch
    }
}

// A font with much taller lines than the pinned one, made the application's font for one test.
class TallFont {
public:
    TallFont()
        : m_previous((vorna::test::guiApplication(), QGuiApplication::font()))
    {
        const int id = QFontDatabase::addApplicationFont(QStringLiteral(
            "/usr/share/fonts/truetype/dejavu/DejaVuMathTeXGyre.ttf"));
        const QStringList families = QFontDatabase::applicationFontFamilies(id);
        if (!families.isEmpty()) {
            QFont tall(families.first());
            tall.setPixelSize(14);
            QGuiApplication::setFont(tall);
        }
    }
    ~TallFont() { QGuiApplication::setFont(m_previous); }
    bool active() const { return QGuiApplication::font().family() != m_previous.family(); }

private:
    QFont m_previous;
};

QRectF sceneBox(const QQuickItem& item)
{
    return item.mapRectToScene(item.boundingRect());
}

// In a font with tall lines and with messages of several lines, the cards that fit are shown,
// inside the window and clear of the page's controls; the others wait their turn.
TEST(NoticeStack, InATallFontEveryShownCardStaysInsideTheWindowAndOffThePageAndTheRestWait)
{
    const TallFont font;
    ASSERT_TRUE(font.active());
    SettingsShell shell(stillSeams());
    ASSERT_NE(shell.window(), nullptr);
    shell.window()->resize(1000, 680);
    shell.controller().setLanguage(QStringLiteral("en"));
    QObject* stack = shell.find(QStringLiteral("toastStack"));
    ASSERT_NE(stack, nullptr);
    const QString message = QStringLiteral(
        "The library could not be written: the disk is full. Nothing was lost; free some space and save again.");
    for (int i = 0; i < 4; ++i)
        QMetaObject::invokeMethod(stack, "pushNotice", Q_ARG(QVariant, message), Q_ARG(QVariant, true));
    const QImage picture = shell.grab();

    const QRectF window(0, 0, shell.window()->width(), shell.window()->height());
    int shown = 0;
    for (int id = 1; id <= 4; ++id) {
        auto* card = shell.find<QQuickItem>(QStringLiteral("toast_%1").arg(id));
        auto* close = shell.find<QQuickItem>(QStringLiteral("closeToast_%1").arg(id));
        if (card == nullptr)
            continue;
        ++shown;
        ASSERT_NE(close, nullptr);
        EXPECT_TRUE(window.contains(sceneBox(*card))) << id;
        EXPECT_TRUE(window.contains(sceneBox(*close))) << id;
    }
    EXPECT_GE(shown, 1);
    EXPECT_LE(shown, 3);
    EXPECT_EQ(shell.find(QStringLiteral("toast_4")), nullptr); // the fourth always waits here
    const qa::SceneVerdict verdict = qa::judgeScene(*shell.window(), picture);
    EXPECT_TRUE(verdict.issues.isEmpty()) << qa::describeIssues(verdict.issues).toStdString();

    // Closing the oldest lets the next waiting one in.
    auto* first = shell.find<QQuickItem>(QStringLiteral("closeToast_1"));
    ASSERT_NE(first, nullptr);
    shell.click(first);
    EXPECT_EQ(shell.find(QStringLiteral("toast_1")), nullptr);
    EXPECT_NE(shell.find(QStringLiteral("toast_%1").arg(shown + 1)), nullptr);
}

} // namespace
