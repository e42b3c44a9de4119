#include "core/input_id.h"

#include <gtest/gtest.h>

#include <QRegularExpression>
#include <QStringList>

#include <random>
#include <set>

namespace {

using namespace vorna::core;

// The virtual keys a rule may name, written out independently of the implementation.
std::set<unsigned> acceptedKeyCodes()
{
    std::set<unsigned> codes = {8, 9, 12, 13, 19, 20, 27, 144, 145, 226};
    const std::pair<unsigned, unsigned> ranges[] = {{32, 57}, {65, 93}, {96, 135}, {160, 183}, {186, 192}, {219, 223}};
    for (const auto& [first, last] : ranges)
        for (unsigned code = first; code <= last; ++code)
            codes.insert(code);
    return codes;
}

TEST(InputId, EveryKeyNumberParsesExactlyWhenAccepted)
{
    const std::set<unsigned> accepted = acceptedKeyCodes();
    for (unsigned n = 0; n <= 1100; ++n) {
        const QString text = QStringLiteral("key_%1").arg(n);
        InputId id = 0;
        const bool parsed = parseInputId(text, id);
        ASSERT_EQ(parsed, accepted.count(n) == 1) << text.toStdString();
        if (parsed) {
            EXPECT_EQ(id, makeInputId(kClassKeyboard, kKindVirtualKey, std::uint16_t(n))) << n;
            EXPECT_TRUE(isValidInputId(id)) << n;
            EXPECT_EQ(inputIdName(id), text);
        }
    }
}

// The key form by its text pattern ("^key_([1-9][0-9]{0,2})$", the whole text), as the parser
// once matched it, against the parser over texts near the form and random ones.
TEST(InputId, KeyTextsParseAsTheirPatternSays)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("key_([1-9][0-9]{0,2})")));
    const std::set<unsigned> accepted = acceptedKeyCodes();
    const auto expectLikePattern = [&](const QString& text) {
        const QRegularExpressionMatch match = pattern.match(text);
        const bool expected = match.hasMatch() && accepted.count(match.captured(1).toUInt()) == 1;
        InputId id = 0;
        ASSERT_EQ(parseInputId(text, id), expected) << text.toStdString();
        if (expected) {
            EXPECT_EQ(id, makeInputId(kClassKeyboard, kKindVirtualKey, std::uint16_t(match.captured(1).toUInt())));
        }
    };
    for (const QString& number : {QStringLiteral("0"), QStringLiteral("00"), QStringLiteral("065"), QStringLiteral("6"),
                                  QStringLiteral("65"), QStringLiteral("165"), QStringLiteral("1650"),
                                  QStringLiteral("+65"), QStringLiteral("-65"), QStringLiteral(" 65"),
                                  QStringLiteral("65 "), QStringLiteral("65\n"), QString::fromUtf8("\u0666\u0665"),
                                  QString::fromUtf8("\uFF16\uFF15"), QStringLiteral("6\u00005"), QString()}) {
        for (const QString& prefix : {QStringLiteral("key_"), QStringLiteral("Key_"), QStringLiteral("key"),
                                      QStringLiteral("key__"), QStringLiteral("xkey_"), QString()})
            expectLikePattern(prefix + number);
    }
    std::mt19937 random(65);
    const QString alphabet = QString::fromUtf8("key_0123456789 \n\u0663");
    for (int n = 0; n < 20000; ++n) {
        QString text = n % 2 ? QStringLiteral("key_") : QString();
        const int length = int(random() % 6);
        for (int i = 0; i < length; ++i)
            text.append(alphabet.at(qsizetype(random() % std::uint32_t(alphabet.size()))));
        expectLikePattern(text);
    }
}

struct NamedCase {
    const char* text;
    InputId packed;
};

class NamedInputs : public testing::TestWithParam<NamedCase> {};

TEST_P(NamedInputs, ParseToPackedValueAndFormatBack)
{
    const NamedCase c = GetParam();
    InputId id = 0;
    ASSERT_TRUE(parseInputId(QString::fromLatin1(c.text), id));
    EXPECT_EQ(id, c.packed);
    EXPECT_TRUE(isValidInputId(id));
    EXPECT_EQ(inputIdName(id), QString::fromLatin1(c.text));
}

INSTANTIATE_TEST_SUITE_P(Table, NamedInputs, testing::Values(
    NamedCase{"key_65", 0x410000},
    NamedCase{"key_8", 0x80000},
    NamedCase{"key_226", 0xE20000},
    NamedCase{"key_numpad_enter", 0x11C0100},
    NamedCase{"mouse_left", 0x10401},
    NamedCase{"mouse_right", 0x20401},
    NamedCase{"mouse_middle", 0x30401},
    NamedCase{"mouse_back", 0x40401},
    NamedCase{"mouse_forward", 0x50401},
    NamedCase{"wheel_up", 0x10502},
    NamedCase{"wheel_down", 0x20502},
    NamedCase{"wheel_left", 0x30502},
    NamedCase{"wheel_right", 0x40502}));

class BadInputTexts : public testing::TestWithParam<const char*> {};

TEST_P(BadInputTexts, AreRefused)
{
    const InputId sentinel = 0xDEADBEEF;
    InputId id = sentinel;
    EXPECT_FALSE(parseInputId(QString::fromUtf8(GetParam()), id));
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputTexts, testing::Values(
    "", "key_", "key_065", "key_0", "key_00", "key_1000", "key_65536", "key_4294967361", "Key_65", "KEY_65",
    " key_65", "key_65 ", "key_65\n", "\nkey_65", "key_6 5", "key_+65", "key_-65", "key_６５",
    "key_16", "key_17", "key_18", "key_7", "key_227", "key_255",
    "key_numpad_enter\n", "Key_numpad_enter", "key_284",
    "mouse_x1", "MOUSE_LEFT", "mouse_left ", "mouse_left\n", "mouse_6",
    "wheel_UP", "wheel_up\n", "wheel", "unchanged", "blocked"));

struct ValidityCase {
    std::uint8_t deviceClass;
    std::uint8_t kind;
    std::uint16_t code;
    bool valid;
};

class Validity : public testing::TestWithParam<ValidityCase> {};

TEST_P(Validity, FollowsClassKindAndCodeTable)
{
    const ValidityCase c = GetParam();
    EXPECT_EQ(isValidInputId(makeInputId(c.deviceClass, c.kind, c.code)), c.valid);
}

INSTANTIATE_TEST_SUITE_P(Table, Validity, testing::Values(
    // Code 0 is never valid.
    ValidityCase{0, 0, 0, false}, ValidityCase{0, 1, 0, false}, ValidityCase{1, 4, 0, false},
    ValidityCase{2, 5, 0, false},
    // Wheel directions.
    ValidityCase{2, 5, 1, true}, ValidityCase{2, 5, 4, true}, ValidityCase{2, 5, 5, false},
    ValidityCase{2, 4, 1, false}, ValidityCase{2, 0, 1, false},
    // Mouse buttons, wider than the five named ones.
    ValidityCase{1, 4, 1, true}, ValidityCase{1, 4, 6, true}, ValidityCase{1, 4, 32, true},
    ValidityCase{1, 4, 33, false}, ValidityCase{1, 5, 1, false}, ValidityCase{1, 0, 65, false},
    // Virtual keys: the generic modifiers are valid packed even though text refuses them.
    ValidityCase{0, 0, 7, false}, ValidityCase{0, 0, 8, true}, ValidityCase{0, 0, 9, true},
    ValidityCase{0, 0, 10, false}, ValidityCase{0, 0, 15, false}, ValidityCase{0, 0, 16, true},
    ValidityCase{0, 0, 17, true}, ValidityCase{0, 0, 18, true}, ValidityCase{0, 0, 21, false},
    ValidityCase{0, 0, 31, false}, ValidityCase{0, 0, 32, true}, ValidityCase{0, 0, 57, true},
    ValidityCase{0, 0, 58, false}, ValidityCase{0, 0, 64, false}, ValidityCase{0, 0, 65, true},
    ValidityCase{0, 0, 93, true}, ValidityCase{0, 0, 94, false}, ValidityCase{0, 0, 95, false},
    ValidityCase{0, 0, 96, true}, ValidityCase{0, 0, 135, true}, ValidityCase{0, 0, 136, false},
    ValidityCase{0, 0, 143, false}, ValidityCase{0, 0, 144, true}, ValidityCase{0, 0, 145, true},
    ValidityCase{0, 0, 146, false}, ValidityCase{0, 0, 159, false}, ValidityCase{0, 0, 160, true},
    ValidityCase{0, 0, 183, true}, ValidityCase{0, 0, 184, false}, ValidityCase{0, 0, 185, false},
    ValidityCase{0, 0, 186, true}, ValidityCase{0, 0, 192, true}, ValidityCase{0, 0, 193, false},
    ValidityCase{0, 0, 218, false}, ValidityCase{0, 0, 219, true}, ValidityCase{0, 0, 223, true},
    ValidityCase{0, 0, 224, false}, ValidityCase{0, 0, 226, true}, ValidityCase{0, 0, 227, false},
    ValidityCase{0, 0, 255, false}, ValidityCase{0, 0, 256 + 65, false}, ValidityCase{0, 0, 65535, false},
    // Scan-code kinds.
    ValidityCase{0, 1, 1, true}, ValidityCase{0, 1, 1023, true}, ValidityCase{0, 1, 1024, false},
    ValidityCase{0, 2, 1, true}, ValidityCase{0, 2, 767, true}, ValidityCase{0, 2, 768, false},
    ValidityCase{0, 3, 1, true}, ValidityCase{0, 3, 255, true}, ValidityCase{0, 3, 256, false},
    ValidityCase{0, 4, 1, false}, ValidityCase{0, 5, 1, false}, ValidityCase{0, 255, 65, false},
    // Unknown classes.
    ValidityCase{3, 0, 65, false}, ValidityCase{3, 5, 1, false}, ValidityCase{255, 4, 1, false}));

struct NameCase {
    InputId id;
    const char* name;
};

class Names : public testing::TestWithParam<NameCase> {};

TEST_P(Names, LookAtKindAndCodeOnly)
{
    EXPECT_EQ(inputIdName(GetParam().id), QString::fromLatin1(GetParam().name));
}

INSTANTIATE_TEST_SUITE_P(Table, Names, testing::Values(
    NameCase{makeInputId(1, 4, 6), ""},
    NameCase{makeInputId(1, 4, 0), ""},
    NameCase{makeInputId(0, 1, 283), ""},
    NameCase{makeInputId(0, 1, 1), ""},
    NameCase{makeInputId(2, 5, 5), ""},
    NameCase{makeInputId(0, 2, 30), ""},
    NameCase{makeInputId(0, 3, 30), ""},
    NameCase{makeInputId(0, 6, 30), ""},
    NameCase{makeInputId(0, 0, 16), "key_16"},
    NameCase{makeInputId(0, 0, 999), "key_999"},
    NameCase{makeInputId(1, 0, 65), "key_65"},
    NameCase{makeInputId(0, 4, 2), "mouse_right"},
    NameCase{makeInputId(0, 5, 3), "wheel_left"}));

TEST(InputId, CriticalInputsAreTheSixteenExactNames)
{
    const char* critical[] = {"mouse_left", "mouse_right", "key_9",   "key_13",  "key_27",  "key_16",
                              "key_17",     "key_18",      "key_91",  "key_92",  "key_160", "key_161",
                              "key_162",    "key_163",     "key_164", "key_165"};
    for (const char* name : critical)
        EXPECT_TRUE(isCriticalInput(QString::fromLatin1(name))) << name;

    const char* ordinary[] = {"", "mouse_middle", "Mouse_left", "mouse_left ", "mouse_left\n", "key_09",
                              "key_90", "key_93", "key_166", "key_159", "key_65", "wheel_up", "key_numpad_enter"};
    for (const char* name : ordinary)
        EXPECT_FALSE(isCriticalInput(QString::fromLatin1(name))) << name;
}

} // namespace
