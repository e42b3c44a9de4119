// Low-level hooks of this process: the procedures behind the session's hook handles, and the
// calls the session hands to the installing thread.
#include "platform/sim/session/session_api.h"
#include "platform/sim/process/thread_queue.h"
#include "platform/sim/win32/win32_api.h"

#include <mutex>
#include <unistd.h>
#include <unordered_map>
#include <vector>

namespace vorna::sim {
namespace {

struct LocalHook {
    HOOKPROC procedure;
    DWORD threadId;
};

struct HookTable {
    std::mutex mutex;
    std::unordered_map<HHOOK, LocalHook> hooks;
};

HookTable& hookTable()
{
    static auto* instance = new HookTable;
    return *instance;
}

// Whether the procedure running on this thread has called CallNextHookEx.
struct HookContext {
    bool inCall = false;
    bool calledNext = false;
};
thread_local HookContext hookContext;

} // namespace

LRESULT runLowLevelHook(const HookCall& call, bool& calledNext)
{
    HOOKPROC procedure = nullptr;
    {
        std::lock_guard lock(hookTable().mutex);
        const auto it = hookTable().hooks.find(call.hook);
        if (it != hookTable().hooks.end())
            procedure = it->second.procedure;
    }
    if (procedure == nullptr) {
        calledNext = true; // unhooked meanwhile: the event goes on
        return 0;
    }
    const HookContext saved = hookContext;
    hookContext = {true, false};
    KBDLLHOOKSTRUCT key = call.key;
    MSLLHOOKSTRUCT mouse = call.mouse;
    const LPARAM data = call.kind == HookKind::Keyboard ? reinterpret_cast<LPARAM>(&key) : reinterpret_cast<LPARAM>(&mouse);
    const LRESULT result = procedure(HC_ACTION, call.message, data);
    calledNext = hookContext.calledNext;
    hookContext = saved;
    return result;
}

void releaseThreadHooks(DWORD threadId)
{
    std::vector<HHOOK> owned;
    {
        std::lock_guard lock(hookTable().mutex);
        for (auto it = hookTable().hooks.begin(); it != hookTable().hooks.end();) {
            if (it->second.threadId == threadId) {
                owned.push_back(it->first);
                it = hookTable().hooks.erase(it);
            } else {
                ++it;
            }
        }
    }
    for (HHOOK hook : owned)
        processSession().removeHook(hook);
}

} // namespace vorna::sim

using namespace vorna::sim;

HHOOK WINAPI SetWindowsHookExW(int idHook, HOOKPROC lpfn, HINSTANCE, DWORD dwThreadId)
{
    if (idHook != WH_KEYBOARD_LL && idHook != WH_MOUSE_LL) {
        SetLastError(ERROR_INVALID_HOOK_FILTER); // only the low-level hooks are simulated
        return nullptr;
    }
    if (lpfn == nullptr) {
        SetLastError(ERROR_INVALID_FILTER_PROC);
        return nullptr;
    }
    if (dwThreadId != 0) {
        SetLastError(ERROR_GLOBAL_ONLY_HOOK);
        return nullptr;
    }
    currentThreadQueue(true); // the calls arrive through it
    const DWORD threadId = GetCurrentThreadId();
    std::lock_guard lock(hookTable().mutex); // held so that no call finds the hook half-made
    DWORD error = 0;
    const HHOOK hook = processSession().installHook(idHook == WH_KEYBOARD_LL ? HookKind::Keyboard : HookKind::Mouse,
                                                    DWORD(::getpid()), threadId, error);
    if (hook == nullptr) {
        SetLastError(error);
        return nullptr;
    }
    hookTable().hooks[hook] = {lpfn, threadId};
    return hook;
}

BOOL WINAPI UnhookWindowsHookEx(HHOOK hhk)
{
    {
        std::lock_guard lock(hookTable().mutex);
        hookTable().hooks.erase(hhk);
    }
    // A hook the session dropped for not answering in time is gone already, as on Windows.
    if (!processSession().removeHook(hhk)) {
        SetLastError(ERROR_INVALID_HOOK_HANDLE);
        return FALSE;
    }
    return TRUE;
}

LRESULT WINAPI CallNextHookEx(HHOOK, int, WPARAM, LPARAM)
{
    if (hookContext.inCall)
        hookContext.calledNext = true;
    return 0;
}
