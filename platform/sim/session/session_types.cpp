#include "platform/sim/session/session_types.h"

#include <algorithm>
#include <cstdint>

namespace vorna::sim {

RECT ScreenState::virtualScreen() const
{
    if (monitorCount <= 0)
        return {};
    RECT r = monitors[0];
    for (int i = 1; i < monitorCount; ++i) {
        r.left = std::min(r.left, monitors[i].left);
        r.top = std::min(r.top, monitors[i].top);
        r.right = std::max(r.right, monitors[i].right);
        r.bottom = std::max(r.bottom, monitors[i].bottom);
    }
    return r;
}

RECT ScreenState::effectiveClip() const
{
    return clipped ? clip : virtualScreen();
}

int ScreenState::monitorAt(POINT point, bool nearest) const
{
    std::int64_t best = INT64_MAX;
    int bestIndex = -1;
    for (int i = 0; i < monitorCount; ++i) {
        const RECT& m = monitors[i];
        if (point.x >= m.left && point.x < m.right && point.y >= m.top && point.y < m.bottom)
            return i;
        const std::int64_t dx = point.x < m.left ? m.left - point.x : (point.x >= m.right ? point.x - (m.right - 1) : 0);
        const std::int64_t dy = point.y < m.top ? m.top - point.y : (point.y >= m.bottom ? point.y - (m.bottom - 1) : 0);
        const std::int64_t distance = dx * dx + dy * dy;
        if (distance < best) {
            best = distance;
            bestIndex = i;
        }
    }
    return nearest ? bestIndex : -1;
}

HMONITOR monitorHandle(int index)
{
    return reinterpret_cast<HMONITOR>(static_cast<std::uintptr_t>(0x10001 + index));
}

int monitorIndex(HMONITOR monitor)
{
    const auto value = reinterpret_cast<std::uintptr_t>(monitor);
    if (value < 0x10001 || value >= 0x10001 + ScreenState::maxMonitors)
        return -1;
    return static_cast<int>(value - 0x10001);
}

POINT clampToRect(POINT point, const RECT& rect)
{
    if (rect.right <= rect.left || rect.bottom <= rect.top)
        return point;
    return {std::clamp(point.x, rect.left, rect.right - 1), std::clamp(point.y, rect.top, rect.bottom - 1)};
}

} // namespace vorna::sim
