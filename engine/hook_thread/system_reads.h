// The few facts the hook thread and its output side read from the system themselves: the clock,
// the foreground window, the virtual screen and the physical cursor. Plain reads, no state but
// the counter frequency, so that the output side needs nothing from the thread around it.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace vorna::windows {

// The performance counter in nanoseconds. Its frequency is read once: at start-up, or at the
// first reading on a thread that never started (tests and benchmarks).
class HookClock {
public:
    void setFrequency(std::int64_t frequency);
    std::uint64_t nowNs()
    {
        if (m_frequency <= 0)
            readFrequency();
        LARGE_INTEGER counter{};
        QueryPerformanceCounter(&counter);
        const std::uint64_t c = std::uint64_t(counter.QuadPart);
        if (m_nsPerCount != 0)
            return c * m_nsPerCount; // equal to the division below when the frequency divides 10^9
        const std::uint64_t f = std::uint64_t(m_frequency);
        return c / f * 1'000'000'000ull + c % f * 1'000'000'000ull / f;
    }

private:
    void readFrequency();

    std::int64_t m_frequency = 0;
    std::uint64_t m_nsPerCount = 0; // 10^9 / frequency when that is whole (10 MHz counters), else 0
};

std::uint64_t foregroundWindow();
// Virtual screen, right and bottom exclusive; false when it is empty.
bool virtualScreen(RECT& screen);
bool physicalCursor(POINT& position);

} // namespace vorna::windows
