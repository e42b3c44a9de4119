// The active-mapping table: which sources are down, what each of them holds pressed, and which
// keys the engine itself pressed for an owner (the macro player). Outputs shared by several
// mappings are reference-counted, so a key goes down with its first holder and up with its last,
// and a key the user holds physically (a pass-through source) is never pressed or released
// for them. Hook thread only; fixed tables, no allocation.
#pragma once

#include "core/input_id.h"
#include "core/rules_snapshot.h"
#include "engine/mapping/entry_index.h"
#include "engine/mapping/output_batch.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::core {

inline constexpr std::size_t kMaxActiveMappings = 128;
inline constexpr std::size_t kMaxHeldInputs = 128;
inline constexpr std::size_t kMaxExtraOutputs = 3;
inline constexpr std::uint32_t kDefaultLayerTimerMs = 1000;

// One source that is down, or one key an owner pressed. A free entry is all zero but the timer.
struct ActiveMapping {
    std::uint8_t occupied = 0;
    std::uint64_t owner = 0;       // the event's device, or an owner token above 999
    InputId source = 0;
    std::uint8_t suppress = 0;     // 0: the source passes through (a pass-through source)
    std::uint8_t outputsDown = 0;  // the outputs below are held down
    InputId output = 0;
    std::uint32_t ruleId = 0;
    std::array<InputId, kMaxExtraOutputs> extraOutputs{};
    std::uint16_t extraCount = 0;
    std::uint16_t macroSlot = 0;
    std::uint16_t actionSlot = 0;
    std::uint8_t layerOp = 0;
    std::uint8_t layerIndex = 0;
    std::uint32_t layerTimerMs = kDefaultLayerTimerMs;
    std::uint8_t toggle = 0;
    std::uint8_t latched = 0;      // a toggle that stays on after its source was released
    std::uint8_t pointerMode = 0;
};

// Entries are cleared by copying this one: a temporary built in place and copied over is read
// back across the stores that built it, which stalls the hook path.
inline constexpr ActiveMapping kFreeMapping{};

// A physical press remembered for chord matching; free while device is 0.
struct HeldInput {
    std::uint64_t device = 0;
    std::uint64_t pressTime = 0; // ns
    InputId input = 0;
};

// One rule list made ready for the engine's lookup: its rules chained by source, each chain in
// match order. Built once per list, off the hook path (a configuration's layers when it is
// taken over), so that a layer switch only points the engine at another list.
class SourceChains {
public:
    void build(const RulesSnapshot& rules);
    // The rules of one source in match order, as indexes into the list: from first(source),
    // then next(rule), until the list's rule count.
    std::uint64_t first(InputId source) const
    {
        const int index = windows::inputIndex(source);
        if (index < 0)
            return firstWithoutIndex(source);
        return m_first[std::size_t(index)] == 0 ? m_count : m_first[std::size_t(index)] - 1u;
    }
    std::uint64_t next(std::uint64_t rule) const { return m_next[rule] == 0 ? m_count : m_next[rule] - 1u; }

    bool operator==(const SourceChains&) const = default;

private:
    // Chains start per input index (keys, buttons, scan-code keys), then per wheel direction;
    // rules of other sources are linked to the next rule of their source all the same.
    static constexpr std::size_t kChainHeads = 1024 + 4;
    static int chainOf(InputId source);
    std::uint64_t firstWithoutIndex(InputId source) const;

    std::uint64_t m_count = 0;
    // Rule index + 1 (0 ends a chain): the first rule of each chain, and for every rule the
    // next one of its source. The first rule of a source without a chain is found in m_sources.
    std::array<std::uint16_t, kChainHeads> m_first{};
    std::array<std::uint16_t, kMaxRules> m_next{};
    std::array<InputId, kMaxRules> m_sources{};
};

// The operations that emit append to a caller's batch (amount 120 each), so that a macro step
// or an evaluation collects everything it sends in one batch without copies.
//
// Every change to an entry of `active` is followed by refresh(entry), and every change to an
// entry of `held` goes through setHeld: the engine keeps a compact copy of what its scans
// compare (owners, sources, held outputs) and indexes of both tables by input, so that finding
// an entry or a free one takes no scan of the tables.
struct MappingEngine {
    MappingEngine() = default;
    MappingEngine(const MappingEngine&) = delete; // it points into itself
    MappingEngine& operator=(const MappingEngine&) = delete;

    // The list copySnapshot copies in. While the engine runs a list handed in by useRules
    // (a layer of the applied program), that list is in force instead: see currentRules().
    RulesSnapshot rules;
    std::array<ActiveMapping, kMaxActiveMappings> active{};
    std::array<HeldInput, kMaxHeldInputs> held{};
    std::uint8_t released = 0; // presses are recorded, no rule applies, until resume
    std::uint8_t overflow = 0; // a press found no free entry; only a full reset clears it

    // Copies a list into `rules`, chains it by source and puts it in force.
    void copySnapshot(const RulesSnapshot& snapshot);
    // Puts a list in force without copying it: `chains` must be built from `snapshot`, and
    // both must stay in place and unchanged while they are in force.
    void useRules(const RulesSnapshot& snapshot, const SourceChains& chains);
    // The rules in force.
    const RulesSnapshot& currentRules() const { return *m_currentRules; }
    // The rules in force of one source, in match order (see SourceChains).
    const SourceChains& currentChains() const { return *m_currentChains; }

    // Remembered presses: the first entry in table order that holds `input` (any device), the
    // entry of one device and input, and the first free entry; none when there is none.
    const HeldInput* firstHeld(InputId input) const;
    HeldInput* findHeld(std::uint64_t device, InputId input);
    HeldInput* firstFreeHeld();
    // The only way an entry of `held` changes.
    void setHeld(HeldInput& entry, const HeldInput& value);

    // Output places (primary or extra) equal to `id` over entries whose outputs are down.
    int holdersOfOutput(InputId id) const
    {
        const int index = windows::inputIndex(id);
        return index >= 0 ? m_holdCounts[std::size_t(index)] : scanHolders(id);
    }
    // Pass-through sources: entries with suppress 0, not latched toggles, whose source is `id`.
    int countBySource(InputId id) const
    {
        const int index = windows::inputIndex(id);
        return index >= 0 ? m_passCounts[std::size_t(index)] : scanPassSources(id);
    }

    // Clears outputsDown and appends the ups of the outputs nobody else keeps down, last first.
    void releaseOutputs(ActiveMapping& entry, OutputBatch& batch);
    // The same, only when the entry's outputs are down.
    void releaseOutputsGuarded(ActiveMapping& entry, OutputBatch& batch);

    // Presses and releases made inside the engine under an owner token above 999.
    void press(std::uint64_t owner, InputId input, OutputBatch& batch);
    void release(std::uint64_t owner, InputId input, OutputBatch& batch);
    void releaseOwner(std::uint64_t owner, OutputBatch& batch);

    // Sets `released` and releases every output; latched toggles are cleared, other entries stay
    // so that their physical release is still recognised.
    void releaseAll(OutputBatch& batch);
    // Forgets every source that is down and every remembered press, for a hook thread that reads
    // them again from the system; what they held must have been released already.
    void forgetInputs();
    // Releases every toggle mapping (latched ones are cleared).
    void releaseHeld(OutputBatch& batch);
    // False while `overflow` is set; otherwise leaves the released state.
    bool resume();

    // Whether `id` should be pressed (or released) for a mapping: nobody else holds it as an
    // output and the user does not hold it physically.
    bool outputIsFree(InputId id) const
    {
        bool free = true;
        findFreeOutputs(&id, 1, &free);
        return free;
    }
    // outputIsFree for up to 4 ids at once (a chord's keys).
    void findFreeOutputs(const InputId* ids, int count, bool* free) const;

    ActiveMapping* findEntry(std::uint64_t owner, InputId source);
    ActiveMapping* firstFreeEntry();

    void refresh(const ActiveMapping& entry);
    void clearEntry(ActiveMapping& entry)
    {
        entry = kFreeMapping;
        refresh(entry);
    }
    // Whether the compact copies and indexes agree with the tables and the rules in force.
    bool indexMatchesTable() const;

private:
    static constexpr std::size_t kOutputsPerEntry = 1 + kMaxExtraOutputs;
    static constexpr std::size_t kCountedInputs = 1024; // keys, buttons and scan-code keys by index
    void count(InputId id, int delta, std::array<std::uint16_t, kCountedInputs>& counts);
    // The two counts above for inputs without an index, by a scan of the compact copies.
    int scanHolders(InputId id) const;
    int scanPassSources(InputId id) const;
    // The lookups below for inputs without an index, by a scan of the tables.
    const HeldInput* scanFirstHeld(InputId input) const;
    HeldInput* scanHeld(std::uint64_t device, InputId input);
    ActiveMapping* scanEntry(std::uint64_t owner, InputId source);

    // By entry: owner (0 while free), source, source while it passes through (else 0), and the
    // outputs while they are down (else 0). 0 is never a valid input id.
    std::array<std::uint64_t, kMaxActiveMappings> m_owners{};
    std::array<InputId, kMaxActiveMappings> m_sources{};
    std::array<InputId, kMaxActiveMappings> m_passSources{};
    std::array<InputId, kMaxActiveMappings * kOutputsPerEntry> m_heldOutputs{};
    // The same as counts per input index, for the inputs that have one.
    std::array<std::uint16_t, kCountedInputs> m_passCounts{};
    std::array<std::uint16_t, kCountedInputs> m_holdCounts{};
    // The entries of `active` by source (taken while they have an owner) and of `held` by input
    // (taken while they have a device).
    windows::EntryIndex m_activeBySource;
    windows::EntryIndex m_heldByInput;
    // The rules in force: `rules` with its own chains, or a list handed in by useRules.
    SourceChains m_ownChains;
    const RulesSnapshot* m_currentRules = &rules;
    const SourceChains* m_currentChains = &m_ownChains;
};

// The bookkeeping and lookups of the hook path, inline: each event runs several of them.

inline void MappingEngine::count(InputId id, int delta, std::array<std::uint16_t, kCountedInputs>& counts)
{
    const int index = windows::inputIndex(id);
    if (id != 0 && index >= 0)
        counts[std::size_t(index)] = std::uint16_t(counts[std::size_t(index)] + delta);
}

inline void MappingEngine::refresh(const ActiveMapping& entry)
{
    const std::size_t i = std::size_t(&entry - active.data());
    const bool down = entry.occupied && entry.outputsDown;
    InputId outputs[kOutputsPerEntry] = {down ? entry.output : 0};
    for (std::size_t k = 0; k < kMaxExtraOutputs; ++k)
        outputs[1 + k] = down && k < entry.extraCount ? entry.extraOutputs[k] : 0;
    // A pass-through source: not suppressed, and not a latched toggle.
    const bool passes = entry.occupied && !entry.suppress && !(entry.toggle && entry.latched);
    const InputId passSource = passes ? entry.source : 0;

    if (m_passSources[i] != passSource) {
        count(m_passSources[i], -1, m_passCounts);
        count(passSource, 1, m_passCounts);
        m_passSources[i] = passSource;
    }
    for (std::size_t k = 0; k < kOutputsPerEntry; ++k) {
        InputId& slot = m_heldOutputs[i * kOutputsPerEntry + k];
        if (slot == outputs[k])
            continue;
        count(slot, -1, m_holdCounts);
        count(outputs[k], 1, m_holdCounts);
        slot = outputs[k];
    }
    const std::uint64_t owner = entry.occupied ? entry.owner : 0;
    const InputId source = entry.occupied ? entry.source : 0;
    if (m_owners[i] != owner || m_sources[i] != source) {
        m_owners[i] = owner;
        m_sources[i] = source;
        m_activeBySource.update(i, owner != 0, windows::inputIndex(source));
    }
}

inline const HeldInput* MappingEngine::firstHeld(InputId input) const
{
    const int index = windows::inputIndex(input);
    if (index < 0)
        return scanFirstHeld(input);
    const std::size_t first = m_heldByInput.first(index);
    return first < held.size() ? &held[first] : nullptr;
}

inline HeldInput* MappingEngine::findHeld(std::uint64_t device, InputId input)
{
    if (device == 0)
        return nullptr;
    const int index = windows::inputIndex(input);
    if (index < 0)
        return scanHeld(device, input);
    for (std::size_t i = m_heldByInput.first(index); i < held.size(); i = m_heldByInput.next(i)) {
        if (held[i].device == device)
            return &held[i];
    }
    return nullptr;
}

inline HeldInput* MappingEngine::firstFreeHeld()
{
    const std::size_t i = m_heldByInput.firstFree();
    return i < held.size() ? &held[i] : nullptr;
}

inline void MappingEngine::setHeld(HeldInput& entry, const HeldInput& value)
{
    entry = value;
    m_heldByInput.update(std::size_t(&entry - held.data()), value.device != 0, windows::inputIndex(value.input));
}

inline ActiveMapping* MappingEngine::findEntry(std::uint64_t owner, InputId source)
{
    if (owner == 0)
        return nullptr;
    const int index = windows::inputIndex(source);
    if (index < 0)
        return scanEntry(owner, source);
    for (std::size_t i = m_activeBySource.first(index); i < active.size(); i = m_activeBySource.next(i)) {
        if (m_owners[i] == owner && m_sources[i] == source)
            return &active[i];
    }
    return nullptr;
}

inline ActiveMapping* MappingEngine::firstFreeEntry()
{
    const std::size_t i = m_activeBySource.firstFree();
    return i < active.size() ? &active[i] : nullptr;
}

// True if the batch carries an operation other than a cancel, or anything but ups.
bool macroOutputsPending(const OutputBatch& batch);

} // namespace vorna::core
