// The character tables of the layouts the session knows, and the names drivers choose them by.
#include "platform/sim/session/keyboard_layouts.h"

#include "platform/sim/win32/win32_api.h"

#include <charconv>

namespace vorna::sim {
namespace {

constexpr UINT kDeadKey = 0x80000000u;

struct KeyCharacter {
    UINT virtualKey;
    UINT character;
};

// What every layout here shares: digits, the keys that give control characters, and the keypad.
constexpr KeyCharacter commonKeys[] = {
    {VK_BACK, 8},   {VK_TAB, 9},     {VK_RETURN, 13},  {VK_ESCAPE, 27},   {VK_SPACE, ' '},  {VK_CANCEL, 3},
    {'0', '0'},     {'1', '1'},      {'2', '2'},       {'3', '3'},        {'4', '4'},       {'5', '5'},
    {'6', '6'},     {'7', '7'},      {'8', '8'},       {'9', '9'},        {VK_NUMPAD0, '0'}, {VK_NUMPAD1, '1'},
    {VK_NUMPAD2, '2'}, {VK_NUMPAD3, '3'}, {VK_NUMPAD4, '4'}, {VK_NUMPAD5, '5'}, {VK_NUMPAD6, '6'},
    {VK_NUMPAD7, '7'}, {VK_NUMPAD8, '8'}, {VK_NUMPAD9, '9'}, {VK_MULTIPLY, '*'}, {VK_ADD, '+'},
    {VK_SUBTRACT, '-'}, {VK_DIVIDE, '/'},
};

constexpr KeyCharacter usPunctuation[] = {
    {VK_OEM_1, ';'},  {VK_OEM_PLUS, '='}, {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'}, {VK_OEM_PERIOD, '.'},
    {VK_OEM_2, '/'},  {VK_OEM_3, '`'},    {VK_OEM_4, '['},     {VK_OEM_5, '\\'},    {VK_OEM_6, ']'},
    {VK_OEM_7, '\''}, {VK_OEM_102, '\\'}, {VK_DECIMAL, '.'},
};

// The Russian layout puts Cyrillic letters on the Latin letter keys and on five punctuation keys.
constexpr KeyCharacter russianKeys[] = {
    {'Q', u'Й'}, {'W', u'Ц'}, {'E', u'У'}, {'R', u'К'}, {'T', u'Е'}, {'Y', u'Н'}, {'U', u'Г'},
    {'I', u'Ш'}, {'O', u'Щ'}, {'P', u'З'}, {VK_OEM_4, u'Х'}, {VK_OEM_6, u'Ъ'}, {'A', u'Ф'},
    {'S', u'Ы'}, {'D', u'В'}, {'F', u'А'}, {'G', u'П'}, {'H', u'Р'}, {'J', u'О'}, {'K', u'Л'},
    {'L', u'Д'}, {VK_OEM_1, u'Ж'}, {VK_OEM_7, u'Э'}, {'Z', u'Я'}, {'X', u'Ч'}, {'C', u'С'},
    {'V', u'М'}, {'B', u'И'}, {'N', u'Т'}, {'M', u'Ь'}, {VK_OEM_COMMA, u'Б'}, {VK_OEM_PERIOD, u'Ю'},
    {VK_OEM_2, '.'}, {VK_OEM_3, u'Ё'}, {VK_OEM_MINUS, '-'}, {VK_OEM_PLUS, '='}, {VK_OEM_5, '\\'},
    {VK_OEM_102, '\\'}, {VK_DECIMAL, ','},
};

// German: the OEM keys carry the umlauts, and two of them are dead keys (circumflex, acute).
constexpr KeyCharacter germanKeys[] = {
    {VK_OEM_1, u'Ü'}, {VK_OEM_PLUS, '+'}, {VK_OEM_COMMA, ','}, {VK_OEM_MINUS, '-'}, {VK_OEM_PERIOD, '.'},
    {VK_OEM_2, '#'},  {VK_OEM_3, u'Ö'},   {VK_OEM_4, u'ß'},    {VK_OEM_5, kDeadKey | '^'},
    {VK_OEM_6, kDeadKey | u'´'}, {VK_OEM_7, u'Ä'}, {VK_OEM_102, '<'}, {VK_DECIMAL, ','},
};

constexpr std::uint16_t kRussian = 0x419;
constexpr std::uint16_t kGerman = 0x407;

template <std::size_t N>
bool lookUp(const KeyCharacter (&table)[N], UINT virtualKey, UINT& character)
{
    for (const KeyCharacter& entry : table) {
        if (entry.virtualKey == virtualKey) {
            character = entry.character;
            return true;
        }
    }
    return false;
}

std::uint16_t languageOf(std::uint64_t layout)
{
    return static_cast<std::uint16_t>(layout & 0xFFFF);
}

} // namespace

// The German keyboard swaps the Y and Z keys; every other key sits where the US one does.
UINT layoutKey(std::uint64_t layout, UINT virtualKey)
{
    if (languageOf(layout) == kGerman && (virtualKey == 'Y' || virtualKey == 'Z'))
        return virtualKey == 'Y' ? 'Z' : 'Y';
    return virtualKey;
}

UINT layoutCharacter(std::uint64_t layout, UINT virtualKey)
{
    UINT character = 0;
    if (lookUp(commonKeys, virtualKey, character))
        return character;
    const std::uint16_t language = languageOf(layout);
    if (language == kRussian && lookUp(russianKeys, virtualKey, character))
        return character;
    if (language == kGerman && lookUp(germanKeys, virtualKey, character))
        return character;
    if (language != kRussian && virtualKey >= 'A' && virtualKey <= 'Z')
        return virtualKey;
    if (language != kRussian && language != kGerman && lookUp(usPunctuation, virtualKey, character))
        return character;
    return 0;
}

bool parseLayout(std::string_view text, std::uint64_t& layout)
{
    static constexpr struct {
        std::string_view name;
        std::uint64_t layout;
    } named[] = {{"en", kLayoutUsEnglish}, {"ru", kLayoutRussian}, {"de", kLayoutGerman}};
    for (const auto& entry : named) {
        if (text == entry.name) {
            layout = entry.layout;
            return true;
        }
    }
    if (text.size() > 2 && (text.substr(0, 2) == "0x" || text.substr(0, 2) == "0X"))
        text.remove_prefix(2);
    if (text.empty() || text.size() > 16)
        return false;
    std::uint64_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    if (error != std::errc() || end != text.data() + text.size() || languageOf(value) == 0)
        return false;
    layout = value;
    return true;
}

} // namespace vorna::sim
