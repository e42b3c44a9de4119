#include "engine/mapping_engine.h"

#include "engine/input_event.h"

namespace vorna::core {

void MappingEngine::copySnapshot(const RulesSnapshot& snapshot)
{
    rules = snapshot;
}

int MappingEngine::holdersOfOutput(InputId id) const
{
    int holders = 0;
    for (const ActiveMapping& entry : active) {
        if (!entry.occupied || !entry.outputsDown)
            continue;
        holders += entry.output == id;
        for (std::uint16_t i = 0; i < entry.extraCount; ++i)
            holders += entry.extraOutputs[i] == id;
    }
    return holders;
}

int MappingEngine::countBySource(InputId id) const
{
    int sources = 0;
    for (const ActiveMapping& entry : active)
        sources += entry.occupied && !entry.suppress && !(entry.toggle && entry.latched) && entry.source == id;
    return sources;
}

void MappingEngine::releaseOutputs(ActiveMapping& entry, OutputBatch& batch)
{
    entry.outputsDown = 0;
    for (int i = int(entry.extraCount) - 1; i >= 0; --i) {
        if (outputIsFree(entry.extraOutputs[i]))
            batch.append(entry.extraOutputs[i], kPhaseUp);
    }
    if (outputIsFree(entry.output))
        batch.append(entry.output, kPhaseUp);
}

void MappingEngine::releaseOutputsGuarded(ActiveMapping& entry, OutputBatch& batch)
{
    if (entry.outputsDown)
        releaseOutputs(entry, batch);
}

ActiveMapping* MappingEngine::findEntry(std::uint64_t owner, InputId source)
{
    for (ActiveMapping& entry : active) {
        if (entry.occupied && entry.owner == owner && entry.source == source)
            return &entry;
    }
    return nullptr;
}

ActiveMapping* MappingEngine::firstFreeEntry()
{
    for (ActiveMapping& entry : active) {
        if (!entry.occupied)
            return &entry;
    }
    return nullptr;
}

void MappingEngine::press(std::uint64_t owner, InputId input, OutputBatch& batch)
{
    if (owner <= windows::kMaxDeviceId || !isValidInputId(input) || released)
        return;
    if (isWheelInput(input)) {
        batch.append(input, kPhaseDown);
        return;
    }
    if (findEntry(owner, input))
        return;
    ActiveMapping* entry = firstFreeEntry();
    if (!entry) {
        overflow = 1;
        releaseAll(batch);
        return;
    }
    const bool sendDown = outputIsFree(input);
    *entry = ActiveMapping{};
    entry->occupied = 1;
    entry->owner = owner;
    entry->source = input;
    entry->output = input;
    entry->suppress = 1;
    entry->outputsDown = 1;
    if (sendDown)
        batch.append(input, kPhaseDown);
}

void MappingEngine::release(std::uint64_t owner, InputId input, OutputBatch& batch)
{
    if (owner <= windows::kMaxDeviceId)
        return;
    ActiveMapping* entry = findEntry(owner, input);
    if (!entry)
        return;
    releaseOutputsGuarded(*entry, batch);
    *entry = ActiveMapping{};
}

void MappingEngine::releaseOwner(std::uint64_t owner, OutputBatch& batch)
{
    if (owner == 0)
        return;
    for (HeldInput& input : held) {
        if (input.device == owner)
            input = HeldInput{};
    }
    // Suppressed first, so that the owner's own entries do not count as pass-through sources
    // and shield each other's releases.
    for (ActiveMapping& entry : active) {
        if (entry.occupied && entry.owner == owner)
            entry.suppress = 1;
    }
    for (ActiveMapping& entry : active) {
        if (entry.occupied && entry.owner == owner) {
            releaseOutputsGuarded(entry, batch);
            entry = ActiveMapping{};
        }
    }
}

void MappingEngine::releaseAll(OutputBatch& batch)
{
    released = 1;
    for (ActiveMapping& entry : active) {
        if (!entry.occupied)
            continue;
        releaseOutputsGuarded(entry, batch);
        if (entry.toggle && entry.latched)
            entry = ActiveMapping{};
    }
}

void MappingEngine::releaseHeld(OutputBatch& batch)
{
    for (ActiveMapping& entry : active) {
        if (!entry.occupied || !entry.toggle)
            continue;
        releaseOutputsGuarded(entry, batch);
        if (entry.latched)
            entry = ActiveMapping{};
    }
}

bool MappingEngine::resume()
{
    if (overflow)
        return false;
    released = 0;
    return true;
}

bool macroOutputsPending(const OutputBatch& batch)
{
    if (batch.mode != kBatchModeNone && batch.mode != kBatchModeCancel)
        return true;
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        if (batch.events[i].phase != kPhaseUp)
            return true;
    }
    return false;
}

} // namespace vorna::core
