#include "core/json_checks.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cmath>
#include <limits>
#include <random>

namespace {

using namespace vorna::core;

struct BoundedCase {
    QJsonValue value;
    int bound;
    bool expected;
};

class BoundedString : public testing::TestWithParam<BoundedCase> {};

TEST_P(BoundedString, AllFourRulesHold)
{
    EXPECT_EQ(isBoundedString(GetParam().value, GetParam().bound), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Table, BoundedString, testing::Values(
    BoundedCase{QStringLiteral(" a "), 3, true},
    BoundedCase{QStringLiteral(" a "), 2, false},
    BoundedCase{QStringLiteral("a"), 1, true},
    BoundedCase{QString(80, QLatin1Char('x')), 80, true},
    BoundedCase{QString(81, QLatin1Char('x')), 80, false},
    BoundedCase{QString(79, QLatin1Char('x')) + QString::fromUtf8("\xF0\x9F\x98\x80"), 80, false},
    BoundedCase{QString(78, QLatin1Char('x')) + QString::fromUtf8("\xF0\x9F\x98\x80"), 80, true},
    BoundedCase{QString(), 80, false},
    BoundedCase{QStringLiteral("   "), 80, false},
    BoundedCase{QStringLiteral("\t\n\r"), 80, false},
    BoundedCase{QString::fromUtf16(u"ab\u0000cd", 5), 80, false},
    BoundedCase{QString::fromUtf16(u"\u0000", 1), 80, false},
    BoundedCase{QString::fromUtf16(u"name\u0000", 5), 80, false},
    BoundedCase{QStringLiteral("Имя профиля"), 11, true},
    BoundedCase{QJsonValue(7), 80, false},
    BoundedCase{QJsonValue(true), 80, false},
    BoundedCase{QJsonValue(QJsonValue::Null), 80, false},
    BoundedCase{QJsonValue(QJsonValue::Undefined), 80, false},
    BoundedCase{QJsonArray{QStringLiteral("a")}, 80, false},
    BoundedCase{QJsonObject{{QStringLiteral("a"), 1}}, 80, false}));

TEST(HasOnlyKeys, ComparesExactlyAndRequiresNothing)
{
    const QStringList allowed = {QStringLiteral("name"), QStringLiteral("layers")};
    EXPECT_TRUE(hasOnlyKeys(QJsonObject{}, allowed));
    EXPECT_TRUE(hasOnlyKeys(QJsonObject{}, QStringList{}));
    EXPECT_TRUE(hasOnlyKeys(QJsonObject{{"name", 1}}, allowed));
    EXPECT_TRUE(hasOnlyKeys(QJsonObject{{"name", 1}, {"layers", 2}}, allowed));
    EXPECT_FALSE(hasOnlyKeys(QJsonObject{{"Name", 1}}, allowed));
    EXPECT_FALSE(hasOnlyKeys(QJsonObject{{"name", 1}, {"extra", 2}}, allowed));
    EXPECT_FALSE(hasOnlyKeys(QJsonObject{{"name ", 1}}, allowed));
    EXPECT_FALSE(hasOnlyKeys(QJsonObject{{"", 1}}, allowed));
    EXPECT_FALSE(hasOnlyKeys(QJsonObject{{"name", 1}}, QStringList{}));
}

TEST(HasOnlyKeys, AgreesWithALookAtEveryKey)
{
    // Objects and allowed lists drawn from one pool of names (near misses included), against
    // a walk over the object's keys.
    const QStringList pool = {QStringLiteral("source"), QStringLiteral("target"), QStringLiteral("Source"),
                              QStringLiteral("name"),   QStringLiteral("name "),  QStringLiteral(""),
                              QStringLiteral("ms"),     QString::fromUtf8("имя")};
    std::mt19937 random(8);
    for (int n = 0; n < 5000; ++n) {
        QJsonObject object;
        QStringList allowed;
        for (const QString& name : pool) {
            if (random() % 3 == 0)
                object.insert(name, int(random() % 4));
            if (random() % 2 == 0)
                allowed.append(name);
        }
        bool walked = true;
        for (auto it = object.constBegin(); it != object.constEnd(); ++it)
            walked = walked && allowed.contains(it.key());
        ASSERT_EQ(hasOnlyKeys(object, allowed), walked) << n;
    }
}

struct WholeCase {
    QJsonValue value;
    int minimum;
    int maximum;
    bool ok;
    int result;
};

class WholeNumber : public testing::TestWithParam<WholeCase> {};

TEST_P(WholeNumber, AcceptsOnlyIntegralNumbersInRange)
{
    const WholeCase c = GetParam();
    int result = -12345;
    EXPECT_EQ(readWholeNumber(c.value, c.minimum, c.maximum, result), c.ok);
    EXPECT_EQ(result, c.ok ? c.result : -12345);
}

constexpr int kIntMin = std::numeric_limits<int>::min();
constexpr int kIntMax = std::numeric_limits<int>::max();

INSTANTIATE_TEST_SUITE_P(Table, WholeNumber, testing::Values(
    WholeCase{QJsonValue(3), 0, 15, true, 3},
    WholeCase{QJsonValue(3.0), 0, 15, true, 3},
    WholeCase{QJsonValue(0), 0, 15, true, 0},
    WholeCase{QJsonValue(15), 0, 15, true, 15},
    WholeCase{QJsonValue(-0.0), 0, 15, true, 0},
    WholeCase{QJsonValue(-1000), -1000, 1000, true, -1000},
    WholeCase{QJsonValue(3.5), 0, 15, false, 0},
    WholeCase{QJsonValue(0.1), 0, 15, false, 0},
    WholeCase{QJsonValue(16), 0, 15, false, 0},
    WholeCase{QJsonValue(-1), 0, 15, false, 0},
    WholeCase{QJsonValue(kIntMax), kIntMin, kIntMax, true, kIntMax},
    WholeCase{QJsonValue(kIntMin), kIntMin, kIntMax, true, kIntMin},
    WholeCase{QJsonValue(2147483648.0), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(-2147483649.0), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(qint64(1) << 40), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(1e300), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(-1e300), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(std::numeric_limits<double>::infinity()), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(std::numeric_limits<double>::quiet_NaN()), kIntMin, kIntMax, false, 0},
    WholeCase{QJsonValue(QStringLiteral("3")), 0, 15, false, 0},
    WholeCase{QJsonValue(true), 0, 15, false, 0},
    WholeCase{QJsonValue(QJsonValue::Null), 0, 15, false, 0},
    WholeCase{QJsonValue(QJsonValue::Undefined), 0, 15, false, 0},
    WholeCase{QJsonArray{3}, 0, 15, false, 0}));

// Random documents against the writer itself: strings of every kind of character (escaped
// controls, quotes, two- and three-byte UTF-8, surrogate pairs, lone and swapped surrogates),
// integers and doubles at every magnitude, nested arrays and objects.
class RandomJson {
public:
    explicit RandomJson(unsigned seed) : m_random(seed) {}

    QJsonObject object(int depth)
    {
        QJsonObject made;
        const int members = number(6);
        for (int i = 0; i < members; ++i)
            made.insert(text(), value(depth));
        return made;
    }

private:
    int number(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }

    QString text()
    {
        static const char16_t samples[] = {u'a', u'Z', u'0', u' ', u'/', u'"', u'\\', u'\b', u'\f', u'\n', u'\r',
                                           u'\t', 0x01, 0x1F, 0x7F, 0x80, 0xE9, 0x7FF, 0x800, 0x20AC, 0xFFFD,
                                           0xFFFE, 0xFFFF, 0xFDD0, 0xD800, 0xDBFF, 0xDC00, 0xDFFF};
        QString made;
        const int length = number(12);
        for (int i = 0; i < length; ++i)
            made.append(QChar(samples[number(int(std::size(samples)))]));
        return made;
    }

    QJsonValue numberValue()
    {
        switch (number(8)) {
        case 0:
            return qint64(std::uniform_int_distribution<qint64>(std::numeric_limits<qint64>::min(),
                                                                 std::numeric_limits<qint64>::max())(m_random));
        case 1:
            return number(2000) - 1000;
        case 2:
            return double(qint64(1) << 53) + number(5) - 2;
        case 3:
            return std::ldexp(double(number(1000) + 1), number(200) - 100);
        case 4:
            return -std::ldexp(double(number(1000) + 1) / 7, number(2000) - 1000);
        case 5:
            return std::pow(10.0, number(40) - 20);
        case 6: {
            const double specials[] = {-0.0, 0.5, std::numeric_limits<double>::infinity(),
                                       std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::max(),
                                       std::numeric_limits<double>::denorm_min()};
            return specials[number(int(std::size(specials)))];
        }
        default:
            return std::uniform_real_distribution<double>(-1e6, 1e6)(m_random);
        }
    }

    QJsonValue value(int depth)
    {
        switch (number(depth > 0 ? 7 : 5)) {
        case 0:
            return QJsonValue(QJsonValue::Null);
        case 1:
            return number(2) == 0;
        case 2:
            return numberValue();
        case 3:
        case 4:
            return text();
        case 5: {
            QJsonArray array;
            const int elements = number(5);
            for (int i = 0; i < elements; ++i)
                array.append(value(depth - 1));
            return array;
        }
        default:
            return object(depth - 1);
        }
    }

    std::mt19937 m_random;
};

TEST(CompactJsonSize, EqualsTheLengthOfTheWrittenDocument)
{
    RandomJson random(2026);
    for (int n = 0; n < 3000; ++n) {
        const QJsonObject document = random.object(4);
        const QByteArray written = QJsonDocument(document).toJson(QJsonDocument::Compact);
        ASSERT_EQ(compactJsonSize(document), written.size()) << written.toStdString();
    }
    EXPECT_EQ(compactJsonSize(QJsonObject()), 2);
    EXPECT_EQ(compactJsonSize(QJsonDocument::fromJson(R"({"a":[1,2.5,-0,1e300,"\u00e9\ud83d\ude00"],"b":{}})").object()),
              QJsonDocument::fromJson(R"({"a":[1,2.5,-0,1e300,"\u00e9\ud83d\ude00"],"b":{}})").toJson(QJsonDocument::Compact).size());
}

} // namespace
