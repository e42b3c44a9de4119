#include "app/keyboard_layout.h"

namespace app {

namespace {

// The printable keys of a layout: digits and letters, then the punctuation blocks of OEM keys.
struct CodeRange {
    unsigned first;
    unsigned last;
};
constexpr CodeRange kLabelledKeys[] = {{48, 90}, {186, 192}, {219, 226}};

constexpr quint16 kRussian = 0x419;
constexpr quint16 kEnglish = 0x409;
constexpr char16_t kFirstPrintable = 32;

QString layoutName(quintptr layout)
{
    const quint16 language = quint16(layout & 0xFFFFu);
    if (language == kRussian)
        return QStringLiteral("RU");
    if (language == kEnglish)
        return QStringLiteral("EN");
    return QString::number(language, 16).toUpper();
}

} // namespace

KeyboardLayoutState readKeyboardLayout(const PlatformProbe& probe)
{
    KeyboardLayoutState state;
    const quintptr layout = probe.foregroundKeyboardLayout();
    for (const CodeRange& range : kLabelledKeys) {
        for (unsigned code = range.first; code <= range.last; ++code) {
            // Dead keys count like any other; control characters and "nothing" do not.
            const QString character = probe.keyLabel(layout, code);
            if (!character.isEmpty() && character.at(0).unicode() >= kFirstPrintable)
                state.labels.insert(QString::number(code), QString(character.at(0)));
        }
    }
    state.name = layoutName(layout);
    state.numLock = probe.numLock();
    return state;
}

} // namespace app
