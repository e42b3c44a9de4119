// The rule editor on a library on disk: the rule list, selecting, saving, renaming and removing
// rules, with the file, the undo history and the notice checked after every success and refusal.

#include "tests/editor/editor_fixture.h"

#include "editor/rule_edits.h"

namespace {

using vorna::test::compact;
using vorna::test::rule;
using vorna::test::spinUntil;

class RuleEditor : public vorna::test::EditorSandbox {
protected:
    QVariantMap item(const QString& identity) const
    {
        for (const QVariant& entry : m_controller->rules()) {
            if (entry.toMap().value("identity").toString() == identity)
                return entry.toMap();
        }
        return {};
    }
};

TEST_F(RuleEditor, RulesListsWhatIsInForceWithOriginAndLabels)
{
    const QVariantList rules = m_controller->rules();
    QStringList identities;
    for (const QVariant& entry : rules)
        identities << entry.toMap().value("identity").toString();
    // The layer's own back button replaces the global one in place; its new rule comes last.
    EXPECT_EQ(identities, QStringList({"mouse_back#0", "mouse_middle#2", "mouse_forward#0", "key_65#0"}));
    EXPECT_FALSE(item("mouse_back#0").value("inherited").toBool());
    EXPECT_EQ(item("mouse_back#0").value("target").toString(), QStringLiteral("key_9"));
    EXPECT_TRUE(item("mouse_middle#2").value("inherited").toBool());
    EXPECT_TRUE(item("mouse_forward#0").value("inherited").toBool());
    EXPECT_EQ(item("mouse_middle#2").value("sourceLabel").toString(),
              QStringLiteral("Ctrl+") + m_controller->describeInput("mouse_middle"));
    EXPECT_EQ(item("key_65#0").value("targetLabel").toString(), m_controller->describeInput("key_66"));
}

TEST_F(RuleEditor, LabelsShowModifiersInOrderAndTheTriggerKind)
{
    struct Case {
        int modifiers;
        QJsonObject trigger;
        const char* prefix;
        const char* caption;
    };
    const Case cases[] = {
        {15, {}, "Ctrl+Shift+Alt+Win+", ""},
        {3, {}, "Ctrl+Shift+", ""},
        {8, QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", "unchanged"}}, "Win+", "Long: "},
        {4, QJsonObject{{"kind", "double"}, {"intervalMs", 300}, {"fallback", "unchanged"}}, "Alt+", "Double: "},
        {1, QJsonObject{{"kind", "chord"}, {"intervalMs", 300}, {"keys", QJsonArray{"key_65"}}}, "Shift+", "Combination: "},
    };
    english();
    for (const Case& c : cases) {
        QJsonObject stored = rule("mouse_right", "key_27", c.modifiers);
        if (!c.trigger.isEmpty())
            stored["trigger"] = c.trigger;
        start(vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0, {stored}));
        const QVariantMap entry = m_controller->rules().value(0).toMap();
        EXPECT_EQ(entry.value("sourceLabel").toString(), QString(c.prefix) + m_controller->describeInput("mouse_right"));
        EXPECT_EQ(entry.value("targetLabel").toString(), QString(c.caption) + m_controller->describeInput("key_27"));
        EXPECT_EQ(entry.value("trigger").toMap(), c.trigger.toVariantMap());
    }
}

TEST_F(RuleEditor, NameCheckRefusesBreaksControlsAndLongNamesInBothLanguages)
{
    const QString eighty(80, QChar(u'я'));
    struct Case {
        QString name;
        bool accepted;
    };
    const Case cases[] = {
        {"  " + eighty + " ", true},
        {eighty + "x", false},
        {"a\tb", false},
        {"line\n", false}, // refused before trimming
        {QString("a") + QChar(0x2028) + "b", false},
        {QString("a") + QChar(0x2029) + "b", false},
        {QString("a") + QChar(0x85) + "b", false},
        {"", true},
    };
    for (const bool inEnglish : {false, true}) {
        m_controller->setLanguage(inEnglish ? "en" : "ru");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.name.toStdString());
            QString trimmed;
            EXPECT_EQ(editor::ruleNameAcceptable(c.name, trimmed), c.accepted);
            if (c.accepted)
                continue;
            m_controller->setRuleName(c.name);
            const auto was = before();
            EXPECT_FALSE(m_controller->saveRule());
            expectRefused(was, inEnglish
                ? QStringLiteral("Rule name: up to 80 characters, without line breaks or control characters.")
                : QStringLiteral("Название правила: до 80 символов, без переносов строк и управляющих символов."));
            m_controller->setProperty("notice", QString());
            EXPECT_FALSE(m_controller->renameRule("key_65#0", c.name));
            EXPECT_FALSE(m_controller->notice().isEmpty());
            expectRefused(was, m_controller->notice());
        }
    }
    m_controller->selectRule("key_65#0");
    m_controller->setRuleName("  " + eighty + " ");
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(ownRules(1, 1).at(1).toObject().value("name").toString(), eighty);
    EXPECT_EQ(m_controller->ruleName(), eighty);
}

TEST_F(RuleEditor, SaveAppendsANewRuleAndReplacesAnOwnRuleInPlace)
{
    m_controller->selectRule("mouse_right");
    m_controller->setTargetId("key_13");
    auto was = before();
    ASSERT_TRUE(m_controller->saveRule());
    expectCommitted(was);
    EXPECT_EQ(ownRules(1, 1).last().toObject(),
              QJsonObject({{"source", "mouse_right"}, {"target", "key_13"}, {"keepOriginal", false}, {"modifiers", 0}}));
    EXPECT_TRUE(m_controller->dirty());

    m_controller->selectRule("mouse_back#0");
    m_controller->setTargetId("key_32");
    m_controller->setRuleName("Space");
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(ownRules(1, 1).at(0).toObject(), QJsonObject({{"source", "mouse_back"}, {"target", "key_32"},
                                                     {"keepOriginal", false}, {"modifiers", 0}, {"name", "Space"}}));
    EXPECT_EQ(ownRules(1, 1).size(), 3);
    // The global rule it overrides is untouched.
    EXPECT_EQ(library().value("profiles")[0]["layers"][0]["rules"][0]["target"].toString(), QStringLiteral("key_27"));
    m_controller->undo();
    expectUndoneTo(was);
}

TEST_F(RuleEditor, SavingAnInheritedRuleWithOnlyANewNameOverridesItWithoutMakingTheLibraryDirty)
{
    // The global rule as the editor writes it, so that only the name differs.
    start(vorna::test::withRules(vorna::test::editorFixtureLibrary(), 0, 0,
        {QJsonObject{{"source", "mouse_middle"}, {"target", "blocked"}, {"keepOriginal", false}, {"modifiers", 2}}}));
    m_controller->selectRule("mouse_middle#2");
    m_controller->setRuleName("Quiet");
    ASSERT_FALSE(m_controller->dirty());
    const auto was = before();
    ASSERT_TRUE(m_controller->saveRule());
    expectCommitted(was);
    EXPECT_FALSE(m_controller->dirty());
    EXPECT_EQ(ownRules(1, 1).last().toObject().value("name").toString(), QStringLiteral("Quiet"));
    EXPECT_FALSE(item("mouse_middle#2").value("inherited").toBool());
}

TEST_F(RuleEditor, OtherModifiersMakeASecondRuleAndAnExistingIdentityIsEditedNotDuplicated)
{
    m_controller->selectRule("key_65#0");
    m_controller->setSourceModifiers(2);
    m_controller->setTargetId("key_67");
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(ownRules(1, 1).size(), 3);
    EXPECT_EQ(item("key_65#0").value("target").toString(), QStringLiteral("key_66"));
    EXPECT_EQ(item("key_65#2").value("target").toString(), QStringLiteral("key_67"));

    // Moving the editor onto the first identity again loads that rule; saving edits it in place.
    m_controller->setSourceModifiers(0);
    EXPECT_EQ(m_controller->targetId(), QStringLiteral("key_66"));
    m_controller->setTargetId("key_68");
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(ownRules(1, 1).size(), 3);
    EXPECT_EQ(item("key_65#0").value("target").toString(), QStringLiteral("key_68"));
}

TEST_F(RuleEditor, LibraryCheckRefusalLeavesEverything)
{
    QJsonArray full;
    for (int key = 65; key < 81; ++key) {
        for (int modifiers = 0; modifiers < 16; ++modifiers)
            full.append(rule(QByteArray("key_" + QByteArray::number(key)).constData(), "blocked", modifiers));
    }
    start(vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0, full));
    m_controller->selectRule("mouse_right");
    m_controller->setRuleName("One too many");
    const auto was = before();
    EXPECT_FALSE(m_controller->saveRule());
    expectRefused(was, QStringLiteral("Too many rules"));
    EXPECT_EQ(m_controller->ruleName(), QStringLiteral("One too many"));
}

TEST_F(RuleEditor, RenameTable)
{
    struct Case {
        const char* identity;
        QString name;
        bool result;
        bool writes;
        const char* notice;
    };
    const Case cases[] = {
        {"key_65#0", "Letter", true, true, ""},
        {"key_65#0", "Letter", true, false, ""},      // already so: no file written
        {"key_65#0", "  ", true, true, ""},           // empty removes the key
        {"key_65#0", "", true, false, ""},
        {"key_65", "Bare", true, true, ""},           // no "#": modifiers 0
        {"key_65#16", "X", false, false, "Rule not found."},
        {"key_65#x", "X", false, false, "Rule not found."},
        {"key_65#-1", "X", false, false, "Rule not found."},
        {"mouse_right#0", "X", false, false, "Rule not found."},
        {"key_65#2", "X", false, false, "Rule not found."},
    };
    english();
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.identity << " '" << c.name.toStdString() << "'");
        m_controller->setProperty("notice", QString());
        const auto was = before();
        EXPECT_EQ(m_controller->renameRule(c.identity, c.name), c.result);
        if (!c.writes) {
            expectRefused(was, QString::fromUtf8(c.notice));
            continue;
        }
        expectCommitted(was);
        EXPECT_EQ(m_controller->dirty(), was.dirty);
        const QJsonObject renamed = ownRules(1, 1).at(1).toObject();
        EXPECT_EQ(renamed.contains("name"), !c.name.trimmed().isEmpty());
        EXPECT_EQ(renamed.value("name").toString(), c.name.trimmed());
    }
    // Russian text of the same refusal.
    m_controller->setLanguage("ru");
    EXPECT_FALSE(m_controller->renameRule("nothing#0", "X"));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Правило не найдено."));
}

TEST_F(RuleEditor, RenamingAnEmptyStoredNameRemovesTheKey)
{
    start(vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0,
        {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", ""}}}));
    ASSERT_TRUE(m_controller->renameRule("mouse_back#0", ""));
    EXPECT_FALSE(ownRules(0, 0).at(0).toObject().contains("name"));
}

TEST_F(RuleEditor, RenamingAnInheritedRuleCopiesItIntoTheLayer)
{
    m_controller->selectRule("mouse_forward#0");
    ASSERT_TRUE(m_controller->renameRule("mouse_forward#0", "Jump"));
    EXPECT_EQ(ownRules(1, 1).last().toObject(), QJsonObject({{"source", "mouse_forward"}, {"target", "key_32"}, {"name", "Jump"}}));
    EXPECT_FALSE(ownRules(1, 0).at(0).toObject().contains("name"));
    EXPECT_FALSE(item("mouse_forward#0").value("inherited").toBool());
    EXPECT_EQ(m_controller->ruleName(), QStringLiteral("Jump")); // the editor shows this rule
    // The identity survives the rename: it is still the same rule.
    EXPECT_EQ(item("mouse_forward#0").value("name").toString(), QStringLiteral("Jump"));
}

TEST_F(RuleEditor, RemovingTheShownRuleShowsTheInheritedOne)
{
    m_controller->selectRule("mouse_back#0");
    ASSERT_EQ(m_controller->targetId(), QStringLiteral("key_9"));
    const auto was = before();
    m_controller->removeRule("mouse_back");
    expectCommitted(was);
    EXPECT_EQ(ownRules(1, 1).size(), 1);
    EXPECT_EQ(m_controller->targetId(), QStringLiteral("key_27"));
    EXPECT_EQ(m_controller->ruleName(), QStringLiteral("Escape"));
    EXPECT_TRUE(item("mouse_back#0").value("inherited").toBool());
    expectUndoneTo(was);
}

TEST_F(RuleEditor, RemovingABareIdUsesTheEditorsModifiers)
{
    m_controller->selectRule("key_65#0");
    m_controller->setSourceModifiers(2);
    ASSERT_TRUE(m_controller->saveRule());
    m_controller->removeRule("key_65"); // the editor's modifiers: 2
    EXPECT_TRUE(item("key_65#2").isEmpty());
    EXPECT_FALSE(item("key_65#0").isEmpty());
    EXPECT_EQ(m_controller->ruleName(), QString());
}

TEST_F(RuleEditor, AnInheritedRuleCannotBeRemovedFromTheLayer)
{
    const auto was = before();
    m_controller->removeRule("mouse_forward#0");
    expectRefused(was, QString());
    EXPECT_FALSE(item("mouse_forward#0").isEmpty());
}

TEST_F(RuleEditor, SelectLoadsTheRuleOrStartsANewOneFromThePreviousTarget)
{
    m_controller->selectRule("mouse_middle#2");
    EXPECT_EQ(m_controller->sourceId(), QStringLiteral("mouse_middle"));
    EXPECT_EQ(m_controller->sourceModifiers(), 2);
    EXPECT_EQ(m_controller->targetId(), QStringLiteral("blocked"));

    ASSERT_TRUE(m_controller->configureTrigger("chord", 300, "unchanged", {"key_65"}));
    m_controller->setProperty("keepOriginal", true);
    m_controller->setRuleName("draft");
    m_controller->selectRule("mouse_right#x"); // a bad number reads as 0
    EXPECT_EQ(m_controller->sourceId(), QStringLiteral("mouse_right"));
    EXPECT_EQ(m_controller->sourceModifiers(), 0);
    EXPECT_EQ(m_controller->targetId(), QStringLiteral("blocked"));
    EXPECT_TRUE(m_controller->trigger().isEmpty());
    EXPECT_FALSE(m_controller->keepOriginal());
    EXPECT_TRUE(m_controller->ruleName().isEmpty());
}

TEST_F(RuleEditor, SelectingATextThatIsNoInputChangesNothing)
{
    m_controller->selectRule("key_65#0");
    m_controller->setSourceModifiers(4);
    m_controller->setRuleName("kept");
    m_controller->selectRule("not_an_input#2");
    EXPECT_EQ(m_controller->sourceId(), QStringLiteral("key_65"));
    EXPECT_EQ(m_controller->sourceModifiers(), 4);
    EXPECT_EQ(m_controller->ruleName(), QStringLiteral("kept"));
}

TEST_F(RuleEditor, EditsDuringAMacroRecordingAreRefusedSilently)
{
    m_controller->selectRule("key_65#0");
    m_controller->setRuleName("Renamed");
    record();
    const auto was = before();
    EXPECT_FALSE(m_controller->saveRule());
    EXPECT_FALSE(m_controller->renameRule("key_65#0", "Other"));
    m_controller->removeRule("key_65#0");
    EXPECT_FALSE(m_controller->configureTrigger("holdTap", 300, "unchanged", {}));
    EXPECT_TRUE(m_controller->trigger().isEmpty());
    expectRefused(was, QString());
}

TEST_F(RuleEditor, ApplyWithoutAnAgentShowsTheOlderEngineNotice)
{
    english();
    m_controller->applyProfile();
    EXPECT_EQ(m_controller->notice(),
        QStringLiteral("Запущен движок предыдущей сборки. Нажмите «Отключить и выйти», затем откройте новую версию."));
    EXPECT_FALSE(m_controller->applying());
}

// The rule editor towards a fake agent: what saving sends, and what it keeps for comparison.
class RuleEditorLink : public RuleEditor {
protected:
    void SetUp() override
    {
        RuleEditor::SetUp();
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
        m_agent.sendStateTo(*m_controller, {{"active", true}, {"configured", true}});
        ASSERT_TRUE(m_controller->engineCompatible());
    }

    qsizetype configures() { return m_agent.configuresFrom(*m_controller); }

    vorna::test::FakeAgent m_agent;
};

TEST_F(RuleEditorLink, SavingAppliesAtOnceButANameAloneIsOnlyStored)
{
    m_controller->selectRule("key_65#0");
    m_controller->setTargetId("key_67");
    m_controller->setRuleName("Named");
    ASSERT_TRUE(m_controller->saveRule());
    ASSERT_EQ(configures(), 1);
    // The agent gets the names; the copy kept for comparison has none.
    const QJsonObject sent = m_agent.requests("configure").first().value("library").toObject();
    EXPECT_EQ(sent, m_controller->library());
    EXPECT_EQ(sent["profiles"][1]["layers"][1]["rules"][1]["name"].toString(), QStringLiteral("Named"));

    ASSERT_TRUE(m_controller->renameRule("key_65#0", "Renamed"));
    m_controller->setRuleName("Renamed again");
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(configures(), 1);

    m_controller->removeRule("key_65#0");
    EXPECT_EQ(configures(), 2);
}

} // namespace
