// Byte views for tests: an object's bytes, to show that a failing call wrote nothing, and the
// value eight characters spell, as a marker in extra info is written.
#pragma once

#include <QByteArray>

#include <cstdint>
#include <cstring>

namespace vorna::test {

template <class T>
QByteArray bytesOf(const T& object)
{
    return QByteArray(reinterpret_cast<const char*>(&object), sizeof object);
}

// The 64-bit value whose bytes in memory (little-endian here) are the eight characters.
inline std::uint64_t wordOfCharacters(const char (&text)[9])
{
    std::uint64_t value = 0;
    std::memcpy(&value, text, 8);
    return value;
}

} // namespace vorna::test
