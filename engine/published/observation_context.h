// Observation contexts: every record the hook thread pushes starts as a copy of the context of
// the event being processed, so that an input, the outputs it caused (even when they are sent
// later from the queue) and the engine events around it share one execution id.
#pragma once

#include "engine/published/held_state.h"
#include "engine/mapping/input_event.h"
#include "engine/published/observation_record.h"
#include "engine/mapping/timed_slots.h"

#include <array>
#include <cstdint>

namespace vorna::windows {

struct ObservationContexts {
    ObservationRecord current; // the event being processed
    ObservationRecord saved;   // stands for the idle state between events
    // Context of each input's last press until its release, by input index.
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
};

// Copies the event's own fields into a record.
void copyEventFields(ObservationRecord& record, const InputEvent& event);

} // namespace vorna::windows
