#include "engine/mapping/wheel_math.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace vorna::windows;
namespace core = vorna::core;

TEST(WheelNotches, WholeNotchesTowardZeroWithRestCarried)
{
    struct Case {
        std::vector<int32_t> deltas;
        std::vector<int32_t> notches;
        int32_t rest;
    };
    const Case cases[] = {
        {{120}, {1}, 0},
        {{-120}, {-1}, 0},
        {{40, 40, 40, 40}, {0, 0, 1, 0}, 40}, // a high-resolution wheel fires on every third event
        {{-40, -40, -40}, {0, 0, -1}, 0},
        {{100, -30}, {0, 0}, 70},
        {{600}, {5}, 0},
        {{4000}, {33}, 40}, // the caller refuses more than 32 at once
    };
    for (const Case& c : cases) {
        int32_t acc = 0;
        for (size_t i = 0; i < c.deltas.size(); ++i)
            EXPECT_EQ(takeNotches(acc, c.deltas[i]), c.notches[i]) << "step " << i;
        EXPECT_EQ(acc, c.rest);
    }
}

struct ConvertCase {
    const char* name;
    core::MotionSettings settings;
    bool horizontalInput;
    std::vector<int32_t> deltas;
    bool convert;
    bool horizontal;
    bool pages;
    std::vector<int64_t> amounts;
};

class WheelConvertTable : public testing::TestWithParam<ConvertCase> {};

TEST_P(WheelConvertTable, ScalesWithCarriedRemainders)
{
    const ConvertCase& c = GetParam();
    WheelRemainders rem;
    for (size_t i = 0; i < c.deltas.size(); ++i) {
        const WheelConversion r = convertWheel(c.settings, c.horizontalInput, c.deltas[i], false, rem);
        EXPECT_EQ(r.convert, c.convert) << i;
        if (!c.convert)
            continue;
        EXPECT_EQ(r.horizontal, c.horizontal) << i;
        EXPECT_EQ(r.pages, c.pages) << i;
        EXPECT_EQ(r.amount, c.amounts[i]) << i;
    }
}

core::MotionSettings with(void (*edit)(core::MotionSettings&))
{
    core::MotionSettings s;
    edit(s);
    return s;
}

INSTANTIATE_TEST_SUITE_P(Settings, WheelConvertTable, testing::Values(
    ConvertCase{"neutral vertical passes", {}, false, {120}, false, false, false, {}},
    ConvertCase{"neutral horizontal passes", {}, true, {-120}, false, false, false, {}},
    ConvertCase{"half speed", with([](core::MotionSettings& s) { s.wheelVertical = 50; }), false, {120, -120}, true, false, false, {60, -60}},
    ConvertCase{"inverted at 100", with([](core::MotionSettings& s) { s.invertVertical = true; }), false, {120}, true, false, false, {-120}},
    ConvertCase{"small steps keep hundredths", with([](core::MotionSettings& s) { s.wheelVertical = 10; }), false, {1, 1, 1, 1, 1, 1, 1, 1, 1, 1}, true, false, false, {0, 0, 0, 0, 0, 0, 0, 0, 0, 1}},
    ConvertCase{"negative remainder toward zero", with([](core::MotionSettings& s) { s.wheelVertical = 15; }), false, {-10, -10}, true, false, false, {-1, -2}},
    ConvertCase{"vertical to horizontal", with([](core::MotionSettings& s) { s.verticalToHorizontal = true; }), false, {120}, true, true, false, {120}},
    ConvertCase{"horizontal scaled and inverted", with([](core::MotionSettings& s) { s.wheelHorizontal = 200; s.invertHorizontal = true; }), true, {120}, true, true, false, {-240}},
    ConvertCase{"pages: one notch up", with([](core::MotionSettings& s) { s.pages = true; }), false, {120}, true, false, true, {1}},
    ConvertCase{"pages: partial notches add up", with([](core::MotionSettings& s) { s.pages = true; }), false, {40, 40, 40, -120}, true, false, true, {0, 0, 1, -1}},
    ConvertCase{"pages with half speed", with([](core::MotionSettings& s) { s.pages = true; s.wheelVertical = 50; }), false, {120, 120}, true, false, true, {0, 1}}),
    [](const testing::TestParamInfo<ConvertCase>& i) {
        std::string n = i.param.name;
        for (char& ch : n)
            if (!isalnum(static_cast<unsigned char>(ch)))
                ch = '_';
        return n;
    });

TEST(WheelConvert, AlwaysConvertsNeutralForScrollMode)
{
    WheelRemainders rem;
    const WheelConversion r = convertWheel(core::MotionSettings{}, false, 45, true, rem);
    EXPECT_TRUE(r.convert);
    EXPECT_FALSE(r.horizontal);
    EXPECT_EQ(r.amount, 45);
}

TEST(WheelSplit, DirectionAndChunks)
{
    struct Case {
        bool horizontal;
        int64_t amount;
        bool ok;
        uint8_t direction;
        std::vector<uint32_t> amounts;
    };
    const Case cases[] = {
        {false, 120, true, WheelUp, {120}},
        {false, -60, true, WheelDown, {60}},
        {true, 120, true, WheelRight, {120}},
        {true, -120, true, WheelLeft, {120}},
        {false, 32761, true, WheelUp, {32760, 1}},
        {false, -65520, true, WheelDown, {32760, 32760}},
        {false, 32760ll * 32, true, WheelUp, std::vector<uint32_t>(32, 32760)},
        {false, 32760ll * 32 + 1, false, WheelUp, {}},
        {true, -(32760ll * 32 + 1), false, WheelLeft, {}},
    };
    for (const Case& c : cases) {
        WheelEvents ev;
        EXPECT_EQ(splitWheelAmount(c.horizontal, c.amount, ev), c.ok) << c.amount;
        EXPECT_EQ(ev.direction, c.direction) << c.amount;
        if (!c.ok)
            continue;
        ASSERT_EQ(ev.count, c.amounts.size()) << c.amount;
        for (size_t i = 0; i < c.amounts.size(); ++i)
            EXPECT_EQ(ev.amounts[i], c.amounts[i]);
    }
}

} // namespace
