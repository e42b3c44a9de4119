// The process's kernel-object handles. A HANDLE is an index into one table; the objects behind
// it are shared so that a wait in one thread survives a CloseHandle in another.
#pragma once

#include "platform/sim/win32/win32_types.h"

#include <memory>

namespace vorna::sim {

class KernelObject {
public:
    virtual ~KernelObject() = default;
    // A descriptor that polls readable while the object is signalled, or -1 if it cannot be
    // waited on.
    virtual int waitDescriptor() const { return -1; }
    // Called after a wait saw the descriptor readable; false when another waiter took the
    // signal first (an auto-reset timer) and the wait must go on.
    virtual bool acquireSignal() { return true; }
};

HANDLE insertHandle(std::shared_ptr<KernelObject> object);
std::shared_ptr<KernelObject> lookupHandle(HANDLE handle);
bool removeHandle(HANDLE handle);

template <typename T>
std::shared_ptr<T> lookupHandleAs(HANDLE handle)
{
    return std::dynamic_pointer_cast<T>(lookupHandle(handle));
}

// The pseudo handles of GetCurrentProcess and GetCurrentThread.
inline HANDLE currentProcessPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-1)); }
inline HANDLE currentThreadPseudoHandle() { return reinterpret_cast<HANDLE>(static_cast<LONG_PTR>(-2)); }

} // namespace vorna::sim
