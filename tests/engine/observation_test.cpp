#include "engine/hook_thread/backend_state.h"
#include "engine/published/observation_context.h"
#include "engine/published/observation_ring.h"

#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows;

TEST(ObservationRing, HoldsAtMost511AndCountsWhatItLoses)
{
    auto ring = std::make_unique<ObservationRing>();
    EXPECT_FALSE(ring->push(ObservationRecord{})) << "a closed ring takes nothing";
    EXPECT_EQ(ring->sequence(), 0u);

    ring->setOpen(true);
    for (int i = 0; i < 511; ++i)
        ASSERT_TRUE(ring->push(ObservationRecord{})) << i;
    EXPECT_FALSE(ring->push(ObservationRecord{}));
    EXPECT_EQ(ring->drops(), 1u);
    EXPECT_EQ(ring->sequence(), 512u);

    std::vector<ObservationRecord> drained;
    ring->drain(drained);
    ASSERT_EQ(drained.size(), 511u);
    EXPECT_EQ(drained.front().sequence, 1u);
    EXPECT_EQ(drained.back().sequence, 511u);
    EXPECT_TRUE(ring->push(ObservationRecord{}));
    EXPECT_EQ(ring->sequence(), 513u) << "the lost record's number stays used";

    ring->discard();
    drained.clear();
    ring->drain(drained);
    EXPECT_TRUE(drained.empty());

    ring->push(ObservationRecord{});
    ring->setOpen(false);
    ring->drain(drained);
    EXPECT_TRUE(drained.empty()) << "a closed ring gives nothing back";
    ring->setOpen(true);
    ring->drain(drained);
    EXPECT_TRUE(drained.empty()) << "and what it held was marked read";
}

TEST(ObservationContexts, PressAndReleaseShareOneExecution)
{
    auto contexts = std::make_unique<ObservationContexts>();
    contexts->revision = 9;
    vorna::windows::InputEvent press = event(key(65), 0, ms(3));
    press.scanCode = 30;
    contexts->begin(press, 4, 2, 7);
    const ObservationRecord pressed = contexts->current;
    EXPECT_EQ(pressed.execution, 1u);
    EXPECT_EQ(pressed.revision, 9u);
    EXPECT_EQ(pressed.rule, 4u);
    EXPECT_EQ(pressed.profileIndex, 2);
    EXPECT_EQ(pressed.layerIndex, 7);
    EXPECT_EQ(pressed.scanCode, 30);
    EXPECT_EQ(pressed.timestampMs, ms(3));

    contexts->begin(event(key(66), 0, ms(4)), 0, 2, 7);
    EXPECT_EQ(contexts->current.execution, 2u);

    contexts->begin(event(key(65), 1, ms(5)), 0, 2, 3);
    EXPECT_EQ(contexts->current.execution, 1u) << "the release continues its press";
    EXPECT_EQ(contexts->current.rule, 4u);
    EXPECT_EQ(contexts->current.layerIndex, 7);
    EXPECT_EQ(contexts->current.phase, 1) << "with its own event fields";
    EXPECT_EQ(contexts->current.timestampMs, ms(5));

    contexts->begin(event(key(65), 1, ms(6)), 0, 2, 3);
    EXPECT_EQ(contexts->current.execution, 4u) << "a second release has no press left";

    vorna::windows::InputEvent injected = event(key(67), 0, ms(7));
    injected.origin = kOriginInjected;
    contexts->begin(injected, 0, 0, 0);
    contexts->begin(event(key(67), 1, ms(8)), 0, 0, 0);
    EXPECT_EQ(contexts->current.execution, 6u) << "only physical presses are remembered";
}

TEST(ObservationContexts, EventsOfATimedSlotShareTheExecutionOfThePressThatOpenedIt)
{
    auto contexts = std::make_unique<ObservationContexts>();
    contexts->begin(event(key(65), 0, ms(1)), 4, 0, 0);
    contexts->openSlot(2);
    contexts->begin(event(key(70), 0, ms(2)), 0, 0, 0); // something else in between

    contexts->resumeSlot(2, event(key(66), 0, ms(3)));
    EXPECT_EQ(contexts->current.execution, 1u) << "a press the slot takes joins the slot's execution";
    EXPECT_EQ(contexts->current.rule, 4u);
    EXPECT_EQ(contexts->current.timestampMs, ms(3)) << "with its own event fields";
    contexts->replaySlot(2, 2);
    EXPECT_EQ(contexts->current.execution, 1u);
    EXPECT_EQ(contexts->current.gestureOutcome, 2);
    EXPECT_EQ(contexts->current.timestampMs, ms(1)) << "the replay is the opening press's record";

    contexts->resumeSlot(2, event(key(65), 1, ms(4)));
    contexts->begin(event(key(65), 1, ms(5)), 0, 0, 0);
    EXPECT_EQ(contexts->current.execution, 3u) << "the release the slot took ended its press";
    contexts->begin(event(key(66), 1, ms(6)), 0, 0, 0);
    EXPECT_EQ(contexts->current.execution, 1u) << "the press the slot took is continued by its release";
}

TEST(ObservationContexts, AScopePutsBothContextsBackWhateverRanInside)
{
    auto contexts = std::make_unique<ObservationContexts>();
    contexts->current.execution = 7;
    contexts->saved.execution = 5;
    {
        ObservationContextScope scope(*contexts);
        contexts->begin(event(key(65), 0, ms(1)), 0, 0, 0);
        contexts->saved = contexts->current;
        contexts->returnToSaved();
    }
    EXPECT_EQ(contexts->current.execution, 7u);
    EXPECT_EQ(contexts->saved.execution, 5u);
}

TEST(BackendState, AFreshStateHoldsItsDefaults)
{
    auto state = std::make_unique<BackendState>();
    EXPECT_EQ(state->output.outputFunction, &SendInput);
    for (std::uint32_t n = 0; n < vorna::windows::kOutputQueueSize; ++n) {
        const vorna::core::OutputBatch& queued = state->output.queuedBatch(n);
        ASSERT_EQ(queued.count, 0u);
        for (const vorna::core::OutputEvent& event : queued.events)
            ASSERT_EQ(event.amount, 120u);
    }
    EXPECT_TRUE(state->engine.rules.rules[0].suppressOriginal);
    EXPECT_EQ(state->engine.rules.rules[255].triggerIntervalMs, 300u);
    EXPECT_EQ(state->engine.active[127].layerTimerMs, 1000u);
    EXPECT_EQ(state->macros[15].repeat, 1);
    EXPECT_EQ(state->macros[15].steps[63].kind, vorna::core::MacroStepKind::Tap);
    EXPECT_EQ(state->macros[15].steps[63].time, 100u);
    EXPECT_EQ(state->player.macro.steps[0].time, 100u);
    EXPECT_EQ(state->layers.motion[9].temporarySpeed, 25);
    EXPECT_EQ(state->layers.motion[9].scrollPixels, 40);
    EXPECT_EQ(state->layers.layers[9].rules[0].layerTimerMs, 1000u);
    EXPECT_EQ(state->output.queued(), 0u);
    EXPECT_TRUE(state->engine.indexMatchesTable());
}

} // namespace
