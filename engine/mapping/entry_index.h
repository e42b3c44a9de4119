// Which entries of a 128-entry table (the active mappings, the held inputs) hold which input, so
// that the hook thread finds an entry without a scan: one chain per input index, kept in table
// order so that "the first entry with this input" is the chain's head, and the free entries as
// a bit set, so that "the first free entry" is the lowest set bit. Inputs without an index (wheel
// steps, reserved kinds) are not chained; their callers scan the table. Hook thread only.
#pragma once

#include "engine/mapping/input_index.h"

#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>

namespace vorna::windows {

class EntryIndex {
public:
    static constexpr std::size_t kEntries = 128;
    static constexpr std::size_t kNone = kEntries;

    EntryIndex() { m_free.fill(~std::uint64_t{0}); }

    // The lowest free entry, or kNone.
    std::size_t firstFree() const
    {
        for (std::size_t word = 0; word < m_free.size(); ++word) {
            if (m_free[word] != 0)
                return word * 64 + std::size_t(std::countr_zero(m_free[word]));
        }
        return kNone;
    }

    // The entries chained under an input index, in table order: first, then next until kNone.
    std::size_t first(int inputIndex) const
    {
        return inputIndex < 0 ? kNone : std::size_t(m_first[std::size_t(inputIndex)]);
    }
    std::size_t next(std::size_t entry) const { return m_next[entry]; }

    // Entry `entry` is now free, or taken and chained under `inputIndex` (-1: taken, not chained).
    void update(std::size_t entry, bool taken, int inputIndex)
    {
        const std::uint64_t bit = std::uint64_t{1} << (entry % 64);
        if (taken)
            m_free[entry / 64] &= ~bit;
        else
            m_free[entry / 64] |= bit;
        const int chained = taken ? inputIndex : -1;
        if (m_chainedUnder[entry] == chained)
            return;
        unlink(entry);
        if (chained >= 0)
            link(entry, chained);
    }

    bool operator==(const EntryIndex&) const = default;

private:
    void unlink(std::size_t entry)
    {
        const int chained = m_chainedUnder[entry];
        if (chained < 0)
            return;
        std::uint8_t* at = &m_first[std::size_t(chained)];
        while (*at != entry)
            at = &m_next[*at];
        *at = m_next[entry];
        m_next[entry] = kNone;
        m_chainedUnder[entry] = -1;
    }

    void link(std::size_t entry, int inputIndex)
    {
        std::uint8_t* at = &m_first[std::size_t(inputIndex)];
        while (*at < entry)
            at = &m_next[*at];
        m_next[entry] = *at;
        *at = std::uint8_t(entry);
        m_chainedUnder[entry] = std::int16_t(inputIndex);
    }

    static constexpr std::uint8_t kEnd = std::uint8_t(kNone);
    static std::array<std::uint8_t, kInputIndexCount> emptyHeads()
    {
        std::array<std::uint8_t, kInputIndexCount> heads;
        heads.fill(kEnd);
        return heads;
    }
    static std::array<std::uint8_t, kEntries> emptyLinks()
    {
        std::array<std::uint8_t, kEntries> links;
        links.fill(kEnd);
        return links;
    }
    static std::array<std::int16_t, kEntries> unchained()
    {
        std::array<std::int16_t, kEntries> inputs;
        inputs.fill(-1);
        return inputs;
    }

    std::array<std::uint64_t, kEntries / 64> m_free{};
    std::array<std::uint8_t, kInputIndexCount> m_first = emptyHeads(); // entry, kNone for none
    std::array<std::uint8_t, kEntries> m_next = emptyLinks();
    std::array<std::int16_t, kEntries> m_chainedUnder = unchained();   // input index, -1 none
};

} // namespace vorna::windows
