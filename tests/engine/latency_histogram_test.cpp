#include "engine/mapping/latency_histogram.h"

#include <gtest/gtest.h>

namespace {

using namespace vorna::windows;

TEST(LatencyBucket, PowerOfTwoBounds)
{
    const std::pair<uint64_t, uint8_t> cases[] = {
        {0, 0}, {1'000, 0}, {1'001, 1}, {1'500, 1}, {2'000, 1}, {2'001, 2},
        {1'000ull << 30, 30}, {(1'000ull << 30) + 1, 31}, {~0ull, 31},
    };
    for (const auto& [ns, bucket] : cases)
        EXPECT_EQ(latencyBucket(ns), bucket) << ns;
}

TEST(LatencyPercentile, CeilingThresholdOverBuckets)
{
    uint64_t counts[kLatencyBucketCount] = {};
    EXPECT_EQ(latencyPercentile(counts, 0, 50), 0u);

    counts[1] = 1; // one sample of 1,500 ns
    for (uint32_t p : {50u, 95u, 99u})
        EXPECT_EQ(latencyPercentile(counts, 1, p), 2'000u);

    uint64_t spread[kLatencyBucketCount] = {};
    spread[0] = 98;
    spread[3] = 1;
    spread[10] = 1;
    EXPECT_EQ(latencyPercentile(spread, 100, 50), 1'000u);
    EXPECT_EQ(latencyPercentile(spread, 100, 98), 1'000u);
    EXPECT_EQ(latencyPercentile(spread, 100, 99), 8'000u);
    EXPECT_EQ(latencyPercentile(spread, 101, 99), 1'024'000u); // ceil(99.99) = 100

    uint64_t short_[kLatencyBucketCount] = {};
    short_[0] = 1;
    EXPECT_EQ(latencyPercentile(short_, 5, 50), 1'000ull << 32); // samples counted but not bucketed
}

} // namespace
