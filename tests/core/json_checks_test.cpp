#include "core/json_checks.h"

#include <gtest/gtest.h>

#include <QJsonArray>

#include <limits>

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

} // namespace
