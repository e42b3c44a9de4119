// The keyboard layouts the simulated session knows: what character each key gives under US
// English, Russian and German, and the names a driver uses to choose one.
#pragma once

#include "platform/sim/win32/win32_types.h"

#include <cstdint>
#include <string_view>

namespace vorna::sim {

// Layout handle values as Windows gives them: the language identifier in both words.
constexpr std::uint64_t kLayoutUsEnglish = 0x04090409;
constexpr std::uint64_t kLayoutRussian = 0x04190419;
constexpr std::uint64_t kLayoutGerman = 0x04070407;

// The key a key position gives under a layout: the German keyboard swaps Y and Z.
UINT layoutKey(std::uint64_t layout, UINT virtualKey);
// The unshifted character of a virtual key under a layout (letters in upper case), with bit 31
// set for a dead key; 0 when the key gives none. Languages without a table map as US English.
UINT layoutCharacter(std::uint64_t layout, UINT virtualKey);
// "en", "ru", "de" or a handle value in hexadecimal (at most 16 digits, language not 0).
bool parseLayout(std::string_view text, std::uint64_t& layout);

} // namespace vorna::sim
