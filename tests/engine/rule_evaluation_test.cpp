#include "engine/mapping/rule_evaluation.h"

#include "engine/mapping/mapping_engine.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows::engine;
using vorna::core::CompiledRule;
using vorna::core::MappingEngine;
using vorna::core::TriggerKind;
using vorna::windows::InputEvent;

constexpr std::uint8_t kCtrl = 2;

// One physical event and what the engine must answer.
struct Step {
    const char* input;
    char action; // 'd' down, 'u' up, 'r' auto-repeat
    const char* batch;
    int suppress;
    std::uint64_t timeMs = 0;
    std::uint64_t device = kKeyboard;
    std::uint8_t modifiers = 0;
};

struct Scenario {
    const char* name;
    std::vector<CompiledRule> rules;
    std::vector<Step> steps;
};

std::uint8_t phaseOf(char action)
{
    return action == 'd' ? vorna::core::kPhaseDown : action == 'u' ? vorna::core::kPhaseUp : vorna::core::kPhaseRepeat;
}

std::unique_ptr<MappingEngine> engineWith(const std::vector<CompiledRule>& rules)
{
    auto engine = std::make_unique<MappingEngine>();
    std::vector<CompiledRule> numbered = rules;
    for (std::size_t i = 0; i < numbered.size(); ++i)
        numbered[i].id = std::uint32_t(i + 1);
    vorna::core::RulesSnapshot compiled;
    EXPECT_EQ(vorna::core::compileRules(numbered.data(), numbered.size(), compiled), vorna::core::kCompileOk);
    engine->copySnapshot(compiled);
    return engine;
}

void run(const Scenario& scenario)
{
    SCOPED_TRACE(scenario.name);
    auto engine = engineWith(scenario.rules);
    int index = 0;
    for (const Step& step : scenario.steps) {
        SCOPED_TRACE("step " + std::to_string(index++) + ": " + step.action + " " + step.input);
        const InputEvent e = event(id(step.input), phaseOf(step.action), ms(step.timeMs), step.device, step.modifiers);
        const EvaluationResult result = evaluateInput(*engine, e);
        EXPECT_EQ(describe(result.batch), step.batch);
        EXPECT_EQ(result.suppress, step.suppress);
        EXPECT_EQ(result.status, kStatusProcessed);
        EXPECT_TRUE(engine->indexMatchesTable());
    }
}

std::vector<Scenario> scenarios()
{
    return {
        {"a rule with modifiers wins while they are held, the plain rule otherwise",
         {rule("key_65", "key_66"), rule("key_65", "key_67", kCtrl)},
         {{"key_65", 'd', "+key_67", 1, 0, kKeyboard, kCtrl},
          {"key_65", 'u', "-key_67", 1, 0, kKeyboard, kCtrl},
          {"key_65", 'd', "+key_66", 1},
          {"key_65", 'u', "-key_66", 1}}},
        {"a plain rule matches whatever modifiers are held",
         {rule("key_65", "key_66")},
         {{"key_65", 'd', "+key_66", 1, 0, kKeyboard, kCtrl}, {"key_65", 'u', "-key_66", 1}}},
        {"a rule for one device wins over the rule for all devices, only for that device",
         {rule("key_65", "key_66"),
          [] {
              CompiledRule r = rule("key_65", "key_67");
              r.device = 7;
              return r;
          }()},
         {{"key_65", 'd', "+key_67", 1, 0, 7}, {"key_65", 'u', "-key_67", 1, 0, 7}, {"key_65", 'd', "+key_66", 1}}},
        {"chord in order and within the interval fires on its last key",
         {chordRule("key_67", "key_68", {"key_65", "key_66"}, 300)},
         {{"key_65", 'd', "", 0, 1000},
          {"key_66", 'd', "", 0, 1050},
          {"key_67", 'd', "+key_68", 1, 1300},
          {"key_67", 'u', "-key_68", 1, 1350}}},
        {"chord keys pressed out of order do not match",
         {chordRule("key_67", "key_68", {"key_65", "key_66"}, 300)},
         {{"key_66", 'd', "", 0, 1000}, {"key_65", 'd', "", 0, 1050}, {"key_67", 'd', "", 0, 1100}}},
        {"chord completed after the interval does not match",
         {chordRule("key_67", "key_68", {"key_65", "key_66"}, 300)},
         {{"key_65", 'd', "", 0, 1000}, {"key_66", 'd', "", 0, 1050}, {"key_67", 'd', "", 0, 1301}}},
        {"chord key released before the last key does not count",
         {chordRule("key_67", "key_68", {"key_65", "key_66"}, 300)},
         {{"key_65", 'd', "", 0, 1000}, {"key_66", 'd', "", 0, 1050}, {"key_65", 'u', "", 0, 1060}, {"key_67", 'd', "", 0, 1100}}},
        {"a failed chord rule lets later rules for the same key match",
         {chordRule("key_67", "key_68", {"key_65"}, 300), rule("key_67", "key_69")},
         {{"key_67", 'd', "+key_69", 1, 0}, {"key_67", 'u', "-key_69", 1, 10}}},
        {"two sources share one output: down once, up with the last holder",
         {rule("key_65", "key_67"), rule("key_66", "key_67")},
         {{"key_65", 'd', "+key_67", 1}, {"key_66", 'd', "", 1}, {"key_65", 'u', "", 1}, {"key_66", 'u', "-key_67", 1}}},
        {"chord output pressed in order and released in reverse",
         {rule("key_65", "chord:key_162+key_160+key_67")},
         {{"key_65", 'd', "+key_162 +key_160 +key_67", 1}, {"key_65", 'u', "-key_67 -key_160 -key_162", 1}}},
        {"a chord output shares keys with another mapping",
         {rule("key_65", "chord:key_162+key_67"), rule("key_66", "key_162")},
         {{"key_66", 'd', "+key_162", 1},
          {"key_65", 'd', "+key_67", 1},
          {"key_66", 'u', "", 1},
          {"key_65", 'u', "-key_67 -key_162", 1}}},
        {"toggle: press latches, next press releases, its release clears",
         {rule("key_65", "toggle:key_67")},
         {{"key_65", 'd', "+key_67", 1},
          {"key_65", 'u', "", 1},
          {"key_65", 'r', "", 1},
          {"key_65", 'd', "-key_67", 1},
          {"key_65", 'u', "", 1},
          {"key_65", 'd', "+key_67", 1}}},
        {"auto-repeat of a mapped key repeats the output and swallows the source",
         {rule("key_65", "key_66")},
         {{"key_65", 'd', "+key_66", 1}, {"key_65", 'r', "*key_66", 1}, {"key_65", 'r', "*key_66", 1}, {"key_65", 'u', "-key_66", 1}}},
        {"auto-repeat of a chord output repeats its last key",
         {rule("key_65", "chord:key_162+key_67")},
         {{"key_65", 'd', "+key_162 +key_67", 1}, {"key_65", 'r', "*key_67", 1}}},
        {"auto-repeat of a key mapped to a mouse button sends nothing",
         {rule("key_65", "mouse_left")},
         {{"key_65", 'd', "+mouse_left", 1}, {"key_65", 'r', "", 1}, {"key_65", 'u', "-mouse_left", 1}}},
        {"auto-repeat of a blocked key stays swallowed",
         {rule("key_65", "blocked")},
         {{"key_65", 'd', "", 1}, {"key_65", 'r', "", 1}, {"key_65", 'u', "", 1}}},
        {"auto-repeat of an unmapped key passes",
         {},
         {{"key_65", 'd', "", 0}, {"key_65", 'r', "", 0}, {"key_65", 'u', "", 0}}},
        {"output key already held physically: no extra down, no extra up",
         {rule("key_65", "key_66")},
         {{"key_66", 'd', "", 0}, {"key_65", 'd', "", 1}, {"key_65", 'u', "", 1}, {"key_66", 'u', "", 0}}},
        {"physical release of a key a mapping holds is swallowed; the mapping releases it",
         {rule("key_65", "key_66")},
         {{"key_66", 'd', "", 0}, {"key_65", 'd', "", 1}, {"key_66", 'u', "", 1}, {"key_65", 'u', "-key_66", 1}}},
        {"keepOriginal lets the source through and still presses the output",
         {rule("key_65", "key_66", 0, true)},
         {{"key_65", 'd', "+key_66", 0}, {"key_65", 'u', "-key_66", 0}}},
        {"blocked swallows, unchanged passes",
         {rule("key_65", "blocked"), rule("key_66", "unchanged")},
         {{"key_65", 'd', "", 1}, {"key_65", 'u', "", 1}, {"key_66", 'd', "", 0}, {"key_66", 'u', "", 0}}},
        {"the same key on two devices holds its output twice",
         {rule("mouse_back", "key_66")},
         {{"mouse_back", 'd', "+key_66", 1, 0, 1}, {"mouse_back", 'd', "", 1, 0, 5}, {"mouse_back", 'u', "", 1, 0, 1}, {"mouse_back", 'u', "-key_66", 1, 0, 5}}},
        {"a key mapped to a wheel step sends one notch and holds nothing",
         {rule("key_65", "wheel_down")},
         {{"key_65", 'd', "w:wheel_down:120", 1}, {"key_65", 'u', "", 1}}},
    };
}

TEST(RuleEvaluation, RuleTablesTurnEventSequencesIntoBatches)
{
    for (const Scenario& scenario : scenarios())
        run(scenario);
}

TEST(RuleEvaluation, TheEnginesLookupAgreesWithTheSnapshotWalk)
{
    auto engine = engineWith({rule("key_65", "key_66"), rule("key_65", "key_67", kCtrl), rule("key_65", "key_68", kCtrl | 1),
                              rule("wheel_up", "key_69"), rule("wheel_up", "key_70", 1), rule("mouse_back", "blocked"),
                              chordRule("key_66", "key_71", {"key_160"}, 300), rule("key_66", "key_72")});
    struct Probe {
        const char* input;
        std::uint8_t modifiers;
        std::uint32_t rule;
    };
    const Probe probes[] = {{"key_65", 0, 1}, {"key_65", kCtrl, 2}, {"key_65", kCtrl | 1 | 4, 3}, {"wheel_up", 0, 4},
                            {"wheel_up", 1, 5}, {"mouse_back", 8, 6}, {"key_66", 0, 8}, {"key_67", 0, 0}};
    for (const Probe& p : probes) {
        SCOPED_TRACE(p.input);
        const InputEvent e = event(id(p.input), 0, ms(10), kKeyboard, p.modifiers);
        const CompiledRule* walked = findRule(engine->rules, engine->held, e);
        EXPECT_EQ(walked ? walked->id : 0u, p.rule);
        const EvaluationResult result = evaluateInput(*engine, e);
        EXPECT_EQ(result.ruleId, p.rule);
        evaluateInput(*engine, event(id(p.input), 1, ms(11), kKeyboard, p.modifiers));
    }
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(RuleEvaluation, TargetsOtherThanKeysReportWhatToStart)
{
    auto engine = engineWith({rule("key_65", "macro:3"), rule("key_66", "action:5"), rule("key_67", "layer:timed:2:500"),
                              rule("key_68", "pointer:speed", 0, true)});
    const EvaluationResult macro = evaluateInput(*engine, event(key(65), 0));
    EXPECT_EQ(macro.macroSlot, 3);
    EXPECT_EQ(macro.ruleId, 1u);
    EXPECT_EQ(macro.suppress, 1);
    const EvaluationResult action = evaluateInput(*engine, event(key(66), 0));
    EXPECT_EQ(action.actionSlot, 5);
    const EvaluationResult layer = evaluateInput(*engine, event(key(67), 0));
    EXPECT_EQ(layer.layerOp, 6);
    EXPECT_EQ(layer.layerIndex, 1);
    EXPECT_EQ(layer.layerTimerMs, 500u);
    const EvaluationResult pointer = evaluateInput(*engine, event(key(68), 0));
    EXPECT_EQ(pointer.pointerMode, 2);
    EXPECT_EQ(pointer.suppress, 0);

    // Releases report the same target, so that the macro, action, layer and pointer see the end.
    EXPECT_EQ(evaluateInput(*engine, event(key(65), 1)).macroSlot, 3);
    EXPECT_EQ(evaluateInput(*engine, event(key(66), 1)).actionSlot, 5);
    const EvaluationResult layerUp = evaluateInput(*engine, event(key(67), 1));
    EXPECT_EQ(layerUp.layerOp, 6);
    EXPECT_EQ(layerUp.layerTimerMs, 500u);
    EXPECT_EQ(evaluateInput(*engine, event(key(68), 1)).pointerMode, 2);
}

TEST(RuleEvaluation, EventsTheEngineDoesNotMapAreAnsweredWithoutChanges)
{
    struct Case {
        const char* what;
        InputEvent event;
        std::uint8_t status;
    };
    InputEvent injected = event(key(65), 0);
    injected.origin = 1;
    InputEvent own = event(key(65), 0);
    own.origin = 2;
    InputEvent strangeOrigin = event(key(65), 0);
    strangeOrigin.origin = 3;
    InputEvent noDevice = event(key(65), 0, 0, 0);
    InputEvent badPhase = event(key(65), 3);
    InputEvent badProvider = event(key(65), 0);
    badProvider.provider = 4;
    InputEvent badChannel = event(key(65), 0);
    badChannel.channel = 3;
    InputEvent badInput = event(key(7), 0);
    const Case cases[] = {
        {"injected by another program", injected, kStatusInjectedOrigin},
        {"our own output", own, kStatusProgramOrigin},
        {"unknown origin", strangeOrigin, kStatusInvalid},
        {"no device", noDevice, kStatusInvalid},
        {"phase 3", badPhase, kStatusInvalid},
        {"first code above 3", badProvider, kStatusInvalid},
        {"second code above 2", badChannel, kStatusInvalid},
        {"invalid input id", badInput, kStatusInvalid},
    };
    for (const Case& c : cases) {
        auto engine = engineWith({rule("key_65", "key_66")});
        const EvaluationResult result = evaluateInput(*engine, c.event);
        EXPECT_EQ(result.status, c.status) << c.what;
        EXPECT_EQ(result.suppress, 0) << c.what;
        EXPECT_EQ(result.batch.count, 0u) << c.what;
        EXPECT_EQ(engine->countBySource(key(65)), 0) << c.what << ": the event changed the table";
        EXPECT_EQ(engine->held[0].device, 0u) << c.what << ": the event was remembered as held";
    }
}

TEST(RuleEvaluation, The129thSimultaneousPressReleasesEverythingAndBlocksResume)
{
    auto engine = engineWith({rule("mouse_back", "key_66"), rule("key_65", "chord:key_162+key_67")});
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 0)).batch), "+key_162 +key_67");
    for (std::uint64_t device = 1; device <= 127; ++device) {
        const EvaluationResult result = evaluateInput(*engine, event(button(4), 0, 0, device));
        ASSERT_EQ(result.status, kStatusProcessed) << device;
        EXPECT_EQ(describe(result.batch), device == 1 ? "+key_66" : "");
    }

    const EvaluationResult full = evaluateInput(*engine, event(button(4), 0, 0, 200));
    EXPECT_EQ(full.status, kStatusTableFull);
    EXPECT_EQ(describe(full.batch), "-key_67 -key_162 -key_66") << "every held output goes up exactly once";
    EXPECT_EQ(engine->overflow, 1);
    EXPECT_FALSE(engine->resume());

    // Released: the sources' releases are still recognised but send nothing more.
    const EvaluationResult release = evaluateInput(*engine, event(key(65), 1));
    EXPECT_EQ(release.status, kStatusReleased);
    EXPECT_EQ(describe(release.batch), "");
    EXPECT_EQ(release.suppress, 1) << "the source's press was swallowed, so is its release";
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(RuleEvaluation, AReleasedEngineLetsNewPressesThroughUntilResumed)
{
    auto engine = engineWith({rule("key_65", "key_66"), rule("key_67", "toggle:key_68")});
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(67), 0)).batch), "+key_68");
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(67), 1)).batch), "");

    vorna::core::OutputBatch released;
    engine->releaseAll(released);
    EXPECT_EQ(describe(released), "-key_68");
    EXPECT_EQ(engine->findEntry(kKeyboard, key(67)), nullptr) << "the latched toggle is cleared";

    const EvaluationResult passed = evaluateInput(*engine, event(key(65), 0));
    EXPECT_EQ(passed.status, kStatusReleased);
    EXPECT_EQ(passed.suppress, 0);
    EXPECT_EQ(describe(passed.batch), "");
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 1)).batch), "");

    EXPECT_TRUE(engine->resume());
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 0)).batch), "+key_66");
}

TEST(MappingEngine, EngineInternalPressesShareOutputsWithMappings)
{
    auto engine = engineWith({rule("key_65", "key_66")});
    vorna::core::OutputBatch batch;
    engine->press(999, key(66), batch);
    EXPECT_EQ(describe(batch), "") << "owner tokens up to 999 are devices, not owners";

    engine->press(1000, key(66), batch);
    EXPECT_EQ(describe(batch), "+key_66");
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 0)).batch), "") << "already down for the owner";
    batch.count = 0;
    engine->press(1000, key(66), batch);
    EXPECT_EQ(describe(batch), "") << "a second press of the same owner changes nothing";
    engine->release(1000, key(66), batch);
    EXPECT_EQ(describe(batch), "") << "the mapping still holds the key";
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 1)).batch), "-key_66");

    engine->press(1000, key(67), batch);
    engine->press(1000, key(68), batch);
    engine->press(1001, key(67), batch);
    EXPECT_EQ(describe(batch), "+key_67 +key_68");
    batch.count = 0;
    engine->releaseOwner(1000, batch);
    EXPECT_EQ(describe(batch), "-key_68") << "key_67 stays down for owner 1001";
    engine->releaseOwner(1001, batch);
    EXPECT_EQ(describe(batch), "-key_68 -key_67");
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(MappingEngine, AnEngineInternalPressWithoutAFreeEntryReleasesEverything)
{
    auto engine = engineWith({rule("key_65", "chord:key_162+key_67")});
    vorna::core::OutputBatch batch;
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(65), 0)).batch), "+key_162 +key_67");
    for (std::uint64_t owner = 1000; owner < 1127; ++owner)
        engine->press(owner, key(68), batch);
    EXPECT_EQ(describe(batch), "+key_68");

    batch.count = 0;
    engine->press(2000, key(69), batch);
    EXPECT_EQ(describe(batch), "-key_67 -key_162 -key_68") << "the 129th entry: every output goes up once";
    EXPECT_EQ(engine->overflow, 1);
    EXPECT_EQ(engine->released, 1);
    EXPECT_FALSE(engine->resume());
    batch.count = 0;
    engine->press(2001, key(70), batch);
    EXPECT_EQ(describe(batch), "") << "a released engine presses nothing";
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(MappingEngine, ReleasingHeldTogglesLeavesOtherMappingsAlone)
{
    auto engine = engineWith({rule("key_65", "toggle:key_68"), rule("key_66", "toggle:key_69"), rule("key_67", "key_70")});
    evaluateInput(*engine, event(key(65), 0));
    evaluateInput(*engine, event(key(65), 1)); // latched
    evaluateInput(*engine, event(key(66), 0)); // its source still down
    evaluateInput(*engine, event(key(67), 0));

    vorna::core::OutputBatch batch;
    engine->releaseHeld(batch);
    EXPECT_EQ(describe(batch), "-key_68 -key_69");
    EXPECT_EQ(engine->findEntry(kKeyboard, key(65)), nullptr) << "a latched toggle is cleared";
    ASSERT_NE(engine->findEntry(kKeyboard, key(66)), nullptr) << "a held toggle still waits for its release";
    EXPECT_EQ(engine->holdersOfOutput(key(70)), 1) << "a plain mapping keeps its output";

    batch.count = 0;
    engine->releaseHeld(batch);
    EXPECT_EQ(describe(batch), "") << "nothing goes up twice";
    const EvaluationResult release = evaluateInput(*engine, event(key(66), 1));
    EXPECT_EQ(describe(release.batch), "");
    EXPECT_EQ(release.suppress, 1);
    EXPECT_EQ(engine->findEntry(kKeyboard, key(66)), nullptr);
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(67), 1)).batch), "-key_70");
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(MappingEngine, MacroOutputsPendingTellsReleasesFromWork)
{
    vorna::core::OutputBatch batch;
    EXPECT_FALSE(vorna::core::macroOutputsPending(batch));
    batch.append(key(65), vorna::core::kPhaseUp);
    EXPECT_FALSE(vorna::core::macroOutputsPending(batch));
    batch.mode = vorna::core::kBatchModeCancel;
    EXPECT_FALSE(vorna::core::macroOutputsPending(batch));
    batch.mode = vorna::core::kBatchModeCommand;
    EXPECT_TRUE(vorna::core::macroOutputsPending(batch));
    batch.mode = 0;
    batch.append(key(66), vorna::core::kPhaseRepeat);
    EXPECT_TRUE(vorna::core::macroOutputsPending(batch));
}

} // namespace
