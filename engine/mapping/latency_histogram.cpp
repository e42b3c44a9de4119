#include "engine/mapping/latency_histogram.h"

namespace vorna::windows {

uint64_t latencyPercentile(const uint64_t (&counts)[kLatencyBucketCount], uint64_t samples, uint32_t percent)
{
    if (samples == 0)
        return 0;
    const uint64_t threshold = (samples * percent + 99) / 100;
    uint64_t sum = 0;
    for (int k = 0; k < kLatencyBucketCount; ++k) {
        sum += counts[k];
        if (sum >= threshold)
            return 1'000ull << k;
    }
    return 1'000ull << 32;
}

} // namespace vorna::windows
