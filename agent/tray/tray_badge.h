// The coloured disc in the lower right corner of the tray's state icons, drawn over the
// program's icon into a 32-bit premultiplied pixel buffer.
#pragma once

#include <cstdint>

namespace vorna::tray {

// 0xRRGGBB by icon index: 0 off, 1 active, 2 attention.
inline constexpr std::uint32_t kBadgeColours[3] = {0xB7BBC2, 0x22A38A, 0xE98E80};
inline constexpr std::uint32_t kBadgeOutline = 0x111315;

// Replaces the pixels under the badge (radius a fifth of the smaller side, a 1.5-pixel
// outline, anti-aliased edge) with premultiplied 0xAARRGGBB values; pixels top row first.
void paintBadge(std::uint32_t* pixels, int width, int height, std::uint32_t colour);

} // namespace vorna::tray
