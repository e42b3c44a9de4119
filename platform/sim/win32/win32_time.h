// Clocks. Both follow CLOCK_MONOTONIC plus the session's test offset, so tests step time
// without sleeping.
#pragma once

#include "platform/sim/win32/win32_types.h"

ULONGLONG WINAPI GetTickCount64();
DWORD WINAPI GetTickCount();
// A 10 MHz counter.
BOOL WINAPI QueryPerformanceCounter(LARGE_INTEGER* lpPerformanceCount);
BOOL WINAPI QueryPerformanceFrequency(LARGE_INTEGER* lpFrequency);
void WINAPI Sleep(DWORD dwMilliseconds);
