#include "engine/published/held_state.h"

#include "engine/published/owned_counter.h"

namespace vorna::windows {

void HeldStateBlock::beginWrite()
{
    if (m_nesting++ == 0)
        addOwned(m_sequence);
}

void HeldStateBlock::endWrite()
{
    if (m_nesting > 0 && --m_nesting == 0)
        addOwned(m_sequence);
}

void HeldStateBlock::setObservationCounts(std::uint64_t offered, std::uint64_t drops)
{
    m_offered.store(offered, std::memory_order_release);
    m_drops.store(drops, std::memory_order_release);
}

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
