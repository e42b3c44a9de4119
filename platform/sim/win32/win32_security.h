// Tokens, SIDs and security descriptors. The user's SID is S-1-5-21-<machine>-<uid>; a
// descriptor records only what the stand-in can enforce: whether others get access.
#pragma once

#include "platform/sim/win32/win32_types.h"

typedef PVOID PSID;
typedef PVOID PSECURITY_DESCRIPTOR;

typedef struct _SID_AND_ATTRIBUTES {
    PSID Sid;
    DWORD Attributes;
} SID_AND_ATTRIBUTES, *PSID_AND_ATTRIBUTES;

typedef struct _TOKEN_USER {
    SID_AND_ATTRIBUTES User;
} TOKEN_USER, *PTOKEN_USER;
static_assert(sizeof(TOKEN_USER) == 16);

typedef enum _TOKEN_INFORMATION_CLASS {
    TokenUser = 1,
    TokenGroups,
    TokenPrivileges,
    TokenOwner,
    TokenPrimaryGroup,
    TokenDefaultDacl,
    TokenSource,
    TokenType,
    TokenImpersonationLevel,
    TokenStatistics,
    TokenRestrictedSids,
    TokenSessionId,
    TokenGroupsAndPrivileges,
    TokenSessionReference,
    TokenSandBoxInert,
    TokenAuditPolicy,
    TokenOrigin,
    TokenElevationType,
    TokenLinkedToken,
    TokenElevation,
    TokenHasRestrictions,
    TokenAccessInformation,
    TokenVirtualizationAllowed,
    TokenVirtualizationEnabled,
    TokenIntegrityLevel,
} TOKEN_INFORMATION_CLASS, *PTOKEN_INFORMATION_CLASS;

#define TOKEN_QUERY 0x0008
#define SDDL_REVISION_1 1

BOOL WINAPI OpenProcessToken(HANDLE ProcessHandle, DWORD DesiredAccess, PHANDLE TokenHandle);
// TokenUser and TokenIntegrityLevel; a too small buffer fails with ERROR_INSUFFICIENT_BUFFER and the size needed.
BOOL WINAPI GetTokenInformation(HANDLE TokenHandle, TOKEN_INFORMATION_CLASS TokenInformationClass,
                                LPVOID TokenInformation, DWORD TokenInformationLength, PDWORD ReturnLength);
// Same revision, authority and sub-authorities.
BOOL WINAPI EqualSid(PSID pSid1, PSID pSid2);
// The string is freed with LocalFree.
BOOL WINAPI ConvertSidToStringSidW(PSID Sid, LPWSTR* StringSid);
// Understands DACLs of allow entries ("D:P(A;;GA;;;<sid>)..."); the descriptor is freed with
// LocalFree.
BOOL WINAPI ConvertStringSecurityDescriptorToSecurityDescriptorW(LPCWSTR StringSecurityDescriptor,
                                                                 DWORD StringSDRevision,
                                                                 PSECURITY_DESCRIPTOR* SecurityDescriptor,
                                                                 PULONG SecurityDescriptorSize);
HLOCAL WINAPI LocalFree(HLOCAL hMem);
