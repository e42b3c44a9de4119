// Wide strings (UTF-32 wchar_t here) to and from the UTF-8 that Linux calls take.
#pragma once

#include <string>
#include <string_view>

namespace vorna::sim {

std::string toUtf8(std::wstring_view text);
std::wstring fromUtf8(std::string_view text); // invalid sequences become U+FFFD

} // namespace vorna::sim
