// The badge over a 16 x 16 icon: exact premultiplied pixels at its centre, on its outline and on
// its anti-aliased edge, and the pixels it must leave alone.
#include "agent/tray/tray_badge.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace {

struct BadgePixel {
    int x;
    int y;
    std::uint32_t expected;
};

TEST(TrayBadge, PaintsPremultipliedPixelsOfTheActiveColourAndItsOutline)
{
    constexpr std::uint32_t untouched = 0x12345678;
    std::vector<std::uint32_t> pixels(16 * 16, untouched);
    vorna::tray::paintBadge(pixels.data(), 16, 16, vorna::tray::kBadgeColours[1]);
    const BadgePixel table[] = {
        {12, 12, 0xFF22A38A}, // inside: the badge colour, opaque
        {10, 10, 0xFF111315}, // on the outline, fully covered
        {15, 12, 0x7D08090A}, // edge: alpha 125, each channel times 125 / 255, rounded down
        {9, 12, 0xE30F1012},  // edge: alpha 227
        {8, 12, untouched},   // outside the disc
        {15, 15, untouched},  // the corner lies outside the disc too
        {0, 0, untouched},
    };
    for (const BadgePixel& p : table)
        EXPECT_EQ(pixels[p.y * 16 + p.x], p.expected) << "pixel " << p.x << "," << p.y;
}

TEST(TrayBadge, ScalesWithTheIconAndKeepsItsColourPerState)
{
    std::vector<std::uint32_t> pixels(32 * 32, 0);
    vorna::tray::paintBadge(pixels.data(), 32, 32, vorna::tray::kBadgeColours[2]);
    // r = 6.4, centre 25.1: pixel 25,25 is the centre.
    EXPECT_EQ(pixels[25 * 32 + 25], 0xFFE98E80u);
    EXPECT_EQ(pixels[16 * 32 + 16], 0u);
}

} // namespace
