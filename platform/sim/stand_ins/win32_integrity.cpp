// Reading the parts of a SID, as a program does to find a token's integrity level in its label.
#include "platform/sim/win32/win32_api.h"

#include <cstdint>

BOOL WINAPI IsValidSid(PSID pSid)
{
    const auto* sid = static_cast<const std::uint8_t*>(pSid);
    return sid != nullptr && sid[0] == 1 && sid[1] <= 15 ? TRUE : FALSE;
}

PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid)
{
    return static_cast<PUCHAR>(pSid) + 1;
}

PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority)
{
    // Sub-authorities follow the 8-byte header, 4 bytes each.
    return reinterpret_cast<PDWORD>(static_cast<std::uint8_t*>(pSid) + 8 + 4 * nSubAuthority);
}
