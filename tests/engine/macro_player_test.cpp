#include "engine/mapping/macro_player.h"

#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/rule_evaluation.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using vorna::core::Macro;
using vorna::core::MacroMode;
using vorna::core::MacroPlayer;
using vorna::core::MacroStepKind;
using vorna::core::MappingEngine;
using vorna::core::OutputBatch;

constexpr std::uint64_t kStart = ms(5000);
constexpr std::uint16_t kSlot = 3;

struct PlayerFixture {
    PlayerFixture() : engine(std::make_unique<MappingEngine>()), player(std::make_unique<MacroPlayer>(*engine)) {}

    std::string trigger(const Macro& macro, std::uint8_t phase, std::uint64_t now, std::uint64_t device = kKeyboard,
                        vorna::core::InputId input = key(120))
    {
        last = MacroPlayer::trigger(*player, macro, kSlot, phase, now, device, input, 77);
        return describe(last);
    }
    std::string step(std::uint64_t now)
    {
        last = MacroPlayer::step(*player, now);
        return describe(last);
    }

    std::unique_ptr<MappingEngine> engine;
    std::unique_ptr<MacroPlayer> player;
    OutputBatch last;
};

struct Tick {
    std::uint64_t atMs; // after the trigger
    const char* expect;
};

struct PlayCase {
    const char* name;
    Macro macro;
    std::vector<Tick> ticks;
    bool runningAfter;
};

TEST(MacroPlayer, ModesWaitsAndTapsPlayAtTheirTimes)
{
    const PlayCase cases[] = {
        {"down, wait 50, up",
         macroFrom("once", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":50},{"type":"up","input":"key_65","ms":0}])"),
         {{0, "+key_65"}, {49, ""}, {50, "-key_65"}},
         false},
        {"a tap holds its key for its time",
         macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30}])"),
         {{0, "+key_65"}, {29, ""}, {30, "-key_65"}},
         false},
        {"a chord is pressed in order and released in reverse",
         macroFrom("once", 1, R"([{"type":"chord","input":"chord:key_162+key_160+key_65","ms":20}])"),
         {{0, "+key_162 +key_160 +key_65"}, {20, "-key_65 -key_160 -key_162"}},
         false},
        {"a wheel tap sends one notch and no release",
         macroFrom("once", 1, R"([{"type":"wheel","input":"wheel_down","ms":10},{"type":"tap","input":"key_65","ms":10}])"),
         {{0, "w:wheel_down:120"}, {10, "+key_65"}, {20, "-key_65"}},
         false},
        {"count mode repeats its passes 10 ms apart",
         macroFrom("count", 3, R"([{"type":"tap","input":"key_65","ms":10}])"),
         {{0, "+key_65"}, {10, "-key_65"}, {19, ""}, {20, "+key_65"}, {30, "-key_65"}, {40, "+key_65"}, {50, "-key_65"}, {60, ""}},
         false},
        {"hold mode keeps repeating while its key is down",
         macroFrom("hold", 1, R"([{"type":"tap","input":"key_65","ms":10}])"),
         {{0, "+key_65"}, {10, "-key_65"}, {20, "+key_65"}, {30, "-key_65"}, {40, "+key_65"}},
         true},
        {"at most 8 steps run per call",
         macroFrom("once", 1,
                   R"([{"type":"down","input":"key_65","ms":0},{"type":"up","input":"key_65","ms":0},
                       {"type":"down","input":"key_66","ms":0},{"type":"up","input":"key_66","ms":0},
                       {"type":"down","input":"key_67","ms":0},{"type":"up","input":"key_67","ms":0},
                       {"type":"down","input":"key_68","ms":0},{"type":"up","input":"key_68","ms":0},
                       {"type":"down","input":"key_69","ms":0},{"type":"up","input":"key_69","ms":0}])"),
         {{0, "+key_65 -key_65 +key_66 -key_66 +key_67 -key_67 +key_68 -key_68"}, {0, "+key_69 -key_69"}},
         false},
    };
    for (const PlayCase& c : cases) {
        SCOPED_TRACE(c.name);
        PlayerFixture f;
        bool first = true;
        for (const Tick& tick : c.ticks) {
            SCOPED_TRACE("at " + std::to_string(tick.atMs) + " ms");
            const std::string batch = first ? f.trigger(c.macro, 0, kStart) : f.step(kStart + ms(tick.atMs));
            EXPECT_EQ(batch, tick.expect);
            first = false;
        }
        EXPECT_EQ(f.player->running(), c.runningAfter);
        EXPECT_TRUE(f.engine->indexMatchesTable());
        if (!c.runningAfter) {
            EXPECT_EQ(f.player->slot, 0);
            EXPECT_EQ(f.engine->holdersOfOutput(key(65)), 0) << "a finished run holds nothing";
        }
    }
}

TEST(MacroPlayer, HoldEndsOnItsOwnReleaseAndToggleOnTheNextPress)
{
    const Macro hold = macroFrom("hold", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":100},{"type":"up","input":"key_65","ms":0}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(hold, 0, kStart, 1, button(4)), "+key_65");
    EXPECT_EQ(f.trigger(hold, 2, kStart + ms(5), 1, button(4)), "") << "auto-repeat does nothing";
    EXPECT_EQ(f.trigger(hold, 1, kStart + ms(10), 2, button(4)), "") << "another device's release";
    EXPECT_EQ(f.trigger(hold, 1, kStart + ms(10), 1, button(5)), "") << "another input's release";
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.trigger(hold, 1, kStart + ms(20), 1, button(4)), "-key_65");
    EXPECT_FALSE(f.player->running());

    const Macro toggle = macroFrom("toggle", 1, R"([{"type":"down","input":"key_66","ms":0},{"type":"wait","input":"","ms":100},{"type":"up","input":"key_66","ms":0}])");
    EXPECT_EQ(f.trigger(toggle, 0, kStart), "+key_66");
    EXPECT_EQ(f.trigger(toggle, 1, kStart + ms(10)), "") << "a toggle macro ignores its release";
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.trigger(toggle, 0, kStart + ms(20)), "-key_66");
    EXPECT_FALSE(f.player->running());
}

TEST(MacroPlayer, OneMacroAtATime)
{
    const Macro once = macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":100}])");
    const Macro other = macroFrom("once", 1, R"([{"type":"tap","input":"key_66","ms":100}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(once, 0, kStart), "+key_65");
    EXPECT_EQ(f.trigger(once, 0, kStart + ms(10)), "") << "the same macro does not restart";
    EXPECT_EQ(describe(MacroPlayer::trigger(*f.player, other, 4, 0, kStart + ms(20), kKeyboard, key(121), 77)), "")
        << "a second macro does not start";
    EXPECT_EQ(f.player->slot, kSlot);
}

TEST(MacroPlayer, KeysTheUserHoldsAreNeitherPressedNorReleased)
{
    PlayerFixture f;
    vorna::windows::engine::evaluateInput(*f.engine, event(key(65), 0, ms(1))); // physical, passes through
    const Macro tap = macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30},{"type":"tap","input":"key_66","ms":30}])");
    EXPECT_EQ(f.trigger(tap, 0, kStart), "");
    EXPECT_EQ(f.step(kStart + ms(30)), "+key_66");
    EXPECT_EQ(f.step(kStart + ms(60)), "-key_66");
}

TEST(MacroPlayer, InvalidOrOverlongMacrosDoNotStart)
{
    Macro empty; // no steps
    Macro tooLong = macroFrom("once", 1, R"([{"type":"wait","input":"","ms":60000}])");
    tooLong.stepCount = 6;
    for (int i = 1; i < 6; ++i)
        tooLong.steps[i] = tooLong.steps[0]; // 360 s of waiting
    Macro countTooLong = macroFrom("count", 1, R"([{"type":"wait","input":"","ms":60000},{"type":"wait","input":"","ms":60000},{"type":"wait","input":"","ms":30001}])");
    countTooLong.repeat = 2; // 150.001 s twice
    Macro unbalanced = macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30}])");
    unbalanced.steps[0].kind = MacroStepKind::Down;
    const std::pair<const char*, Macro> cases[] = {
        {"no steps", empty},
        {"more than 300 s", tooLong},
        {"repeat x total above 300 s", countTooLong},
        {"a key left down", unbalanced},
    };
    for (const auto& [what, macro] : cases) {
        PlayerFixture f;
        EXPECT_EQ(f.trigger(macro, 0, kStart), "") << what;
        EXPECT_FALSE(f.player->running()) << what;
    }

    PlayerFixture released;
    vorna::core::OutputBatch ignored;
    released.engine->releaseAll(ignored);
    EXPECT_EQ(released.trigger(macroFrom("once", 1, R"([{"type":"tap","input":"key_65","ms":30}])"), 0, kStart), "");
    EXPECT_FALSE(released.player->running()) << "a released engine starts no macro";
}

TEST(MacroPlayer, OperationsWaitForTheirResultWithTokens)
{
    const Macro macro = macroFrom("once", 1,
                                  R"([{"type":"command","input":"action:7","ms":0},{"type":"layer","input":"layer:4","ms":0},
                                      {"type":"move","input":"-5,9","ms":0},{"type":"tap","input":"key_65","ms":10}])");
    PlayerFixture f;
    f.trigger(macro, 0, kStart);
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeCommand);
    EXPECT_EQ(f.last.command, 7);
    EXPECT_EQ(f.last.owner, 1u);
    EXPECT_EQ(f.step(kStart + ms(5000)), "") << "waiting for the action";
    EXPECT_EQ(f.last.mode, 0);

    EXPECT_EQ(describe(MacroPlayer::onOperationResult(*f.player, 2, true, kStart + ms(6000))), "");
    EXPECT_EQ(f.player->waiting, 1u) << "a result for another token is ignored";
    MacroPlayer::onOperationResult(*f.player, 1, true, kStart + ms(6000));
    EXPECT_EQ(f.player->waiting, 0u);

    f.step(kStart + ms(6000));
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeLayerStep);
    EXPECT_EQ(f.last.layer, 3);
    EXPECT_EQ(f.last.owner, 2u);
    MacroPlayer::onOperationResult(*f.player, 2, true, kStart + ms(6001));
    f.step(kStart + ms(6001));
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeCursorMove);
    EXPECT_EQ(f.last.dx, -5);
    EXPECT_EQ(f.last.dy, 9);
    EXPECT_EQ(f.last.owner, 3u);
    MacroPlayer::onOperationResult(*f.player, 3, true, kStart + ms(6002));
    EXPECT_EQ(f.step(kStart + ms(6002)), "+key_65");
    EXPECT_EQ(f.step(kStart + ms(6012)), "-key_65");
    EXPECT_FALSE(f.player->running());

    // Tokens count on per player, across runs, and wrap to 1 after the largest value.
    f.player->lastToken = UINT64_MAX;
    f.trigger(macro, 0, kStart + ms(7000));
    EXPECT_EQ(f.last.owner, 1u);
}

TEST(MacroPlayer, AnUnansweredOperationEndsTheRunAfterTenSecondsWithACancel)
{
    const Macro macro = macroFrom("once", 1, R"([{"type":"down","input":"key_66","ms":0},{"type":"command","input":"action:2","ms":0},{"type":"up","input":"key_66","ms":0}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(macro, 0, kStart), "+key_66");
    const std::uint64_t token = f.last.owner;
    EXPECT_EQ(f.step(kStart + ms(9999)), "");
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.step(kStart + ms(10000)), "-key_66");
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeCancel);
    EXPECT_EQ(f.last.owner, token);
    EXPECT_EQ(f.last.command, 0);
    EXPECT_FALSE(f.player->running());
}

TEST(MacroPlayer, AFailedOperationEndsTheRunAndReleasesItsKeys)
{
    const Macro macro = macroFrom("once", 1, R"([{"type":"down","input":"key_66","ms":0},{"type":"move","input":"1,1","ms":0},{"type":"up","input":"key_66","ms":0}])");
    PlayerFixture f;
    f.trigger(macro, 0, kStart);
    EXPECT_EQ(describe(MacroPlayer::onOperationResult(*f.player, f.last.owner, false, kStart + ms(1))), "-key_66");
    EXPECT_FALSE(f.player->running());
}

TEST(MacroPlayer, AProfileStepCarriesItsSignedDirection)
{
    for (const auto& [input, direction] : {std::pair{"previous", -1}, std::pair{"next", 1}}) {
        const Macro macro = macroFrom("once", 1, (std::string(R"([{"type":"profile","input":")") + input + R"(","ms":0}])").c_str());
        PlayerFixture f;
        f.trigger(macro, 0, kStart);
        EXPECT_EQ(f.last.mode, vorna::core::kBatchModeProfileStep);
        EXPECT_EQ(vorna::core::profileDirection(f.last.layer), direction) << input;
    }
}

TEST(MacroPlayer, TheRunLimitIsThreeHundredSeconds)
{
    const Macro macro = macroFrom("hold", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":60000},{"type":"up","input":"key_65","ms":0}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(macro, 0, kStart), "+key_65");
    std::string all;
    for (std::uint64_t t = 60000; t < 300000; t += 60000)
        all += f.step(kStart + ms(t)) + "|";
    EXPECT_EQ(all, "-key_65|+key_65|-key_65|+key_65|");
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.step(kStart + 299'999'999'999ull), "");
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.step(kStart + ms(300000)), "-key_65");
    EXPECT_FALSE(f.player->running());
}

// The loop's time for a pass is read before a timed slot it releases starts a run at a later
// reading; that older time once wrapped past the run limit and ended a hold macro at once.
TEST(MacroPlayer, AStepTimedBeforeTheRunStartedNeitherEndsNorAdvancesIt)
{
    const Macro hold = macroFrom("hold", 1, R"([{"type":"down","input":"key_70","ms":20},{"type":"wait","input":"","ms":8000},{"type":"up","input":"key_70","ms":20}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(hold, 0, kStart + ms(3)), "+key_70");
    EXPECT_EQ(f.step(kStart + ms(1)), "");
    EXPECT_TRUE(f.player->running());
    EXPECT_EQ(f.engine->holdersOfOutput(key(70)), 1);
    EXPECT_EQ(f.step(kStart + ms(8030)), "-key_70");
}

TEST(MacroPlayer, EachMoveWaitsForItsOwnDelay)
{
    const Macro macro = macroFrom("once", 1, R"([{"type":"move","input":"10,0","ms":50},{"type":"move","input":"0,10","ms":50}])");
    PlayerFixture f;
    f.trigger(macro, 0, kStart);
    EXPECT_EQ(f.last.mode, 0) << "the first move waits for its delay";
    f.step(kStart + ms(50));
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeCursorMove);
    EXPECT_EQ(f.last.dx, 10);
    MacroPlayer::onOperationResult(*f.player, f.last.owner, true, kStart + ms(60));
    f.step(kStart + ms(60));
    EXPECT_EQ(f.last.mode, 0) << "the second move waits for its own delay";
    f.step(kStart + ms(110));
    EXPECT_EQ(f.last.mode, vorna::core::kBatchModeCursorMove);
    EXPECT_EQ(f.last.dy, 10);
}

TEST(MacroPlayer, AReleasedEngineAbortsTheRun)
{
    const Macro macro = macroFrom("once", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":50},{"type":"up","input":"key_65","ms":0}])");
    PlayerFixture f;
    f.trigger(macro, 0, kStart);
    OutputBatch released;
    f.engine->releaseAll(released);
    EXPECT_EQ(describe(released), "-key_65");
    EXPECT_EQ(f.step(kStart + ms(1)), "") << "released already; nothing goes up twice";
    EXPECT_FALSE(f.player->running());
}

TEST(MacroPlayer, MergedReleasesCoverOnlyKeysDownBeforeThePendingBatch)
{
    const Macro valid = macroFrom("once", 1,
                                  R"([{"type":"down","input":"key_65","ms":0},{"type":"down","input":"key_68","ms":0},
                                      {"type":"command","input":"action:1","ms":0},
                                      {"type":"down","input":"key_66","ms":0},{"type":"wait","input":"","ms":100},
                                      {"type":"up","input":"key_66","ms":0},{"type":"up","input":"key_68","ms":0},
                                      {"type":"up","input":"key_65","ms":0}])");
    PlayerFixture f;
    EXPECT_EQ(f.trigger(valid, 0, kStart), "+key_65 +key_68");
    MacroPlayer::onOperationResult(*f.player, f.last.owner, true, kStart + ms(1));
    const OutputBatch pending = MacroPlayer::step(*f.player, kStart + ms(1));
    OutputBatch withUp = pending;
    withUp.append(key(68), vorna::core::kPhaseUp);
    withUp.append(key(68), vorna::core::kPhaseUp);
    EXPECT_EQ(describe(withUp), "+key_66 -key_68 -key_68");

    const OutputBatch merged = MacroPlayer::mergeReleases(*f.player, withUp);
    EXPECT_EQ(describe(merged), "-key_68 -key_65") << "once each, and not the key the pending batch pressed";
    EXPECT_EQ(merged.mode, 0);
    EXPECT_FALSE(f.player->running());

    // Dropped while its action is awaited: the releases carry the cancel of that action.
    PlayerFixture waiting;
    const OutputBatch operation = MacroPlayer::trigger(*waiting.player, valid, kSlot, 0, kStart, kKeyboard, key(120), 77);
    ASSERT_EQ(operation.mode, vorna::core::kBatchModeCommand);
    const OutputBatch cancelled = MacroPlayer::mergeReleases(*waiting.player, operation);
    EXPECT_EQ(describe(cancelled), "");
    EXPECT_EQ(cancelled.mode, vorna::core::kBatchModeCancel);
    EXPECT_EQ(cancelled.owner, operation.owner);
    EXPECT_EQ(cancelled.command, 0);
}

} // namespace
