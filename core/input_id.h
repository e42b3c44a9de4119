// Input ids: the name of one physical input, as text in the library ("key_65", "mouse_back",
// "wheel_up") and packed into 32 bits in the engine. Parsing and the checks allocate nothing,
// because rule lists, macros and the hook thread handle many of them.
#pragma once

#include <QString>
#include <QStringView>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <utility>

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

namespace input_keys {
// One bit per virtual-key code 0-255.
using KeySet = std::array<std::uint64_t, 4>;

constexpr KeySet keySet(std::initializer_list<std::pair<int, int>> ranges)
{
    KeySet set{};
    for (const auto& [first, last] : ranges)
        for (int code = first; code <= last; ++code)
            set[std::size_t(code) / 64] |= std::uint64_t(1) << (code % 64);
    return set;
}

constexpr bool contains(const KeySet& set, unsigned code)
{
    return code < 256 && (set[code / 64] >> (code % 64) & 1u) != 0;
}

// Virtual keys a packed id may carry: the generic Shift, Ctrl and Alt (16-18) included, because
// the engine builds them for modifier state.
inline constexpr KeySet kValidVirtualKeys = keySet({{8, 9}, {12, 13}, {16, 20}, {27, 27}, {32, 57}, {65, 93},
                                                    {96, 135}, {144, 145}, {160, 183}, {186, 192},
                                                    {219, 223}, {226, 226}});
} // namespace input_keys

// Structural validity of a packed id, wider than the text forms. Inline and allocation-free: the
// hook thread asks it several times per event.
inline bool isValidInputId(InputId id)
{
    const std::uint16_t code = inputCode(id);
    if (code == 0)
        return false;
    const std::uint8_t kind = inputKind(id);
    switch (inputClass(id)) {
    case kClassWheel:
        return kind == kKindWheel && code <= 4;
    case kClassMouseButton:
        return kind == kKindMouseButton && code <= 32;
    case kClassKeyboard:
        switch (kind) {
        case kKindVirtualKey:
            return input_keys::contains(input_keys::kValidVirtualKeys, code);
        case kKindExtendedScanCode:
            return code <= 1023;
        case 2:
            return code <= 767;
        case 3:
            return code <= 255;
        default:
            return false;
        }
    default:
        return false;
    }
}

// True for the inputs a user must never lose (both main mouse buttons, Tab, Enter, Esc, the
// modifiers and both Windows keys), compared as text.
bool isCriticalInput(const QString& text);

} // namespace vorna::core
