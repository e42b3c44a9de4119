#include "engine/published/observation_ring.h"

#include "engine/published/owned_counter.h"

namespace vorna::windows {

namespace {

constexpr std::uint32_t next(std::uint32_t index)
{
    return (index + 1) % kObservationRingSize;
}

} // namespace

bool ObservationRing::push(ObservationRecord record)
{
    if (!isOpen())
        return false;
    record.sequence = addOwned(m_sequence);
    const std::uint32_t write = m_write.load(std::memory_order_relaxed);
    if (next(write) == m_read.load(std::memory_order_acquire)) {
        addOwned(m_drops);
        return false;
    }
    m_records[write] = record;
    m_write.store(next(write), std::memory_order_release);
    return true;
}

void ObservationRing::drain(std::vector<ObservationRecord>& out)
{
    std::uint32_t read = m_read.load(std::memory_order_relaxed);
    const std::uint32_t write = m_write.load(std::memory_order_acquire);
    if (isOpen()) {
        for (; read != write; read = next(read))
            out.push_back(m_records[read]);
    }
    m_read.store(write, std::memory_order_release);
}

void ObservationRing::discard()
{
    m_read.store(m_write.load(std::memory_order_acquire), std::memory_order_release);
}

} // namespace vorna::windows
