#include "core/motion_settings.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

using vorna::core::MotionSettings;
using vorna::core::parseMotionSettings;

QJsonObject defaults()
{
    return QJsonObject{{"wheelVertical", 100}, {"wheelHorizontal", 100}, {"invertVertical", false},
                       {"invertHorizontal", false}, {"pages", false}, {"verticalToHorizontal", false},
                       {"cursorX", 100}, {"cursorY", 100}, {"invertX", false}, {"invertY", false},
                       {"axis", 0}, {"temporarySpeed", 25}, {"scrollPixels", 40}};
}

constexpr const char* kLimit = "Motion value is outside its limit, or pages conflict with horizontal conversion";

struct MotionCase {
    const char* name;
    std::function<void(QJsonObject&)> change;
    const char* error; // nullptr: passes
};

void PrintTo(const MotionCase& c, std::ostream* os) { *os << c.name; }

class Motion : public testing::TestWithParam<MotionCase> {};

TEST_P(Motion, FirstFailingCheckDecidesText)
{
    const MotionCase& c = GetParam();
    QJsonObject settings = defaults();
    c.change(settings);
    MotionSettings sentinel;
    sentinel.wheelVertical = 555;
    sentinel.axis = 2;
    MotionSettings result = sentinel;
    QString error = QStringLiteral("untouched");
    const bool ok = parseMotionSettings(settings, result, error);
    if (c.error == nullptr) {
        EXPECT_TRUE(ok) << error.toStdString();
        EXPECT_EQ(error, QStringLiteral("untouched"));
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        EXPECT_EQ(result, sentinel);
    }
}

auto set(const char* key, QJsonValue value)
{
    return [key, value](QJsonObject& o) { o.insert(QLatin1String(key), value); };
}
auto remove(const char* key) { return [key](QJsonObject& o) { o.remove(QLatin1String(key)); }; }
auto both(std::function<void(QJsonObject&)> a, std::function<void(QJsonObject&)> b)
{
    return [a, b](QJsonObject& o) { a(o); b(o); };
}

INSTANTIATE_TEST_SUITE_P(Table, Motion, testing::Values(
    MotionCase{"defaults", [](QJsonObject&) {}, nullptr},
    MotionCase{"12 keys", remove("invertY"), "Incomplete motion settings"},
    MotionCase{"14 keys", set("speed", 25), "Incomplete motion settings"},
    MotionCase{"empty", [](QJsonObject& o) { o = QJsonObject{}; }, "Incomplete motion settings"},
    MotionCase{"14 keys with a bad value", both(set("speed", 25), set("axis", 9)), "Incomplete motion settings"},
    MotionCase{"unknown key in place of one", both(remove("temporarySpeed"), set("speed", 25)), "Invalid motion setting: speed"},
    MotionCase{"case differs", both(remove("pages"), set("Pages", false)), "Invalid motion setting: Pages"},
    MotionCase{"fractional axis", set("axis", 1.5), "Invalid motion setting: axis"},
    MotionCase{"number for a boolean", set("pages", 1), "Invalid motion setting: pages"},
    MotionCase{"boolean for a number", set("wheelVertical", true), "Invalid motion setting: wheelVertical"},
    MotionCase{"string for a number", set("cursorX", "100"), "Invalid motion setting: cursorX"},
    MotionCase{"null for a boolean", set("invertX", QJsonValue::Null), "Invalid motion setting: invertX"},
    MotionCase{"beyond 32 bits", set("scrollPixels", 4294967336.0), "Invalid motion setting: scrollPixels"},
    MotionCase{"huge number", set("cursorY", 1e300), "Invalid motion setting: cursorY"},
    MotionCase{"first bad key in key order", both(set("axis", 2.5), set("wheelVertical", true)), "Invalid motion setting: axis"},
    MotionCase{"type fault before axis fault", both(set("axis", 7), set("wheelVertical", 1.5)), "Invalid motion setting: wheelVertical"},
    MotionCase{"axis 3", set("axis", 3), "Unknown pointer axis"},
    MotionCase{"axis -1", set("axis", -1), "Unknown pointer axis"},
    MotionCase{"axis fault before limit fault", both(set("axis", 3), set("wheelVertical", 9)), "Unknown pointer axis"},
    MotionCase{"axis 2", set("axis", 2), nullptr},
    MotionCase{"wheelVertical 800", set("wheelVertical", 800), nullptr},
    MotionCase{"wheelVertical 10", set("wheelVertical", 10), nullptr},
    MotionCase{"wheelVertical 801", set("wheelVertical", 801), kLimit},
    MotionCase{"wheelVertical 9", set("wheelVertical", 9), kLimit},
    MotionCase{"wheelHorizontal 801", set("wheelHorizontal", 801), kLimit},
    MotionCase{"cursorX 401", set("cursorX", 401), kLimit},
    MotionCase{"cursorY 9", set("cursorY", 9), kLimit},
    MotionCase{"temporarySpeed 401", set("temporarySpeed", 401), kLimit},
    MotionCase{"temporarySpeed 400", set("temporarySpeed", 400), nullptr},
    MotionCase{"scrollPixels 0", set("scrollPixels", 0), kLimit},
    MotionCase{"scrollPixels 1", set("scrollPixels", 1), nullptr},
    MotionCase{"scrollPixels 500", set("scrollPixels", 500), nullptr},
    MotionCase{"scrollPixels 501", set("scrollPixels", 501), kLimit},
    MotionCase{"pages with horizontal", both(set("pages", true), set("verticalToHorizontal", true)), kLimit},
    MotionCase{"pages alone", set("pages", true), nullptr},
    MotionCase{"horizontal alone", set("verticalToHorizontal", true), nullptr},
    MotionCase{"written as 100.0", set("cursorX", 100.0), nullptr}));

TEST(Motion, DefaultRecordAndFullParse)
{
    const MotionSettings fresh;
    MotionSettings result;
    QString error;
    ASSERT_TRUE(parseMotionSettings(defaults(), result, error));
    EXPECT_EQ(result, fresh);
    EXPECT_EQ(fresh.temporarySpeed, 25);
    EXPECT_EQ(fresh.scrollPixels, 40);

    const QJsonObject settings{{"wheelVertical", 250}, {"wheelHorizontal", 50}, {"invertVertical", true},
                               {"invertHorizontal", false}, {"pages", false}, {"verticalToHorizontal", true},
                               {"cursorX", 400}, {"cursorY", 10}, {"invertX", false}, {"invertY", true},
                               {"axis", 1}, {"temporarySpeed", 60}, {"scrollPixels", 7}};
    ASSERT_TRUE(parseMotionSettings(settings, result, error)) << error.toStdString();
    MotionSettings expected;
    expected.wheelVertical = 250;
    expected.wheelHorizontal = 50;
    expected.invertVertical = true;
    expected.verticalToHorizontal = true;
    expected.cursorX = 400;
    expected.cursorY = 10;
    expected.invertY = true;
    expected.axis = 1;
    expected.temporarySpeed = 60;
    expected.scrollPixels = 7;
    EXPECT_EQ(result, expected);
}

} // namespace
