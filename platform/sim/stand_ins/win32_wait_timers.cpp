// Waitable timers on timerfd. A synchronization (auto-reset) timer is reset by the wait that
// sees it; a manual-reset timer stays signalled until it is set again.
#include "platform/sim/process/handle_table.h"
#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_wait.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <sys/timerfd.h>
#include <unistd.h>

namespace vorna::sim {
namespace {

// FILETIME of the Unix epoch: 100 ns intervals since 1601-01-01.
constexpr std::int64_t unixEpochAsFileTime = 116444736000000000LL;

class WaitableTimer final : public KernelObject {
public:
    WaitableTimer(int fd, bool manualReset, bool highResolution)
        : m_fd(fd), m_manualReset(manualReset), m_highResolution(highResolution)
    {
    }
    ~WaitableTimer() override { ::close(m_fd); }
    int waitDescriptor() const override { return m_fd; }
    bool acquireSignal() override
    {
        if (m_manualReset)
            return true;
        std::uint64_t expirations = 0;
        return ::read(m_fd, &expirations, sizeof expirations) == sizeof expirations;
    }
    bool set(std::int64_t dueTime, LONG periodMs)
    {
        itimerspec timerValue{};
        std::int64_t relative100ns;
        if (dueTime < 0) {
            relative100ns = -dueTime;
        } else {
            timespec now{};
            clock_gettime(CLOCK_REALTIME, &now);
            const std::int64_t now100ns = std::int64_t(now.tv_sec) * 10'000'000 + now.tv_nsec / 100 + unixEpochAsFileTime;
            relative100ns = dueTime > now100ns ? dueTime - now100ns : 0;
        }
        // A zero it_value would disarm the timer; a due time in the past fires at once.
        const std::int64_t ns = relative100ns > 0 ? relative100ns * 100 : 1;
        timerValue.it_value = {ns / 1'000'000'000, ns % 1'000'000'000};
        timerValue.it_interval = {periodMs / 1000, (periodMs % 1000) * 1'000'000L};
        return timerfd_settime(m_fd, 0, &timerValue, nullptr) == 0;
    }
    bool cancel()
    {
        // Cancelling stops future expirations but leaves a timer that has fired signalled, as
        // on Windows; timerfd_settime would forget the expiration, so it is re-created at once.
        const bool signalled = readable();
        const itimerspec off{};
        if (timerfd_settime(m_fd, 0, &off, nullptr) != 0)
            return false;
        if (!signalled)
            return true;
        itimerspec now{};
        now.it_value.tv_nsec = 1;
        return timerfd_settime(m_fd, 0, &now, nullptr) == 0;
    }
    bool highResolution() const { return m_highResolution; }

private:
    bool readable() const
    {
        pollfd probe{m_fd, POLLIN, 0};
        return ::poll(&probe, 1, 0) == 1;
    }

    int m_fd;
    bool m_manualReset;
    bool m_highResolution;
};

HANDLE createTimer(DWORD flags)
{
    if ((flags & ~DWORD(CREATE_WAITABLE_TIMER_MANUAL_RESET | CREATE_WAITABLE_TIMER_HIGH_RESOLUTION)) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const int fd = timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK);
    if (fd < 0) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    return insertHandle(std::make_shared<WaitableTimer>(fd, (flags & CREATE_WAITABLE_TIMER_MANUAL_RESET) != 0,
                                                        (flags & CREATE_WAITABLE_TIMER_HIGH_RESOLUTION) != 0));
}

} // namespace
} // namespace vorna::sim

HANDLE WINAPI CreateWaitableTimerW(LPSECURITY_ATTRIBUTES, BOOL bManualReset, LPCWSTR lpTimerName)
{
    if (lpTimerName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED); // named timers are not needed by the product
        return nullptr;
    }
    return vorna::sim::createTimer(bManualReset ? CREATE_WAITABLE_TIMER_MANUAL_RESET : 0);
}

HANDLE WINAPI CreateWaitableTimerExW(LPSECURITY_ATTRIBUTES, LPCWSTR lpTimerName, DWORD dwFlags, DWORD)
{
    if (lpTimerName != nullptr) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return nullptr;
    }
    return vorna::sim::createTimer(dwFlags);
}

BOOL WINAPI SetWaitableTimer(HANDLE hTimer, const LARGE_INTEGER* lpDueTime, LONG lPeriod, PTIMERAPCROUTINE pfnCompletionRoutine,
                             LPVOID, BOOL)
{
    const auto timer = vorna::sim::lookupHandleAs<vorna::sim::WaitableTimer>(hTimer);
    if (!timer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (lpDueTime == nullptr || lPeriod < 0 || pfnCompletionRoutine != nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER); // completion routines (APCs) are not supported
        return FALSE;
    }
    if (!timer->set(lpDueTime->QuadPart, lPeriod)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI CancelWaitableTimer(HANDLE hTimer)
{
    const auto timer = vorna::sim::lookupHandleAs<vorna::sim::WaitableTimer>(hTimer);
    if (!timer) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return timer->cancel() ? TRUE : FALSE;
}
