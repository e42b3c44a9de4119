// GUIDs.
#pragma once

#include "platform/sim/win32/win32_types.h"

// A random version-4 UUID.
HRESULT WINAPI CoCreateGuid(GUID* pguid);
// Writes "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" and its NUL; returns the characters written
// including the NUL, or 0 when cchMax is below 39.
int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax);
