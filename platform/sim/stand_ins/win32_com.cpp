// GUIDs: random version-4 UUIDs and their registry form.
#include "platform/sim/win32/win32_api.h"

#include <cstdio>
#include <sys/random.h>

HRESULT WINAPI CoCreateGuid(GUID* pguid)
{
    if (pguid == nullptr)
        return E_INVALIDARG;
    unsigned char bytes[16];
    std::size_t got = 0;
    while (got < sizeof bytes) {
        const ssize_t n = getrandom(bytes + got, sizeof bytes - got, 0);
        if (n <= 0)
            return E_FAIL;
        got += static_cast<std::size_t>(n);
    }
    bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40); // version 4
    bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80); // RFC 4122 variant
    pguid->Data1 = std::uint32_t(bytes[0]) << 24 | std::uint32_t(bytes[1]) << 16 | std::uint32_t(bytes[2]) << 8 | bytes[3];
    pguid->Data2 = static_cast<std::uint16_t>(bytes[4] << 8 | bytes[5]);
    pguid->Data3 = static_cast<std::uint16_t>(bytes[6] << 8 | bytes[7]);
    for (int i = 0; i < 8; ++i)
        pguid->Data4[i] = bytes[8 + i];
    return S_OK;
}

int WINAPI StringFromGUID2(REFGUID rguid, LPOLESTR lpsz, int cchMax)
{
    constexpr int length = 39; // braces, 32 digits, 4 dashes and the NUL
    if (lpsz == nullptr || cchMax < length)
        return 0;
    char text[length + 1];
    std::snprintf(text, sizeof text, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}", unsigned(rguid.Data1),
                  unsigned(rguid.Data2), unsigned(rguid.Data3), rguid.Data4[0], rguid.Data4[1], rguid.Data4[2],
                  rguid.Data4[3], rguid.Data4[4], rguid.Data4[5], rguid.Data4[6], rguid.Data4[7]);
    for (int i = 0; i < length; ++i)
        lpsz[i] = static_cast<WCHAR>(text[i]);
    return length;
}
