#include "engine/mapping/timed_slots.h"

#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/rule_evaluation.h"
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

// The order in which the hook thread drives the table: due table first, then the rule lookup
// and the slot machine; replays and direct evaluations go through the mapping engine.
struct Pipeline {
    explicit Pipeline(std::initializer_list<CompiledRule> rules) : engine(std::make_unique<MappingEngine>())
    {
        engine->copySnapshot(snapshot(rules));
    }

    std::string replay(const SlotUpdate& update)
    {
        std::string out;
        for (std::uint8_t i = 0; i < update.count; ++i) {
            const SlotRecord& record = update.records[i];
            const std::string batch = describe(evaluateInput(*engine, record.event, &record.rule).batch);
            if (!batch.empty())
                out += (out.empty() ? "" : " ") + batch;
        }
        return out;
    }

    std::string tick(std::uint64_t now)
    {
        std::string out;
        for (int i = 0; i < 16; ++i) {
            const SlotUpdate update = expireTimedSlot(table, now);
            if (update.count == 0)
                break;
            const std::string batch = replay(update);
            if (!batch.empty())
                out += (out.empty() ? "" : " ") + batch;
        }
        return out;
    }

    std::string input(const InputEvent& e, SlotUpdate* seen = nullptr)
    {
        std::string out = tick(e.time);
        const CompiledRule* rule = findRule(engine->rules, engine->held, e);
        const SlotUpdate update = updateTimedSlots(table, e, rule);
        if (seen)
            *seen = update;
        const std::string batch =
            update.consumed ? replay(update) : describe(evaluateInput(*engine, e).batch);
        if (!batch.empty())
            out += (out.empty() ? "" : " ") + batch;
        return out;
    }

    std::unique_ptr<MappingEngine> engine;
    TimedSlots table{};
};

struct Action {
    char kind; // 'd' down, 'u' up, 'r' repeat, 't' time passes
    const char* input;
    std::uint64_t timeMs;
    const char* expect;
};

struct TimedCase {
    const char* name;
    CompiledRule rule;
    std::vector<Action> actions;
};

TEST(TimedSlots, HoldTapAndDoublePressResolveAtTheirTimes)
{
    const CompiledRule holdTap = timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 200);
    const CompiledRule doublePress = timedRule("key_65", "key_66", TriggerKind::Double, "key_67", 200);
    const TimedCase cases[] = {
        {"hold-tap released before the interval taps the fallback at the release",
         holdTap,
         {{'d', "key_65", 0, ""}, {'t', "", 150, ""}, {'u', "key_65", 199, "+key_67 -key_67"}, {'t', "", 400, ""}}},
        {"hold-tap held to the interval presses the main target at the deadline",
         holdTap,
         {{'d', "key_65", 0, ""}, {'t', "", 199, ""}, {'t', "", 200, "+key_66"}, {'u', "key_65", 300, "-key_66"}}},
        {"hold-tap resolved late still resolves before the next event",
         holdTap,
         {{'d', "key_65", 0, ""}, {'u', "key_65", 500, "+key_66 -key_66"}}},
        {"a resolved hold-tap repeats its target while held",
         holdTap,
         {{'d', "key_65", 0, ""}, {'t', "", 200, "+key_66"}, {'r', "key_65", 230, "*key_66"}, {'u', "key_65", 260, "-key_66"}}},
        {"double press within the interval holds the main target until released",
         doublePress,
         {{'d', "key_65", 0, ""},
          {'u', "key_65", 50, ""},
          {'d', "key_65", 150, "+key_66"},
          {'t', "", 400, ""},
          {'u', "key_65", 500, "-key_66"}}},
        {"a single press of a double rule taps the fallback when the deadline passes",
         doublePress,
         {{'d', "key_65", 0, ""}, {'u', "key_65", 50, ""}, {'t', "", 199, ""}, {'t', "", 200, "+key_67 -key_67"}}},
        {"the second press after the deadline starts a new gesture",
         doublePress,
         {{'d', "key_65", 0, ""}, {'u', "key_65", 50, ""}, {'d', "key_65", 250, "+key_67 -key_67"}, {'u', "key_65", 260, ""},
          {'t', "", 450, "+key_67 -key_67"}}},
        {"a double press held past the deadline holds the fallback",
         doublePress,
         {{'d', "key_65", 0, ""}, {'t', "", 200, "+key_67"}, {'u', "key_65", 300, "-key_67"}}},
        {"a fallback of unchanged sends the source key itself",
         timedRule("key_65", "key_66", TriggerKind::HoldTap, "unchanged", 200),
         {{'d', "key_65", 0, ""}, {'u', "key_65", 100, "+key_65 -key_65"}}},
        {"a chord fallback is pressed in order and released in reverse",
         timedRule("key_65", "key_66", TriggerKind::HoldTap, "chord:key_162+key_67", 200),
         {{'d', "key_65", 0, ""}, {'u', "key_65", 100, "+key_162 +key_67 -key_67 -key_162"}}},
    };
    for (const TimedCase& c : cases) {
        SCOPED_TRACE(c.name);
        Pipeline pipeline{c.rule};
        for (const Action& a : c.actions) {
            SCOPED_TRACE(std::string(1, a.kind) + " at " + std::to_string(a.timeMs));
            if (a.kind == 't') {
                EXPECT_EQ(pipeline.tick(ms(a.timeMs)), a.expect);
                continue;
            }
            const std::uint8_t phase = a.kind == 'd' ? 0 : a.kind == 'u' ? 1 : 2;
            EXPECT_EQ(pipeline.input(event(id(a.input), phase, ms(a.timeMs))), a.expect);
        }
        EXPECT_EQ(nextTimedDeadline(pipeline.table), 0u) << "a slot stayed busy";
        EXPECT_TRUE(pipeline.engine->indexMatchesTable());
    }
}

TEST(TimedSlots, OpeningASlotIsReportedAndSwallowsThePress)
{
    Pipeline pipeline{timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 200)};
    SlotUpdate update;
    pipeline.input(event(key(65), 0, ms(10)), &update);
    EXPECT_EQ(update.consumed, 1);
    EXPECT_EQ(update.started, 1);
    EXPECT_EQ(update.slot, 0);
    EXPECT_EQ(nextTimedDeadline(pipeline.table), ms(210));
    pipeline.input(event(key(65), 2, ms(20)), &update);
    EXPECT_EQ(update.consumed, 1) << "auto-repeat of a pending press belongs to its slot";
    EXPECT_EQ(update.count, 0);
    EXPECT_EQ(update.started, 0);
}

TEST(TimedSlots, TheEarliestDeadlineResolvesFirstAndEqualDeadlinesGoByIndex)
{
    Pipeline pipeline{timedRule("key_65", "key_68", TriggerKind::HoldTap, "blocked", 200),
                      timedRule("key_66", "key_69", TriggerKind::HoldTap, "blocked", 200),
                      timedRule("key_67", "key_70", TriggerKind::HoldTap, "blocked", 200)};
    pipeline.input(event(key(65), 0, ms(0)));  // slot 0
    pipeline.input(event(key(66), 0, ms(0)));  // slot 1, same deadline
    EXPECT_EQ(pipeline.tick(ms(200)), "+key_68 +key_69");

    Pipeline reused{timedRule("key_65", "key_68", TriggerKind::HoldTap, "blocked", 200),
                    timedRule("key_66", "key_69", TriggerKind::HoldTap, "blocked", 200),
                    timedRule("key_67", "key_70", TriggerKind::HoldTap, "blocked", 200)};
    reused.input(event(key(65), 0, ms(0)));   // slot 0
    reused.input(event(key(66), 0, ms(5)));   // slot 1, deadline 205
    reused.input(event(key(65), 1, ms(10)));  // frees slot 0
    reused.input(event(key(67), 0, ms(12)));  // slot 0 again, deadline 212
    const SlotUpdate first = expireTimedSlot(reused.table, ms(220));
    ASSERT_EQ(first.count, 1);
    EXPECT_EQ(first.slot, 1) << "deadline 205 before 212, although its index is higher";
    EXPECT_EQ(expireTimedSlot(reused.table, ms(220)).slot, 0);
}

TEST(TimedSlots, TheSeventeenthPendingPressFindsNoSlot)
{
    TimedSlots table{};
    const CompiledRule rule = timedRule("mouse_back", "key_66", TriggerKind::HoldTap, "key_67", 200);
    for (std::uint64_t device = 1; device <= 16; ++device) {
        const SlotUpdate update = updateTimedSlots(table, event(button(4), 0, 0, device), &rule);
        ASSERT_EQ(update.started, 1) << device;
        EXPECT_EQ(update.full, 0);
    }
    const SlotUpdate update = updateTimedSlots(table, event(button(4), 0, 0, 17), &rule);
    EXPECT_EQ(update.full, 1);
    EXPECT_EQ(update.consumed, 0);
}

TEST(TimedSlots, EventsOutsideTheSlotMachinePassItUntouched)
{
    TimedSlots table{};
    const CompiledRule plain = rule("key_65", "key_66");
    const CompiledRule holdTap = timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 200);
    InputEvent injected = event(key(65), 0);
    injected.origin = 1;
    EXPECT_EQ(updateTimedSlots(table, event(key(65), 0), &plain).consumed, 0) << "no timed trigger";
    EXPECT_EQ(updateTimedSlots(table, event(key(65), 0), nullptr).consumed, 0) << "no rule";
    EXPECT_EQ(updateTimedSlots(table, injected, &holdTap).consumed, 0) << "not physical";
    EXPECT_EQ(updateTimedSlots(table, event(key(65), 1), &holdTap).consumed, 0) << "an up opens nothing";
    EXPECT_EQ(updateTimedSlots(table, event(wheel(1), 0), &holdTap).consumed, 0) << "wheel steps";
    EXPECT_EQ(nextTimedDeadline(table), 0u);
}

TEST(TimedSlots, CancellingAndReleasingLeaveOnlyTheReleaseToWaitFor)
{
    const CompiledRule holdTap = timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 200);
    const CompiledRule doublePress = timedRule("key_66", "key_68", TriggerKind::Double, "key_69", 200);
    const CompiledRule held = timedRule("key_67", "key_70", TriggerKind::HoldTap, "key_71", 100);
    auto fill = [&](TimedSlots& table) {
        updateTimedSlots(table, event(key(67), 0, 0), &held);                  // slot 0
        expireTimedSlot(table, ms(100));                                      // resolved: state 3
        updateTimedSlots(table, event(key(65), 0, ms(100)), &holdTap);         // slot 1: state 1
        updateTimedSlots(table, event(key(66), 0, ms(100)), &doublePress);     // slot 2
        updateTimedSlots(table, event(key(66), 1, ms(110)), &doublePress);     // state 2
    };

    TimedSlots layerChange{};
    fill(layerChange);
    abandonPendingSlots(layerChange);
    EXPECT_EQ(layerChange[0].state, kSlotHeld);
    EXPECT_EQ(layerChange[1].state, kSlotAwaitRelease);
    EXPECT_EQ(layerChange[2].state, kSlotFree) << "a pending double is dropped without output";
    EXPECT_EQ(nextTimedDeadline(layerChange), 0u);

    TimedSlots reset{};
    fill(reset);
    cancelTimedSlots(reset);
    EXPECT_EQ(reset[0].state, kSlotAwaitRelease);
    EXPECT_EQ(reset[1].state, kSlotAwaitRelease);
    EXPECT_EQ(reset[2].state, kSlotFree);
    const SlotUpdate physicalUp = updateTimedSlots(reset, event(key(65), 1, ms(300)), &holdTap);
    ASSERT_EQ(physicalUp.count, 1);
    EXPECT_EQ(physicalUp.records[0].event.phase, 1);
    EXPECT_EQ(physicalUp.records[0].releaseOnly, 1);
    EXPECT_EQ(reset[1].state, kSlotFree);

    TimedSlots focus{};
    fill(focus);
    std::vector<std::uint8_t> released;
    for (int i = 0; i < 16; ++i) {
        const SlotUpdate update = releaseTimedSlot(focus, ms(400));
        if (update.count == 0)
            break;
        EXPECT_EQ(update.records[0].event.phase, 1);
        EXPECT_EQ(update.records[0].event.time, ms(400));
        EXPECT_EQ(update.records[0].releaseOnly, 1);
        released.push_back(update.slot);
    }
    EXPECT_EQ(released, (std::vector<std::uint8_t>{0, 1, 2}));
    EXPECT_EQ(focus[0].state, kSlotAwaitRelease);
    EXPECT_EQ(focus[1].state, kSlotAwaitRelease);
    EXPECT_EQ(focus[2].state, kSlotFree);
}

TEST(TimedSlots, RecordsReplayAsPlainSwallowingRules)
{
    TimedSlot slot;
    slot.state = kSlotPressed;
    slot.event = event(key(65), 0, ms(5));
    slot.rule = timedRule("key_65", "blocked", TriggerKind::Double, "layer:once:3", 200);
    slot.useFallback = 1;
    SlotUpdate update;
    appendSlotRecord(update, slot, 4, 0, ms(99), 0);
    ASSERT_EQ(update.count, 1);
    const SlotRecord& record = update.records[0];
    EXPECT_EQ(record.slot, 4);
    EXPECT_EQ(record.useFallback, 1);
    EXPECT_EQ(record.event.time, ms(99));
    EXPECT_EQ(record.event.input, key(65));
    EXPECT_EQ(record.rule.targetKind, vorna::core::TargetKind::Layer);
    EXPECT_EQ(record.rule.layerIndex, 2);
    EXPECT_EQ(record.rule.trigger, TriggerKind::None);
    EXPECT_TRUE(record.rule.suppressOriginal);

    slot.useFallback = 0;
    slot.rule = timedRule("key_65", "unchanged", TriggerKind::HoldTap, "key_67", 200);
    appendSlotRecord(update, slot, 4, 1, ms(99), 0);
    EXPECT_EQ(update.records[1].rule.targetKind, vorna::core::TargetKind::KeyOutput);
    EXPECT_EQ(update.records[1].rule.output, key(65));
}

} // namespace
