// Input ids: the name of one physical input, as text in the library ("key_65", "mouse_back",
// "wheel_up") and packed into 32 bits in the engine. Parsing and the checks allocate nothing,
// because rule lists, macros and the hook thread handle many of them.
#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>

namespace vorna::core {

// A physical input packed into 32 bits: code << 16 | kind << 8 | class.
using InputId = std::uint32_t;

// Device classes (bits 0-7).
inline constexpr std::uint8_t kClassKeyboard = 0;
inline constexpr std::uint8_t kClassMouseButton = 1;
inline constexpr std::uint8_t kClassWheel = 2;

// Source kinds (bits 8-15). Keyboard kinds 2 and 3 are reserved: valid, but without a text form.
inline constexpr std::uint8_t kKindVirtualKey = 0;
inline constexpr std::uint8_t kKindExtendedScanCode = 1;
inline constexpr std::uint8_t kKindMouseButton = 4;
inline constexpr std::uint8_t kKindWheel = 5;

// Scan code of the numeric keypad's Enter: 0x1C plus 256 for the extended key.
inline constexpr std::uint16_t kNumpadEnterCode = 284;

constexpr InputId makeInputId(std::uint8_t deviceClass, std::uint8_t kind, std::uint16_t code)
{
    return InputId(code) << 16 | InputId(kind) << 8 | InputId(deviceClass);
}
constexpr std::uint8_t inputClass(InputId id) { return std::uint8_t(id & 0xFFu); }
constexpr std::uint8_t inputKind(InputId id) { return std::uint8_t((id >> 8) & 0xFFu); }
constexpr std::uint16_t inputCode(InputId id) { return std::uint16_t(id >> 16); }
constexpr bool isWheelInput(InputId id) { return inputClass(id) == kClassWheel; }

// Parses a text form ("key_65", "mouse_back", "wheel_up", ...). `id` is meaningful only on true.
// Allocates nothing, so that rule lists and macros parse many of them cheaply.
bool parseInputId(QStringView text, InputId& id);
bool parseInputId(const QString& text, InputId& id);

// The text form of `id`, or an empty string when it has none.
QString inputIdName(InputId id);

// Structural validity of a packed id, wider than the text forms. No allocation: the hook thread
// calls it on every press.
bool isValidInputId(InputId id);

// True for the inputs a user must never lose (both main mouse buttons, Tab, Enter, Esc, the
// modifiers and both Windows keys), compared as text.
bool isCriticalInput(const QString& text);

} // namespace vorna::core
