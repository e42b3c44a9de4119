// Text from someone else's file as the import preview shows it: letters of every script stay,
// and every character that would act as layout shows as an escape instead.

#include "editor/visible_text.h"

#include <gtest/gtest.h>

namespace {

QString units(std::initializer_list<char16_t> list)
{
    QString text;
    for (char16_t unit : list)
        text += QChar(unit);
    return text;
}

TEST(VisibleText, EscapesWhatWouldActAsLayout)
{
    const struct {
        const char* name;
        QString text;
        QString shown;
    } cases[] = {
        {"empty", QString(), QString()},
        {"plain path with spaces", "C:\\Program Files\\App\\app.exe --x", "C:\\Program Files\\App\\app.exe --x"},
        {"Cyrillic, accents, CJK", "Рабочий · Café 日本", "Рабочий · Café 日本"},
        {"emoji: a surrogate pair with its variation selector", "ok 😀 ❤️", "ok 😀 ❤️"},
        {"line feed", "a\nb", "a⟨U+000A⟩b"},
        {"CR LF and tab", "a\r\n\tb", "a⟨U+000D⟩⟨U+000A⟩⟨U+0009⟩b"},
        {"NUL", units({u'a', 0, u'b'}), "a⟨U+0000⟩b"},
        {"BEL and ESC", "\x07\x1b[2Jx", "⟨U+0007⟩⟨U+001B⟩[2Jx"},
        {"DEL and the C1 next line", units({0x7F, 0x85}), "⟨U+007F⟩⟨U+0085⟩"},
        {"line and paragraph separators", units({u'a', 0x2028, u'b', 0x2029}), "a⟨U+2028⟩b⟨U+2029⟩"},
        {"right-to-left override in a file name", units({u'x', 0x202E, u'f', u'd', u'p', u'.', u'e', u'x', u'e'}),
         "x⟨U+202E⟩fdp.exe"},
        {"embeddings and pop", units({0x202A, 0x202B, 0x202C, 0x202D}), "⟨U+202A⟩⟨U+202B⟩⟨U+202C⟩⟨U+202D⟩"},
        {"isolates", units({0x2066, 0x2067, 0x2068, 0x2069}), "⟨U+2066⟩⟨U+2067⟩⟨U+2068⟩⟨U+2069⟩"},
        {"directional marks", units({0x200E, 0x200F, 0x061C}), "⟨U+200E⟩⟨U+200F⟩⟨U+061C⟩"},
        {"zero-width characters and the byte-order mark", units({0x200B, 0x200D, 0x2060, 0xFEFF}),
         "⟨U+200B⟩⟨U+200D⟩⟨U+2060⟩⟨U+FEFF⟩"},
        {"a tag character beyond the first plane", "a" + units({0xDB40, 0xDC41}) + "b", "a⟨U+E0041⟩b"},
        {"spaces that look like a space or like nothing", units({0xA0, 0x2007, 0x3000, 0x180E}),
         "⟨U+00A0⟩⟨U+2007⟩⟨U+3000⟩⟨U+180E⟩"},
        {"fillers and the grapheme joiner that pass for blanks", units({0x3164, 0x115F, 0xFFA0, 0x034F}),
         "⟨U+3164⟩⟨U+115F⟩⟨U+FFA0⟩⟨U+034F⟩"},
        {"halves of a pair standing alone", units({0xDC00, u'a', 0xD800}), "⟨U+DC00⟩a⟨U+D800⟩"},
        {"noncharacters", units({0xFFFE, 0xFFFF}), "⟨U+FFFE⟩⟨U+FFFF⟩"},
        {"a file's own escape look-alike stays distinguishable", "⟨U+000A⟩", "⟨U+27E8⟩U+000A⟩"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(editor::visibleText(c.text), c.shown) << c.name;
}

} // namespace
