// Runs the vorna-sim tool of this build (another program on the test's simulated session)
// and reads its exit code and output, standard error included.
#pragma once

#include "tests/support/built_programs.h"

#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/wait.h>

namespace vorna::test {

struct ToolRun {
    int status;
    std::string output;
};

// leakCheck false spares a sanitized tool its leak check at exit, which costs more than the run
// itself when many runs are made.
inline ToolRun runVornaSim(const std::string& arguments, bool leakCheck = true)
{
    const std::string command = (leakCheck ? "" : "ASAN_OPTIONS=detect_leaks=0 ") + vornaSimProgram() + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ToolRun result{-1, {}};
    if (pipe == nullptr)
        return result;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

} // namespace vorna::test
