// A bounded ring of observation records between the hook thread (the only writer) and the
// agent's main thread (the only reader). Indices are atomics with acquire/release order, so a
// record is complete before the reader can see it and is not overwritten before it was read.
#pragma once

#include "engine/published/observation_record.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace vorna::windows {

inline constexpr std::size_t kObservationRingSize = 512; // holds at most 511 records

class ObservationRing {
public:
    // Hook thread. Gives the record the next sequence number; false when the ring is closed, or
    // full (then the drop counter grows and the sequence number stays used).
    bool push(ObservationRecord record);

    // Main thread. Appends every unread record when the ring is open; always marks all read.
    void drain(std::vector<ObservationRecord>& out);
    // Main thread: forget the unread records.
    void discard();

    void setOpen(bool open) { m_open.store(open, std::memory_order_release); }
    bool isOpen() const { return m_open.load(std::memory_order_acquire); }
    std::uint64_t sequence() const { return m_sequence.load(std::memory_order_acquire); }
    std::uint64_t drops() const { return m_drops.load(std::memory_order_acquire); }

private:
    std::array<ObservationRecord, kObservationRingSize> m_records{};
    std::atomic<std::uint32_t> m_read{0};
    std::atomic<std::uint32_t> m_write{0};
    std::atomic<std::uint64_t> m_sequence{0};
    std::atomic<std::uint64_t> m_drops{0};
    std::atomic<bool> m_open{false};
};

} // namespace vorna::windows
