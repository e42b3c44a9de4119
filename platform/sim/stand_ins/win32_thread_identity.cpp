// Thread ids are Linux thread ids: unique across processes, as Windows thread ids are.
#include "platform/sim/win32/win32_api.h"

#include <sys/syscall.h>
#include <unistd.h>

DWORD WINAPI GetCurrentThreadId()
{
    thread_local const DWORD id = static_cast<DWORD>(::syscall(SYS_gettid));
    return id;
}
