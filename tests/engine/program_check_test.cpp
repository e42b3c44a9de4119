#include "engine/windows_input_backend.h"

#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows;
using vorna::core::CompiledRule;
using vorna::core::Macro;
using vorna::core::RulesSnapshot;
using vorna::core::TargetKind;
using vorna::core::TriggerKind;

const std::string kUnsupported = "This Windows backend supports documented Windows virtual keys and mouse buttons "
                                 "1-5; use explicit left/right modifiers.";

// A snapshot taken as it is, without the core compiler: the backend must not trust its input.
RulesSnapshot raw(std::initializer_list<CompiledRule> rules)
{
    RulesSnapshot made;
    for (const CompiledRule& rule : rules)
        made.rules[made.count++] = rule;
    return made;
}

struct Program {
    Program() : layers(std::make_unique<LayerProgram>()), macros(std::make_unique<MacroBank>()) {}
    RulesSnapshot base;
    std::unique_ptr<LayerProgram> layers;
    std::unique_ptr<MacroBank> macros;
};

struct CheckCase {
    const char* what;
    std::function<void(Program&)> build;
    std::string error; // empty: passes
};

CompiledRule withId(CompiledRule rule, std::uint32_t id)
{
    rule.id = id;
    return rule;
}

std::vector<CheckCase> cases()
{
    return {
        {"an empty program passes", [](Program&) {}, ""},
        {"pages and vertical-to-horizontal together",
         [](Program& p) { p.layers->motion[3].pages = p.layers->motion[3].verticalToHorizontal = true; },
         "Invalid wheel or cursor settings"},
        {"wheel vertical 801", [](Program& p) { p.layers->motion[9].wheelVertical = 801; }, "Invalid wheel or cursor settings"},
        {"wheel horizontal 9", [](Program& p) { p.layers->motion[0].wheelHorizontal = 9; }, "Invalid wheel or cursor settings"},
        {"cursor X 401", [](Program& p) { p.layers->motion[0].cursorX = 401; }, "Invalid wheel or cursor settings"},
        {"temporary speed 9", [](Program& p) { p.layers->motion[0].temporarySpeed = 9; }, "Invalid wheel or cursor settings"},
        {"scroll pixels 0", [](Program& p) { p.layers->motion[0].scrollPixels = 0; }, "Invalid wheel or cursor settings"},
        {"axis 3", [](Program& p) { p.layers->motion[0].axis = 3; }, "Invalid wheel or cursor settings"},
        {"limits themselves pass",
         [](Program& p) {
             p.layers->motion[0] = {800, 10, true, true, true, false, 400, 10, true, true, 2, 400, 500};
         },
         ""},
        {"initial layer 10 with a layer program",
         [](Program& p) {
             p.layers->enabled = 1;
             p.layers->initialLayer = 10;
         },
         "Invalid initial layer"},
        {"a layer rule without a layer program",
         [](Program& p) { p.base = snapshot({rule("key_65", "layer:hold:2")}); },
         "Layer actions require a layer program"},
        {"a hold-tap falling back to a layer without a layer program",
         [](Program& p) { p.base = snapshot({timedRule("key_65", "key_66", TriggerKind::HoldTap, "layer:set:3", 200)}); },
         "Layer actions require a layer program"},
        {"a layer rule with a layer program",
         [](Program& p) {
             p.base = snapshot({rule("key_65", "layer:hold:2")});
             p.layers->enabled = 1;
             p.layers->layers[4] = snapshot({rule("key_66", "layer:next")});
         },
         ""},
        {"an action above the validated count",
         [](Program& p) {
             p.layers->actionCount = 4;
             p.base = snapshot({rule("key_65", "action:5")});
         },
         "Action reference requires a validated action collection"},
        {"an action fallback above the validated count, in a layer",
         [](Program& p) {
             p.layers->enabled = 1;
             p.layers->actionCount = 4;
             p.layers->layers[7] = snapshot({timedRule("key_65", "key_66", TriggerKind::Double, "action:9", 200)});
         },
         "Action reference requires a validated action collection"},
        {"an action count above 32",
         [](Program& p) {
             p.layers->actionCount = 33;
             p.base = snapshot({rule("key_65", "action:1")});
         },
         "Action reference requires a validated action collection"},
        {"an action within the count",
         [](Program& p) {
             p.layers->actionCount = 5;
             p.base = snapshot({rule("key_65", "action:5")});
         },
         ""},
        {"a macro that fails the macro check",
         [](Program& p) {
             (*p.macros)[2] = macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30}])");
             (*p.macros)[2].steps[0].time = 5;
         },
         "Invalid macro bank"},
        {"a macro command above the validated actions",
         [](Program& p) {
             p.layers->actionCount = 2;
             (*p.macros)[0] = macroFrom("once", 1, R"([{"type":"command","input":"action:3","ms":0}])");
         },
         "Macro references a missing action"},
        {"a macro layer step without a layer program",
         [](Program& p) { (*p.macros)[5] = macroFrom("once", 1, R"([{"type":"layer","input":"layer:2","ms":0}])"); },
         "Macro needs a profile/layer program"},
        {"a macro profile step without a layer program",
         [](Program& p) { (*p.macros)[5] = macroFrom("once", 1, R"([{"type":"profile","input":"next","ms":0}])"); },
         "Macro needs a profile/layer program"},
        {"a macro profile step with a layer program",
         [](Program& p) {
             p.layers->enabled = 1;
             (*p.macros)[5] = macroFrom("once", 1, R"([{"type":"profile","input":"previous","ms":0}])");
         },
         ""},
        {"a macro chord with the generic Ctrl",
         [](Program& p) {
             (*p.macros)[1] = macroFrom("once", 1, R"([{"type":"chord","input":"chord:key_162+key_65","ms":20}])");
             (*p.macros)[1].steps[0].chordKeys[0] = key(17);
         },
         "Unsupported macro chord key"},
        {"a macro tapping button 6",
         [](Program& p) {
             (*p.macros)[1] = macroFrom("once", 1, R"([{"type":"tap","input":"mouse_left","ms":20}])");
             (*p.macros)[1].steps[0].input = button(6);
         },
         "Unsupported macro output key"},
        {"a wheel rule numbered 257",
         [](Program& p) { p.base = raw({withId(rule("wheel_up", "key_65"), 257)}); },
         "Wheel rule id is outside the bounded accumulator bank"},
        {"a wheel rule numbered 256", [](Program& p) { p.base = raw({withId(rule("wheel_up", "key_65"), 256)}); }, ""},
        {"a hold-tap whose fallback cannot compile",
         [](Program& p) {
             CompiledRule bad = withId(timedRule("key_65", "key_66", TriggerKind::HoldTap, "layer:set:3", 200), 1);
             bad.fallback.layerIndex = 12;
             p.layers->enabled = 1;
             p.base = raw({bad});
         },
         "Invalid trigger fallback"},
        {"a hold-tap falling back to an unsupported key",
         [](Program& p) {
             CompiledRule bad = withId(timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 200), 1);
             bad.fallback.output = key(16);
             p.base = raw({bad});
         },
         kUnsupported},
        {"a chord trigger after button 6",
         [](Program& p) {
             CompiledRule chord = withId(chordRule("key_65", "key_66", {"mouse_left"}, 300), 1);
             chord.precedingKeys[0] = button(6);
             p.base = raw({chord});
         },
         "Unsupported source chord key"},
        {"a macro target whose macro is missing",
         [](Program& p) { p.base = snapshot({rule("key_65", "macro:2")}); },
         "Invalid macro definition"},
        {"a macro target whose macro is valid",
         [](Program& p) {
             p.base = snapshot({rule("key_65", "macro:2")});
             (*p.macros)[1] = macroFrom("hold", 1, R"([{"type":"tap","input":"key_66","ms":20}])");
         },
         ""},
        {"a chord output with the generic Shift",
         [](Program& p) {
             CompiledRule chord = withId(rule("key_65", "chord:key_162+key_67"), 1);
             chord.chordKeys[0] = key(16);
             p.base = raw({chord});
         },
         "Unsupported chord key"},
        {"a rule for one device",
         [](Program& p) {
             CompiledRule one = withId(rule("key_65", "key_66"), 1);
             one.device = 3;
             p.base = raw({one});
         },
         "Windows hooks support all mice/all keyboards only; physical-device rules are unavailable."},
        {"the generic Shift as a source",
         [](Program& p) { p.base = raw({withId(rule("key_65", "blocked"), 1)}); p.base.rules[0].source = key(16); },
         kUnsupported},
        {"left Shift as a source", [](Program& p) { p.base = snapshot({rule("key_160", "blocked")}); }, ""},
        {"button 6 as a key output",
         [](Program& p) {
             p.base = raw({withId(rule("key_65", "key_66"), 1)});
             p.base.rules[0].output = button(6);
         },
         kUnsupported},
        {"the generic Alt as a toggle output",
         [](Program& p) {
             p.base = raw({withId(rule("key_65", "toggle:key_66"), 1)});
             p.base.rules[0].output = key(18);
         },
         kUnsupported},
        {"an unsupported key in a layer's rules",
         [](Program& p) {
             p.layers->enabled = 1;
             p.layers->layers[9] = raw({withId(rule("key_65", "key_66"), 1)});
             p.layers->layers[9].rules[0].output = key(17);
         },
         kUnsupported},
        {"an unsupported key in a disabled program's layers is not looked at",
         [](Program& p) {
             p.layers->layers[9] = raw({withId(rule("key_65", "key_66"), 1)});
             p.layers->layers[9].rules[0].output = key(17);
         },
         ""},
        // Two faults: the first in the order of the checks is reported.
        {"bad motion before a device rule",
         [](Program& p) {
             p.layers->motion[0].axis = 3;
             CompiledRule one = withId(rule("key_65", "key_66"), 1);
             one.device = 3;
             p.base = raw({one});
         },
         "Invalid wheel or cursor settings"},
        {"a wheel id before a device rule on the same rule",
         [](Program& p) {
             CompiledRule one = withId(rule("wheel_down", "key_66"), 300);
             one.device = 3;
             p.base = raw({one});
         },
         "Wheel rule id is outside the bounded accumulator bank"},
        {"the base rules before the initial layer",
         [](Program& p) {
             p.layers->enabled = 1;
             p.layers->initialLayer = 11;
             p.base = raw({withId(rule("key_65", "key_66"), 1)});
             p.base.rules[0].source = key(16);
         },
         kUnsupported},
        {"a failing macro check before a missing action of an earlier macro",
         [](Program& p) {
             p.layers->actionCount = 0;
             (*p.macros)[0] = macroFrom("once", 1, R"([{"type":"command","input":"action:3","ms":0}])");
             (*p.macros)[9] = macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30}])");
             (*p.macros)[9].repeat = 0;
         },
         "Invalid macro bank"},
    };
}

TEST(ProgramCheck, EachFaultHasItsMessageAndTheFirstFaultWins)
{
    for (const CheckCase& c : cases()) {
        SCOPED_TRACE(c.what);
        Program program;
        c.build(program);
        std::string error = "untouched";
        const bool ok = WindowsInputBackend::validateProgram(program.base, *program.macros, *program.layers, error);
        EXPECT_EQ(ok, c.error.empty());
        EXPECT_EQ(error, c.error);
    }
}

TEST(ProgramCheck, CompilingRulesClearsTheErrorOnSuccess)
{
    auto macros = std::make_unique<MacroBank>();
    std::string error = "old";
    EXPECT_TRUE(WindowsInputBackend::compileRules(RulesSnapshot{}, error, *macros));
    EXPECT_EQ(error, "");
    EXPECT_TRUE(WindowsInputBackend::compileRules(snapshot({rule("key_65", "chord:key_162+key_67")}), error, *macros));
    EXPECT_FALSE(WindowsInputBackend::compileRules(raw({withId(rule("wheel_up", "key_65"), 0)}), error, *macros));
    EXPECT_EQ(error, "Wheel rule id is outside the bounded accumulator bank");
}

} // namespace
