// Closing a handle and waiting for one object; waitable timers are in win32_wait_timers.cpp.
#include "platform/sim/process/handle_table.h"
#include "platform/sim/process/wait.h"
#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_wait.h"

BOOL WINAPI CloseHandle(HANDLE hObject)
{
    if (!vorna::sim::removeHandle(hObject)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}

DWORD WINAPI WaitForSingleObject(HANDLE hHandle, DWORD dwMilliseconds)
{
    using namespace vorna::sim;
    const std::shared_ptr<KernelObject> object = lookupHandle(hHandle);
    if (!object || object->waitDescriptor() < 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return WAIT_FAILED;
    }
    const WaitResult result = waitForObjects(&object, 1, -1, ExtraCondition{}, Deadline::afterMs(dwMilliseconds));
    switch (result.outcome) {
    case WaitOutcome::Object:
        return WAIT_OBJECT_0;
    case WaitOutcome::Timeout:
        return WAIT_TIMEOUT;
    default:
        return WAIT_FAILED;
    }
}
