#include "engine/hook_thread/system_reads.h"

namespace vorna::windows {

void HookClock::setFrequency(std::int64_t frequency)
{
    m_frequency = frequency;
    m_nsPerCount = frequency > 0 && 1'000'000'000 % frequency == 0 ? std::uint64_t(1'000'000'000 / frequency) : 0;
}

void HookClock::readFrequency()
{
    LARGE_INTEGER frequency{};
    QueryPerformanceFrequency(&frequency);
    setFrequency(frequency.QuadPart > 0 ? frequency.QuadPart : 1);
}

std::uint64_t foregroundWindow()
{
    return std::uint64_t(reinterpret_cast<std::uintptr_t>(GetForegroundWindow()));
}

bool virtualScreen(RECT& screen)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    screen = RECT{left, top, left + width, top + height};
    return width > 0 && height > 0;
}

bool physicalCursor(POINT& position)
{
    return GetPhysicalCursorPos(&position) != FALSE;
}

} // namespace vorna::windows
