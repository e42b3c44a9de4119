// The held-key block: what the user holds physically and what the engine's output holds down,
// per input, published by the hook thread to the agent's main thread (the safe-state snapshot)
// under a sequence counter that is odd while a change is in progress.
#pragma once

#include "engine/mapping/input_index.h"
#include "engine/published/owned_counter.h"

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

namespace vorna::windows {

// A consistent copy of the block.
struct HeldStateSnapshot {
    std::array<std::uint8_t, kInputIndexCount> physical{}; // 1 down, 0 up, 2 held when the thread began
    std::array<std::uint8_t, kInputIndexCount> output{};   // 1 while the engine's output holds it
    std::uint64_t observationsOffered = 0;
    std::uint64_t observationDrops = 0;
    bool valid = false;
};

class HeldStateBlock {
public:
    // Hook thread. Writes nest: only the outermost begin and end move the counter. Inline: the
    // hook path opens a write for every event and every batch it sends.
    void beginWrite()
    {
        if (m_nesting++ == 0)
            addOwned(m_sequence);
    }
    void endWrite()
    {
        if (m_nesting > 0 && --m_nesting == 0)
            addOwned(m_sequence);
    }

    void setPhysical(int index, std::uint8_t state) { store(m_physical, index, state); }
    void setOutput(int index, std::uint8_t state) { store(m_output, index, state); }
    void setObservationCounts(std::uint64_t offered, std::uint64_t drops)
    {
        m_offered.store(offered, std::memory_order_release);
        m_drops.store(drops, std::memory_order_release);
    }
    std::uint8_t physical(int index) const { return load(m_physical, index); }
    std::uint8_t output(int index) const { return load(m_output, index); }

    // Any thread. One attempt: false (and `copy` invalid) when a write was in progress or
    // happened meanwhile.
    bool tryRead(HeldStateSnapshot& copy) const;

    std::uint64_t sequence() const { return m_sequence.load(std::memory_order_acquire); }

private:
    using Table = std::array<std::atomic<std::uint8_t>, kInputIndexCount>;
    static void store(Table& table, int index, std::uint8_t state)
    {
        if (index >= 0 && std::size_t(index) < kInputIndexCount)
            table[std::size_t(index)].store(state, std::memory_order_release);
    }
    static std::uint8_t load(const Table& table, int index)
    {
        return index >= 0 && std::size_t(index) < kInputIndexCount
                   ? table[std::size_t(index)].load(std::memory_order_acquire)
                   : 0;
    }

    std::atomic<std::uint64_t> m_sequence{0};
    int m_nesting = 0; // hook thread only
    Table m_physical{};
    Table m_output{};
    std::atomic<std::uint64_t> m_offered{0};
    std::atomic<std::uint64_t> m_drops{0};
};

// Begins a held-key block write for its scope.
class HeldStateWrite {
public:
    explicit HeldStateWrite(HeldStateBlock& block) : m_block(block) { m_block.beginWrite(); }
    ~HeldStateWrite() { m_block.endWrite(); }
    HeldStateWrite(const HeldStateWrite&) = delete;
    HeldStateWrite& operator=(const HeldStateWrite&) = delete;

private:
    HeldStateBlock& m_block;
};

} // namespace vorna::windows
