#include "engine/published/observation_context.h"

#include "engine/mapping/output_batch.h"

namespace vorna::windows {

void copyEventFields(ObservationRecord& record, const InputEvent& event)
{
    record.device = event.device;
    record.id = event.input;
    record.phase = event.phase;
    record.origin = event.origin;
    record.timestampMs = event.time;
    record.provider = event.provider;
    record.channel = event.channel;
    record.modifiers = event.modifiers;
    record.scanCode = event.scanCode;
    record.extended = event.extended;
    record.eventDelta = event.delta;
    record.x = event.x;
    record.y = event.y;
}

int ObservationContexts::pairedIndex(const InputEvent& event)
{
    return event.origin == kOriginPhysical ? inputIndex(event.input) : -1;
}

PressContext ObservationContexts::pair(std::size_t at, std::uint8_t phase, const PressContext& fresh)
{
    if (phase == core::kPhaseDown) {
        pressBegun[at] = fresh;
        pressStored[at] = kPressBegun;
        return fresh;
    }
    if (phase != core::kPhaseUp || pressStored[at] == kPressNone)
        return fresh;
    const bool begun = pressStored[at] == kPressBegun;
    pressStored[at] = kPressNone;
    return begun ? pressBegun[at] : fresh;
}

void ObservationContexts::begin(const InputEvent& event, std::uint32_t ruleId, std::uint8_t profileIndex,
                                std::uint8_t layerIndex)
{
    const PressContext fresh{nextExecution(), revision, ruleId, profileIndex, layerIndex};
    const int index = pairedIndex(event);
    if (index >= 0 && event.phase == core::kPhaseUp && pressStored[std::size_t(index)] == kPressInSlot) {
        // The slot's whole context, with this release's own fields.
        current = pressContexts[std::size_t(index)];
        pressStored[std::size_t(index)] = kPressNone;
    } else {
        const PressContext context = index >= 0 ? pair(std::size_t(index), event.phase, fresh) : fresh;
        current = kEmptyRecord;
        current.execution = context.execution;
        current.revision = context.revision;
        current.rule = context.rule;
        current.profileIndex = context.profileIndex;
        current.layerIndex = context.layerIndex;
    }
    copyEventFields(current, event);
}

void ObservationContexts::skip(const InputEvent& event, std::uint32_t ruleId, std::uint8_t profileIndex,
                               std::uint8_t layerIndex)
{
    const PressContext fresh{nextExecution(), revision, ruleId, profileIndex, layerIndex};
    const int index = pairedIndex(event);
    if (index >= 0)
        pair(std::size_t(index), event.phase, fresh);
}

void ObservationContexts::resumeSlot(std::size_t slot, const InputEvent& event)
{
    current = slotContexts[slot];
    copyEventFields(current, event);
    const int index = inputIndex(event.input);
    if (index >= 0 && event.phase == core::kPhaseDown) {
        pressContexts[std::size_t(index)] = current;
        pressStored[std::size_t(index)] = kPressInSlot;
    } else if (index >= 0 && event.phase == core::kPhaseUp) {
        pressStored[std::size_t(index)] = kPressNone;
    }
}

void ObservationContexts::beginIdle()
{
    current = kEmptyRecord;
    current.execution = nextExecution();
    current.revision = revision;
}

} // namespace vorna::windows
