// Where the programs of this build are. Tests find the product, its tools and their own helper
// programs through these, so a change of the build's layout is made here once.
#pragma once

#include <cstdlib>
#include <string>
#include <unistd.h>

namespace vorna::test {

// The build folder the test run names (VORNA_BINARY_DIR), else the current folder.
inline std::string binaryDir()
{
    const char* dir = std::getenv("VORNA_BINARY_DIR");
    return dir != nullptr ? dir : ".";
}

// A program of this build by its path below the build folder, or in the folder itself.
inline std::string builtProgram(const std::string& subfolder, const std::string& name)
{
    const std::string nested = binaryDir() + "/" + subfolder + "/" + name;
    return ::access(nested.c_str(), X_OK) == 0 ? nested : binaryDir() + "/" + name;
}

inline std::string mainProgram() { return builtProgram("app", "vorna-input-trellan"); }
inline std::string vornactlProgram() { return builtProgram("ctl", "vornactl"); }
inline std::string vornaSimProgram() { return builtProgram("platform", "vorna-sim"); }

// The running test program's own file.
inline std::string thisProgram()
{
    char path[4096];
    const ssize_t length = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, length > 0 ? std::size_t(length) : 0);
}

// A helper program built in the same folder as the running test program.
inline std::string besideThisProgram(const std::string& name)
{
    const std::string self = thisProgram();
    return self.substr(0, self.rfind('/') + 1) + name;
}

} // namespace vorna::test
