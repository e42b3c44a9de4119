// Cursor arithmetic of the hook thread: speed and inversion per axis with carried
// ten-thousandths, motion turned into wheel units for the scroll mode, and the pixel geometry
// of absolute moves (clamping into rectangles, normalised 0..65,535 coordinates).
#pragma once

#include <cstdint>

namespace vorna::windows {

constexpr int64_t kMaxMotionAmount = 1'000'000;
constexpr int32_t kMaxMotionDelta = 32'767;

int64_t clampMotionAmount(int64_t value);
int32_t clampMotionDelta(int64_t value);

// One axis of a cursor move: percent x delta x speed (both percentages, so 10,000 is one
// pixel), negated when inverted, plus the carried remainder. Returns the whole-pixel step
// (limited to +/-1,000,000); the remainder keeps the rest.
int64_t scaleCursorAxis(int32_t percent, int32_t speed, bool invert, int32_t delta, int64_t& remainder);

// Scroll mode: `pixels` of motion (already signed for the wheel direction) become
// pixels x 120 / scrollPixels wheel units, remainder carried, limited to +/-1,000,000.
int64_t scrollUnits(int32_t pixels, int32_t scrollPixels, int64_t& remainder);

// A pixel rectangle, right and bottom exclusive.
struct PixelRect {
    int32_t left = 0;
    int32_t top = 0;
    int32_t right = 0;
    int32_t bottom = 0;
    bool empty() const { return right <= left || bottom <= top; }
};

PixelRect intersectRects(const PixelRect& a, const PixelRect& b);

// Moves a point into a non-empty rectangle; returns which coordinates changed (bit 0 x, bit 1 y).
uint8_t clampIntoRect(int32_t& x, int32_t& y, const PixelRect& rect);

// A pixel coordinate as an absolute SendInput coordinate over the virtual screen.
int32_t absoluteCoordinate(int32_t pixel, int32_t origin, int32_t extent);

} // namespace vorna::windows
