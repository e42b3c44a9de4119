#include "engine/mapping/timed_slots.h"

#include "core/output_mapping.h"
#include "engine/mapping/output_batch.h"

#include <bit>

namespace vorna::windows::engine {

using core::TriggerKind;

namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;

bool isTimedTrigger(TriggerKind trigger)
{
    return trigger == TriggerKind::HoldTap || trigger == TriggerKind::Double;
}

bool isPending(const TimedSlot& slot)
{
    return slot.state == kSlotPressed || slot.state == kSlotReleasedOnce;
}

void freeSlot(TimedSlots& timed, std::size_t index)
{
    timed[index] = kFreeSlot;
    timed.busy = std::uint16_t(timed.busy & ~(1u << index));
}

void pressAndRelease(SlotUpdate& update, TimedSlots& timed, std::uint8_t index, std::uint64_t time)
{
    appendSlotRecord(update, timed[index], index, core::kPhaseDown, time, 0);
    appendSlotRecord(update, timed[index], index, core::kPhaseUp, time, 0);
    freeSlot(timed, index);
}

// The busy slots in index order: for (i = first(busy); i < 16; i = next(busy, i)).
std::size_t firstBusy(std::uint16_t busy)
{
    return busy == 0 ? kTimedSlotCount : std::size_t(std::countr_zero(busy));
}
std::size_t nextBusy(std::uint16_t busy, std::size_t after)
{
    return firstBusy(std::uint16_t(busy & ~((2u << after) - 1)));
}

} // namespace

void appendSlotRecord(SlotUpdate& update, const TimedSlot& slot, std::uint8_t slotIndex, std::uint8_t phase,
                      std::uint64_t time, std::uint8_t releaseOnly)
{
    if (update.count >= update.records.size())
        return;
    SlotRecord& record = update.records[update.count++];
    record.event = slot.event;
    record.event.phase = phase;
    record.event.time = time;
    if (slot.useFallback) {
        core::makeAlternativeRule(record.rule, slot.rule);
    } else {
        record.rule = slot.rule;
    }
    // The record is replayed as a plain rule: no trigger to resolve again, and "unchanged"
    // means pressing the source itself, since its physical press was held back.
    record.rule.trigger = TriggerKind::None;
    record.rule.precedingKeyCount = 0;
    if (record.rule.targetKind == core::TargetKind::Unchanged) {
        record.rule.targetKind = core::TargetKind::KeyOutput;
        record.rule.output = record.rule.source;
    }
    record.rule.suppressOriginal = true;
    record.slot = slotIndex;
    record.useFallback = slot.useFallback;
    record.releaseOnly = releaseOnly;
}

SlotUpdate updateTimedSlots(TimedSlots& timed, const InputEvent& event, const core::CompiledRule* rule)
{
    SlotUpdate update;
    if (event.origin != kOriginPhysical || core::isWheelInput(event.input))
        return update;

    int found = -1;
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        if (timed[i].event.device == event.device && timed[i].event.input == event.input) {
            found = int(i);
            break;
        }
    }

    if (found < 0) {
        if (event.phase != core::kPhaseDown || !rule || !isTimedTrigger(rule->trigger))
            return update;
        const std::size_t free = firstBusy(std::uint16_t(~timed.busy));
        if (free >= timed.size()) {
            update.full = 1;
            return update;
        }
        TimedSlot& slot = timed[free];
        timed.busy = std::uint16_t(timed.busy | 1u << free);
        slot.state = kSlotPressed;
        slot.event = event;
        slot.rule = *rule;
        slot.deadline = event.time + std::uint64_t(rule->triggerIntervalMs) * kNsPerMs;
        slot.useFallback = 0;
        update.consumed = 1;
        update.started = 1;
        update.slot = std::uint8_t(free);
        return update;
    }

    const std::uint8_t index = std::uint8_t(found);
    TimedSlot& slot = timed[index];
    update.consumed = 1;
    update.slot = index;
    const bool up = event.phase == core::kPhaseUp;
    switch (slot.state) {
    case kSlotPressed:
        if (up && slot.rule.trigger == TriggerKind::Double) {
            slot.state = kSlotReleasedOnce; // the deadline stays that of the first press
        } else if (up) {
            slot.useFallback = 1; // released before the interval: the fallback is tapped
            pressAndRelease(update, timed, index, event.time);
        }
        break;
    case kSlotReleasedOnce:
        if (event.phase == core::kPhaseDown) {
            slot.state = kSlotHeld;
            slot.useFallback = 0;
            appendSlotRecord(update, slot, index, core::kPhaseDown, event.time, 0);
        }
        break;
    case kSlotHeld:
        appendSlotRecord(update, slot, index, event.phase, event.time, 0);
        if (up)
            freeSlot(timed, index);
        break;
    case kSlotAwaitRelease:
        if (up) {
            appendSlotRecord(update, slot, index, core::kPhaseUp, event.time, 1);
            freeSlot(timed, index);
        }
        break;
    default:
        break;
    }
    return update;
}

SlotUpdate expireTimedSlot(TimedSlots& timed, std::uint64_t now)
{
    SlotUpdate update;
    int due = -1;
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        if (isPending(timed[i]) && timed[i].deadline <= now &&
            (due < 0 || timed[i].deadline < timed[std::size_t(due)].deadline))
            due = int(i);
    }
    if (due < 0)
        return update;
    const std::uint8_t index = std::uint8_t(due);
    TimedSlot& slot = timed[index];
    update.slot = index;
    slot.useFallback = slot.rule.trigger == TriggerKind::Double;
    if (slot.state == kSlotReleasedOnce) {
        pressAndRelease(update, timed, index, now); // a single press of a double rule
    } else {
        // Hold-tap held long enough: the main target is held; a double held without release:
        // the fallback is held.
        appendSlotRecord(update, slot, index, core::kPhaseDown, now, 0);
        slot.state = kSlotHeld;
    }
    return update;
}

SlotUpdate releaseTimedSlot(TimedSlots& timed, std::uint64_t now)
{
    SlotUpdate update;
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        TimedSlot& slot = timed[i];
        if (slot.state == kSlotAwaitRelease)
            continue;
        const std::uint8_t index = std::uint8_t(i);
        update.slot = index;
        appendSlotRecord(update, slot, index, core::kPhaseUp, now, 1);
        if (slot.state == kSlotReleasedOnce)
            freeSlot(timed, i);
        else
            slot.state = kSlotAwaitRelease;
        break;
    }
    return update;
}

void abandonPendingSlots(TimedSlots& timed)
{
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        if (timed[i].state == kSlotReleasedOnce)
            freeSlot(timed, i);
        else if (timed[i].state == kSlotPressed)
            timed[i].state = kSlotAwaitRelease;
    }
}

void cancelTimedSlots(TimedSlots& timed)
{
    abandonPendingSlots(timed);
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        if (timed[i].state == kSlotHeld)
            timed[i].state = kSlotAwaitRelease;
    }
}

std::uint64_t nextTimedDeadline(const TimedSlots& timed)
{
    std::uint64_t earliest = 0;
    for (std::size_t i = firstBusy(timed.busy); i < timed.size(); i = nextBusy(timed.busy, i)) {
        const TimedSlot& slot = timed[i];
        if (isPending(slot) && (earliest == 0 || slot.deadline < earliest))
            earliest = slot.deadline;
    }
    return earliest;
}

} // namespace vorna::windows::engine
