// What GDI objects of this process hold, for the stand-ins that hand icons to the session.
#pragma once

#include "platform/sim/win32/win32_api.h"

#include <cstdint>
#include <vector>

namespace vorna::sim {

// An icon's size and premultiplied 0xAARRGGBB pixels, top row first; false for no icon.
bool readIcon(HICON icon, LONG& width, LONG& height, std::vector<std::uint32_t>& pixels);

} // namespace vorna::sim
