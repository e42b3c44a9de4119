#include "editor/visible_text.h"

#include <algorithm>
#include <iterator>

namespace editor {

namespace {

constexpr char32_t kEscapeOpen = 0x27E8; // ⟨
constexpr char32_t kEscapeClose = 0x27E9; // ⟩

// Characters of ordinary categories that still show nothing: the combining grapheme joiner and
// the Hangul fillers, which pass for blanks; and the escape's own opening bracket.
constexpr char32_t kAlsoEscaped[] = {0x034F, 0x115F, 0x1160, 0x3164, 0xFFA0, kEscapeOpen};

bool showsItself(char32_t code)
{
    if (std::find(std::begin(kAlsoEscaped), std::end(kAlsoEscaped), code) != std::end(kAlsoEscaped))
        return false;
    switch (QChar::category(code)) {
    case QChar::Other_Control:       // C0, DEL, C1: line breaks, tabs, BEL, ESC
    case QChar::Other_Format:        // bidirectional controls, zero-width characters, tags
    case QChar::Separator_Line:      // U+2028
    case QChar::Separator_Paragraph: // U+2029
    case QChar::Other_Surrogate:     // half of a pair standing alone
    case QChar::Other_NotAssigned:   // noncharacters and what this Qt does not know
        return false;
    case QChar::Separator_Space:     // no-break, zero-width-looking and wide spaces
        return code == U' ';
    default:
        return true;
    }
}

void appendEscape(QString& out, char32_t code)
{
    out += QChar(kEscapeOpen);
    out += QStringLiteral("U+%1").arg(static_cast<uint>(code), 4, 16, QLatin1Char('0')).toUpper();
    out += QChar(kEscapeClose);
}

} // namespace

QString visibleText(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar unit = text.at(i);
        char32_t code = unit.unicode();
        qsizetype units = 1;
        if (unit.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
            code = QChar::surrogateToUcs4(unit, text.at(i + 1));
            units = 2;
        }
        if (showsItself(code))
            out += text.mid(i, units);
        else
            appendEscape(out, code);
        i += units - 1;
    }
    return out;
}

} // namespace editor
