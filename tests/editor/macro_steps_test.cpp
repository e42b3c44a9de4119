#include "editor/macro_steps.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

QJsonObject step(const char* type, const char* input, int ms = 0)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

TEST(MacroStepType, OnlyTheTenTypesExactly)
{
    for (const char* type : {"tap", "down", "up", "wait", "wheel", "chord", "move", "command", "layer", "profile"})
        EXPECT_TRUE(editor::isMacroStepType(type)) << type;
    for (const char* type : {"Wait", "macro", "", "tap "})
        EXPECT_FALSE(editor::isMacroStepType(type)) << type;
}

TEST(MacroStep, AWaitNeverCarriesAnInput)
{
    EXPECT_EQ(editor::macroStep("wait", "key_65", 500), step("wait", "", 500));
    EXPECT_EQ(editor::macroStep("tap", "key_65", 100), step("tap", "key_65", 100));
}

struct DurationCase {
    const char* name;
    QJsonArray steps;
    const char* mode;
    int repeat;
    bool english;
    const char* expected;
};

TEST(MacroDuration, SumsDelaysAndCommandBudgets)
{
    const QJsonArray mixed{step("tap", "key_65", 100), step("down", "key_66", 900), step("wait", "", 250),
        step("command", "action:1", 700)};
    const DurationCase cases[] = {
        {"mixed", mixed, "once", 1, true, "Delays: 0.35 s; external action timeout budget: 10 s"},
        {"without command", {step("tap", "key_65", 100), step("wait", "", 250)}, "once", 1, true, "Delays: 0.35 s"},
        {"empty", {}, "once", 1, true, "Delays: 0.00 s"},
        {"repeat count", {step("tap", "key_65", 100), step("command", "action:1")}, "count", 3, true,
            "Delays: 0.30 s; external action timeout budget: 30 s"},
        {"repeat ignored outside count", {step("tap", "key_65", 100)}, "hold", 3, true, "Delays: 0.10 s"},
        {"russian", {step("move", "1,2", 1500), step("command", "action:1")}, "once", 1, false,
            "Задержки: 1.50 с; предел ожидания внешних действий: 10 с"},
        {"kept values are not counted", {step("layer", "layer:2", 5000), step("profile", "next", 5000)}, "once", 1,
            true, "Delays: 0.00 s"},
    };
    for (const DurationCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(editor::macroDuration(c.steps, c.mode, c.repeat, c.english), QString::fromUtf8(c.expected));
    }
}

QJsonArray downs(int count)
{
    QJsonArray steps;
    for (int i = 0; i < count; ++i)
        steps.append(i % 2 == 0 ? step("wait", "", 10) : step("tap", "key_70", 10));
    return steps;
}

struct BalanceCase {
    const char* name;
    QJsonArray steps;
    QJsonArray expected;
};

TEST(BalanceRecordedSteps, DropsStrayStepsAndReleasesHeldInputsLastPressedFirst)
{
    QJsonArray full = downs(62);
    full.insert(0, step("down", "key_16"));
    full.removeLast();
    QJsonArray overflow = full;
    overflow.append(step("down", "key_65"));
    overflow.append(step("wait", "", 5));
    QJsonArray overflowExpected = full;
    overflowExpected.append(step("up", "key_16"));
    const BalanceCase cases[] = {
        {"press wait release", {step("down", "key_65"), step("wait", "", 100), step("up", "key_65")},
            {step("down", "key_65"), step("wait", "", 100), step("up", "key_65")}},
        {"held at the end", {step("down", "key_16"), step("down", "key_65")},
            {step("down", "key_16"), step("down", "key_65"), step("up", "key_65"), step("up", "key_16")}},
        {"release without press", {step("up", "key_65"), step("tap", "wheel_up", 10)}, {step("tap", "wheel_up", 10)}},
        {"second press of a held key",
            {step("down", "key_65"), step("down", "key_65"), step("up", "key_65")},
            {step("down", "key_65"), step("up", "key_65")}},
        {"62 kept and one held: a second press and all after it go", overflow, overflowExpected},
    };
    for (const BalanceCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonArray balanced = editor::balanceRecordedSteps(c.steps);
        EXPECT_EQ(balanced, c.expected);
        EXPECT_LE(balanced.size(), 64);
    }
    EXPECT_EQ(editor::balanceRecordedSteps(overflow).size(), 63);
}

QJsonObject macro(const char* name)
{
    return QJsonObject{{"name", name}, {"mode", "once"}, {"repeat", 1}, {"steps", QJsonArray{}}};
}

TEST(MacroToReopen, FollowsTheOpenMacroThroughUndoAndRedo)
{
    const QJsonArray ab{macro("a"), macro("b")};
    const QJsonArray renamed{macro("a"), macro("B")};
    const QJsonArray ba{macro("b"), macro("a")};
    const QJsonArray a{macro("a")};
    EXPECT_EQ(editor::macroToReopen(ab, ab, 1), std::nullopt);            // nothing changed
    EXPECT_EQ(editor::macroToReopen(ab, renamed, -1), std::nullopt);      // a new working copy stays
    EXPECT_EQ(editor::macroToReopen(a, ab, 1), std::optional<int>(-1));   // open index past the old list
    EXPECT_EQ(editor::macroToReopen(ab, ba, 1), std::optional<int>(0));   // found elsewhere
    EXPECT_EQ(editor::macroToReopen(renamed, ab, 1), std::optional<int>(1)); // same length, old name back
    EXPECT_EQ(editor::macroToReopen(ab, a, 1), std::optional<int>(-1));   // the open macro is gone
}

TEST(CustomAction, WritesOnlyTheMembersOfItsType)
{
    EXPECT_EQ(editor::customAction("application", " App ", "C:/a.exe", "a\n\nb", true),
        (QJsonObject{{"type", "application"}, {"name", "App"}, {"value", "C:/a.exe"}, {"arguments", QJsonArray{"a", "", "b"}}}));
    EXPECT_EQ(editor::customAction("application", "App", "C:/a.exe", "a\n", false)["arguments"].toArray(),
        (QJsonArray{"a", ""}));
    EXPECT_EQ(editor::customAction("application", "App", "C:/a.exe", "", false)["arguments"].toArray(), QJsonArray());
    EXPECT_EQ(editor::customAction("website", "W", "https://example.org", "x", true),
        (QJsonObject{{"type", "website"}, {"name", "W"}, {"value", "https://example.org"}}));
    EXPECT_EQ(editor::customAction("text", "T", " v ", "x", true),
        (QJsonObject{{"type", "text"}, {"name", "T"}, {"value", " v "}, {"clipboard", true}}));
}

} // namespace
