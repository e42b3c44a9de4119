// The Windows rules for splitting a command line into arguments, as the C runtime applies them:
// the program name ends at the first blank outside quotes; later arguments honour quotes, ""
// inside quotes as a literal quote, and backslashes that escape a following quote (2n
// backslashes and a quote: n backslashes and a quote that opens or closes; 2n+1: n and a
// literal quote). Backslashes elsewhere are literal.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace vorna::sim {

std::vector<std::wstring> splitCommandLine(std::wstring_view line);

} // namespace vorna::sim
