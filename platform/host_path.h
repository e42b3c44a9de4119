// Where the host's file system finds a Windows path. On Windows that is the path itself. In the
// simulated session drive letters are mapped to host folders, so a program started by path
// (an application action) is found there; empty when the drive is not mapped.
#pragma once

#include <string>

namespace vorna::platform {

#ifdef _WIN32
inline std::wstring hostPath(const std::wstring& windowsPath)
{
    return windowsPath;
}
#else
std::wstring hostPath(const std::wstring& windowsPath);
#endif

} // namespace vorna::platform
