// WinEvent hooks of this process: the callbacks behind the session's hook handles. Events come
// to the installing thread as queued messages and run while it retrieves messages.
#include "platform/sim/session/session_api.h"
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/win32/win32_api.h"

#include <mutex>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace vorna::sim {
namespace {

struct LocalWinEventHook {
    WINEVENTPROC procedure;
    DWORD threadId;
};

struct WinEventTable {
    std::mutex mutex;
    std::unordered_map<HWINEVENTHOOK, LocalWinEventHook> hooks;
};

WinEventTable& winEventTable()
{
    static auto* instance = new WinEventTable;
    return *instance;
}

} // namespace

void runWinEvent(const MSG& message)
{
    const auto hook = reinterpret_cast<HWINEVENTHOOK>(message.wParam);
    WINEVENTPROC procedure = nullptr;
    {
        std::lock_guard lock(winEventTable().mutex);
        const auto it = winEventTable().hooks.find(hook);
        if (it != winEventTable().hooks.end() && it->second.threadId == GetCurrentThreadId())
            procedure = it->second.procedure;
    }
    if (procedure != nullptr) // unhooked meanwhile: the event is dropped
        procedure(hook, static_cast<DWORD>(message.lParam), message.hwnd, OBJID_WINDOW, CHILDID_SELF,
                  static_cast<DWORD>(message.pt.x), message.time);
}

void releaseThreadWinEvents(DWORD threadId)
{
    std::vector<HWINEVENTHOOK> owned;
    {
        std::lock_guard lock(winEventTable().mutex);
        for (auto it = winEventTable().hooks.begin(); it != winEventTable().hooks.end();) {
            if (it->second.threadId == threadId) {
                owned.push_back(it->first);
                it = winEventTable().hooks.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HWINEVENTHOOK hook : owned)
        processSession().removeWinEventHook(hook);
}

} // namespace vorna::sim

using namespace vorna::sim;

HWINEVENTHOOK WINAPI SetWinEventHook(DWORD eventMin, DWORD eventMax, HMODULE hmodWinEventProc, WINEVENTPROC pfnWinEventProc,
                                     DWORD idProcess, DWORD idThread, DWORD dwFlags)
{
    if (pfnWinEventProc == nullptr) {
        SetLastError(ERROR_INVALID_FILTER_PROC);
        return nullptr;
    }
    if ((dwFlags & WINEVENT_INCONTEXT) != 0) {
        SetLastError(ERROR_NOT_SUPPORTED); // no code is loaded into other processes here
        return nullptr;
    }
    currentThreadQueue(true); // the events arrive through it
    WinEventHookRecord record;
    record.eventMin = eventMin;
    record.eventMax = eventMax;
    record.processId = DWORD(::getpid());
    record.threadId = GetCurrentThreadId();
    record.watchProcess = idProcess;
    record.watchThread = idThread;
    record.flags = dwFlags;
    std::lock_guard lock(winEventTable().mutex); // held so that no event finds the hook half-made
    DWORD error = 0;
    const HWINEVENTHOOK hook = processSession().installWinEventHook(record, error);
    if (hook == nullptr) {
        SetLastError(error);
        return nullptr;
    }
    winEventTable().hooks[hook] = {pfnWinEventProc, record.threadId};
    return hook;
}

BOOL WINAPI UnhookWinEvent(HWINEVENTHOOK hWinEventHook)
{
    bool local = false;
    {
        std::lock_guard lock(winEventTable().mutex);
        local = winEventTable().hooks.erase(hWinEventHook) != 0;
    }
    if (!local || !processSession().removeWinEventHook(hWinEventHook)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
