// Everything the engine sends carries this value in the extra-info field, so that its own
// hooks recognise (together with the system's injected flag) and pass on the program's output.
#pragma once

#include <cstdint>

namespace vorna::windows {

// The bytes "RTIanroV" read as one little-endian 64-bit value.
inline constexpr std::uint64_t kInjectionMarker = 0x566F726E61495452ull;

} // namespace vorna::windows
