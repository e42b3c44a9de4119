#include "engine/safety/safety_journal.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <memory>

using namespace vorna::windows;

namespace {

struct JournalBlock {
    alignas(8) unsigned char bytes[kSafetyJournalSize] = {};
    SafetyJournalView& view() { return *reinterpret_cast<SafetyJournalView*>(bytes); }
    std::uint64_t at(std::size_t offset, std::size_t size) const
    {
        std::uint64_t value = 0;
        std::memcpy(&value, bytes + offset, size); // little-endian host
        return value;
    }
};

struct AccessorCase {
    const char* name;
    std::size_t offset;
    std::size_t size;
    std::function<void(SafetyJournalView&, std::uint64_t)> write;
    std::function<std::uint64_t(SafetyJournalView&)> read;
};

} // namespace

// Each accessor must land on its own bytes: a writer and a reader that disagree on one offset
// would leave a key stuck with nobody noticing.
TEST(SafetyJournalLayout, EveryAccessorReachesItsOwnBytes)
{
    const AccessorCase cases[] = {
        {"version", 0, 4, [](auto& v, auto x) { v.setVersion(std::uint32_t(x)); }, [](auto& v) { return v.version(); }},
        {"agent pid", 4, 4, [](auto& v, auto x) { v.setAgentProcessId(std::uint32_t(x)); }, [](auto& v) { return v.agentProcessId(); }},
        {"watchdog ready", 8, 4, [](auto& v, auto x) { v.setWatchdogReady(x != 0); }, [](auto& v) { return v.watchdogReady(); }},
        {"clean stop", 12, 4, [](auto& v, auto x) { v.setCleanStop(x != 0); }, [](auto& v) { return v.cleanStop(); }},
        {"hooks armed", 16, 4, [](auto& v, auto x) { v.setHooksArmed(x != 0); }, [](auto& v) { return v.hooksArmed(); }},
        {"agent heartbeat", 24, 8, [](auto& v, auto x) { v.setAgentHeartbeat(x); }, [](auto& v) { return v.agentHeartbeat(); }},
        {"hook heartbeat", 32, 8, [](auto& v, auto x) { v.setHookHeartbeat(x); }, [](auto& v) { return v.hookHeartbeat(); }},
        {"watchdog heartbeat", 40, 8, [](auto& v, auto x) { v.setWatchdogHeartbeat(x); }, [](auto& v) { return v.watchdogHeartbeat(); }},
        {"engine key 8", 48 + 4 * 8, 4, [](auto& v, auto x) { v.exchangeEngineHeldKey(8, std::uint32_t(x)); }, [](auto& v) { return v.engineHeldKey(8); }},
        {"engine key 255", 48 + 4 * 255, 4, [](auto& v, auto x) { v.exchangeEngineHeldKey(255, std::uint32_t(x)); }, [](auto& v) { return v.engineHeldKey(255); }},
        {"engine button 1", 1072 + 4, 4, [](auto& v, auto x) { v.exchangeEngineHeldButton(1, std::uint32_t(x)); }, [](auto& v) { return v.engineHeldButton(1); }},
        {"engine button 5", 1072 + 20, 4, [](auto& v, auto x) { v.exchangeEngineHeldButton(5, std::uint32_t(x)); }, [](auto& v) { return v.engineHeldButton(5); }},
        {"text key Left Ctrl", 1744, 4, [](auto& v, auto x) { v.exchangeTextHeldKey(162, std::uint32_t(x)); }, [](auto& v) { return v.textHeldKey(162); }},
        {"text key V", 1440, 4, [](auto& v, auto x) { v.exchangeTextHeldKey(86, std::uint32_t(x)); }, [](auto& v) { return v.textHeldKey(86); }},
        {"unicode slot 0", 2120, 4, [](auto& v, auto x) { v.exchangeUnicodeSlot(0, std::uint32_t(x)); }, [](auto& v) { return v.unicodeSlot(0); }},
        {"unicode slot 15", 2120 + 60, 4, [](auto& v, auto x) { v.exchangeUnicodeSlot(15, std::uint32_t(x)); }, [](auto& v) { return v.unicodeSlot(15); }},
        {"physical key 160", 2184 + 640, 4, [](auto& v, auto x) { v.exchangePhysicalKey(160, std::uint32_t(x)); }, [](auto& v) { return v.physicalKey(160); }},
        {"physical button 4", 3208 + 16, 4, [](auto& v, auto x) { v.exchangePhysicalButton(4, std::uint32_t(x)); }, [](auto& v) { return v.physicalButton(4); }},
        {"engine numpad Enter", 3232, 4, [](auto& v, auto x) { v.exchangeEngineHoldsNumpadEnter(std::uint32_t(x)); }, [](auto& v) { return v.engineHoldsNumpadEnter(); }},
        {"physical numpad Enter", 3236, 4, [](auto& v, auto x) { v.exchangeNumpadEnterPhysical(std::uint32_t(x)); }, [](auto& v) { return v.numpadEnterPhysical(); }},
        {"power policy error", 3240, 4, [](auto& v, auto x) { v.setWatchdogPowerPolicyError(std::uint32_t(x)); }, [](auto& v) { return v.watchdogPowerPolicyError(); }},
    };
    for (const AccessorCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto block = std::make_unique<JournalBlock>();
        // Booleans store 1; everything else stores the value as given.
        const std::uint64_t value = c.size == 8 ? 0x0123456789ABCDEFull : 1;
        c.write(block->view(), value);
        EXPECT_EQ(block->at(c.offset, c.size), value);
        EXPECT_EQ(c.read(block->view()), value);
        for (std::size_t i = 0; i < kSafetyJournalSize; ++i) {
            if (i < c.offset || i >= c.offset + c.size) {
                ASSERT_EQ(block->bytes[i], 0) << "stray write at byte " << i;
            }
        }
    }
}

TEST(SafetyJournalLayout, ExchangesReturnThePreviousMark)
{
    auto block = std::make_unique<JournalBlock>();
    SafetyJournalView& v = block->view();
    EXPECT_EQ(v.exchangeEngineHeldKey(160, 1), 0u);
    EXPECT_EQ(v.exchangeEngineHeldKey(160, 0), 1u);
    EXPECT_EQ(v.exchangeUnicodeSlot(3, 0x044F), 0u);
    EXPECT_EQ(v.exchangeUnicodeSlot(3, 0), 0x044Fu);
}

TEST(SafetyJournalLayout, IndexesOutsideATableTouchNothing)
{
    auto block = std::make_unique<JournalBlock>();
    SafetyJournalView& v = block->view();
    EXPECT_EQ(v.exchangeEngineHeldKey(256, 1), 0u);
    EXPECT_EQ(v.exchangeEngineHeldButton(6, 1), 0u);
    EXPECT_EQ(v.exchangeTextHeldKey(1000, 1), 0u);
    EXPECT_EQ(v.exchangeUnicodeSlot(16, 65), 0u);
    EXPECT_EQ(v.exchangePhysicalKey(0xFFFFFFFFu, 1), 0u);
    EXPECT_EQ(v.exchangePhysicalButton(6, 1), 0u);
    EXPECT_EQ(v.engineHeldKey(256), 0u);
    for (unsigned char byte : block->bytes)
        ASSERT_EQ(byte, 0);
}

TEST(SafetyJournalLayout, ClearZeroesEveryByte)
{
    auto block = std::make_unique<JournalBlock>();
    std::memset(block->bytes, 0xA5, sizeof block->bytes);
    block->view().clear();
    for (unsigned char byte : block->bytes)
        ASSERT_EQ(byte, 0);
}
