// GetTickCount64 and the performance counter: CLOCK_MONOTONIC plus the session's test offset,
// so that a driver steps every member's clock at once.
#include "platform/sim/session/monotonic_clock.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

#include <chrono>
#include <thread>

using namespace vorna::sim;

namespace {
std::int64_t sessionNs()
{
    // The page stays mapped for the life of the process; asking the session for it on every
    // reading cost the hook path more than the reading's own arithmetic.
    static const std::atomic<std::int64_t>& offset = processSession().page().clockOffsetNs;
    return monotonicNs() + offset.load(std::memory_order_relaxed);
}
} // namespace

ULONGLONG WINAPI GetTickCount64()
{
    return static_cast<ULONGLONG>(sessionNs() / 1'000'000);
}

DWORD WINAPI GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    lpPerformanceCount->QuadPart = sessionNs() / 100;
    return TRUE;
}

BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency)
{
    lpFrequency->QuadPart = 10'000'000;
    return TRUE;
}

void WINAPI Sleep(DWORD dwMilliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(dwMilliseconds));
}
