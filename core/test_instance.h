// Test runs isolate their pipe names and data folders under an instance name; this says which
// names count, so a stray variable cannot redirect a real installation.
#pragma once

#include <QString>

namespace vorna::core {

// A test run's instance name from VORNA_TEST_INSTANCE: "test-" and 32 lower-case hexadecimal
// digits. Anything else is ignored by whoever reads the variable.
bool isValidTestInstance(const QString& value);

} // namespace vorna::core
