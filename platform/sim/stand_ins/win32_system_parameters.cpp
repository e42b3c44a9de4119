// The display settings of the session as SystemParametersInfoW reports them.
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/win32/win32_api.h"

namespace {

// The buffer is what the action reads into, in the size Windows checks.
bool bufferFits(UINT action, UINT size, PVOID buffer)
{
    if (buffer == nullptr)
        return false;
    if (action == SPI_GETHIGHCONTRAST)
        return size == sizeof(HIGHCONTRASTW) && static_cast<HIGHCONTRASTW*>(buffer)->cbSize == sizeof(HIGHCONTRASTW);
    return action == SPI_GETCLIENTAREAANIMATION;
}

} // namespace

BOOL WINAPI SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT)
{
    if (!bufferFits(uiAction, uiParam, pvParam)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    vorna::sim::DisplaySettings settings;
    if (const DWORD error = vorna::sim::DesktopClient(vorna::sim::processSession()).readDisplaySettings(settings)) {
        SetLastError(error);
        return FALSE;
    }
    if (uiAction == SPI_GETHIGHCONTRAST) {
        auto* answer = static_cast<HIGHCONTRASTW*>(pvParam);
        answer->dwFlags = settings.highContrast ? HCF_HIGHCONTRASTON : 0;
        answer->lpszDefaultScheme = nullptr;
    } else {
        *static_cast<BOOL*>(pvParam) = settings.clientAreaAnimation ? TRUE : FALSE;
    }
    return TRUE;
}
