#include "engine/mapping/cursor_math.h"

#include <algorithm>

namespace vorna::windows {

int64_t clampMotionAmount(int64_t value)
{
    return std::clamp<int64_t>(value, -kMaxMotionAmount, kMaxMotionAmount);
}

int32_t clampMotionDelta(int64_t value)
{
    return int32_t(std::clamp<int64_t>(value, -kMaxMotionDelta, kMaxMotionDelta));
}

int64_t scaleCursorAxis(int32_t percent, int32_t speed, bool invert, int32_t delta, int64_t& remainder)
{
    int64_t scaled = int64_t(percent) * delta * speed;
    if (invert)
        scaled = -scaled;
    const int64_t total = scaled + remainder;
    remainder = total % 10'000;
    return clampMotionAmount(total / 10'000);
}

int64_t scrollUnits(int32_t pixels, int32_t scrollPixels, int64_t& remainder)
{
    if (scrollPixels <= 0)
        return 0;
    const int64_t total = int64_t(pixels) * 120 + remainder;
    remainder = total % scrollPixels;
    return clampMotionAmount(total / scrollPixels);
}

PixelRect intersectRects(const PixelRect& a, const PixelRect& b)
{
    return PixelRect{std::max(a.left, b.left), std::max(a.top, b.top), std::min(a.right, b.right),
                     std::min(a.bottom, b.bottom)};
}

uint8_t clampIntoRect(int32_t& x, int32_t& y, const PixelRect& rect)
{
    const int32_t cx = std::clamp(x, rect.left, rect.right - 1);
    const int32_t cy = std::clamp(y, rect.top, rect.bottom - 1);
    const uint8_t changed = uint8_t((cx != x ? 1 : 0) | (cy != y ? 2 : 0));
    x = cx;
    y = cy;
    return changed;
}

int32_t absoluteCoordinate(int32_t pixel, int32_t origin, int32_t extent)
{
    // Windows maps a value back to origin + value x extent / 65,536, rounded down. The pixel's
    // centre lands on its pixel only while one step of the value spans at most half a pixel
    // (extent up to 32,768); on wider screens the centre can round down into the pixel before,
    // so the value is raised to the first one that reaches the pixel.
    const int64_t offset = int64_t(pixel) - origin;
    const int64_t centre = (offset * 65'536 + 32'768) / extent;
    const int64_t first = (offset * 65'536 + extent - 1) / extent;
    return int32_t(std::max(centre, first));
}

} // namespace vorna::windows
