// The ends of a local pipe: which process and session the peer of a connected socket belongs
// to, as the agent asks of the clients of its request pipe and a client of the server it reached.
#include "platform/sim/win32/win32_api.h"

#include <cstdint>
#include <sys/socket.h>

namespace {

// The peer's process id, or 0 with the last error set.
DWORD peerProcessId(HANDLE pipe)
{
    const auto value = reinterpret_cast<std::intptr_t>(pipe);
    if (pipe == INVALID_HANDLE_VALUE || value < 0 || value > INT32_MAX) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    ucred credentials{};
    socklen_t size = sizeof credentials;
    if (::getsockopt(static_cast<int>(value), SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 ||
        credentials.pid <= 0) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return static_cast<DWORD>(credentials.pid);
}

} // namespace

BOOL WINAPI GetNamedPipeClientProcessId(HANDLE Pipe, PULONG ClientProcessId)
{
    if (ClientProcessId == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD pid = peerProcessId(Pipe);
    if (pid == 0)
        return FALSE;
    *ClientProcessId = pid;
    return TRUE;
}

BOOL WINAPI GetNamedPipeServerProcessId(HANDLE Pipe, PULONG ServerProcessId)
{
    // SO_PEERCRED names whichever process is at the other end, server or client.
    return GetNamedPipeClientProcessId(Pipe, ServerProcessId);
}

BOOL WINAPI GetNamedPipeClientSessionId(HANDLE Pipe, PULONG ClientSessionId)
{
    if (ClientSessionId == nullptr) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const DWORD pid = peerProcessId(Pipe);
    DWORD session = 0;
    if (pid == 0 || !ProcessIdToSessionId(pid, &session))
        return FALSE;
    *ClientSessionId = session;
    return TRUE;
}
