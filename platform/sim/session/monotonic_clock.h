// CLOCK_MONOTONIC in nanoseconds: the session's test clock is this plus the offset a driver
// steps, and real waits measure their deadlines on it.
#pragma once

#include <cstdint>
#include <ctime>

namespace vorna::sim {

inline std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace vorna::sim
