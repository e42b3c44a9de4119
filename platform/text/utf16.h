// Windows counts the lengths of names, paths and titles in UTF-16 units. wchar_t is 16 bits
// there and 32 bits on Linux, where a character beyond U+FFFF is one wchar_t and still two
// units: a length that follows a Windows limit is counted here, never with size().
#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

namespace vorna {

// Calls `unit` with each UTF-16 code unit of `text` in order.
template <typename UnitFunction>
constexpr void forEachUtf16Unit(std::wstring_view text, UnitFunction&& unit)
{
    for (const wchar_t c : text) {
        const auto point = static_cast<std::uint32_t>(c);
        if (point > 0xFFFF && point <= 0x10FFFF) {
            unit(static_cast<char16_t>(0xD800 + ((point - 0x10000) >> 10)));
            unit(static_cast<char16_t>(0xDC00 + ((point - 0x10000) & 0x3FF)));
        } else {
            unit(static_cast<char16_t>(point));
        }
    }
}

constexpr std::size_t utf16Length(std::wstring_view text)
{
    std::size_t units = 0;
    forEachUtf16Unit(text, [&units](char16_t) { ++units; });
    return units;
}

} // namespace vorna
