// Mandatory integrity labels of process tokens: the label's SID is S-1-16-<level>, and only the
// order of the levels matters to the programs that read them.
#pragma once

#include "platform/sim/win32/win32_security.h"

typedef unsigned char UCHAR;
typedef UCHAR* PUCHAR;

typedef struct _TOKEN_MANDATORY_LABEL {
    SID_AND_ATTRIBUTES Label;
} TOKEN_MANDATORY_LABEL, *PTOKEN_MANDATORY_LABEL;
static_assert(sizeof(TOKEN_MANDATORY_LABEL) == 16);

#define SECURITY_MANDATORY_UNTRUSTED_RID 0x00000000L
#define SECURITY_MANDATORY_LOW_RID 0x00001000L
#define SECURITY_MANDATORY_MEDIUM_RID 0x00002000L
#define SECURITY_MANDATORY_HIGH_RID 0x00003000L
#define SECURITY_MANDATORY_SYSTEM_RID 0x00004000L
#define SE_GROUP_INTEGRITY 0x00000020L

BOOL WINAPI IsValidSid(PSID pSid);
PUCHAR WINAPI GetSidSubAuthorityCount(PSID pSid);
PDWORD WINAPI GetSidSubAuthority(PSID pSid, DWORD nSubAuthority);
