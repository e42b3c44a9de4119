#include "agent/tray/tray_badge.h"

#include <algorithm>
#include <cmath>

namespace vorna::tray {

void paintBadge(std::uint32_t* pixels, int width, int height, std::uint32_t colour)
{
    const double r = std::min(width, height) * 0.2;
    const double cx = width - r - 0.5;
    const double cy = height - r - 0.5;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double d = std::hypot(x + 0.5 - cx, y + 0.5 - cy);
            if (d > r + 0.5)
                continue;
            const double coverage = r + 0.5 - d;
            const std::uint32_t alpha = coverage > 1.0 ? 255u : static_cast<std::uint32_t>(coverage * 255.0);
            const std::uint32_t rgb = d <= r - 1.0 ? colour : kBadgeOutline;
            const std::uint32_t red = ((rgb >> 16) & 0xFF) * alpha / 255;
            const std::uint32_t green = ((rgb >> 8) & 0xFF) * alpha / 255;
            const std::uint32_t blue = (rgb & 0xFF) * alpha / 255;
            pixels[y * width + x] = (alpha << 24) | (red << 16) | (green << 8) | blue;
        }
    }
}

} // namespace vorna::tray
