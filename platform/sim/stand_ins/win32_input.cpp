// SendInput and the key state of the session.
#include "platform/sim/session/session_api.h"
#include "platform/sim/win32/win32_api.h"

using namespace vorna::sim;

UINT WINAPI SendInput(UINT cInputs, LPINPUT pInputs, int cbSize)
{
    if (cbSize != int(sizeof(INPUT)) || cInputs == 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (pInputs == nullptr) {
        SetLastError(ERROR_NOACCESS);
        return 0;
    }
    DWORD error = 0;
    const UINT accepted = processSession().sendInput(pInputs, cInputs, error);
    if (accepted < cInputs)
        SetLastError(error);
    return accepted;
}

SHORT WINAPI GetAsyncKeyState(int vKey)
{
    if (vKey < 0 || vKey > 255)
        return 0;
    return (processSession().page().keys[vKey].load(std::memory_order_relaxed) & 0x80) ? SHORT(-32768) : SHORT(0);
}

SHORT WINAPI GetKeyState(int nVirtKey)
{
    if (nVirtKey < 0 || nVirtKey > 255)
        return 0;
    const std::uint8_t state = processSession().page().keys[nVirtKey].load(std::memory_order_relaxed);
    // Windows answers with the state byte sign-extended: 0xFF80 down, bit 0 toggled.
    return static_cast<SHORT>(static_cast<signed char>(state & 0x81));
}

BOOL WINAPI GetLastInputInfo(PLASTINPUTINFO plii)
{
    if (plii == nullptr || plii->cbSize != sizeof(LASTINPUTINFO)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    plii->dwTime = processSession().page().lastInputTick.load(std::memory_order_relaxed);
    return TRUE;
}
