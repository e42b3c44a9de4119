// Hook-to-completion latency in 32 power-of-two buckets: bucket k holds latencies up to
// 1,000 x 2^k ns (bucket 31 takes everything longer).
#pragma once

#include <cstdint>

namespace vorna::windows {

constexpr int kLatencyBucketCount = 32;

inline uint8_t latencyBucket(uint64_t ns)
{
    uint8_t k = 0;
    uint64_t bound = 1'000;
    while (k < kLatencyBucketCount - 1 && ns > bound) {
        ++k;
        bound *= 2;
    }
    return k;
}

// Upper bound of the first bucket at which the running count reaches the ceiling of
// samples x percent / 100; 0 without samples, 1,000 x 2^32 ns if the buckets never reach it.
uint64_t latencyPercentile(const uint64_t (&counts)[kLatencyBucketCount], uint64_t samples, uint32_t percent);

} // namespace vorna::windows
