// Per-thread priority and DPI awareness. Both are remembered and answered back; the scheduler is
// left alone, since raising a Linux thread's priority needs rights a test run does not have.
#include "platform/sim/process/handle_table.h"
#include "platform/sim/win32/win32_api.h"

namespace {

thread_local int priority = THREAD_PRIORITY_NORMAL;
thread_local DPI_AWARENESS_CONTEXT dpiContext = DPI_AWARENESS_CONTEXT_UNAWARE;

bool isCurrentThread(HANDLE thread)
{
    return thread == vorna::sim::currentThreadPseudoHandle();
}

} // namespace

HANDLE WINAPI GetCurrentThread()
{
    return vorna::sim::currentThreadPseudoHandle();
}

BOOL WINAPI SetThreadPriority(HANDLE hThread, int nPriority)
{
    if (!isCurrentThread(hThread)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    switch (nPriority) {
    case THREAD_PRIORITY_IDLE:
    case THREAD_PRIORITY_LOWEST:
    case THREAD_PRIORITY_BELOW_NORMAL:
    case THREAD_PRIORITY_NORMAL:
    case THREAD_PRIORITY_ABOVE_NORMAL:
    case THREAD_PRIORITY_HIGHEST:
    case THREAD_PRIORITY_TIME_CRITICAL:
        priority = nPriority;
        return TRUE;
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
}

int WINAPI GetThreadPriority(HANDLE hThread)
{
    if (!isCurrentThread(hThread)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    return priority;
}

DPI_AWARENESS_CONTEXT WINAPI SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT dpiContextNew)
{
    const auto value = reinterpret_cast<std::intptr_t>(dpiContextNew);
    if (value > -1 || value < -5) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const DPI_AWARENESS_CONTEXT previous = dpiContext;
    dpiContext = dpiContextNew;
    return previous;
}
