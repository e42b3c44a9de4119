// Win32 functions provided by the simulated session, with the signatures Windows gives them.
#pragma once

#include "platform/sim/win32_types.h"

DWORD WINAPI GetCurrentProcessId();
// The session of a process comes from its VORNA_SESSION_ID environment variable (default 1),
// which children inherit; never from getsid(), since detached starts call setsid().
BOOL WINAPI ProcessIdToSessionId(DWORD dwProcessId, DWORD* pSessionId);
DWORD WINAPI GetLastError();
void WINAPI SetLastError(DWORD dwErrCode);

#define ERROR_SUCCESS 0L
#define ERROR_ACCESS_DENIED 5L
#define ERROR_INVALID_PARAMETER 87L
