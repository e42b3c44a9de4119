// Hold-tap and double-press triggers: a press whose rule has such a trigger is held back in a
// slot until the engine knows which target applies (main or fallback), and the resolved press
// and release come back as records for replay through the engine. Hook thread only.
#pragma once

#include "core/compiled_rule.h"
#include "engine/mapping/input_event.h"
#include "engine/mapping/output_batch.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::windows::engine {

inline constexpr std::size_t kTimedSlotCount = 16;

// Slot states.
inline constexpr std::uint8_t kSlotFree = 0;
inline constexpr std::uint8_t kSlotPressed = 1;      // pressed, waiting for release or deadline
inline constexpr std::uint8_t kSlotReleasedOnce = 2; // double only: waiting for the second press
inline constexpr std::uint8_t kSlotHeld = 3;         // resolved and held
inline constexpr std::uint8_t kSlotAwaitRelease = 4; // waiting for the physical release only

struct TimedSlot {
    std::uint8_t state = kSlotFree;
    InputEvent event;          // the first press
    core::CompiledRule rule;   // the matched rule
    std::uint64_t deadline = 0; // ns
    std::uint8_t useFallback = 0;
};

// The sixteen slots, with a bit per busy slot (state not free) kept by the functions below, so
// that the hook path visits busy slots only: on most events there are none.
struct TimedSlots : std::array<TimedSlot, kTimedSlotCount> {
    std::uint16_t busy = 0;
};

// Slots are freed by copying this one (built in place, a slot is read back across the stores that
// built it, which stalls the hook path).
inline constexpr TimedSlot kFreeSlot{};

// One resolved press or release, ready to replay with its rule.
struct SlotRecord {
    InputEvent event;          // the slot's first press, phase and time replaced
    core::CompiledRule rule;
    std::uint8_t slot = 0;
    std::uint8_t useFallback = 0;
    std::uint8_t releaseOnly = 0; // a release for which this slot never emitted a press
};

// The records of an update. Only the first `count` of them are filled in and read; the others
// are left unset, since the hook path builds an update for every event it hands to the slots and
// most of them stay empty (clearing two records every time cost more than the rest of the call).
class SlotRecords {
public:
    SlotRecords() {}
    SlotRecord& operator[](std::size_t i) { return m_records[i]; }
    const SlotRecord& operator[](std::size_t i) const { return m_records[i]; }
    static constexpr std::size_t size() { return 2; }

private:
    union {
        SlotRecord m_records[2];
    };
};

struct SlotUpdate {
    SlotRecords records;
    std::uint8_t count = 0;
    std::uint8_t consumed = 0; // the event belongs to a slot and is not evaluated directly
    std::uint8_t started = 0;  // this event opened a slot
    std::uint8_t full = 0;     // a slot was needed and all were busy
    std::uint8_t slot = 0;
};

SlotUpdate updateTimedSlots(TimedSlots& timed, const InputEvent& event, const core::CompiledRule* rule);
// False when updateTimedSlots would leave the event alone because no slot is busy and the event
// cannot open one, so that the hook path skips the call.
inline bool slotsConcern(const TimedSlots& timed, const InputEvent& event, const core::CompiledRule* rule)
{
    return timed.busy != 0 || (event.phase == core::kPhaseDown && rule &&
                               (rule->trigger == core::TriggerKind::HoldTap || rule->trigger == core::TriggerKind::Double));
}
// Resolves the due slot with the earliest deadline (lower index on a tie); one per call.
SlotUpdate expireTimedSlot(TimedSlots& timed, std::uint64_t now);
// Ends the first busy slot with a release (focus change, soft reset).
SlotUpdate releaseTimedSlot(TimedSlots& timed, std::uint64_t now);
// Layer change: pending doubles are dropped, pending presses wait for their release only.
void abandonPendingSlots(TimedSlots& timed);
// Reset: as abandonPendingSlots, and resolved slots wait for their release only.
void cancelTimedSlots(TimedSlots& timed);
// Earliest deadline of a pending slot, 0 if none.
std::uint64_t nextTimedDeadline(const TimedSlots& timed);
void appendSlotRecord(SlotUpdate& update, const TimedSlot& slot, std::uint8_t slotIndex, std::uint8_t phase,
                      std::uint64_t time, std::uint8_t releaseOnly);

} // namespace vorna::windows::engine
