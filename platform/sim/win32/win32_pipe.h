// The two ends of a local pipe. On Linux a local socket stands in for a named pipe: the pipe
// handle is the socket's descriptor as QLocalSocket::socketDescriptor gives it.
#pragma once

#include "platform/sim/win32/win32_types.h"

// The process at the other end, from the socket's peer credentials (SO_PEERCRED).
BOOL WINAPI GetNamedPipeClientProcessId(HANDLE Pipe, PULONG ClientProcessId);
// That process's Windows session, as ProcessIdToSessionId gives it.
BOOL WINAPI GetNamedPipeClientSessionId(HANDLE Pipe, PULONG ClientSessionId);
// The process serving the pipe, for its client: the same peer credentials, which the server's
// end records when it starts listening.
BOOL WINAPI GetNamedPipeServerProcessId(HANDLE Pipe, PULONG ServerProcessId);
