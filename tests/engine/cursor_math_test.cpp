#include "engine/mapping/cursor_math.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using namespace vorna::windows;

TEST(CursorScale, StepsWithCarriedTenThousandths)
{
    struct Case {
        const char* name;
        int32_t percent;
        int32_t speed;
        bool invert;
        std::vector<int32_t> deltas;
        std::vector<int64_t> steps;
    };
    const Case cases[] = {
        {"neutral", 100, 100, false, {1, -3}, {1, -3}},
        {"half: every second event", 50, 100, false, {1, 1, 1, 1}, {0, 1, 0, 1}},
        {"inverted", 100, 100, true, {5}, {-5}},
        {"temporary speed 25", 100, 25, false, {1, 1, 1, 1}, {0, 0, 0, 1}},
        {"double speed", 200, 100, false, {3}, {6}},
        {"negative carries toward zero", 50, 100, false, {-1, -1}, {0, -1}},
        {"fast and large", 400, 400, false, {32767}, {524272}},
    };
    for (const Case& c : cases) {
        int64_t rem = 0;
        for (size_t i = 0; i < c.deltas.size(); ++i)
            EXPECT_EQ(scaleCursorAxis(c.percent, c.speed, c.invert, c.deltas[i], rem), c.steps[i]) << c.name << " " << i;
    }
}

TEST(ScrollUnits, PixelsBecomeWheelUnits)
{
    int64_t rem = 0;
    EXPECT_EQ(scrollUnits(40, 40, rem), 120); // 40 pixels at 40 per step: one notch
    EXPECT_EQ(rem, 0);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(scrollUnits(1, 500, rem), 0); // slow motion is carried, not lost
    EXPECT_EQ(scrollUnits(1, 500, rem), 1);     // 5 x 120 = 600 -> 1, rest 100
    EXPECT_EQ(rem, 100);
    int64_t neg = 0;
    EXPECT_EQ(scrollUnits(-20, 40, neg), -60);
    int64_t big = 0;
    EXPECT_EQ(scrollUnits(32767, 1, big), 1'000'000);
}

TEST(MotionClamp, DeltaAndAmountLimits)
{
    EXPECT_EQ(clampMotionDelta(40'000), 32'767);
    EXPECT_EQ(clampMotionDelta(-40'000), -32'767);
    EXPECT_EQ(clampMotionDelta(-5), -5);
    EXPECT_EQ(clampMotionAmount(-2'000'000), -1'000'000);
}

TEST(RectClamp, IntoRectRightAndBottomExclusive)
{
    const PixelRect clip{-1920, 0, 100, 50};
    struct Case {
        int32_t x, y, ex, ey;
        uint8_t changed;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0},       {100, 10, 99, 10, 1},   {-2000, 49, -1920, 49, 1},
        {5, 50, 5, 49, 2},     {500, -7, 99, 0, 3},    {-1920, 0, -1920, 0, 0},
    };
    for (const Case& c : cases) {
        int32_t x = c.x, y = c.y;
        EXPECT_EQ(clampIntoRect(x, y, clip), c.changed);
        EXPECT_EQ(x, c.ex);
        EXPECT_EQ(y, c.ey);
    }
    EXPECT_TRUE(intersectRects({0, 0, 10, 10}, {10, 0, 20, 10}).empty());
    const PixelRect both = intersectRects({-1920, 0, 0, 1080}, {-100, 20, 300, 40});
    EXPECT_EQ(both.left, -100);
    EXPECT_EQ(both.top, 20);
    EXPECT_EQ(both.right, 0);
    EXPECT_EQ(both.bottom, 40);
}

TEST(AbsoluteCoordinate, PixelCentresOverTheVirtualScreen)
{
    EXPECT_EQ(absoluteCoordinate(0, 0, 1920), 17);          // (0 + 32768) / 1920
    EXPECT_EQ(absoluteCoordinate(1919, 0, 1920), 65518);
    EXPECT_EQ(absoluteCoordinate(-1920, -1920, 3840), 8);
    EXPECT_EQ(absoluteCoordinate(0, -1920, 3840), 32776);
    EXPECT_EQ(absoluteCoordinate(0, 0, 1), 32768);
}

// Windows turns the value back into origin + value x extent / 65,536 rounded down; every pixel
// of every screen width the engine accepts must come back as itself.
TEST(AbsoluteCoordinate, EveryPixelComesBackOnScreensUpTo65536Wide)
{
    struct Case {
        int32_t origin;
        int32_t extent;
    } cases[] = {{0, 1}, {-1920, 4480}, {0, 32'768}, {-7, 32'769}, {-15'000, 40'000}, {0, 65'535}, {-32'768, 65'536}};
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "origin " << c.origin << " extent " << c.extent);
        for (int32_t pixel = c.origin; pixel < c.origin + c.extent; ++pixel) {
            const int32_t value = absoluteCoordinate(pixel, c.origin, c.extent);
            ASSERT_GE(value, 0) << pixel;
            ASSERT_LE(value, 65'535) << pixel;
            ASSERT_EQ(c.origin + int64_t(value) * c.extent / 65'536, pixel) << "value " << value;
        }
    }
    // Where the centre is exact it is what is sent; past 32,768 pixels it may give way.
    EXPECT_EQ(absoluteCoordinate(1, 0, 65'535), 2);   // the centre, 1, would land on pixel 0
    EXPECT_EQ(absoluteCoordinate(100, 0, 40'000), 164); // the centre
}

} // namespace
