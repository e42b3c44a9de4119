// The layout checks on small fixture scenes: controls off the window or too small, clipped and
// overflowing labels, overlapping model cards and diagram captions, unnamed icon buttons, the
// visible-item lookup and the layout-phase trace.

#include "app/app_controller.h"
#include "app/check_run.h"
#include "qa/layout_checks.h"
#include "qa/layout_trace.h"
#include "qa/page_layout_checks.h"
#include "tests/support/gui_application.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scoped_env.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QQuickItem>
#include <QQuickWindow>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <memory>

namespace {

using vorna::test::ScopedEnv;

// A window (400 x 300 unless said otherwise) holding `body`, with the controller (when given) as
// "controller".
class Scene {
public:
    explicit Scene(const QByteArray& body, QObject* controller = nullptr, QSize size = QSize(400, 300))
    {
        vorna::test::guiApplication();
        m_engine = std::make_unique<QQmlEngine>();
        if (controller != nullptr)
            m_engine->rootContext()->setContextProperty(QStringLiteral("controller"), controller);
        QQmlComponent component(m_engine.get());
        component.setData(QStringLiteral("import QtQuick\nimport QtQuick.Controls\nWindow { width: %1; height: %2; "
                                         "visible: true\n")
                                  .arg(size.width())
                                  .arg(size.height())
                                  .toUtf8()
                              + body + "\n}\n",
            QUrl(QStringLiteral("qrc:/fixture/Scene.qml")));
        m_window.reset(qobject_cast<QQuickWindow*>(component.create()));
        EXPECT_NE(m_window, nullptr) << component.errorString().toStdString();
        for (int i = 0; i < 5; ++i)
            QCoreApplication::processEvents();
    }
    QQuickWindow& window() const { return *m_window; }
    QQuickItem* root() const { return m_window->contentItem(); }

private:
    std::unique_ptr<QQmlEngine> m_engine;
    std::unique_ptr<QQuickWindow> m_window;
};

QStringList kinds(const QJsonArray& issues)
{
    QStringList found;
    for (const QJsonValue& issue : issues)
        found.append(issue.toObject().value("kind").toString());
    return found;
}

TEST(ControlBounds, OneStrayPixelIsToleratedTwoAreNotAndSmallControlsFail)
{
    const struct {
        const char* geometry;
        double minimumWidth;
        const char* expected; // empty: passes
    } cases[] = {
        {"x: 0; y: 0; width: 40; height: 25", 40, ""},
        {"x: 361; y: 0; width: 40; height: 25", 40, ""},             // right edge one pixel beyond
        {"x: 362; y: 0; width: 40; height: 25", 40, "control-bounds"}, // two pixels beyond
        {"x: 10; y: 276; width: 40; height: 25", 40, ""},
        {"x: 10; y: 10; width: 40; height: 24.9", 40, "control-bounds"},
        {"x: 10; y: 10; width: 39; height: 25", 40, "control-bounds"},
        {"x: 10; y: 10; width: 32; height: 25", 32, ""},
        {"x: -2; y: 10; width: 40; height: 25", 40, "control-bounds"},
        {"x: 10; y: 10; width: 40; height: 25; visible: false", 40, "missing-control"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.geometry);
        const Scene scene(QByteArray("Rectangle { objectName: \"control\"; ") + c.geometry + " }");
        QJsonArray issues;
        qa::checkControlBounds(scene.window(), QStringLiteral("control"), c.minimumWidth, issues);
        EXPECT_EQ(kinds(issues), *c.expected ? QStringList{c.expected} : QStringList());
    }
}

TEST(PageControlBounds, OnlyTheWidthOfTheWindowAndAnEmptyBoxCount)
{
    const struct {
        const char* geometry;
        const char* expected;
    } cases[] = {
        {"x: -1; y: 10; width: 40; height: 25", ""},
        {"x: -1.5; y: 10; width: 40; height: 25", "page-control-horizontal-bounds"},
        {"x: 361; y: 10; width: 40; height: 25", ""},
        {"x: 361.5; y: 10; width: 40; height: 25", "page-control-horizontal-bounds"},
        {"x: 10; y: 500; width: 40; height: 25", ""}, // below the window: not judged
        {"x: 10; y: 10; width: 40; height: 0", "page-control-horizontal-bounds"},
        {"x: 10; y: 10; width: 40; height: 25; visible: false", "missing-page-control"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.geometry);
        const Scene scene(QByteArray("Rectangle { objectName: \"control\"; ") + c.geometry + " }");
        QJsonArray controls;
        QJsonArray issues;
        qa::checkPageControlBounds(scene.window(), QStringLiteral("control"), controls, issues);
        EXPECT_EQ(kinds(issues), *c.expected ? QStringList{c.expected} : QStringList());
        EXPECT_EQ(controls.size(), QByteArray(c.expected) == "missing-page-control" ? 0 : 1);
    }
}

TEST(TextChecks, ClippedLabelsAreReportedAndEditableFieldsNeverJudged)
{
    const Scene scene(R"(
        Text { objectName: "fits"; width: implicitWidth + 1; text: "Готово" }
        Text { objectName: "tooWide"; y: 30; width: 20; text: "A label much wider than twenty pixels" }
        Text { objectName: "tooLow"; y: 60; width: 100; height: 5; wrapMode: Text.Wrap; text: "Wrapped text" }
        TextInput { objectName: "input"; y: 90; width: 20; text: "An editable field scrolls its text" }
        TextField { objectName: "field"; y: 120; width: 40; text: "A text field scrolls its text too" }
        Flickable {
            y: 160; width: 200; height: 40; clip: true; contentY: 200; contentHeight: 400
            Text { objectName: "scrolledAway"; width: 10; text: "Far outside the visible part" }
        })");
    QJsonArray widthIssues;
    int judged = 0;
    qa::checkTextFits(scene.root(), scene.window(), widthIssues, judged);
    ASSERT_EQ(kinds(widthIssues), QStringList{"text-width"});
    EXPECT_EQ(widthIssues.at(0).toObject().value("object").toString(), "tooWide");
    // fits, tooWide, tooLow; the inputs are not candidates and the scrolled-away text is not visible.
    EXPECT_EQ(judged, 3);

    QJsonArray labelIssues;
    int examined = 0;
    qa::checkLabelClipping(scene.root(), labelIssues, examined);
    ASSERT_EQ(kinds(labelIssues), (QStringList{"label-clipped", "label-clipped", "label-clipped"}));
    EXPECT_EQ(labelIssues.at(0).toObject().value("object").toString(), "tooWide");
    EXPECT_EQ(labelIssues.at(1).toObject().value("object").toString(), "tooLow");
    EXPECT_EQ(labelIssues.at(2).toObject().value("object").toString(), "scrolledAway");
    EXPECT_EQ(examined, 4);
}

TEST(TextChecks, EditableFieldsAreRecognisedByTheirItemClass)
{
    const Scene scene(R"(
        TextInput { objectName: "input" }
        TextEdit { objectName: "edit" }
        TextField { objectName: "field" }
        TextArea { objectName: "area" }
        Text { objectName: "label" })");
    for (const char* name : {"input", "edit", "field", "area"})
        EXPECT_TRUE(qa::isEditableField(*qa::findInWindow(scene.window(), QLatin1String(name)))) << name;
    EXPECT_FALSE(qa::isEditableField(*qa::findInWindow(scene.window(), QStringLiteral("label"))));
}

TEST(IconAccessibility, IconButtonsNeedANameThatIsNotBlank)
{
    const Scene scene(R"(
        Button { objectName: "unnamed"; icon.source: "qrc:/assets/icons/close.svg" }
        Button { objectName: "blank"; y: 40; icon.source: "qrc:/assets/icons/close.svg"; Accessible.name: "  " }
        Button { objectName: "named"; y: 80; icon.source: "qrc:/assets/icons/close.svg"; Accessible.name: "Close" }
        Button { objectName: "textOnly"; y: 120; text: "Plain" })");
    QJsonArray issues;
    int checked = 0;
    qa::checkIconAccessibility(scene.root(), issues, checked);
    EXPECT_EQ(checked, 3);
    ASSERT_EQ(kinds(issues), (QStringList{"icon-without-accessible-name", "icon-without-accessible-name"}));
    EXPECT_EQ(issues.at(0).toObject().value("object").toString(), "unnamed");
    EXPECT_EQ(issues.at(1).toObject().value("object").toString(), "blank");
    EXPECT_EQ(issues.at(0).toObject().value("source").toString(), "qrc:/assets/icons/close.svg");
}

TEST(VisibleItemLookup, AHiddenNamesakeDoesNotEndTheSearchAndAHiddenParentHidesItsChildren)
{
    const Scene scene(R"(
        Item { visible: false; Rectangle { objectName: "underHidden"; visible: true } }
        Rectangle { objectName: "twin"; visible: false; width: 1 }
        Rectangle { objectName: "twin"; width: 2 })");
    EXPECT_EQ(qa::findInWindow(scene.window(), QStringLiteral("underHidden")), nullptr);
    const QQuickItem* twin = qa::findInWindow(scene.window(), QStringLiteral("twin"));
    ASSERT_NE(twin, nullptr);
    EXPECT_EQ(twin->width(), 2);
}

// The model row and the diagram captions need the real catalog, so a sandboxed controller.
class WithController : public ::testing::Test {
protected:
    WithController()
    {
        vorna::test::guiApplication();
        app::isolateCheckRun(m_folder.path());
        m_controller = std::make_unique<AppController>(nullptr, false);
    }
    QTemporaryDir m_folder;
    std::unique_ptr<AppController> m_controller;
};

TEST_F(WithController, OverlappingModelCardsAreReportedForTheRightCard)
{
    // Cards 100 wide in a row; card 3 starts one pixel inside card 2.
    const Scene scene(R"(
        Item {
            objectName: "modelSelector"
            property int count: controller.models.length
            property int currentIndex: controller.selectedIndex
            Repeater {
                model: controller.models.length
                Item {
                    objectName: "modelOption_" + index
                    width: 100; height: 60
                    x: index * 100 - (index === 3 ? 1 : 0)
                    Rectangle { objectName: "modelImage_" + index; width: 40; height: 30 }
                    Text { objectName: "modelLabel_" + index; y: 32; text: "M" + index }
                }
            }
        })",
        m_controller.get(), QSize(900, 300));
    QJsonArray issues;
    qa::checkModelSelector(scene.window(), *m_controller, issues);
    ASSERT_EQ(kinds(issues), QStringList{"model-row-bounds"});
    EXPECT_EQ(issues.at(0).toObject().value("modelIndex").toInt(), 3);
}

TEST_F(WithController, OverlappingDiagramCaptionsAreReportedForTheLaterOne)
{
    const Scene scene(R"(
        Rectangle {
            objectName: "inputDiagram"; width: 400; height: 900
            Image { objectName: "normalizedMouseImage"; property real paintedWidth: 10; property real paintedHeight: 10
                property int status: 1 }
            Repeater {
                model: controller.selectedModel.hotspots
                Item {
                    id: spot
                    required property var modelData
                    required property int index
                    readonly property bool drawn: modelData.id !== "dpi" && modelData.id !== "center"
                    Item {
                        visible: spot.drawn
                        objectName: "mouseMarker_" + spot.modelData.id
                        property string inputId: controller.hotspotInput(spot.modelData.id, spot.modelData.input || "")
                    }
                    Rectangle {
                        visible: spot.drawn
                        objectName: "mouseLeader_" + spot.modelData.id
                        y: spot.index === 1 ? 30 : spot.index * 70
                        width: 200; height: 64
                        Text { objectName: "mouseLeaderText_" + spot.modelData.id; width: 180; height: 20; text: "X" }
                    }
                }
            }
        })",
        m_controller.get(), QSize(400, 900));
    const QVariantList hotspots = m_controller->selectedModel().value("hotspots").toList();
    ASSERT_GE(hotspots.size(), 3);
    ASSERT_NE(hotspots.at(0).toMap().value("id"), "dpi");
    ASSERT_NE(hotspots.at(1).toMap().value("id"), "dpi");
    QJsonArray leaders;
    QJsonArray issues;
    qa::checkMouseDiagram(scene.window(), *m_controller, leaders, issues);
    ASSERT_EQ(kinds(issues), QStringList{"leader-overlap"});
    EXPECT_EQ(issues.at(0).toObject().value("hotspot").toString(), hotspots.at(1).toMap().value("id").toString());
}

TEST(LayoutTrace, LinesAreCutKeptOnOneLineAndTheFileNeverPassesItsLimit)
{
    QTemporaryDir folder;
    const QString path = QDir(folder.path()).filePath(QLatin1String(qa::kLayoutTraceFile));
    {
        const ScopedEnv off(qa::kLayoutTraceVariable, std::nullopt);
        qa::traceLayoutPhase(folder.path(), QStringLiteral("nothing"), true);
        EXPECT_FALSE(QFile::exists(path));
    }
    const ScopedEnv on(qa::kLayoutTraceVariable, QByteArray("1"));
    qa::traceLayoutPhase(folder.path(), QString(200, QLatin1Char('a')), true);
    qa::traceLayoutPhase(folder.path(), QStringLiteral("two\nlines\r"), false);
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    file.close();
    ASSERT_EQ(lines.size(), 3);
    EXPECT_TRUE(lines.at(0).endsWith("Z " + QByteArray(192, 'a'))) << lines.at(0).constData();
    EXPECT_TRUE(lines.at(1).endsWith("Z two lines ")) << lines.at(1).constData();

    // Filling up: lines are written while they fit whole, then dropped.
    for (int i = 0; i < 200; ++i)
        qa::traceLayoutPhase(folder.path(), QString(100, QLatin1Char('b')), false);
    EXPECT_LE(QFileInfo(path).size(), qa::kLayoutTraceMaxBytes);
    EXPECT_GT(QFileInfo(path).size(), qa::kLayoutTraceMaxBytes - 130);
    qa::traceLayoutPhase(folder.path(), QStringLiteral("afresh"), true);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().endsWith("Z afresh\n"));
}

} // namespace
