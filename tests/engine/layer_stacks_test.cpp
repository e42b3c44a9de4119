#include "engine/mapping/layer_stacks.h"

#include <gtest/gtest.h>

namespace {

using namespace vorna::windows;
namespace core = vorna::core;

constexpr uint64_t kMs = 1'000'000;

TEST(LayerStacks, HoldFromTwoDevicesKeepsLayerUntilBothRelease)
{
    LayerStacks s;
    s.reset(0);
    ASSERT_TRUE(s.apply(core::LayerOp::Hold, 3, 0, 1, 0x10401, 0));
    ASSERT_TRUE(s.apply(core::LayerOp::Hold, 3, 0, 2, 0x10401, 0));
    ASSERT_TRUE(s.apply(core::LayerOp::Hold, 3, 0, 2, 0x10401, 0)); // same device and input: nothing new
    EXPECT_EQ(s.holdCount, 2);
    s.releaseHold(1, 0x10401);
    EXPECT_EQ(s.computeCurrent(), 3);
    s.releaseHold(2, 0x10401);
    EXPECT_EQ(s.computeCurrent(), 0);
}

TEST(LayerStacks, NinthHoldIsRefused)
{
    LayerStacks s;
    s.reset(0);
    for (uint32_t i = 0; i < 8; ++i)
        ASSERT_TRUE(s.apply(core::LayerOp::Hold, 1, 0, 1, 0x410000 + (i << 16), 0));
    EXPECT_FALSE(s.apply(core::LayerOp::Hold, 1, 0, 1, 0x7A0000, 0));
}

TEST(LayerStacks, HoldWinsOverTemporaryOverBase)
{
    LayerStacks s;
    s.reset(2);
    EXPECT_EQ(s.computeCurrent(), 2);
    s.apply(core::LayerOp::Timed, 5, 1000, 1, 1, 10 * kMs);
    EXPECT_EQ(s.computeCurrent(), 5);
    s.apply(core::LayerOp::Hold, 7, 0, 1, 2, 10 * kMs);
    EXPECT_EQ(s.computeCurrent(), 7);
    s.consumeOnce(); // no once entry on top, and a hold is active
    EXPECT_EQ(s.computeCurrent(), 7);
}

TEST(LayerStacks, OnceIsConsumedOnlyWithoutHold)
{
    LayerStacks s;
    s.reset(0);
    s.apply(core::LayerOp::Once, 4, 0, 1, 1, 0);
    s.apply(core::LayerOp::Hold, 6, 0, 1, 2, 0);
    s.consumeOnce();
    EXPECT_EQ(s.temporaryCount, 1);
    s.releaseHold(1, 2);
    s.consumeOnce();
    EXPECT_EQ(s.temporaryCount, 0);
    EXPECT_EQ(s.computeCurrent(), 0);
}

TEST(LayerStacks, TimedEntryExpiresAtItsDeadline)
{
    LayerStacks s;
    s.reset(0);
    s.apply(core::LayerOp::Timed, 4, 500, 1, 1, 100 * kMs);
    EXPECT_EQ(s.nextDeadline(), 600 * kMs);
    s.dropExpired(599 * kMs);
    EXPECT_EQ(s.computeCurrent(), 4);
    s.dropExpired(600 * kMs);
    EXPECT_EQ(s.computeCurrent(), 0);
    EXPECT_EQ(s.nextDeadline(), 0u);
}

TEST(LayerStacks, NewTemporaryDropsDueEntriesAndKeepsOnceEntries)
{
    LayerStacks s;
    s.reset(0);
    s.apply(core::LayerOp::Once, 1, 0, 1, 1, 0);
    s.apply(core::LayerOp::Timed, 2, 100, 1, 2, 0);
    s.apply(core::LayerOp::Timed, 3, 1000, 1, 3, 0);
    ASSERT_TRUE(s.apply(core::LayerOp::Timed, 4, 100, 1, 4, 100 * kMs)); // layer 2's entry is due: dropped
    ASSERT_EQ(s.temporaryCount, 3);
    EXPECT_EQ(s.temporary[0].layer, 1);
    EXPECT_EQ(s.temporary[1].layer, 3);
    EXPECT_EQ(s.temporary[2].layer, 4);
    for (int i = 0; i < 5; ++i)
        ASSERT_TRUE(s.apply(core::LayerOp::Once, 5, 0, 1, 5, 0));
    EXPECT_FALSE(s.apply(core::LayerOp::Once, 5, 0, 1, 5, 0)); // eight entries stay: full
}

TEST(LayerStacks, SetNextPreviousMoveTheBaseAndEmptyTemporary)
{
    struct Case {
        uint8_t current;
        core::LayerOp op;
        uint8_t layer;
        uint8_t base;
    };
    const Case cases[] = {
        {9, core::LayerOp::Next, 0, 0}, {0, core::LayerOp::Previous, 0, 9}, {4, core::LayerOp::Next, 0, 5},
        {4, core::LayerOp::Previous, 0, 3}, {4, core::LayerOp::Set, 8, 8},
    };
    for (const Case& c : cases) {
        LayerStacks s;
        s.reset(c.current);
        s.apply(core::LayerOp::Once, 6, 0, 1, 1, 0);
        s.current = c.current; // the layer the engine holds
        ASSERT_TRUE(s.apply(c.op, c.layer, 0, 1, 2, 0));
        EXPECT_EQ(s.base, c.base);
        EXPECT_EQ(s.temporaryCount, 0);
    }
}

} // namespace
