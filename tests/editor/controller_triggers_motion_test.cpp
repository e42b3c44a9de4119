// The trigger and motion editors: triggers checked by the core at and past every limit, and a
// layer's own wheel and cursor settings written and removed on a library on disk.

#include "tests/editor/editor_fixture.h"

namespace {

using vorna::test::motionSettings;

class Triggers : public vorna::test::EditorSandbox {};

TEST_F(Triggers, LimitsOfEachKind)
{
    struct Case {
        const char* kind;
        int interval;
        const char* fallback;
        QStringList keys;
        const char* error; // empty: accepted
    };
    const Case cases[] = {
        {"holdTap", 100, "unchanged", {}, ""},
        {"holdTap", 2000, "key_27", {}, ""},
        {"holdTap", 99, "unchanged", {}, "Trigger interval must be 100..2000 ms"},
        {"holdTap", 2050, "unchanged", {}, "Trigger interval must be 100..2000 ms"},
        {"holdTap", 300, "no_such_output", {}, "Unknown output"},
        {"double", 300, "blocked", {}, ""},
        {"double", 2001, "unchanged", {}, "Trigger interval must be 100..2000 ms"},
        {"chord", 300, "", {"key_162"}, ""},
        {"chord", 300, "", {"key_162", "key_160", "key_164"}, ""},
        {"chord", 300, "", {}, "Source chord needs 1..3 preceding keys"},
        {"chord", 300, "", {"key_162", "key_160", "key_164", "key_91"}, "Source chord needs 1..3 preceding keys"},
        {"chord", 300, "", {"key_999"}, "Unknown source chord key"},
        {"chord", 90, "", {"key_162"}, "Trigger interval must be 100..2000 ms"},
        {"swipe", 300, "unchanged", {}, "Invalid trigger object"},
    };
    english();
    m_controller->selectRule("key_65#0");
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.kind << " " << c.interval << " " << c.keys.join('+').toStdString());
        m_controller->setProperty("notice", QStringLiteral("earlier"));
        m_controller->setProperty("keepOriginal", true);
        const QVariantMap trigger = m_controller->trigger();
        const auto was = before();
        const bool accepted = m_controller->configureTrigger(c.kind, c.interval, c.fallback, c.keys);
        EXPECT_EQ(accepted, *c.error == '\0');
        EXPECT_EQ(m_controller->library(), was.library);
        EXPECT_EQ(file(), was.file);
        if (!accepted) {
            EXPECT_EQ(m_controller->notice(), QStringLiteral("Check trigger settings: ") + c.error);
            EXPECT_EQ(m_controller->trigger(), trigger);
            EXPECT_TRUE(m_controller->keepOriginal());
            continue;
        }
        EXPECT_TRUE(m_controller->notice().isEmpty());
        EXPECT_EQ(m_controller->trigger().value("kind").toString(), QString(c.kind));
        EXPECT_EQ(m_controller->trigger().value("intervalMs").toInt(), c.interval);
        const bool chord = QByteArray(c.kind) == "chord";
        EXPECT_EQ(m_controller->trigger().value("keys").toStringList(), chord ? c.keys : QStringList());
        EXPECT_EQ(m_controller->trigger().contains("fallback"), !chord);
        // Only a chord may also pass the original input on.
        EXPECT_EQ(m_controller->keepOriginal(), chord);
    }
}

TEST_F(Triggers, ImmediateEmptiesTheTriggerAndTouchesNothingElse)
{
    m_controller->selectRule("key_65#0");
    ASSERT_TRUE(m_controller->configureTrigger("holdTap", 300, "unchanged", {}));
    m_controller->setProperty("keepOriginal", true);
    m_controller->setProperty("notice", QStringLiteral("kept"));
    EXPECT_TRUE(m_controller->configureTrigger("immediate", -5, "nonsense", {"nonsense"}));
    EXPECT_TRUE(m_controller->trigger().isEmpty());
    EXPECT_TRUE(m_controller->keepOriginal());
    EXPECT_EQ(m_controller->notice(), QStringLiteral("kept"));
}

TEST_F(Triggers, RefusalTextFollowsTheLanguage)
{
    m_controller->selectRule("key_65#0");
    EXPECT_FALSE(m_controller->configureTrigger("chord", 300, "unchanged", {}));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Проверьте настройки нажатия: Source chord needs 1..3 preceding keys"));
}

TEST_F(Triggers, ATriggerIsStoredOnlyBySavingAndDroppedBySelectingAnotherRule)
{
    m_controller->selectRule("key_65#0");
    ASSERT_TRUE(m_controller->configureTrigger("double", 400, "key_27", {}));
    m_controller->selectRule("mouse_back#0");
    m_controller->selectRule("key_65#0");
    EXPECT_TRUE(m_controller->trigger().isEmpty());

    ASSERT_TRUE(m_controller->configureTrigger("double", 400, "key_27", {}));
    ASSERT_TRUE(m_controller->saveRule());
    EXPECT_EQ(ownRules(1, 1).at(1).toObject().value("trigger").toObject(),
              QJsonObject({{"kind", "double"}, {"intervalMs", 400}, {"fallback", "key_27"}}));
}

class Motion : public vorna::test::EditorSandbox {
protected:
    static QVariantMap settings(std::initializer_list<std::pair<const char*, QJsonValue>> changes = {})
    {
        return motionSettings(changes).toVariantMap();
    }
};

TEST_F(Motion, ShowsTheSettingsInForceAndWhereTheyComeFrom)
{
    // The selected layer has its own.
    EXPECT_FALSE(m_controller->motionInherited());
    EXPECT_EQ(m_controller->motion(), settings({{"cursorX", 50}}));
    // The profile's base layer inherits the defaults.
    m_controller->setLayerIndex(0);
    EXPECT_TRUE(m_controller->motionInherited());
    EXPECT_EQ(m_controller->motion(), settings());
    // A lower layer's own settings show in a layer above it that has none.
    start(vorna::test::edited(vorna::test::editorFixtureLibrary(), {"profiles", 0, "layers", 0, "motion"},
                              motionSettings({{"scrollPixels", 7}})));
    m_controller->setLayerIndex(2);
    EXPECT_TRUE(m_controller->motionInherited());
    EXPECT_EQ(m_controller->motion(), settings({{"scrollPixels", 7}}));
    m_controller->setProfileIndex(0);
    m_controller->setLayerIndex(0);
    EXPECT_FALSE(m_controller->motionInherited());
}

TEST_F(Motion, WritingThenRemovingAnOwnObjectLeavesTheDocumentAsBefore)
{
    m_controller->setLayerIndex(2);
    const auto was = before();
    // Values equal to the inherited ones still make an own object.
    ASSERT_TRUE(m_controller->saveMotion(m_controller->motion()));
    expectCommitted(was);
    EXPECT_FALSE(m_controller->motionInherited());
    EXPECT_EQ(layer(1, 2).value("motion").toObject(), motionSettings());

    ASSERT_TRUE(m_controller->saveMotion({}, true));
    EXPECT_TRUE(m_controller->motionInherited());
    EXPECT_EQ(library(), was.library);
    EXPECT_EQ(file(), was.file);
    // Inherit where nothing is own changes nothing and still succeeds.
    ASSERT_TRUE(m_controller->saveMotion({{"anything", 1}}, true));
    EXPECT_EQ(library(), was.library);
}

TEST_F(Motion, RefusedSettingsTable)
{
    QVariantMap fourteen = settings();
    fourteen.insert("extra", 1);
    QVariantMap twelve = settings();
    twelve.remove("axis");
    struct Case {
        QVariantMap settings;
        const char* error;
    };
    const Case cases[] = {
        {fourteen, "Incomplete motion settings"},
        {twelve, "Incomplete motion settings"},
        {settings({{"cursorX", 50.5}}), "Invalid motion setting: cursorX"},
        {settings({{"wheelVertical", "100"}}), "Invalid motion setting: wheelVertical"},
        {settings({{"axis", 3}}), "Unknown pointer axis"},
        {settings({{"wheelHorizontal", 801}}), "Motion value is outside its limit, or pages conflict with horizontal conversion"},
        {settings({{"temporarySpeed", 9}}), "Motion value is outside its limit, or pages conflict with horizontal conversion"},
        {settings({{"scrollPixels", 0}}), "Motion value is outside its limit, or pages conflict with horizontal conversion"},
        {settings({{"pages", true}, {"verticalToHorizontal", true}}),
         "Motion value is outside its limit, or pages conflict with horizontal conversion"},
    };
    for (const bool inEnglish : {true, false}) {
        m_controller->setLanguage(inEnglish ? "en" : "ru");
        for (const Case& c : cases) {
            SCOPED_TRACE(c.error);
            const auto was = before();
            EXPECT_FALSE(m_controller->saveMotion(c.settings));
            expectRefused(was, (inEnglish ? QStringLiteral("Check wheel / cursor settings: ")
                                          : QStringLiteral("Проверьте настройки колеса / курсора: ")) + c.error);
        }
    }
    // At the limits.
    ASSERT_TRUE(m_controller->saveMotion(settings({{"wheelVertical", 800}, {"cursorY", 10}, {"scrollPixels", 500},
                                                   {"axis", 2}, {"pages", true}})));
}

TEST_F(Motion, SavedWithoutAnAgentTellsTheUserToEnableMappings)
{
    english();
    ASSERT_TRUE(m_controller->saveMotion(settings({{"cursorX", 60}})));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Wheel / cursor settings saved. Enable mappings to apply them."));
    m_controller->setLanguage("ru");
    ASSERT_TRUE(m_controller->saveMotion(settings({{"cursorX", 70}})));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Настройки колеса / курсора сохранены. Включите назначения."));
}

TEST_F(Motion, EditsDuringAMacroRecordingAreRefusedSilently)
{
    record();
    const auto was = before();
    EXPECT_FALSE(m_controller->saveMotion(settings({{"cursorX", 60}})));
    EXPECT_FALSE(m_controller->saveMotion({}, true));
    expectRefused(was, QString());
}

} // namespace
