// Posting and retrieving thread messages, and waiting for messages together with objects.
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/process/wait.h"
#include "platform/sim/stand_ins/window_dispatch.h"
#include "platform/sim/win32/win32_api.h"

#include <vector>

using namespace vorna::sim;

BOOL WINAPI PostThreadMessageW(DWORD idThread, UINT Msg, WPARAM wParam, LPARAM lParam)
{
    const std::shared_ptr<ThreadQueue> queue = findThreadQueue(idThread);
    if (!queue) {
        SetLastError(ERROR_INVALID_THREAD_ID);
        return FALSE;
    }
    MSG message{};
    message.message = Msg;
    message.wParam = wParam;
    message.lParam = lParam;
    message.time = GetTickCount();
    GetCursorPos(&message.pt);
    return queue->post(message) ? TRUE : FALSE;
}

BOOL WINAPI PeekMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax, UINT wRemoveMsg)
{
    if (lpMsg == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return FALSE;
    }
    return currentThreadQueue(true)->peek(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax, wRemoveMsg) ? TRUE : FALSE;
}

BOOL WINAPI GetMessageW(LPMSG lpMsg, HWND hWnd, UINT wMsgFilterMin, UINT wMsgFilterMax)
{
    if (lpMsg == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return -1;
    }
    return currentThreadQueue(true)->get(lpMsg, hWnd, wMsgFilterMin, wMsgFilterMax);
}

BOOL WINAPI TranslateMessage(const MSG* lpMsg)
{
    // Character messages are not produced: nothing in the product reads WM_CHAR.
    return lpMsg != nullptr && (lpMsg->message == WM_KEYDOWN || lpMsg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT WINAPI DispatchMessageW(const MSG* lpMsg)
{
    if (lpMsg == nullptr || lpMsg->hwnd == nullptr)
        return 0;
    return dispatchWindowMessage(*lpMsg);
}

DWORD WINAPI MsgWaitForMultipleObjectsEx(DWORD nCount, const HANDLE* pHandles, DWORD dwMilliseconds, DWORD dwWakeMask,
                                         DWORD dwFlags)
{
    if (nCount > MAXIMUM_WAIT_OBJECTS - 1 || (nCount > 0 && pHandles == nullptr) || (dwFlags & MWMO_WAITALL) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    std::shared_ptr<KernelObject> small[8];
    std::vector<std::shared_ptr<KernelObject>> large;
    std::shared_ptr<KernelObject>* objects = small;
    if (nCount > std::size(small)) {
        large.resize(nCount);
        objects = large.data();
    }
    for (DWORD i = 0; i < nCount; ++i) {
        objects[i] = lookupHandle(pHandles[i]);
        if (!objects[i] || objects[i]->waitDescriptor() < 0) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
    }
    struct QueueWake {
        ThreadQueue* queue;
        DWORD mask;
        DWORD flags;
        static bool ready(void* context)
        {
            const QueueWake& wake = *static_cast<const QueueWake*>(context);
            wake.queue->drainWake();
            return wake.queue->wakeReady(wake.mask, wake.flags);
        }
    } wake{currentThreadQueue(true), dwWakeMask, dwFlags};
    const WaitResult result = waitForObjects(objects, nCount, wake.queue->wakeDescriptor(),
                                             ExtraCondition{&QueueWake::ready, &wake}, Deadline::afterMs(dwMilliseconds));
    switch (result.outcome) {
    case WaitOutcome::Object:
        return WAIT_OBJECT_0 + result.index;
    case WaitOutcome::Extra:
        return WAIT_OBJECT_0 + nCount;
    case WaitOutcome::Timeout:
        return WAIT_TIMEOUT;
    default:
        return WAIT_FAILED;
    }
}
