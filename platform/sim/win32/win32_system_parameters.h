// The user's display settings a program reads through SystemParametersInfoW: high contrast and
// client-area animation, kept by the session and set by a driver.
#pragma once

#include "platform/sim/win32/win32_types.h"

#define SPI_GETHIGHCONTRAST 0x0042
#define SPI_GETCLIENTAREAANIMATION 0x1042

#define HCF_HIGHCONTRASTON 0x00000001

typedef struct tagHIGHCONTRASTW {
    UINT cbSize;
    DWORD dwFlags;
    LPWSTR lpszDefaultScheme;
} HIGHCONTRASTW, *LPHIGHCONTRASTW;
static_assert(sizeof(HIGHCONTRASTW) == 16);

// Reads one setting: SPI_GETHIGHCONTRAST into a HIGHCONTRASTW whose cbSize (and uiParam) is its
// size, SPI_GETCLIENTAREAANIMATION into a BOOL. Other actions, and setting anything, fail with
// ERROR_INVALID_PARAMETER.
BOOL WINAPI SystemParametersInfoW(UINT uiAction, UINT uiParam, PVOID pvParam, UINT fWinIni);
