// The rule editor's card and rule table, the trigger editor and the motion editor in the real
// settings window: named items, edits made through the controls, and screenshots in both
// languages.

#include "tests/editor/editor_view.h"

#include "tests/core/library_fixture.h"

#include <QQuickWindow>

namespace {

using vorna::test::findIn;
using vorna::test::placePanel;
using vorna::test::SettingsShell;
using vorna::test::typeInto;

class RuleEditorView : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        ASSERT_TRUE(controller().commitLibrary(vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0,
            {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", "Escape"}, {"keepOriginal", true}},
             vorna::test::rule("mouse_forward", "key_32", 2)}), false));
        m_panel = placePanel(m_shell, "panels/MouseActionPanel.qml", QRectF(120, 70, 460, 672));
        m_table = placePanel(m_shell, "panels/MouseRulesTable.qml", QRectF(600, 70, 760, 300));
        ASSERT_NE(m_panel, nullptr);
        ASSERT_NE(m_table, nullptr);
    }

    // Rows still being created when the engine goes would be reported as a warning.
    void TearDown() override { vorna::test::finishCreating(m_shell); }

    AppController& controller() { return m_shell.controller(); }
    QQuickItem* inPanel(const char* name) { return findIn(m_panel, QLatin1String(name)); }
    QQuickItem* inTable(const QString& name) { return findIn(m_table, name); }

    SettingsShell m_shell;
    QQuickItem* m_panel = nullptr;
    QQuickItem* m_table = nullptr;
};

TEST_F(RuleEditorView, PanelsCarryTheirNamedItems)
{
    for (const char* name : {"sourcePicker", "captureAction", "favoriteAction", "search", "categoryPick", "targetPicker",
                             "ruleNameEditor", "advancedMapping", "saveRuleAction", "mouseActionViewport"})
        EXPECT_NE(inPanel(name), nullptr) << name;
    for (const char* name : {"ruleSearch", "rulesList", "ruleRow_mouse_back#0", "ruleName_mouse_back#0",
                             "ruleActions_mouse_back#0", "ruleOriginalPolicy_mouse_back#0", "ruleRow_mouse_forward#2"})
        EXPECT_NE(inTable(QLatin1String(name)), nullptr) << name;
    auto* policy = inTable("ruleOriginalPolicy_mouse_back#0");
    EXPECT_TRUE(policy->isVisible()) << policy->property("text").toString().toStdString() << " " << policy->height()
        << " " << policy->parentItem()->isVisible() << " " << inTable("ruleRow_mouse_back#0")->isVisible() << m_table->isVisible();
    EXPECT_FALSE(inTable("ruleOriginalPolicy_mouse_forward#2")->isVisible());
    EXPECT_EQ(m_panel->property("searchObject").value<QObject*>(), inPanel("search"));
    // A rule that keeps its original action opens the advanced block by itself.
    controller().selectRule("mouse_back#0");
    m_shell.settle();
    EXPECT_NE(inPanel("modifierPicker"), nullptr);
    EXPECT_TRUE(inPanel("modifierPicker")->isVisible());
}

TEST_F(RuleEditorView, ARuleIsChosenNamedAndSavedThroughTheCard)
{
    auto* source = inPanel("sourcePicker");
    const QVariantList sources = source->property("model").toList();
    int right = -1;
    for (int i = 0; i < sources.size(); ++i) {
        if (sources.at(i).toMap().value("id") == QLatin1String("mouse_right"))
            right = i;
    }
    ASSERT_GE(right, 0);
    QMetaObject::invokeMethod(source, "activated", Q_ARG(int, right));
    m_shell.settle();
    EXPECT_EQ(controller().sourceId(), QStringLiteral("mouse_right"));

    typeInto(m_shell, inPanel("search"), QStringLiteral("key_66"));
    auto* targets = inPanel("targetPicker");
    ASSERT_GE(targets->property("count").toInt(), 1);
    QMetaObject::invokeMethod(targets, "activated", Q_ARG(int, 0));
    m_shell.settle();
    EXPECT_EQ(controller().targetId(), QStringLiteral("key_66"));
    EXPECT_EQ(targets->property("currentIndex").toInt(), 0);

    typeInto(m_shell, inPanel("ruleNameEditor"), QStringLiteral("A to B"));
    EXPECT_EQ(controller().ruleName(), QStringLiteral("A to B"));
    m_shell.click(inPanel("saveRuleAction"));
    const QJsonArray rules = controller().library()["profiles"][0]["layers"][0]["rules"].toArray();
    EXPECT_EQ(rules.last().toObject(), QJsonObject({{"source", "mouse_right"}, {"target", "key_66"}, {"keepOriginal", false},
                                                   {"modifiers", 0}, {"name", "A to B"}}));
    EXPECT_NE(m_shell.find(QStringLiteral("toast_1")), nullptr);
    // The new rule shows in the table at once.
    m_shell.grab(); // lets the list create its rows
    EXPECT_EQ(inTable(QStringLiteral("rulesList"))->property("count").toInt(), 3)
        << m_table->property("shownRules").toList().size() << " "
        << inTable(QStringLiteral("rulesList"))->property("model").toList().size();
}

TEST_F(RuleEditorView, TheTableRenamesSelectsAndFilters)
{
    controller().setProperty("dirty", false);
    m_shell.settle();
    auto* name = inTable(QStringLiteral("ruleName_mouse_forward#2"));
    ASSERT_NE(name, nullptr);
    typeInto(m_shell, name, QStringLiteral("Jump"));
    QTest::keyClick(m_shell.window(), Qt::Key_Return);
    m_shell.settle();
    EXPECT_EQ(controller().library()["profiles"][0]["layers"][0]["rules"][1]["name"].toString(), QStringLiteral("Jump"));
    EXPECT_FALSE(controller().dirty()); // a name alone needs no apply

    // A refused name (one the field cannot type, from a paste) returns the field to the stored one.
    auto* other = inTable(QStringLiteral("ruleName_mouse_back#0"));
    other->setProperty("text", QStringLiteral("tab\there"));
    QMetaObject::invokeMethod(other, "editingFinished");
    m_shell.settle();
    EXPECT_EQ(inTable(QStringLiteral("ruleName_mouse_back#0"))->property("text").toString(), QStringLiteral("Escape"));

    m_shell.click(inTable(QStringLiteral("ruleRow_mouse_forward#2")));
    EXPECT_EQ(controller().sourceId(), QStringLiteral("mouse_forward"));
    EXPECT_EQ(controller().sourceModifiers(), 2);

    typeInto(m_shell, inTable(QStringLiteral("ruleSearch")), QStringLiteral("no such mapping"));
    EXPECT_EQ(inTable(QStringLiteral("rulesList"))->property("count").toInt(), 0);
}

TEST_F(RuleEditorView, ScreenshotsInBothLanguages)
{
    controller().selectRule("mouse_back#0");
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("rule-editor"));
}

TEST_F(RuleEditorView, TriggerEditorSetsATriggerAndStaysOpenOnARefusal)
{
    controller().selectRule("mouse_forward#2");
    auto* dialog = m_shell.find<QObject>(QStringLiteral("triggerEditor"));
    ASSERT_NE(dialog, nullptr);
    QMetaObject::invokeMethod(m_shell.window(), "showTriggerEditor");
    m_shell.settle();
    ASSERT_TRUE(dialog->property("opened").toBool() || dialog->property("visible").toBool());
    auto* kind = m_shell.find<QQuickItem>(QStringLiteral("kindPick"));
    auto* interval = m_shell.find<QQuickItem>(QStringLiteral("interval"));
    auto* select = m_shell.find<QQuickItem>(QStringLiteral("selectTrigger"));
    ASSERT_TRUE(kind && interval && select);

    kind->setProperty("currentIndex", 3); // chord, with no preceding button chosen
    m_shell.settle();
    EXPECT_TRUE(m_shell.find<QQuickItem>(QStringLiteral("prefix1"))->isVisible());
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("trigger-editor-chord"));
    m_shell.click(select);
    EXPECT_TRUE(dialog->property("visible").toBool());
    EXPECT_EQ(controller().notice(), QStringLiteral("Check trigger settings: Source chord needs 1..3 preceding keys"));
    EXPECT_TRUE(controller().trigger().isEmpty());

    kind->setProperty("currentIndex", 1);
    interval->setProperty("value", 2000);
    m_shell.settle();
    EXPECT_TRUE(m_shell.find<QQuickItem>(QStringLiteral("fallback"))->isVisible());
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("trigger-editor-hold"));
    m_shell.click(select);
    EXPECT_FALSE(dialog->property("visible").toBool());
    EXPECT_EQ(controller().trigger(),
              QVariantMap({{"kind", "holdTap"}, {"intervalMs", 2000}, {"fallback", "unchanged"}}));

    // Opening again shows the trigger of the rule being edited.
    QMetaObject::invokeMethod(m_shell.window(), "showTriggerEditor");
    m_shell.settle();
    EXPECT_EQ(kind->property("currentIndex").toInt(), 1);
    EXPECT_EQ(interval->property("value").toInt(), 2000);
}

TEST_F(RuleEditorView, TriggerPickersOfferTheCatalogueAndNeverTheWheelOrTheSource)
{
    controller().selectRule("mouse_back#0");
    QMetaObject::invokeMethod(m_shell.window(), "showTriggerEditor");
    m_shell.settle();
    auto* fallback = m_shell.find<QQuickItem>(QStringLiteral("fallback"));
    auto* prefix = m_shell.find<QQuickItem>(QStringLiteral("prefix1"));
    ASSERT_TRUE(fallback && prefix);
    EXPECT_EQ(fallback->property("model").toList().size(), controller().outputOptions().size());
    const QVariantList choices = prefix->property("model").toList();
    EXPECT_EQ(choices.first().toMap().value("id").toString(), QString());
    for (const QVariant& choice : choices) {
        const QString id = choice.toMap().value("id").toString();
        EXPECT_FALSE(id.startsWith("wheel_")) << id.toStdString();
        EXPECT_NE(id, QStringLiteral("mouse_back"));
    }
    // The card beside the diagram has a field of the same name.
    auto* dialog = m_shell.find<QObject>(QStringLiteral("triggerEditor"));
    typeInto(m_shell, findIn(dialog->property("contentItem").value<QQuickItem*>(), QStringLiteral("search")),
             QStringLiteral("key_27"));
    const QVariantList found = fallback->property("model").toList();
    ASSERT_FALSE(found.isEmpty());
    EXPECT_LT(found.size(), controller().outputOptions().size());
    for (const QVariant& option : found) {
        const QVariantMap row = option.toMap();
        EXPECT_TRUE((row.value("label").toString() + " " + row.value("id").toString()).contains("key_27", Qt::CaseInsensitive));
    }
}

TEST_F(RuleEditorView, MotionEditorSavesAndAssignsAMode)
{
    auto* dialog = m_shell.find<QObject>(QStringLiteral("motionEditor"));
    ASSERT_NE(dialog, nullptr);
    QMetaObject::invokeMethod(m_shell.window(), "showMotionEditor");
    m_shell.settle();
    ASSERT_TRUE(dialog->property("visible").toBool());
    EXPECT_TRUE(m_shell.find<QQuickItem>(QStringLiteral("wheelV"))->isVisible());
    EXPECT_NE(m_shell.find(QStringLiteral("rawInputHint")), nullptr);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("motion-editor-wheel"));

    // Checking one conversion unchecks the other.
    auto* pages = m_shell.find<QQuickItem>(QStringLiteral("pages"));
    auto* horizontal = m_shell.find<QQuickItem>(QStringLiteral("horizontal"));
    m_shell.click(pages);
    m_shell.click(horizontal);
    EXPECT_TRUE(horizontal->property("checked").toBool());
    EXPECT_FALSE(pages->property("checked").toBool());

    QMetaObject::invokeMethod(m_shell.window(), "closeMotionEditor");
    QMetaObject::invokeMethod(m_shell.window(), "showCursorEditor");
    m_shell.settle();
    EXPECT_TRUE(m_shell.find<QQuickItem>(QStringLiteral("scaleX"))->isVisible());
    m_shell.find<QQuickItem>(QStringLiteral("scaleX"))->setProperty("value", 150);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("motion-editor-cursor"));

    controller().selectRule("mouse_back#0");
    // Below the fold of the cursor page: pressed as a keyboard user would, without scrolling.
    QMetaObject::invokeMethod(m_shell.find<QQuickItem>(QStringLiteral("assign_pointer:speed")), "clicked");
    m_shell.settle();
    EXPECT_FALSE(dialog->property("visible").toBool());
    EXPECT_EQ(controller().targetId(), QStringLiteral("pointer:speed"));
    EXPECT_FALSE(controller().motionInherited());
    EXPECT_EQ(controller().motion().value("cursorX").toInt(), 150);
    // The rule itself is stored only by its own Save.
    EXPECT_EQ(controller().library()["profiles"][0]["layers"][0]["rules"][0]["target"].toString(), QStringLiteral("key_27"));

    QMetaObject::invokeMethod(m_shell.window(), "showMotionEditor");
    m_shell.settle();
    m_shell.click(m_shell.find<QQuickItem>(QStringLiteral("inheritMotion")));
    EXPECT_TRUE(controller().motionInherited());
}

} // namespace
