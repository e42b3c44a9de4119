// Where the host's file system finds a Windows path in the simulated session: the drive letters
// a driver mapped to host folders (defined with the shell's stand-ins). platform/host_path.h
// includes this off Windows; the name is the product's own.
#pragma once

#include <string>

namespace vorna::platform {

// Empty when the path has no drive letter or its drive is not mapped.
std::wstring hostPath(const std::wstring& windowsPath);

} // namespace vorna::platform
