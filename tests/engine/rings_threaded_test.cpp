// The two structures the hook thread publishes to the agent's main thread, exercised from two
// threads at once (run under ThreadSanitizer too).
#include "engine/published/held_state.h"
#include "engine/published/observation_ring.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

using namespace vorna::windows;

TEST(ObservationRingThreaded, TheReaderSeesCompleteRecordsInOrderAndCountsEveryLoss)
{
    ObservationRing ring;
    ring.setOpen(true);
    constexpr std::uint64_t kRecords = 20000;
    std::atomic<bool> done{false};
    std::uint64_t pushed = 0;

    std::thread producer([&] {
        for (std::uint64_t i = 1; i <= kRecords; ++i) {
            ObservationRecord record;
            record.device = i;
            record.execution = i * 3; // a second field that must match the first
            pushed += ring.push(record);
        }
        done.store(true, std::memory_order_release);
    });

    std::vector<ObservationRecord> seen;
    std::vector<ObservationRecord> batch;
    while (!done.load(std::memory_order_acquire) || !batch.empty()) {
        batch.clear();
        ring.drain(batch);
        seen.insert(seen.end(), batch.begin(), batch.end());
    }
    producer.join();
    batch.clear();
    ring.drain(batch);
    seen.insert(seen.end(), batch.begin(), batch.end());

    EXPECT_EQ(seen.size(), pushed);
    EXPECT_EQ(pushed + ring.drops(), kRecords);
    EXPECT_EQ(ring.sequence(), kRecords) << "a lost record still uses its sequence number";
    std::uint64_t previous = 0;
    for (const ObservationRecord& record : seen) {
        ASSERT_GT(record.device, previous);
        ASSERT_EQ(record.execution, record.device * 3);
        ASSERT_EQ(record.sequence, record.device);
        previous = record.device;
    }
}

TEST(HeldStateThreaded, ASnapshotIsNeverTornAcrossAWrite)
{
    HeldStateBlock block;
    std::atomic<bool> done{false};
    std::thread writer([&] {
        std::uint8_t value = 0;
        for (int round = 0; round < 3000; ++round) {
            value ^= 1;
            {
                HeldStateWrite write(block);
                {
                    HeldStateWrite nested(block); // nested writers keep the counter odd
                    for (int i = 0; i < int(kInputIndexCount); i += 7)
                        block.setPhysical(i, value);
                }
                for (int i = 0; i < int(kInputIndexCount); i += 7)
                    block.setOutput(i, value);
            }
            std::this_thread::yield();
        }
        done.store(true, std::memory_order_release);
    });

    auto expectConsistent = [](const HeldStateSnapshot& copy) {
        for (std::size_t i = 0; i < kInputIndexCount; i += 7) {
            ASSERT_EQ(copy.physical[i], copy.physical[0]) << i;
            ASSERT_EQ(copy.output[i], copy.physical[0]) << i;
        }
    };
    while (!done.load(std::memory_order_acquire)) {
        HeldStateSnapshot copy;
        if (block.tryRead(copy))
            expectConsistent(copy);
    }
    writer.join();
    HeldStateSnapshot last;
    ASSERT_TRUE(block.tryRead(last)) << "no write in progress: the read must succeed";
    EXPECT_TRUE(last.valid);
    expectConsistent(last);
    EXPECT_EQ(block.sequence(), 6000u) << "nested writes move the counter once per outer write, twice";
}

} // namespace
