#include "core/macro.h"
#include "core/macro_check.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using vorna::core::CompiledMacroStep;
using vorna::core::Macro;
using vorna::core::MacroMode;
using vorna::core::MacroStepKind;
using vorna::core::parseInputId;
using vorna::core::parseMacro;

QJsonObject step(const char* type, const QString& input, double ms)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

QJsonObject macro(const char* mode, double repeat, const QJsonArray& steps)
{
    return QJsonObject{{"name", "M"}, {"mode", mode}, {"repeat", repeat}, {"steps", steps}};
}

QJsonObject once(const QJsonArray& steps)
{
    return macro("once", 1, steps);
}

QJsonArray repeated(const QJsonObject& item, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(item);
    return array;
}

QJsonArray joined(QJsonArray first, const QJsonArray& second)
{
    for (const QJsonValue& value : second)
        first.append(value);
    return first;
}

vorna::core::InputId id(const char* text)
{
    vorna::core::InputId value = 0;
    EXPECT_TRUE(parseInputId(text, value)) << text;
    return value;
}

const char* const kUnbalanced = "Unbalanced macro or timing limit exceeded";

struct ErrorCase {
    const char* what;
    QJsonObject object;
    const char* error; // nullptr: accepted
};

void expectCases(const std::vector<ErrorCase>& cases)
{
    for (const ErrorCase& c : cases) {
        Macro compiled;
        QString error;
        const bool ok = parseMacro(c.object, compiled, error);
        EXPECT_EQ(ok, c.error == nullptr) << c.what << ": " << error.toStdString();
        if (c.error) {
            EXPECT_EQ(error.toStdString(), c.error) << c.what;
        }
    }
}

// One row per text, in the order the check reaches them.
TEST(Macro, EachFailureTextInCheckOrder)
{
    const QJsonObject tap = step("tap", "key_65", 50);
    QJsonObject extraKey = once({tap});
    extraKey["extra"] = 1;
    QJsonObject blankName = once({tap});
    blankName["name"] = "  ";
    QJsonObject longName = once({tap});
    longName["name"] = QString(81, 'n');
    QJsonObject stepsNotArray = once({tap});
    stepsNotArray["steps"] = tap;
    QJsonObject stepExtra = tap;
    stepExtra["x"] = 1;
    QJsonObject stepWithoutMs = tap;
    stepWithoutMs.remove("ms");
    QJsonObject inputNotString = tap;
    inputNotString["input"] = 65;

    expectCases({
        {"extra macro key", extraKey, "Invalid macro object"},
        {"blank name", blankName, "Invalid macro object"},
        {"name of 81", longName, "Invalid macro object"},
        {"steps not an array", stepsNotArray, "Invalid macro object"},
        {"unknown mode", macro("Once", 1, {tap}), "Invalid macro mode, repeat or step count"},
        {"repeat 0", macro("once", 0, {tap}), "Invalid macro mode, repeat or step count"},
        {"repeat 101", macro("count", 101, {tap}), "Invalid macro mode, repeat or step count"},
        {"repeat 1.5", macro("count", 1.5, {tap}), "Invalid macro mode, repeat or step count"},
        {"no steps", once({}), "Invalid macro mode, repeat or step count"},
        {"65 steps", once(repeated(tap, 65)), "Invalid macro mode, repeat or step count"},
        {"step not an object", once({1}), "Invalid macro step"},
        {"extra step key", once({stepExtra}), "Unknown macro step field"},
        {"step without ms", once({stepWithoutMs}), "Unknown macro step field"},
        {"type in capitals", once({step("Tap", "key_65", 50)}), "Invalid macro step parameters"},
        {"ms 60001", once({step("wait", "", 60001)}), "Invalid macro step parameters"},
        {"ms 2.5", once({step("wait", "", 2.5)}), "Invalid macro step parameters"},
        {"ms negative", once({step("down", "key_65", -1)}), "Invalid macro step parameters"},
        {"input not a string", once({inputNotString}), "Invalid macro step parameters"},
        {"chord prefix in capitals", once({step("chord", "Chord:key_162+key_65", 50)}), "Expected chord action"},
        {"chord of one key", once({step("chord", "chord:key_162", 50)}), "Chord requires 2..4 keys"},
        {"chord of five keys", once({step("chord", "chord:key_65+key_66+key_67+key_68+key_69", 50)}), "Chord requires 2..4 keys"},
        {"chord with an empty part", once({step("chord", "chord:key_162++key_65", 50)}), "Unknown chord key"},
        {"move with six digits", once({step("move", "100000,0", 0)}), "Movement requires X,Y pixel deltas"},
        {"move with a plus sign", once({step("move", "+5,0", 0)}), "Movement requires X,Y pixel deltas"},
        {"move with a blank", once({step("move", "5, 0", 0)}), "Movement requires X,Y pixel deltas"},
        {"move followed by a line break", once({step("move", "5,0\n", 0)}), "Movement requires X,Y pixel deltas"},
        {"command slot 33", once({step("command", "action:33", 0)}), "Unknown macro action"},
        {"command slot with a leading zero", once({step("command", "action:05", 0)}), "Unknown macro action"},
        {"layer 0", once({step("layer", "layer:0", 0)}), "Unknown macro layer"},
        {"layer 11", once({step("layer", "layer:11", 0)}), "Unknown macro layer"},
        {"profile sideways", once({step("profile", "Next", 0)}), "Profile block selects next or previous profile"},
        {"unknown key", once({step("tap", "key_7", 50)}), "Unknown macro key"},
        {"wheel step with a key", once({step("wheel", "key_65", 50)}), "Wheel block requires a wheel direction"},
        {"down of a wheel", once({step("down", "wheel_up", 0), step("up", "wheel_up", 0)}), kUnbalanced},
    });
}

TEST(Macro, BalanceOfHeldKeys)
{
    expectCases({
        {"down and up", once({step("down", "key_65", 0), step("up", "key_65", 0)}), nullptr},
        {"down without up", once({step("down", "key_65", 0), step("wait", "", 5)}), kUnbalanced},
        {"up before down", once({step("up", "key_65", 0), step("down", "key_65", 0)}), kUnbalanced},
        {"down twice", once({step("down", "key_65", 0), step("down", "key_65", 0), step("up", "key_65", 0)}), kUnbalanced},
        {"tap of a held key",
         once({step("down", "key_65", 0), step("tap", "key_65", 50), step("up", "key_65", 0)}),
         kUnbalanced},
        {"chord of a held key",
         once({step("down", "key_162", 0), step("chord", "chord:key_162+key_65", 50), step("up", "key_162", 0)}),
         kUnbalanced},
        {"chord with a key twice", once({step("chord", "chord:key_162+key_162", 50)}), kUnbalanced},
        {"chord with a mouse button", once({step("chord", "chord:mouse_left+key_65", 50)}), kUnbalanced},
        {"chord of four keys", once({step("chord", "chord:key_162+key_160+key_164+key_65", 50)}), nullptr},
        {"held keys released in another order",
         once({step("down", "key_162", 0), step("down", "key_65", 0), step("up", "key_162", 0), step("up", "key_65", 0)}),
         nullptr},
        {"profile not last", once({step("profile", "next", 0), step("tap", "key_65", 50)}), kUnbalanced},
        {"profile in count mode", macro("count", 2, {step("profile", "next", 0)}), kUnbalanced},
        {"profile with a key held",
         once({step("down", "key_65", 0), step("profile", "next", 0)}),
         kUnbalanced},
        {"profile last in once", once({step("tap", "key_65", 50), step("profile", "previous", 0)}), nullptr},
        {"move of nothing", once({step("move", "0,0", 0)}), kUnbalanced},
        {"move too far", once({step("move", "40000,0", 0)}), kUnbalanced},
        {"move to both limits", once({step("move", "-32767,32767", 0)}), nullptr},
    });
}

// Tap and chord times 10..10000, waits 1..60000, a command counts 10 s; the run is 300 s at
// most, and a counted macro's passes together too.
TEST(Macro, TimeBudgetBoundaries)
{
    expectCases({
        {"tap of 9 ms", once({step("tap", "key_65", 9)}), kUnbalanced},
        {"tap of 10 ms", once({step("tap", "key_65", 10)}), nullptr},
        {"tap of 10000 ms", once({step("tap", "key_65", 10000)}), nullptr},
        {"tap of 10001 ms", once({step("tap", "key_65", 10001)}), kUnbalanced},
        {"chord of 9 ms", once({step("chord", "chord:key_162+key_65", 9)}), kUnbalanced},
        {"chord of 10001 ms", once({step("chord", "chord:key_162+key_65", 10001)}), kUnbalanced},
        {"wait of 0 ms", once({step("wait", "", 0)}), kUnbalanced},
        {"wait of 1 ms", once({step("wait", "anything", 1)}), nullptr},
        {"wait of 60000 ms", once({step("wait", "", 60000)}), nullptr},
        {"30 commands fill 300 s", once(repeated(step("command", "action:1", 0), 30)), nullptr},
        {"31 commands exceed it", once(repeated(step("command", "action:1", 0), 31)), kUnbalanced},
        {"5 waits of 60 s", once(repeated(step("wait", "", 60000), 5)), nullptr},
        {"5 waits of 60 s and a tap", once(joined(repeated(step("wait", "", 60000), 5), {step("tap", "key_65", 10)})), kUnbalanced},
        {"count 100 of 3000 ms", macro("count", 100, {step("wait", "", 3000)}), nullptr},
        {"count 100 of 3001 ms", macro("count", 100, {step("wait", "", 3001)}), kUnbalanced},
        {"hold 100 of 3001 ms", macro("hold", 100, {step("wait", "", 3001)}), nullptr},
        {"move delay counts", once(joined(repeated(step("move", "1,1", 60000), 5), {step("tap", "key_65", 10)})), kUnbalanced},
        {"down and up times do not count",
         once(joined(repeated(step("wait", "", 60000), 5), {step("down", "key_65", 60000), step("up", "key_65", 60000)})),
         nullptr},
    });
}

TEST(Macro, CompiledFieldByField)
{
    const QJsonObject object = macro("toggle", 7,
                                     {
                                         step("down", "key_162", 0),
                                         step("wheel", "wheel_down", 20),
                                         step("up", "key_162", 5),
                                         step("chord", "chord:key_162+key_67", 30),
                                         step("move", "-12,340", 15),
                                         step("command", "action:32", 0),
                                         step("layer", "layer:10", 0),
                                         step("wait", "ignored", 25),
                                     });
    Macro compiled;
    QString error;
    ASSERT_TRUE(parseMacro(object, compiled, error)) << error.toStdString();
    EXPECT_EQ(compiled.stepCount, 8);
    EXPECT_EQ(compiled.repeat, 7);
    EXPECT_EQ(compiled.mode, MacroMode::Toggle);

    auto expected = [](MacroStepKind kind, std::uint32_t time) {
        CompiledMacroStep s;
        s.kind = kind;
        s.time = time;
        return s;
    };
    CompiledMacroStep down = expected(MacroStepKind::Down, 0);
    down.input = id("key_162");
    CompiledMacroStep wheel = expected(MacroStepKind::Tap, 20);
    wheel.input = id("wheel_down");
    CompiledMacroStep up = expected(MacroStepKind::Up, 5);
    up.input = id("key_162");
    CompiledMacroStep chord = expected(MacroStepKind::Chord, 30);
    chord.chordKeys = {id("key_162"), id("key_67"), 0, 0};
    chord.chordKeyCount = 2;
    CompiledMacroStep move = expected(MacroStepKind::Move, 15);
    move.moveX = -12;
    move.moveY = 340;
    CompiledMacroStep command = expected(MacroStepKind::Command, 0);
    command.actionSlot = 32;
    CompiledMacroStep layer = expected(MacroStepKind::Layer, 0);
    layer.target = 9;
    const CompiledMacroStep wait = expected(MacroStepKind::Wait, 25);
    const CompiledMacroStep steps[] = {down, wheel, up, chord, move, command, layer, wait};
    for (int i = 0; i < 8; ++i)
        EXPECT_EQ(compiled.steps[i], steps[i]) << "step " << i;
    // Unused steps keep the default: a tap of 100 ms, everything else zero.
    EXPECT_EQ(compiled.steps[8], CompiledMacroStep{});
    EXPECT_EQ(compiled.steps[63].kind, MacroStepKind::Tap);
    EXPECT_EQ(compiled.steps[63].time, 100u);
}

TEST(Macro, WheelStepCompilesLikeATapOfTheWheel)
{
    Macro viaWheel;
    Macro viaTap;
    QString error;
    ASSERT_TRUE(parseMacro(once({step("wheel", "wheel_up", 40)}), viaWheel, error));
    ASSERT_TRUE(parseMacro(once({step("tap", "wheel_up", 40)}), viaTap, error));
    EXPECT_EQ(viaWheel, viaTap);
}

TEST(Macro, ProfileStepDirectionAndSixtyFourSteps)
{
    Macro compiled;
    QString error;
    ASSERT_TRUE(parseMacro(once({step("profile", "previous", 0)}), compiled, error));
    EXPECT_EQ(compiled.steps[0].kind, MacroStepKind::Profile);
    EXPECT_EQ(compiled.steps[0].target, -1);
    ASSERT_TRUE(parseMacro(once(repeated(step("tap", "key_65", 10), 64)), compiled, error));
    EXPECT_EQ(compiled.stepCount, 64);
}

TEST(Macro, FailureLeavesTheResultAlone)
{
    Macro compiled;
    QString error;
    ASSERT_TRUE(parseMacro(once({step("tap", "key_65", 50)}), compiled, error));
    const Macro before = compiled;
    EXPECT_FALSE(parseMacro(once({step("tap", "key_65", 9)}), compiled, error));
    EXPECT_EQ(compiled, before);
    EXPECT_EQ(error.toStdString(), kUnbalanced);
}

// The engine checks compiled records it did not parse: fields a parser never writes.
TEST(ValidateMacro, RefusesRecordsNoParserWrites)
{
    Macro base;
    base.stepCount = 1;
    base.steps[0].input = id("key_65");
    ASSERT_TRUE(vorna::core::validateMacro(base));

    struct Case {
        const char* what;
        void (*edit)(Macro&);
    } const cases[] = {
        {"no steps", [](Macro& m) { m.stepCount = 0; }},
        {"65 steps", [](Macro& m) { m.stepCount = 65; }},
        {"repeat 0", [](Macro& m) { m.repeat = 0; }},
        {"repeat 101", [](Macro& m) { m.repeat = 101; }},
        {"mode 4", [](Macro& m) { m.mode = static_cast<MacroMode>(4); }},
        {"kind 9", [](Macro& m) { m.steps[0].kind = static_cast<MacroStepKind>(9); }},
        {"tap of input 0", [](Macro& m) { m.steps[0].input = 0; }},
        {"command slot 0", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Command; }},
        {"command slot 33", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Command; m.steps[0].actionSlot = 33; }},
        {"layer 10", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Layer; m.steps[0].target = 10; }},
        {"layer -1", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Layer; m.steps[0].target = -1; }},
        {"profile 2", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Profile; m.steps[0].target = 2; }},
        {"move time above 60 s", [](Macro& m) { m.steps[0] = {}; m.steps[0].kind = MacroStepKind::Move; m.steps[0].moveX = 1; m.steps[0].time = 60001; }},
        {"chord count 5", [](Macro& m) { m.steps[0].kind = MacroStepKind::Chord; m.steps[0].chordKeyCount = 5; }},
    };
    for (const Case& c : cases) {
        Macro edited = base;
        c.edit(edited);
        EXPECT_FALSE(vorna::core::validateMacro(edited)) << c.what;
    }
}

} // namespace
