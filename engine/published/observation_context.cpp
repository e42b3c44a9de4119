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

void ObservationContexts::begin(const InputEvent& event, std::uint32_t ruleId, std::uint8_t profileIndex,
                                std::uint8_t layerIndex)
{
    current = kEmptyRecord;
    copyEventFields(current, event);
    current.execution = nextExecution();
    current.revision = revision;
    current.rule = ruleId;
    current.profileIndex = profileIndex;
    current.layerIndex = layerIndex;

    const int index = inputIndex(event.input);
    if (event.origin != kOriginPhysical || index < 0)
        return;
    const std::size_t at = std::size_t(index);
    if (event.phase == core::kPhaseDown) {
        pressContexts[at] = current;
        pressStored[at] = 1;
    } else if (event.phase == core::kPhaseUp && pressStored[at]) {
        current = pressContexts[at];
        copyEventFields(current, event);
        pressStored[at] = 0;
    }
}

void ObservationContexts::resumeSlot(std::size_t slot, const InputEvent& event)
{
    current = slotContexts[slot];
    copyEventFields(current, event);
    const int index = inputIndex(event.input);
    if (index >= 0 && event.phase == core::kPhaseDown) {
        pressContexts[std::size_t(index)] = current;
        pressStored[std::size_t(index)] = 1;
    } else if (index >= 0 && event.phase == core::kPhaseUp) {
        pressStored[std::size_t(index)] = 0;
    }
}

void ObservationContexts::beginIdle()
{
    current = kEmptyRecord;
    current.execution = nextExecution();
    current.revision = revision;
}

} // namespace vorna::windows
