// The macro page and the action dialog in the real settings window, rendered offscreen: their
// controls drive the controller, the preview plays into its own field only, and both render in
// both languages without a QML warning.

#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include "tests/editor/editor_fixture.h"

#include <QClipboard>
#include <QJsonArray>
#include <QQuickItem>

namespace {

using vorna::test::SettingsShell;
using vorna::test::spinUntil;

QJsonObject sampleLibrary()
{
    QJsonObject library = vorna::core::defaultLibrary();
    library["actions"] = QJsonArray{QJsonObject{{"type", "text"}, {"name", "Greeting"}, {"value", "Hello"}, {"clipboard", false}},
        QJsonObject{{"type", "application"}, {"name", "Editor"}, {"value", "C:/Tools/editor.exe"}, {"arguments", QJsonArray{}}}};
    library["macros"] = QJsonArray{
        vorna::test::macro("Sign-off", {vorna::test::step("down", "key_160"), vorna::test::step("tap", "key_72", 100),
            vorna::test::step("up", "key_160"), vorna::test::step("tap", "key_73", 100), vorna::test::step("wait", "", 250),
            vorna::test::step("command", "action:1"), vorna::test::step("move", "20,-5", 50),
            vorna::test::step("wheel", "wheel_up", 10), vorna::test::step("layer", "layer:2")}),
        vorna::test::macro("Second", {vorna::test::step("tap", "key_65", 10)})};
    return library;
}

class MacrosPage : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        ASSERT_TRUE(controller().commitLibrary(sampleLibrary(), false));
        m_shell.window()->setProperty("page", 3);
        m_shell.settle();
    }

    AppController& controller() { return m_shell.controller(); }
    QQuickItem* item(const char* name)
    {
        auto* found = m_shell.find<QQuickItem>(QString::fromLatin1(name));
        EXPECT_NE(found, nullptr) << name;
        return found;
    }
    void click(const char* name)
    {
        if (QQuickItem* target = item(name))
            m_shell.click(target);
    }
    // For a button scrolled out of the window.
    void press(const char* name)
    {
        if (QQuickItem* target = item(name))
            QMetaObject::invokeMethod(target, "clicked");
        m_shell.settle();
    }

    SettingsShell m_shell;
};

TEST_F(MacrosPage, OpensAMacroAndRendersInBothLanguages)
{
    click("macroLibraryRow_0");
    EXPECT_EQ(controller().macroIndex(), 0);
    EXPECT_EQ(item("macroNameEdit")->property("text").toString(), "Sign-off");
    EXPECT_NE(m_shell.find(QStringLiteral("macroStepRow_8")), nullptr);
    EXPECT_NE(m_shell.find(QStringLiteral("macroTimelineStep_8")), nullptr);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("macros-page"));
}

TEST_F(MacrosPage, TheNewStepFormAddsAndARowsInlineFormUpdates)
{
    controller().editMacro(-1);
    m_shell.settle();
    item("stepType")->setProperty("currentIndex", 3);
    item("stepTime")->setProperty("text", "400");
    m_shell.settle();
    QQuickItem* add = nullptr;
    for (QQuickItem* candidate : item("stepTime")->parentItem()->parentItem()->findChildren<QQuickItem*>()) {
        if (candidate->property("text").toString() == QStringLiteral("Добавить блок"))
            add = candidate;
    }
    ASSERT_NE(add, nullptr);
    m_shell.click(add);
    ASSERT_EQ(controller().macroSteps().size(), 1);
    EXPECT_EQ(controller().macroSteps().at(0).toMap().value("type").toString(), "wait");
    EXPECT_EQ(controller().macroSteps().at(0).toMap().value("ms").toInt(), 400);

    // A click on the row opens its own form, which now carries the names the window reads.
    click("macroStepRow_0");
    EXPECT_EQ(m_shell.window()->property("editingStep").toInt(), 0);
    EXPECT_NE(m_shell.find(QStringLiteral("macroInactiveStepType")), nullptr);
    QQuickItem* time = item("stepTime");
    ASSERT_NE(time, nullptr);
    EXPECT_EQ(time->property("text").toString(), "400");
    EXPECT_EQ(item("stepType")->property("currentValue").toString(), "wait");
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("macros-page-inline-form"));
}

QStringList stepInputs(const AppController& controller)
{
    QStringList inputs;
    for (const QVariant& step : controller.macroSteps())
        inputs.append(step.toMap().value("input").toString());
    return inputs;
}

TEST_F(MacrosPage, StepsMoveByCtrlArrowsAndByTheirDragHandle)
{
    controller().editMacro(1);
    controller().addMacroStep("tap", "key_66", 10);
    controller().addMacroStep("tap", "key_67", 10);
    m_shell.settle();
    click("macroStepRow_0");
    QTest::keyClick(m_shell.window(), Qt::Key_Down, Qt::ControlModifier);
    m_shell.settle();
    EXPECT_EQ(stepInputs(controller()), (QStringList{"key_66", "key_65", "key_67"}));

    // Row 2's handle dropped on row 0: the step walks up two places.
    QQuickItem* handle = item("macroDragHandle_2");
    QQuickItem* first = item("macroStepRow_0");
    ASSERT_TRUE(handle && first);
    const QPoint from = handle->mapToScene(QPointF(handle->width() / 2, handle->height() / 2)).toPoint();
    const QPoint to = first->mapToScene(QPointF(first->width() / 2, 10)).toPoint();
    QTest::mousePress(m_shell.window(), Qt::LeftButton, Qt::NoModifier, from);
    QTest::mouseMove(m_shell.window(), (from + to) / 2);
    QTest::mouseMove(m_shell.window(), to);
    QTest::mouseRelease(m_shell.window(), Qt::LeftButton, Qt::NoModifier, to);
    m_shell.settle();
    EXPECT_EQ(stepInputs(controller()), (QStringList{"key_67", "key_66", "key_65"}));
}

TEST_F(MacrosPage, SaveAndDeleteButtons)
{
    controller().editMacro(1);
    m_shell.settle();
    click("saveMacroAction");
    EXPECT_TRUE(controller().notice().startsWith(QStringLiteral("Макрос сохранён.")));
    // The save notice's band now lies over the list's foot, where a user scrolls to reach it.
    press("deleteMacroAction");
    EXPECT_EQ(controller().library()["macros"].toArray().size(), 1);
    EXPECT_EQ(controller().macroIndex(), -1);
}

TEST_F(MacrosPage, ThePreviewTypesIntoItsOwnFieldOnly)
{
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->setText(QStringLiteral("system clipboard"));
    controller().editMacro(0);
    m_shell.settle();
    press("macroPreviewAction");
    ASSERT_TRUE(spinUntil([&] {
        return item("macroPreviewResult")->property("text").toString() == QStringLiteral("Локальная проверка завершена");
    }));
    EXPECT_EQ(item("macroTestField")->property("text").toString(), "HiHello");
    EXPECT_TRUE(item("macroPreviewEvents")->property("text").toString().contains(
        QStringLiteral("Блок отмечен без воздействия на систему")));
    EXPECT_EQ(clipboard->text(), QStringLiteral("system clipboard"));
    auto* view = item("macroViewport")->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(view, nullptr);
    view->setProperty("contentY", std::max(0.0, view->property("contentHeight").toDouble() - view->height()));
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("macros-page-preview"));
}

TEST_F(MacrosPage, AMacroChangeStopsARunningPreview)
{
    controller().editMacro(0);
    controller().updateMacroStep(4, "wait", "", 60000);
    m_shell.settle();
    press("macroPreviewAction");
    controller().addMacroStep("tap", "key_65", 10);
    m_shell.settle();
    EXPECT_EQ(item("macroPreviewResult")->property("text").toString(),
        QStringLiteral("Макрос изменён: запустите проверку снова"));
    EXPECT_EQ(item("macroTestField")->property("readOnly").toBool(), false);
}

TEST_F(MacrosPage, TheActionDialogEditsTheTargetedActionAndSavesANewOne)
{
    controller().setTargetId("action:2");
    QMetaObject::invokeMethod(m_shell.window(), "showCustomAction");
    m_shell.settle();
    QObject* dialog = m_shell.find(QStringLiteral("actionEditor"));
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(dialog->property("visible").toBool());
    EXPECT_EQ(dialog->property("editing").toInt(), 1);
    EXPECT_EQ(item("actionName")->property("text").toString(), "Editor");
    EXPECT_EQ(item("typePick")->property("currentIndex").toInt(), 1);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("action-editor"));

    item("existing")->setProperty("currentIndex", 0);
    QMetaObject::invokeMethod(dialog, "edit", Q_ARG(QVariant, -1));
    item("actionName")->setProperty("text", "Sign");
    item("value")->setProperty("text", "Best regards");
    m_shell.settle();
    click("saveActionAction");
    ASSERT_EQ(controller().customActions().size(), 3);
    EXPECT_EQ(controller().targetId(), "action:3");
    EXPECT_FALSE(dialog->property("visible").toBool());
}

TEST_F(MacrosPage, TheActionDialogShowsARefusalAndStaysOpen)
{
    QMetaObject::invokeMethod(m_shell.window(), "showCustomAction");
    m_shell.settle();
    item("typePick")->setProperty("currentIndex", 4);
    item("actionName")->setProperty("text", "Site");
    item("value")->setProperty("text", "ftp://example.org");
    m_shell.settle();
    click("saveActionAction");
    QObject* dialog = m_shell.find(QStringLiteral("actionEditor"));
    EXPECT_TRUE(dialog->property("visible").toBool());
    EXPECT_TRUE(item("actionNotice")->property("text").toString().startsWith(QStringLiteral("Проверьте параметры действия: ")));
    controller().setLanguage("en");
    m_shell.settle();
    EXPECT_EQ(m_shell.find(QStringLiteral("actionEditor"))->property("title").toString(), "Text, applications and commands");
}

} // namespace

namespace {

// Texts made when something happened follow a later language switch: the preview's result and
// log, the step rows, a new macro's given name and the value picker; a wait reads once as a wait.
TEST_F(MacrosPage, TextsMadeBeforeALanguageSwitchFollowIt)
{
    controller().setLanguage("en");
    controller().editMacro(0);
    m_shell.settle();
    press("macroPreviewAction");
    ASSERT_TRUE(spinUntil([&] { return item("macroPreviewResult")->property("text").toString() == "Local preview completed"; }));
    const QString englishLog = item("macroPreviewEvents")->property("text").toString();
    EXPECT_TRUE(englishLog.contains("1.2 · Tap · H\n")) << englishLog.toStdString();
    EXPECT_TRUE(englishLog.contains("1.5 · Wait · 250 ms\n")) << englishLog.toStdString();
    EXPECT_EQ(item("macroStepLabel_4")->property("text").toString(), "");

    controller().setLanguage("ru");
    m_shell.settle();
    EXPECT_EQ(item("macroPreviewResult")->property("text").toString(), "Локальная проверка завершена");
    const QString russianLog = item("macroPreviewEvents")->property("text").toString();
    EXPECT_TRUE(russianLog.contains("1.1 · Нажать · ")) << russianLog.toStdString();
    EXPECT_TRUE(russianLog.contains("1.5 · Пауза · 250 ms\n")) << russianLog.toStdString();
    EXPECT_TRUE(russianLog.contains("1.9 · Слой · Основной слой 2\n")) << russianLog.toStdString();
    for (const char* english : {"Press", "Tap", "Wait", "Step noted", "Base layer"})
        EXPECT_FALSE(russianLog.contains(QString::fromLatin1(english))) << english;

    controller().setLanguage("en");
    controller().editMacro(-1);
    m_shell.settle();
    EXPECT_EQ(item("macroNameEdit")->property("text").toString(), "New macro");
    controller().setLanguage("ru");
    m_shell.settle();
    EXPECT_EQ(controller().macroName(), "Новый макрос");
    EXPECT_EQ(item("macroNameEdit")->property("text").toString(), "Новый макрос");
    // A name the user typed is theirs in every language.
    controller().setProperty("macroName", "Подпись");
    controller().setLanguage("en");
    EXPECT_EQ(controller().macroName(), "Подпись");
}

} // namespace
