// Registration for session notices.
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

using namespace vorna::sim;

BOOL WINAPI WTSRegisterSessionNotification(HWND hWnd, DWORD dwFlags)
{
    if (dwFlags != NOTIFY_FOR_THIS_SESSION && dwFlags != NOTIFY_FOR_ALL_SESSIONS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (const DWORD error = processSession().setSessionNotification(hWnd, true)) {
        SetLastError(error);
        return FALSE;
    }
    return TRUE;
}

BOOL WINAPI WTSUnRegisterSessionNotification(HWND hWnd)
{
    processSession().setSessionNotification(hWnd, false);
    return TRUE;
}
