// Users as SIDs, and what a security descriptor means for a shared-memory object's mode.
#pragma once

#include "platform/sim/win32/win32_security.h"

#include <string>
#include <sys/types.h>

namespace vorna::sim {

// S-1-5-21-<three numbers from the machine id>-<uid>.
std::wstring userSidString(uid_t uid);
// The permission bits a descriptor from ConvertStringSecurityDescriptorToSecurityDescriptorW
// grants; 0600 without one.
mode_t modeFromSecurityAttributes(const SECURITY_ATTRIBUTES* attributes);
// Memory that LocalFree releases.
void* localAlloc(std::size_t size);

} // namespace vorna::sim
