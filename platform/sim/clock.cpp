// GetTickCount64 and the performance counter: CLOCK_MONOTONIC plus the session's test offset.
#include "platform/win32.h"

#include <ctime>
#include <thread>
#include <chrono>

namespace {

std::int64_t monotonicNs()
{
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    return std::int64_t(ts.tv_sec) * 1'000'000'000 + ts.tv_nsec;
}

} // namespace

ULONGLONG WINAPI GetTickCount64()
{
    return static_cast<ULONGLONG>(monotonicNs() / 1'000'000);
}

DWORD WINAPI GetTickCount()
{
    return static_cast<DWORD>(GetTickCount64());
}

BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount)
{
    lpPerformanceCount->QuadPart = monotonicNs() / 100;
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
