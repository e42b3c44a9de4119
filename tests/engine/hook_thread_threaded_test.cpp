// End to end through the simulated session: physical input in, the backend's hook thread
// deciding, and what the system finally received.
#include "engine_test_support.h"
#include "live_session.h"

#include "engine/mapping/injection_marker.h"
#include "platform/sim/session/keyboard_hardware.h"

#include <chrono>
#include <thread>

namespace vorna::enginetest {
namespace {

using Strings = std::vector<std::string>;
using core::TriggerKind;

core::Macro pressWaitRelease(core::InputId key, uint32_t waitMs)
{
    core::Macro m;
    m.steps[0].kind = core::MacroStepKind::Down;
    m.steps[0].input = key;
    m.steps[1].kind = core::MacroStepKind::Wait;
    m.steps[1].time = waitMs;
    m.steps[2].kind = core::MacroStepKind::Up;
    m.steps[2].input = key;
    m.stepCount = 3;
    return m;
}

struct KeyCase {
    const char* name;
    std::vector<core::CompiledRule> rules;
    std::vector<Physical> input;
    Strings system;
};

class KeyPaths : public LiveSession, public testing::WithParamInterface<KeyCase> {};

TEST_P(KeyPaths, WhatTheSystemReceives)
{
    const KeyCase& c = GetParam();
    core::RulesSnapshot rules;
    std::vector<core::CompiledRule> numbered = c.rules;
    for (size_t i = 0; i < numbered.size(); ++i)
        numbered[i].id = uint32_t(i + 1);
    ASSERT_EQ(core::compileRules(numbered.data(), numbered.size(), rules), core::kCompileOk);
    ASSERT_TRUE(start(rules));
    EXPECT_EQ(type(c.input), c.system);
}

Physical scanDown(unsigned scan, bool extended)
{
    Physical p{sim::PhysicalEvent::Type::ScanDown, scan};
    p.extended = extended;
    return p;
}
Physical scanUp(unsigned scan, bool extended)
{
    Physical p{sim::PhysicalEvent::Type::ScanUp, scan};
    p.extended = extended;
    return p;
}

INSTANTIATE_TEST_SUITE_P(Rules, KeyPaths, testing::Values(
    KeyCase{"remap", {rule("key_65", "key_66")}, {keyDown(65), keyUp(65)}, {"+key_66/i", "-key_66/i"}},
    KeyCase{"swallowed", {rule("key_65", "blocked")}, {keyDown(65), keyUp(65)}, {}},
    KeyCase{"pass_through", {rule("key_65", "key_66")}, {keyDown(67), keyUp(67)}, {"+key_67", "-key_67"}},
    KeyCase{"keep_original", {rule("key_65", "key_66", 0, true)}, {keyDown(65), keyUp(65)}, {"+key_65", "+key_66/i", "-key_65", "-key_66/i"}},
    KeyCase{"chord_output", {rule("key_112", "chord:key_162+key_67")}, {keyDown(112), keyUp(112)},
            {"+key_162/i", "+key_67/i", "-key_67/i", "-key_162/i"}},
    KeyCase{"auto_repeat_repeats_the_output", {rule("key_65", "key_66")}, {keyDown(65), keyDown(65), keyDown(65), keyUp(65)},
            {"+key_66/i", "+key_66/i", "+key_66/i", "-key_66/i"}},
    KeyCase{"modifier_rule", {rule("key_65", "key_67", 2), rule("key_65", "key_66")},
            {keyDown(162), keyDown(65), keyUp(65), keyUp(162), keyDown(65), keyUp(65)},
            {"+key_162", "+key_67/i", "-key_67/i", "-key_162", "+key_66/i", "-key_66/i"}},
    KeyCase{"button_to_key", {rule("mouse_back", "key_66")}, {buttonDown(4), buttonUp(4)}, {"+key_66/i", "-key_66/i"}},
    KeyCase{"key_to_button", {rule("key_65", "mouse_middle")}, {keyDown(65), keyUp(65)}, {"+mouse_middle/i", "-mouse_middle/i"}},
    KeyCase{"keypad_key_with_numlock_off", {rule("key_103", "key_65")},
            {scanDown(0x47, false), scanUp(0x47, false)}, {"+key_65/i", "-key_65/i"}},
    KeyCase{"navigation_home_stays_home", {rule("key_103", "key_65")},
            {scanDown(0x47, true), scanUp(0x47, true)}, {"+key_36/x", "-key_36/x"}},
    KeyCase{"numpad_enter", {rule("key_numpad_enter", "key_66")},
            {keyDown(sim::kNumpadEnter), keyUp(sim::kNumpadEnter), keyDown(13), keyUp(13)},
            {"+key_66/i", "-key_66/i", "+key_13", "-key_13"}},
    KeyCase{"to_numpad_enter", {rule("key_65", "key_numpad_enter")}, {keyDown(65), keyUp(65)}, {"+key_13/xi", "-key_13/xi"}},
    KeyCase{"wheel_rule_fires_once_per_notch", {rule("wheel_up", "key_65")},
            {wheelTurn(40), wheelTurn(40), wheelTurn(40), wheelTurn(120)}, {"+key_65/i", "-key_65/i", "+key_65/i", "-key_65/i"}},
    KeyCase{"wheel_to_wheel_keeps_amount", {rule("wheel_up", "wheel_left")}, {wheelTurn(240)}, {"w:wheel_left:240/i"}},
    // One event carries at most 32,760: the largest turn is two events, never a wrapped one.
    KeyCase{"wheel_to_wheel_at_the_largest_delta", {rule("wheel_down", "wheel_up")}, {wheelTurn(-32768)},
            {"w:wheel_up:32760/i", "w:wheel_up:8/i"}},
    KeyCase{"wheel_to_wheel_at_the_largest_positive_delta", {rule("wheel_up", "wheel_down")}, {wheelTurn(32767)},
            {"w:wheel_down:32760/i", "w:wheel_down:7/i"}}),
    [](const testing::TestParamInfo<KeyCase>& i) { return std::string(i.param.name); });

TEST_F(LiveSession, HoldTapTapsFallbackAndHoldsTargetWithoutFurtherInput)
{
    ASSERT_TRUE(start(snapshot({timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 150)})));
    inject({keyDown(65), keyUp(65)});
    EXPECT_EQ(sink(2), (Strings{"+key_67/i", "-key_67/i"}));

    const auto pressed = std::chrono::steady_clock::now();
    inject({keyDown(65)});
    EXPECT_EQ(sink(1), (Strings{"+key_66/i"})); // the deadline alone resolves it
    EXPECT_GE(std::chrono::steady_clock::now() - pressed, std::chrono::milliseconds(150));
    inject({keyUp(65)});
    EXPECT_EQ(sink(1), (Strings{"-key_66/i"}));
}

TEST_F(LiveSession, HoldTapOpenedInOneWindowIsReleasedWhenTheForegroundMoves)
{
    addForegroundWindow(L"First");
    ASSERT_TRUE(start(snapshot({timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 150)})));
    EXPECT_TRUE(type({keyDown(65)}).empty());
    addForegroundWindow(L"Second");
    std::this_thread::sleep_for(std::chrono::milliseconds(250));
    EXPECT_TRUE(type({keyUp(65)}).empty()); // neither target nor fallback went to the new window
}

TEST_F(LiveSession, KeyReleasedWhileAMappingHoldsItStaysDownForTheSystem)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    EXPECT_EQ(type({keyDown(65), keyDown(66)}), (Strings{"+key_66/i", "+key_66"}));
    EXPECT_TRUE(type({keyUp(66)}).empty()); // the mapping still holds it
    EXPECT_EQ(journal->engineHeldKey(66), 1u);
    EXPECT_EQ(journal->physicalKey(66), 0u);
    EXPECT_EQ(type({keyUp(65)}), (Strings{"-key_66/i"}));
    EXPECT_EQ(journal->engineHeldKey(66), 0u);
}

TEST_F(LiveSession, ActionRequestsArriveWithObservationOffAndAFullRingResets)
{
    layers->actionCount = 1;
    ASSERT_TRUE(start(snapshot({rule("key_65", "action:1")})));
    type({keyDown(65), keyUp(65)});
    std::vector<windows::ObservationRecord> actions = backend.drainEngineEvents();
    ASSERT_EQ(actions.size(), 2u);
    for (uint8_t phase : {0, 1}) {
        EXPECT_EQ(actions[phase].kind, windows::kRecordAction);
        EXPECT_EQ(actions[phase].result, windows::kResultQueued);
        EXPECT_EQ(actions[phase].command, 1);
        EXPECT_EQ(actions[phase].phase, phase);
    }
    EXPECT_EQ(actions[0].execution, actions[1].execution); // press and release share one execution
    EXPECT_TRUE(backend.drainObservations().empty());

    std::vector<Physical> taps;
    for (int i = 0; i < 256; ++i) {
        taps.push_back(keyDown(65));
        taps.push_back(keyUp(65));
    }
    inject(taps); // 512 requests, nobody drains: the ring holds 511
    ASSERT_TRUE(eventually([&] { return backend.status().stopReason == windows::ResetCapacity; }));
    EXPECT_FALSE(backend.status().active);
    EXPECT_EQ(backend.drainEngineEvents().size(), 511u);
}

TEST_F(LiveSession, NinthHeldLayerKeyResetsForCapacity)
{
    layers->enabled = 1;
    std::vector<core::CompiledRule> holds;
    for (int i = 0; i < 9; ++i)
        holds.push_back(rule(("key_" + std::to_string(112 + i)).c_str(), "layer:hold:1")); // held on layer 0
    std::vector<core::CompiledRule> numbered = holds;
    for (size_t i = 0; i < numbered.size(); ++i)
        numbered[i].id = uint32_t(i + 1);
    ASSERT_EQ(core::compileRules(numbered.data(), numbered.size(), layers->layers[0]), core::kCompileOk);
    ASSERT_TRUE(start(layers->layers[0]));
    for (unsigned vk = 112; vk < 120; ++vk)
        type({keyDown(vk)});
    EXPECT_EQ(backend.status().stopReason, 0);
    EXPECT_TRUE(backend.status().active);
    type({keyDown(120)});
    EXPECT_EQ(backend.status().stopReason, windows::ResetCapacity);
    EXPECT_FALSE(backend.status().active);
}

TEST_F(LiveSession, TimedLayerExpiresWithoutFurtherInput)
{
    layers->enabled = 1;
    // Long enough that a loaded machine still types the next key inside the layer's time.
    layers->layers[0] = snapshot({rule("key_65", "layer:timed:3:1000")});
    layers->layers[2] = snapshot({rule("key_70", "key_71")});
    ASSERT_TRUE(start(layers->layers[0]));

    // Taken before the press: the layer's time runs from the key event, which a loaded machine
    // may deliver well before inject() returns.
    const auto started = std::chrono::steady_clock::now();
    inject({keyDown(65), keyUp(65)});
    ASSERT_TRUE(eventually([&] { return backend.status().currentLayer == 2; }));
    inject({keyDown(70), keyUp(70)});
    EXPECT_EQ(sink(2), (Strings{"+key_71/i", "-key_71/i"}));

    ASSERT_TRUE(eventually([&] { return backend.status().currentLayer == 0; }));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(990));
    inject({keyDown(70), keyUp(70)});
    EXPECT_EQ(sink(2), (Strings{"+key_70", "-key_70"}));
}

TEST_F(LiveSession, OnceLayerServesOneKey)
{
    layers->enabled = 1;
    layers->layers[0] = snapshot({rule("key_65", "layer:once:2")});
    layers->layers[1] = snapshot({rule("key_70", "key_71")});
    ASSERT_TRUE(start(layers->layers[0]));
    EXPECT_EQ(type({keyDown(65), keyUp(65), keyDown(70), keyUp(70), keyDown(70), keyUp(70)}),
              (Strings{"+key_71/i", "-key_71/i", "+key_70", "-key_70"}));
}

TEST_F(LiveSession, MacroPressesWaitsAndReleases)
{
    macros[0] = pressWaitRelease(key(66), 50);
    ASSERT_TRUE(start(snapshot({rule("key_65", "macro:1")})));
    const auto started = std::chrono::steady_clock::now();
    inject({keyDown(65), keyUp(65)});
    EXPECT_EQ(sink(2), (Strings{"+key_66/i", "-key_66/i"}));
    EXPECT_GE(std::chrono::steady_clock::now() - started, std::chrono::milliseconds(50));
    EXPECT_FALSE(backend.status().macroActive);
}

TEST_F(LiveSession, MacroStepRecordsNameTheMacroAndItsStep)
{
    macros[2] = pressWaitRelease(key(66), 30);
    ASSERT_TRUE(start(snapshot({rule("key_65", "macro:3")})));
    backend.setObservation(true);
    ASSERT_TRUE(start(snapshot({rule("key_65", "macro:3")}), 2)); // the hook thread has taken the flag
    inject({keyDown(65), keyUp(65)});
    EXPECT_EQ(sink(2), (Strings{"+key_66/i", "-key_66/i"}));
    std::vector<std::pair<int, int>> stepped; // (result, step) of the loop's engine records
    for (const windows::ObservationRecord& r : backend.drainObservations()) {
        if (r.kind == windows::kRecordEngine && r.macro != 0) {
            EXPECT_EQ(r.macro, 3);
            stepped.emplace_back(r.result, r.step);
        }
    }
    ASSERT_FALSE(stepped.empty());
    EXPECT_EQ(stepped.back().first, windows::kResultCompleted);
    EXPECT_EQ(stepped.back().second, 2); // the last step run was the release
}

struct WheelCase {
    const char* name;
    void (*motion)(core::MotionSettings&);
    std::vector<Physical> input;
    Strings system;
};

class WheelMotion : public LiveSession, public testing::WithParamInterface<WheelCase> {};

TEST_P(WheelMotion, ScalesInvertsAndConverts)
{
    GetParam().motion(layers->motion[0]);
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    EXPECT_EQ(type(GetParam().input), GetParam().system);
}

INSTANTIATE_TEST_SUITE_P(Settings, WheelMotion, testing::Values(
    WheelCase{"neutral_passes", [](core::MotionSettings&) {}, {wheelTurn(120)}, {"w:wheel_up:120"}},
    WheelCase{"half_speed", [](core::MotionSettings& m) { m.wheelVertical = 50; }, {wheelTurn(120), wheelTurn(-120)},
              {"w:wheel_up:60/i", "w:wheel_down:60/i"}},
    WheelCase{"inverted", [](core::MotionSettings& m) { m.invertVertical = true; }, {wheelTurn(120)}, {"w:wheel_down:120/i"}},
    WheelCase{"horizontal_inverted", [](core::MotionSettings& m) { m.invertHorizontal = true; }, {wheelTurn(120, true)},
              {"w:wheel_left:120/i"}},
    WheelCase{"vertical_to_horizontal", [](core::MotionSettings& m) { m.verticalToHorizontal = true; }, {wheelTurn(120)},
              {"w:wheel_right:120/i"}},
    WheelCase{"pages_up", [](core::MotionSettings& m) { m.pages = true; }, {wheelTurn(120)}, {"+key_33/xi", "-key_33/xi"}},
    WheelCase{"pages_down_after_two_half_notches", [](core::MotionSettings& m) { m.pages = true; },
              {wheelTurn(-60), wheelTurn(-60)}, {"+key_34/xi", "-key_34/xi"}}),
    [](const testing::TestParamInfo<WheelCase>& i) { return std::string(i.param.name); });

struct CursorCase {
    const char* name;
    void (*motion)(core::MotionSettings&);
    sim::ScreenState screen;
    std::vector<Physical> input;
    Strings system;
};

sim::ScreenState clippedScreen()
{
    sim::ScreenState screen;
    screen.clipped = 1;
    screen.clip = RECT{900, 500, 1000, 600};
    return screen;
}

class CursorMotion : public LiveSession, public testing::WithParamInterface<CursorCase> {};

TEST_P(CursorMotion, ReplacesThePhysicalMove)
{
    const CursorCase& c = GetParam();
    c.motion(layers->motion[0]);
    session.setScreen(c.screen);
    session.setCursor(POINT{960, 540});
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    EXPECT_EQ(type(c.input), c.system);
}

INSTANTIATE_TEST_SUITE_P(Settings, CursorMotion, testing::Values(
    CursorCase{"neutral_passes", [](core::MotionSettings&) {}, {}, {moveBy(10, 5)}, {"move(970,545)"}},
    CursorCase{"half_speed_on_x", [](core::MotionSettings& m) { m.cursorX = 50; }, {},
               {moveBy(10, 4), moveBy(1, 0), moveBy(1, 0)}, {"move(965,544)/i", "move(966,544)/i"}},
    CursorCase{"inverted_y", [](core::MotionSettings& m) { m.invertY = true; }, {}, {moveBy(3, 7)}, {"move(963,533)/i"}},
    CursorCase{"axis_lock_x_only", [](core::MotionSettings& m) { m.axis = 1; }, {}, {moveBy(10, 10), moveBy(0, 5)},
               {"move(970,540)/i"}},
    CursorCase{"fast_move_stays_in_the_clip", [](core::MotionSettings& m) { m.cursorX = 400; }, clippedScreen(),
               {moveBy(30, 0), moveBy(-200, 0)}, {"move(999,540)/i", "move(900,540)/i"}}),
    [](const testing::TestParamInfo<CursorCase>& i) { return std::string(i.param.name); });

TEST_F(LiveSession, AxisHoldIgnoresVerticalMotionAndScrollHoldScrolls)
{
    layers->motion[0].scrollPixels = 40;
    session.setCursor(POINT{960, 540});
    ASSERT_TRUE(start(snapshot({rule("key_112", "pointer:axis-x"), rule("key_113", "pointer:scroll")})));
    EXPECT_EQ(type({keyDown(112), moveBy(5, 20), keyUp(112)}), (Strings{"move(965,540)/i"}));
    // 40 pixels up: one notch up, and the cursor stays
    EXPECT_EQ(type({keyDown(113), moveBy(0, -40), keyUp(113)}), (Strings{"w:wheel_up:120/i"}));
}

TEST_F(LiveSession, ForeignInjectionPassesAndOnlyOwnOutputIsSkipped)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    const uint64_t before = backend.status().inputEvents;
    INPUT foreign{};
    foreign.type = INPUT_KEYBOARD;
    foreign.ki.wVk = 65;
    ASSERT_EQ(SendInput(1, &foreign, sizeof(INPUT)), 1u);
    EXPECT_EQ(sink(1), (Strings{"+key_65/i"})); // another program's key is not remapped
    EXPECT_EQ(backend.status().inputEvents, before + 1);

    INPUT marked = foreign;
    marked.ki.dwExtraInfo = ULONG_PTR(windows::kInjectionMarker);
    ASSERT_EQ(SendInput(1, &marked, sizeof(INPUT)), 1u);
    EXPECT_EQ(sink(1), (Strings{"+key_65/i"}));
    EXPECT_EQ(backend.status().inputEvents, before + 1); // recognised as ours: untouched
}

} // namespace
} // namespace vorna::enginetest
