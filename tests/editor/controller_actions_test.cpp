// Saving and deleting custom actions through the controller: the file, undo, the notice and the
// rule editor checked after each operation, and deletion keeping every reference in step.

#include "tests/support/settings_fixture.h"

#include "tests/editor/editor_fixture.h"

#include <QJsonArray>
#include <QSignalSpy>

namespace {

using vorna::core::defaultLibrary;
using vorna::test::edited;
using vorna::test::rule;
using vorna::test::withRules;
using vorna::test::macro;
using vorna::test::step;
using vorna::test::textAction;
using vorna::test::textActions;
using vorna::test::withFallback;

class ControllerActions : public vorna::test::SeededController {
protected:
    QJsonArray actions() const { return m_controller->library()["actions"].toArray(); }
    QString at(std::initializer_list<vorna::test::JsonStep> path) const
    {
        return vorna::test::valueAt(m_controller->library(), path).toString();
    }
};

TEST_F(ControllerActions, CustomActionsListsTheLibrarysActions)
{
    EXPECT_TRUE(m_controller->customActions().isEmpty());
    seed(edited(defaultLibrary(), {"actions"}, textActions(2)));
    ASSERT_EQ(m_controller->customActions().size(), 2);
    EXPECT_EQ(m_controller->customActions().at(1).toMap().value("name").toString(), "a2");
}

struct SaveCase {
    const char* name;
    int existing;
    int index;
    const char* type;
    const char* actionName;
    const char* value;
    const char* arguments;
    bool clipboard;
    bool saved;
    int count;          // actions afterwards
    const char* notice; // prefix of the notice afterwards
    const char* target; // the rule editor's target afterwards
};

TEST_F(ControllerActions, SaveActionTable)
{
    const SaveCase cases[] = {
        {"append", 0, -1, "text", "Hello", "hi", "", false, true, 1, "Action saved.", "action:1"},
        {"replace", 2, 0, "website", "Site", "https://example.org", "x", true, true, 2, "Action saved.", "action:1"},
        {"append slot 32", 31, -1, "text", "Last", "x", "", false, true, 32, "Action saved.", "action:32"},
        {"a 33rd is refused by the check", 32, -1, "text", "More", "x", "", false, false, 32,
            "Action count limit exceeded", "key_27"},
        {"blank name", 0, -1, "text", "   ", "x", "", false, false, 0, "Check action parameters: ", "key_27"},
        {"bad type", 0, -1, "macro", "n", "x", "", false, false, 0, "Check action parameters: ", "key_27"},
        {"index below -1", 1, -2, "text", "n", "x", "", false, false, 1, "", "key_27"},
        {"index equal to the count", 1, 1, "text", "n", "x", "", false, false, 1, "", "key_27"},
    };
    for (const SaveCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        seed(edited(defaultLibrary(), {"actions"}, textActions(c.existing)));
        const QJsonObject before = m_controller->library();
        const bool couldUndo = m_controller->canUndo();
        QSignalSpy changed(m_controller.get(), &AppController::libraryChanged);
        EXPECT_EQ(m_controller->saveAction(c.index, c.type, c.actionName, c.value, c.arguments, c.clipboard), c.saved);
        EXPECT_EQ(actions().size(), c.count);
        if (*c.notice == 0)
            EXPECT_TRUE(m_controller->notice().isEmpty()) << m_controller->notice().toStdString();
        else
            EXPECT_TRUE(m_controller->notice().startsWith(QString::fromUtf8(c.notice))) << m_controller->notice().toStdString();
        EXPECT_EQ(m_controller->targetId(), QString::fromUtf8(c.target));
        EXPECT_EQ(stored(), m_controller->library());
        if (!c.saved) {
            EXPECT_EQ(m_controller->library(), before);
            EXPECT_EQ(m_controller->canUndo(), couldUndo);
            continue;
        }
        EXPECT_GE(changed.count(), 1);
        const int slot = c.index < 0 ? c.count - 1 : c.index;
        EXPECT_EQ(actions().at(slot).toObject()["name"].toString(), QString::fromUtf8(c.actionName).trimmed());
        m_controller->undo();
        EXPECT_EQ(m_controller->library(), before);
        EXPECT_EQ(stored(), before);
    }
}

TEST_F(ControllerActions, SavedActionsCarryOnlyTheirTypesMembers)
{
    ASSERT_TRUE(m_controller->saveAction(-1, "application", "App", "C:/Tools/app.exe", "a\n\nb", true));
    EXPECT_EQ(actions().at(0).toObject(),
        (QJsonObject{{"type", "application"}, {"name", "App"}, {"value", "C:/Tools/app.exe"}, {"arguments", QJsonArray{"a", "", "b"}}}));
    ASSERT_TRUE(m_controller->saveAction(-1, "file", "F", "C:/Docs/a.txt", "x", true));
    EXPECT_EQ(actions().at(1).toObject(), (QJsonObject{{"type", "file"}, {"name", "F"}, {"value", "C:/Docs/a.txt"}}));
}

TEST_F(ControllerActions, RussianNoticesByDefault)
{
    m_controller->setLanguage("ru");
    ASSERT_TRUE(m_controller->saveAction(-1, "text", "T", "t", "", false));
    EXPECT_EQ(m_controller->notice(),
        QStringLiteral("Действие сохранено. Сохраните правило кнопки; если назначения на паузе, включите их."));
    EXPECT_FALSE(m_controller->saveAction(0, "text", "", "t", "", false));
    EXPECT_TRUE(m_controller->notice().startsWith(QStringLiteral("Проверьте параметры действия: ")));
}

TEST_F(ControllerActions, DeletingRenumbersEveryReferenceAbove)
{
    QJsonObject library = edited(defaultLibrary(), {"actions"}, textActions(5));
    library["macros"] = QJsonArray{macro("m", {step("command", "action:4"), step("command", "action:1")})};
    library = withRules(library, 0, 0, {rule("mouse_back", "action:5"), withFallback(rule("mouse_forward", "key_27"), "action:3"),
        rule("key_65", "action:1")});
    seed(library);
    m_controller->editMacro(0);

    ASSERT_TRUE(m_controller->deleteAction(1));
    EXPECT_EQ(actions(), (QJsonArray{textAction("a1"), textAction("a3"), textAction("a4"), textAction("a5")}));
    EXPECT_EQ(at({"profiles", 0, "layers", 0, "rules", 0, "target"}), "action:4");
    EXPECT_EQ(at({"profiles", 0, "layers", 0, "rules", 1, "trigger", "fallback"}), "action:2");
    EXPECT_EQ(at({"profiles", 0, "layers", 0, "rules", 2, "target"}), "action:1");
    EXPECT_EQ(at({"macros", 0, "steps", 0, "input"}), "action:3");
    EXPECT_EQ(at({"macros", 0, "steps", 1, "input"}), "action:1");
    // The open macro follows too.
    EXPECT_EQ(m_controller->macroSteps().at(0).toMap().value("input").toString(), "action:3");
    EXPECT_EQ(stored(), m_controller->library());
    m_controller->undo();
    EXPECT_EQ(m_controller->library(), library);
}

struct RefusalCase {
    const char* name;
    QJsonObject library;
    int openMacro;
    int index;
    const char* notice;
};

TEST_F(ControllerActions, DeletingASlotInUseIsRefusedAndChangesNothing)
{
    QJsonObject base = edited(defaultLibrary(), {"actions"}, textActions(5));
    base["macros"] = QJsonArray{macro("m", {step("command", "action:4")}), macro("n", {step("tap", "key_65", 10)})};
    const QJsonObject usedByRule = withRules(vorna::test::libraryWithProfiles(2), 1, 7, {rule("key_65", "action:2")});
    QJsonObject ruled = base;
    ruled["profiles"] = usedByRule["profiles"];
    const QJsonObject byFallback = withRules(base, 0, 0, {withFallback(rule("mouse_back", "key_27"), "action:2")});
    const RefusalCase cases[] = {
        {"stored macro", base, 1, 3, "Remove this action from macros before deleting it."},
        {"open macro", base, 0, 3, "Remove this action from the open macro before deleting it."},
        {"rule in another profile and layer", ruled, -1, 1, "Remove this action's assignments before deleting it."},
        {"trigger fallback", byFallback, -1, 1, "Remove this action's assignments before deleting it."},
    };
    for (const RefusalCase& c : cases) {
        SCOPED_TRACE(c.name);
        SetUp();
        seed(c.library);
        m_controller->editMacro(c.openMacro);
        const QVariantList steps = m_controller->macroSteps();
        QSignalSpy changed(m_controller.get(), &AppController::libraryChanged);
        EXPECT_FALSE(m_controller->deleteAction(c.index));
        EXPECT_EQ(m_controller->notice(), QString::fromUtf8(c.notice));
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(m_controller->library(), c.library);
        EXPECT_EQ(stored(), c.library);
        EXPECT_EQ(m_controller->macroSteps(), steps);
    }
}

TEST_F(ControllerActions, DeletingOutOfRangeIsSilent)
{
    seed(edited(defaultLibrary(), {"actions"}, textActions(1)));
    QSignalSpy changed(m_controller.get(), &AppController::libraryChanged);
    EXPECT_FALSE(m_controller->deleteAction(-1));
    EXPECT_FALSE(m_controller->deleteAction(1));
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(actions().size(), 1);
}

TEST_F(ControllerActions, AnUnsavedTargetDoesNotStopTheDeletionAndIsReset)
{
    seed(edited(defaultLibrary(), {"actions"}, textActions(7)));
    m_controller->setTargetId("action:7");
    ASSERT_EQ(m_controller->targetId(), "action:7");
    ASSERT_TRUE(m_controller->deleteAction(6));
    EXPECT_EQ(m_controller->targetId(), "unchanged");
    EXPECT_EQ(actions().size(), 6);
}

TEST_F(ControllerActions, ACommandStepThatIsNoActionReferenceCountsAsSlotZero)
{
    QJsonObject library = edited(defaultLibrary(), {"actions"}, textActions(2));
    seed(library);
    m_controller->addMacroStep("command", "macro:1", 0);
    m_controller->addMacroStep("command", "text", 0);
    ASSERT_TRUE(m_controller->deleteAction(0));
    EXPECT_EQ(m_controller->macroSteps().at(0).toMap().value("input").toString(), "macro:1");
    EXPECT_EQ(m_controller->macroSteps().at(1).toMap().value("input").toString(), "text");
}

// The open trigger is set through the trigger editor; without one built there is nothing to
// check here.
TEST_F(ControllerActions, TheOpenTriggerBlocksItsSlotAndFollowsTheRenumbering)
{
    seed(edited(defaultLibrary(), {"actions"}, textActions(3)));
    if (!m_controller->configureTrigger("holdTap", 300, "action:3", {}))
        GTEST_SKIP() << "the trigger editor is not available";
    EXPECT_FALSE(m_controller->deleteAction(2));
    EXPECT_EQ(m_controller->notice(), "Remove this action from the open trigger first.");
    EXPECT_EQ(actions().size(), 3);
    ASSERT_TRUE(m_controller->deleteAction(0));
    EXPECT_EQ(m_controller->trigger().value("fallback").toString(), "action:2");
}

} // namespace
