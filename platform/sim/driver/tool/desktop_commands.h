// vorna-sim's commands for the desktop half of the session: clipboard, notification area and
// menus, the shell's log, drive letters, display settings and desktop failures.
#pragma once

#include "platform/sim/driver/driver.h"

#include <stdexcept>
#include <string>
#include <vector>

namespace vorna::sim::tool {

// A command line that names a desktop command wrongly.
class DesktopUsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

extern const char* const desktopHelpText;

// Runs a desktop command; false when the command is not one of them.
bool driveDesktop(Driver& driver, const std::string& command, const std::vector<std::string>& args);

} // namespace vorna::sim::tool
