#include "core/input_id.h"

#include <QStringList>

#include <array>
#include <initializer_list>
#include <utility>

namespace vorna::core {

namespace {

using input_keys::contains;
using input_keys::KeySet;
using input_keys::keySet;

// Virtual keys a text may name: rules use the left and right modifier keys instead of 16-18.
constexpr KeySet kTextVirtualKeys = keySet({{8, 9}, {12, 13}, {19, 20}, {27, 27}, {32, 57}, {65, 93},
                                            {96, 135}, {144, 145}, {160, 183}, {186, 192},
                                            {219, 223}, {226, 226}});

const QStringList& wheelNames()
{
    static const QStringList names = {QStringLiteral("wheel_up"), QStringLiteral("wheel_down"),
                                      QStringLiteral("wheel_left"), QStringLiteral("wheel_right")};
    return names;
}

const QStringList& buttonNames()
{
    static const QStringList names = {QStringLiteral("mouse_left"), QStringLiteral("mouse_right"),
                                      QStringLiteral("mouse_middle"), QStringLiteral("mouse_back"),
                                      QStringLiteral("mouse_forward")};
    return names;
}

QString nameAt(const QStringList& names, std::uint16_t code)
{
    return code >= 1 && code <= names.size() ? names.at(code - 1) : QString();
}

} // namespace

bool parseInputId(QStringView text, InputId& id)
{
    if (text == QLatin1String("key_numpad_enter")) {
        id = makeInputId(kClassKeyboard, kKindExtendedScanCode, kNumpadEnterCode);
        return true;
    }
    if (const qsizetype wheel = wheelNames().indexOf(text); wheel >= 0) {
        id = makeInputId(kClassWheel, kKindWheel, std::uint16_t(wheel + 1));
        return true;
    }
    if (const qsizetype button = buttonNames().indexOf(text); button >= 0) {
        id = makeInputId(kClassMouseButton, kKindMouseButton, std::uint16_t(button + 1));
        return true;
    }
    // The whole text is "key_" and one to three ASCII digits without a leading zero.
    const QLatin1String prefix("key_");
    if (!text.startsWith(prefix) || text.size() <= prefix.size() || text.size() > prefix.size() + 3)
        return false;
    uint code = 0;
    for (qsizetype i = prefix.size(); i < text.size(); ++i) {
        const char16_t digit = text[i].unicode();
        if (digit < u'0' || digit > u'9' || (i == prefix.size() && digit == u'0'))
            return false;
        code = code * 10 + uint(digit - u'0');
    }
    if (!contains(kTextVirtualKeys, code))
        return false;
    id = makeInputId(kClassKeyboard, kKindVirtualKey, std::uint16_t(code));
    return isValidInputId(id);
}

bool parseInputId(const QString& text, InputId& id)
{
    return parseInputId(QStringView(text), id);
}

QString inputIdName(InputId id)
{
    const std::uint16_t code = inputCode(id);
    switch (inputKind(id)) {
    case kKindVirtualKey:
        return QStringLiteral("key_%1").arg(code);
    case kKindExtendedScanCode:
        return code == kNumpadEnterCode ? QStringLiteral("key_numpad_enter") : QString();
    case kKindMouseButton:
        return nameAt(buttonNames(), code);
    case kKindWheel:
        return nameAt(wheelNames(), code);
    default:
        return QString();
    }
}

bool isCriticalInput(const QString& text)
{
    static const QStringList critical = {
        QStringLiteral("mouse_left"), QStringLiteral("mouse_right"), QStringLiteral("key_9"),
        QStringLiteral("key_13"),     QStringLiteral("key_27"),      QStringLiteral("key_16"),
        QStringLiteral("key_17"),     QStringLiteral("key_18"),      QStringLiteral("key_91"),
        QStringLiteral("key_92"),     QStringLiteral("key_160"),     QStringLiteral("key_161"),
        QStringLiteral("key_162"),    QStringLiteral("key_163"),     QStringLiteral("key_164"),
        QStringLiteral("key_165"),
    };
    return critical.contains(text, Qt::CaseSensitive);
}

} // namespace vorna::core
