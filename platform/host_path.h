// Where the host's file system finds a Windows path. On Windows that is the path itself. In the
// simulated session drive letters are mapped to host folders, so a program started by path
// (an application action) is found there; empty when the drive is not mapped.
#pragma once

#include <string>

#ifdef _WIN32
namespace vorna::platform {

inline std::wstring hostPath(const std::wstring& windowsPath)
{
    return windowsPath;
}

} // namespace vorna::platform
#else
#  include "platform/sim/stand_ins/host_path.h"
#endif
