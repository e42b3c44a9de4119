#include "engine/published/held_state.h"

namespace vorna::windows {

bool HeldStateBlock::tryRead(HeldStateSnapshot& copy) const
{
    copy.valid = false;
    const std::uint64_t before = m_sequence.load(std::memory_order_acquire);
    if (before & 1)
        return false;
    for (std::size_t i = 0; i < kInputIndexCount; ++i) {
        copy.physical[i] = m_physical[i].load(std::memory_order_acquire);
        copy.output[i] = m_output[i].load(std::memory_order_acquire);
    }
    copy.observationsOffered = m_offered.load(std::memory_order_acquire);
    copy.observationDrops = m_drops.load(std::memory_order_acquire);
    // Every value above was read with acquire: had one been written after the counter turned
    // odd, the counter read below would show that change.
    if (m_sequence.load(std::memory_order_relaxed) != before)
        return false;
    copy.valid = true;
    return true;
}

} // namespace vorna::windows
