#include "platform/sim/process/wait.h"

#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_wait.h"

#include <cerrno>
#include <ctime>
#include <poll.h>
#include <vector>

namespace vorna::sim {

Deadline Deadline::afterMs(DWORD milliseconds)
{
    Deadline d;
    if (milliseconds != INFINITE) {
        d.m_infinite = false;
        d.m_atNs = monotonicNs() + std::int64_t(milliseconds) * 1'000'000;
    }
    return d;
}

std::int64_t Deadline::remainingNs() const
{
    if (m_infinite)
        return -1;
    const std::int64_t left = m_atNs - monotonicNs();
    return left > 0 ? left : 0;
}

WaitResult waitForObjects(const std::shared_ptr<KernelObject>* objects, DWORD count, int extraDescriptor,
                          ExtraCondition extra, const Deadline& deadline)
{
    pollfd small[8];
    std::vector<pollfd> large;
    const std::size_t total = count + (extraDescriptor >= 0 ? 1 : 0);
    pollfd* fds = small;
    if (total > std::size(small)) {
        large.resize(total);
        fds = large.data();
    }
    for (DWORD i = 0; i < count; ++i)
        fds[i] = pollfd{objects[i]->waitDescriptor(), POLLIN, 0};
    if (extraDescriptor >= 0)
        fds[count] = pollfd{extraDescriptor, POLLIN, 0};

    // The first round only looks (zero timeout), so that a signalled object wins over the
    // extra condition, as the lowest index wins on Windows.
    bool first = true;
    for (;;) {
        const std::int64_t left = first ? 0 : deadline.remainingNs();
        timespec timeout{left / 1'000'000'000, left % 1'000'000'000};
        const int ready = ppoll(fds, total, left < 0 ? nullptr : &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            SetLastError(ERROR_INVALID_HANDLE);
            return {WaitOutcome::Failed, 0};
        }
        for (DWORD i = 0; i < count; ++i) {
            if ((fds[i].revents & (POLLERR | POLLNVAL)) != 0) {
                SetLastError(ERROR_INVALID_HANDLE);
                return {WaitOutcome::Failed, 0};
            }
            if ((fds[i].revents & POLLIN) != 0 && objects[i]->acquireSignal())
                return {WaitOutcome::Object, i};
        }
        if (extra.ready && (first || (extraDescriptor >= 0 && (fds[count].revents & POLLIN) != 0)) &&
            extra.ready(extra.context))
            return {WaitOutcome::Extra, 0};
        if (deadline.passed())
            return {WaitOutcome::Timeout, 0};
        first = false;
    }
}

} // namespace vorna::sim
