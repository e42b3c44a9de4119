// Observation contexts: every record the hook thread pushes starts as a copy of the context of
// the event being processed, so that an input, the outputs it caused (even when they are sent
// later from the queue) and the engine events around it share one execution id.
#pragma once

#include "engine/mapping/input_event.h"
#include "engine/mapping/timed_slots.h"
#include "engine/published/held_state.h"
#include "engine/published/observation_record.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::windows {

// The two contexts that work done later or in between must find as they were: what a queued
// batch carries to its flush, and what a hook or a flush puts back when it ends.
struct SavedContexts {
    ObservationRecord current;
    ObservationRecord saved;
};

// What a fresh press leaves for its release, which takes it over: all a context holds beyond the
// event's own fields.
struct PressContext {
    std::uint64_t execution = 0;
    std::uint64_t revision = 0;
    std::uint32_t rule = 0;
    std::uint8_t profileIndex = 0;
    std::uint8_t layerIndex = 0;
};

// How an input's last press stored its context for the release.
inline constexpr std::uint8_t kPressNone = 0;
inline constexpr std::uint8_t kPressBegun = 1;  // a fresh press: in pressBegun
inline constexpr std::uint8_t kPressInSlot = 2; // a press a timed slot took: the slot's whole context

struct ObservationContexts {
    ObservationRecord current; // the event being processed
    ObservationRecord saved;   // stands for the idle state between events
    // Context of each input's last press until its release, by input index.
    std::array<PressContext, kInputIndexCount> pressBegun{};
    std::array<ObservationRecord, kInputIndexCount> pressContexts{};
    std::array<std::uint8_t, kInputIndexCount> pressStored{};
    // Context of the event that opened each timed slot.
    std::array<ObservationRecord, engine::kTimedSlotCount> slotContexts{};
    std::uint64_t executionCounter = 0;
    std::uint64_t revision = 0; // of the applied rules

    // Starts the context of a fresh event: its fields, a new execution id, the revision, the rule,
    // the program's profile and the current layer. A physical press stores it for its input and
    // the release takes it over, so press and release share one execution id.
    void begin(const InputEvent& event, std::uint32_t ruleId, std::uint8_t profileIndex, std::uint8_t layerIndex);
    // What begin does but for the current context, which is left as it was: the execution id is
    // used up and the press is stored or taken over all the same, so that the numbering and a
    // release begun later are as if begin had run. For an event whose context nothing reads.
    void skip(const InputEvent& event, std::uint32_t ruleId, std::uint8_t profileIndex, std::uint8_t layerIndex);

    // A context without an event: cleared, with a new execution id and the current revision.
    void beginIdle();

    // A record of `kind` and `result` based on the current context.
    ObservationRecord record(std::uint8_t kind, std::uint8_t result) const
    {
        ObservationRecord made = current;
        made.kind = kind;
        made.result = result;
        return made;
    }

    std::uint64_t nextExecution() { return ++executionCounter; }

    SavedContexts save() const { return SavedContexts{current, saved}; }
    void restore(const SavedContexts& contexts)
    {
        current = contexts.current;
        saved = contexts.saved;
    }
    // A reset leaves whatever event it interrupted: the idle context is current again.
    void returnToSaved() { current = saved; }

    // Timed slots. A slot remembers the context of the press that opened it; the events it
    // holds back or resolves later are recorded under that context, so a hold-tap's press, its
    // resolution and its release share one execution id.
    void openSlot(std::size_t slot) { slotContexts[slot] = current; }
    // An event the open slot takes (a release, another press): its own fields on the slot's
    // context, remembered for its input like a fresh press or release would be.
    void resumeSlot(std::size_t slot, const InputEvent& event);
    // The slot's resolved press or release being replayed through the engine; `outcome` says
    // which target applied (1 main, 2 fallback).
    void replaySlot(std::size_t slot, std::uint8_t outcome)
    {
        current = slotContexts[slot];
        current.gestureOutcome = outcome;
    }

private:
    // A physical press or release of an input with an index: that index, else -1.
    static int pairedIndex(const InputEvent& event);
    // A press stores `fresh` for its release; a release takes over what a fresh press stored
    // (else keeps `fresh`). Either way the stored press is gone after a release.
    PressContext pair(std::size_t at, std::uint8_t phase, const PressContext& fresh);
};

// Saves both contexts and restores them when it ends, whatever the work in between set: a hook
// procedure that interrupted a step of the loop, or a flush that sends batches under the
// contexts they were queued with. Two records copied; nothing allocated.
class ObservationContextScope {
public:
    explicit ObservationContextScope(ObservationContexts& contexts) : m_contexts(contexts), m_saved(contexts.save()) {}
    ~ObservationContextScope() { m_contexts.restore(m_saved); }
    ObservationContextScope(const ObservationContextScope&) = delete;
    ObservationContextScope& operator=(const ObservationContextScope&) = delete;

private:
    ObservationContexts& m_contexts;
    SavedContexts m_saved;
};

// Copies the event's own fields into a record.
void copyEventFields(ObservationRecord& record, const InputEvent& event);

} // namespace vorna::windows
