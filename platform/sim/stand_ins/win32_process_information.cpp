// SetProcessInformation: what a process asked of the scheduler, remembered and answered back.
#include "platform/sim/stand_ins/process_information.h"

#include "platform/sim/stand_ins/process_object.h"
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

#include <mutex>
#include <unistd.h>

namespace vorna::sim {
namespace {
std::mutex mutex;
std::optional<PROCESS_POWER_THROTTLING_STATE> recorded;
} // namespace

std::optional<PROCESS_POWER_THROTTLING_STATE> recordedPowerThrottling()
{
    std::lock_guard lock(mutex);
    return recorded;
}

} // namespace vorna::sim

BOOL WINAPI SetProcessInformation(HANDLE hProcess, PROCESS_INFORMATION_CLASS ProcessInformationClass, LPVOID ProcessInformation,
                                  DWORD ProcessInformationSize)
{
    using namespace vorna::sim;
    const auto process = processFromHandle(hProcess);
    if (!process) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (ProcessInformationClass != ProcessPowerThrottling) {
        SetLastError(ERROR_NOT_SUPPORTED);
        return FALSE;
    }
    constexpr ULONG known = PROCESS_POWER_THROTTLING_EXECUTION_SPEED | PROCESS_POWER_THROTTLING_IGNORE_TIMER_RESOLUTION;
    const auto* state = static_cast<const PROCESS_POWER_THROTTLING_STATE*>(ProcessInformation);
    if (state == nullptr || ProcessInformationSize != sizeof(PROCESS_POWER_THROTTLING_STATE) ||
        state->Version != PROCESS_POWER_THROTTLING_CURRENT_VERSION || (state->ControlMask & ~known) != 0 ||
        (state->StateMask & ~state->ControlMask) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (process->processId() != DWORD(::getpid())) {
        SetLastError(ERROR_ACCESS_DENIED); // only our own is recorded
        return FALSE;
    }
    if (const DWORD forced = processSession().takeFailure(FailPoint::PowerThrottling)) {
        SetLastError(forced);
        return FALSE;
    }
    std::lock_guard lock(mutex);
    recorded = *state;
    return TRUE;
}
