// The active-mapping table: which sources are down, what each of them holds pressed, and which
// keys the engine itself pressed for an owner (the macro player). Outputs shared by several
// mappings are reference-counted, so a key goes down with its first holder and up with its last,
// and a key the user holds physically (a pass-through source) is never pressed or released
// for them. Hook thread only; fixed tables, no allocation.
#pragma once

#include "core/input_id.h"
#include "core/rules_snapshot.h"
#include "engine/output_batch.h"

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

// A physical press remembered for chord matching; free while device is 0.
struct HeldInput {
    std::uint64_t device = 0;
    std::uint64_t pressTime = 0; // ns
    InputId input = 0;
};

// The operations that emit append to a caller's batch (amount 120 each), so that a macro step
// or an evaluation collects everything it sends in one batch without copies.
//
// Every change to an entry of `active` is followed by refresh(entry): the engine keeps a compact
// copy of what its scans compare (owners, sources, held outputs), so that a scan of all 128
// entries is a few vector compares instead of a walk over 8 KB of records.
struct MappingEngine {
    RulesSnapshot rules;
    std::array<ActiveMapping, kMaxActiveMappings> active{};
    std::array<HeldInput, kMaxHeldInputs> held{};
    std::uint8_t released = 0; // presses are recorded, no rule applies, until resume
    std::uint8_t overflow = 0; // a press found no free entry; only a full reset clears it

    // The only way `rules` changes: it also rebuilds the chains of rules by source that
    // lookups follow instead of walking all rules.
    void copySnapshot(const RulesSnapshot& snapshot);
    // Index of the first rule after `after` (or from the start when `after` is rules.count)
    // whose source is `source`, in match order; rules.count if there is none.
    std::uint64_t nextRuleWithSource(InputId source, std::uint64_t after) const;

    // Output places (primary or extra) equal to `id` over entries whose outputs are down.
    int holdersOfOutput(InputId id) const;
    // Pass-through sources: entries with suppress 0, not latched toggles, whose source is `id`.
    int countBySource(InputId id) const;

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
        entry = ActiveMapping{};
        refresh(entry);
    }
    // Whether the compact copies agree with the table and the rules (for tests).
    bool indexMatchesTable() const;

private:
    static constexpr std::size_t kOutputsPerEntry = 1 + kMaxExtraOutputs;
    static constexpr std::size_t kCountedInputs = 1024; // keys, buttons and scan-code keys by index
    void count(InputId id, int delta, std::array<std::uint16_t, kCountedInputs>& counts);

    // By entry: owner (0 while free), source, source while it passes through (else 0), and the
    // outputs while they are down (else 0). 0 is never a valid input id.
    std::array<std::uint64_t, kMaxActiveMappings> m_owners{};
    std::array<InputId, kMaxActiveMappings> m_sources{};
    std::array<InputId, kMaxActiveMappings> m_passSources{};
    std::array<InputId, kMaxActiveMappings * kOutputsPerEntry> m_heldOutputs{};
    // The same as counts per input index, for the inputs that have one.
    std::array<std::uint16_t, kCountedInputs> m_passCounts{};
    std::array<std::uint16_t, kCountedInputs> m_holdCounts{};
    // Rules by source, as rule index + 1 (0 ends a chain): the first rule of each input index,
    // and for every rule the next one of the same source. Sources without an index are looked
    // up in m_ruleSources.
    std::array<InputId, kMaxRules> m_ruleSources{};
    std::array<std::uint16_t, kCountedInputs> m_firstRule{};
    std::array<std::uint16_t, kMaxRules> m_nextRule{};
};

// True if the batch carries an operation other than a cancel, or anything but ups.
bool macroOutputsPending(const OutputBatch& batch);

} // namespace vorna::core
