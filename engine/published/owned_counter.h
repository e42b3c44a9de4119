// Counters and statistics that one thread (the hook thread) writes and others read. With a single
// writer an increment needs no read-modify-write: the writer adds to the value it stored last and
// publishes the sum with release order, which readers take with acquire. A locked add costs the
// hook path about twenty cycles each time, several times per event.
#pragma once

#include <atomic>

namespace vorna::windows {

// Returns the new value.
template <typename T>
inline T addOwned(std::atomic<T>& counter, T amount = T(1))
{
    const T sum = T(counter.load(std::memory_order_relaxed) + amount);
    counter.store(sum, std::memory_order_release);
    return sum;
}

// Raises an owned maximum.
template <typename T>
inline void raiseOwned(std::atomic<T>& maximum, T value)
{
    if (value > maximum.load(std::memory_order_relaxed))
        maximum.store(value, std::memory_order_release);
}

} // namespace vorna::windows
