// Event processing on the hook thread: physical state and the journal, timed trigger slots, the
// mapping engine, actions, macros, layers and pointer holds, latency, and the full reset.
#include "engine/hook_thread/input_thread.h"

#include "engine/mapping/macro_player.h"

namespace vorna::windows {

using core::CompiledRule;
using core::InputId;
using core::OutputBatch;

namespace {

constexpr int kSlotLoopLimit = 16;

bool isNeutral(const core::MotionSettings& m)
{
    return m.wheelVertical == 100 && m.wheelHorizontal == 100 && m.cursorX == 100 && m.cursorY == 100 &&
           !m.invertVertical && !m.invertHorizontal && !m.invertX && !m.invertY && !m.pages &&
           !m.verticalToHorizontal && m.axis == 0;
}

} // namespace

uint8_t InputThread::modifierMask() const
{
    uint8_t mask = 0;
    if (physicalDown[0xA0] || physicalDown[0xA1])
        mask |= core::kModifierShift;
    if (physicalDown[0xA2] || physicalDown[0xA3])
        mask |= core::kModifierCtrl;
    if (physicalDown[0xA4] || physicalDown[0xA5])
        mask |= core::kModifierAlt;
    if (physicalDown[0x5B] || physicalDown[0x5C])
        mask |= core::kModifierWin;
    return mask;
}

void InputThread::observe(const ObservationRecord& record)
{
    if (state.observing)
        state.observations.push(record);
}

void InputThread::observeResult(uint8_t result)
{
    if (state.observing) // the record is built only for a ring that takes it
        observe(state.contexts.record(kRecordEngine, result));
}

void InputThread::beginContext(const InputEvent& event, uint32_t ruleId)
{
    state.contexts.begin(event, ruleId, state.layers.profileIndex, layerStacks.current);
}

void InputThread::recordInput(const InputEvent& event, bool swallowed)
{
    if (!state.observing)
        return;
    ObservationRecord record = state.contexts.record(kRecordInput, swallowed ? kResultSwallowed : kResultPassed);
    copyEventFields(record, event);
    record.suppressed = swallowed ? 1 : 0;
    observe(record);
}

bool InputThread::queue(const OutputBatch& batch)
{
    return actOnOutput(state.output.enqueue(batch));
}

bool InputThread::actOnOutput(OutputResult result)
{
    if (result.resetRan)
        resetAll(stopReason.load(std::memory_order_acquire));
    if (result.failed)
        resetAll(ResetOutputFailed);
    // A macro stop waits for the releases of the reset its own releases asked for.
    state.output.reportHeldBackStop();
    return result.ok();
}

void InputThread::recordPhysical(const InputEvent& event)
{
    const bool down = event.phase != core::kPhaseUp;
    state.heldState.setPhysical(inputIndex(event.input), down ? 1 : 0);
    engine::trackHeld(state.engine, event);
    SafetyJournalView* journal = state.journal;
    if (!journal || core::isWheelInput(event.input))
        return;
    const uint16_t code = core::inputCode(event.input);
    if (core::inputClass(event.input) == core::kClassMouseButton)
        journal->exchangePhysicalButton(code, down ? 1 : 0);
    else if (core::inputKind(event.input) == core::kKindExtendedScanCode)
        journal->exchangeNumpadEnterPhysical(down ? 1 : 0);
    else
        journal->exchangePhysicalKey(code, down ? 1 : 0);
}

void InputThread::countLatency(uint64_t eventTime)
{
    const uint64_t now = nowNs();
    const uint64_t latency = now > eventTime ? now - eventTime : 0;
    latencyBuckets[latencyBucket(latency)].fetch_add(1, std::memory_order_acq_rel);
    latencySamples.fetch_add(1, std::memory_order_acq_rel);
    uint64_t max = latencyMaxNs.load(std::memory_order_acquire);
    while (latency > max && !latencyMaxNs.compare_exchange_weak(max, latency, std::memory_order_acq_rel)) {
    }
}

bool InputThread::processEvent(InputEvent event, bool useSlots, const CompiledRule* rule)
{
    HeldStateWrite write(state.heldState);
    const bool physical = event.origin == kOriginPhysical;
    if (rule == nullptr) {
        event.modifiers = modifierMask();
        if (physical)
            recordPhysical(event);
    }
    if (state.journal)
        state.journal->setHookHeartbeat(GetTickCount64());
    const uint64_t resets = state.output.resetMark();

    const CompiledRule* found = rule;
    bool lookedUp = false;
    if (useSlots && physical) {
        // Due work first: a timed layer or a pending trigger resolves before this event counts.
        expireLayers(event.time);
        pumpScheduler(event.time);
        // Only a press opens a slot or takes a rule, so only a press needs its rule looked up.
        found = state.engine.released || event.phase != core::kPhaseDown ? nullptr
                                                                          : engine::lookUpRule(state.engine, event);
        lookedUp = true;
    }
    if (useSlots && physical && engine::slotsConcern(state.timedSlots, event, found)) {
        const engine::SlotUpdate update = engine::updateTimedSlots(state.timedSlots, event, found);
        if (update.full)
            resetAll(ResetCapacity);
        if (update.consumed) {
            if (update.started) {
                beginContext(event, found ? found->id : 0);
                state.slotWindow = foregroundWindow();
                state.contexts.current.foregroundWindow = state.slotWindow;
                state.contexts.openSlot(update.slot);
            } else {
                state.contexts.resumeSlot(update.slot, event);
            }
            recordInput(event, true);
            if (update.started)
                observeResult(kResultPending);
            replayEngineResults(update);
            inputEvents.fetch_add(1, std::memory_order_acq_rel);
            suppressed.fetch_add(1, std::memory_order_acq_rel);
            state.heldState.setObservationCounts(state.observations.sequence(), state.observations.drops());
            return true;
        }
    }

    // A fresh event was remembered as held above, with its physical state.
    engine::EvaluationResult result = engine::evaluateTracked(state.engine, event, found, lookedUp);
    if (useSlots) {
        beginContext(event, result.ruleId);
        state.contexts.current.macro = result.macroSlot;
        recordInput(event, result.suppress != 0);
    } else {
        state.contexts.current.rule = result.ruleId;
        state.contexts.current.macro = result.macroSlot;
    }

    if (result.actionSlot != 0 && !state.engine.released) {
        ObservationRecord action = state.contexts.record(kRecordAction, kResultActionRequested);
        copyEventFields(action, event);
        action.command = result.actionSlot;
        action.foregroundWindow = state.slotWindow != 0 ? state.slotWindow : foregroundWindow();
        if (!state.engineEvents.push(action))
            resetAll(ResetCapacity);
        else if (event.phase == core::kPhaseDown)
            observe(action);
    }

    if (physical && event.phase == core::kPhaseUp && !core::isWheelInput(event.input)) {
        const bool heldAsOutput = state.engine.holdersOfOutput(event.input) > 0;
        if (result.suppress && heldAsOutput) {
            // The system must keep seeing it down until the mapping sends its own release.
            state.output.markHeld(event.input);
        } else if (!result.suppress && !heldAsOutput) {
            if (!state.output.isPendingDown(event.input))
                state.output.clearHeld(event.input);
            else if (!result.batch.append(event.input, core::kPhaseUp))
                resetAll(ResetCapacity);
        }
    }

    // After a reset within this event its releases went out; a down from before it must not.
    if (!state.output.resetSince(resets))
        queue(result.batch);

    if (result.macroSlot >= 1 && result.macroSlot <= core::kMaxMacros) {
        const OutputBatch macroBatch = core::MacroPlayer::trigger(
            state.player, state.macros[result.macroSlot - 1], result.macroSlot, event.phase, nowNs(), event.device,
            event.input, foregroundWindow());
        queue(macroBatch);
        const bool runs = state.player.running();
        state.macroActive.store(runs, std::memory_order_release);
        observeResult(runs ? kResultMacroRunning : kResultResolved);
    }

    if (state.layers.enabled && physical)
        applyLayerOperation(event, result, rule);

    if (result.pointerMode != 0 && !state.engine.released)
        applyPointerHold(event, result.pointerMode);

    if (result.ruleId != 0)
        countLatency(event.time);

    if (state.engine.overflow) {
        active.store(false, std::memory_order_release);
        stopReason.store(ResetCapacity, std::memory_order_release);
    }

    if (useSlots) {
        inputEvents.fetch_add(1, std::memory_order_acq_rel);
        if (result.suppress)
            suppressed.fetch_add(1, std::memory_order_acq_rel);
    }
    state.heldState.setObservationCounts(state.observations.sequence(), state.observations.drops());
    return result.suppress != 0;
}

void InputThread::applyLayerOperation(const InputEvent& event, const engine::EvaluationResult& result,
                                      const CompiledRule* rule)
{
    const bool carried = result.layerOp != 0;
    if (!carried && event.phase == core::kPhaseDown && (rule == nullptr || result.ruleId != 0))
        layerStacks.consumeOnce();
    if (event.phase == core::kPhaseUp) {
        layerStacks.releaseHold(event.device, event.input);
    } else if (carried && event.phase == core::kPhaseDown) {
        if (!layerStacks.apply(core::LayerOp(result.layerOp), result.layerIndex, result.layerTimerMs, event.device,
                               event.input, event.time)) {
            resetAll(ResetCapacity);
            return;
        }
    }
    if (state.engine.released) {
        if (carried)
            observeResult(kResultLayer);
        return;
    }
    applyLayer();
    if (carried)
        observeResult(kResultLayer);
}

void InputThread::applyPointerHold(const InputEvent& event, uint8_t mode)
{
    int found = -1;
    for (int i = 0; i < pointerHoldCount; ++i) {
        if (pointerHolds[i].device == event.device && pointerHolds[i].input == event.input)
            found = i;
    }
    if (event.phase == core::kPhaseDown) {
        if (found < 0) {
            if (pointerHoldCount >= kPointerHoldCapacity) {
                resetAll(ResetCapacity);
                return;
            }
            pointerHolds[pointerHoldCount++] = PointerHold{event.device, event.input, mode};
        }
    } else if (event.phase == core::kPhaseUp) {
        if (found >= 0) {
            for (int i = found; i + 1 < pointerHoldCount; ++i)
                pointerHolds[i] = pointerHolds[i + 1];
            pointerHolds[--pointerHoldCount] = PointerHold{};
        }
    } else {
        return; // an auto-repeat changes no hold
    }
    resetPointer();
    updateActive();
    ObservationRecord record = state.contexts.record(kRecordEngine, kResultPointerHold);
    record.pointerMode = mode;
    record.phase = event.phase;
    observe(record);
}

void InputThread::replayEngineResults(const engine::SlotUpdate& update)
{
    for (uint8_t i = 0; i < update.count; ++i) {
        const engine::SlotRecord& slotRecord = update.records[i];
        state.contexts.replaySlot(slotRecord.slot, uint8_t(slotRecord.useFallback + 1));
        if (slotRecord.event.phase == core::kPhaseDown && !slotRecord.releaseOnly) {
            ObservationRecord record = state.contexts.record(
                kRecordEngine,
                slotRecord.rule.targetKind == core::TargetKind::Blocked ? kResultSwallowed : kResultResolved);
            record.timestampMs = slotRecord.event.time;
            observe(record);
        }
        processEvent(slotRecord.event, false, &slotRecord.rule);
        if (slotRecord.releaseOnly)
            observeResult(kResultMacroStopped);
    }
}

void InputThread::pumpScheduler(uint64_t now)
{
    const bool focusMoved = state.slotWindow != 0 && foregroundWindow() != state.slotWindow;
    // Without a busy slot there is nothing to release or resolve.
    for (int n = 0; n < kSlotLoopLimit && state.timedSlots.busy != 0; ++n) {
        const engine::SlotUpdate update = focusMoved ? engine::releaseTimedSlot(state.timedSlots, now)
                                                     : engine::expireTimedSlot(state.timedSlots, now);
        if (update.count == 0)
            break;
        replayEngineResults(update);
    }
    if (focusMoved)
        state.slotWindow = 0;
}

void InputThread::flushTimedSlots()
{
    const uint64_t now = nowNs();
    for (int n = 0; n < kSlotLoopLimit; ++n) {
        const engine::SlotUpdate update = engine::releaseTimedSlot(state.timedSlots, now);
        if (update.count == 0)
            break;
        replayEngineResults(update);
    }
    state.slotWindow = 0;
}

void InputThread::updateActive()
{
    const bool on = !state.engine.released &&
                    (state.engine.currentRules().count > 0 || pointerHoldCount > 0 || !isNeutral(currentMotion()));
    active.store(on, std::memory_order_release);
}

void InputThread::applyLayer()
{
    const uint8_t layer = layerStacks.computeCurrent();
    if (!state.layers.enabled || layer == layerStacks.current || layer >= kProgramLayers)
        return;
    engine::abandonPendingSlots(state.timedSlots);
    layerStacks.current = layer;
    currentLayer.store(layer, std::memory_order_release);
    state.engine.useRules(state.layers.layers[layer], state.layerChains[layer]);
    clearNotches();
    resetPointer();
    updateActive();
}

void InputThread::expireLayers(uint64_t now)
{
    if (layerStacks.temporaryCount == 0)
        return;
    layerStacks.dropExpired(now);
    applyLayer();
}

bool InputThread::stepLayer(uint8_t layer)
{
    const bool ok = state.layers.enabled && layer < kProgramLayers;
    if (ok)
        layerStacks.apply(core::LayerOp::Set, layer, 0, 0, 0, 0);
    applyLayer();
    return ok;
}

void InputThread::resetAll(uint8_t reason)
{
    capture.cancel();
    state.output.clearQueue();
    HeldStateWrite write(state.heldState);
    state.contexts.returnToSaved();

    // The run's keys go up with everything else below; only its cancel of an awaited operation
    // travels on, so that the agent stops that operation too.
    const bool macroWasRunning = state.player.running();
    const OutputBatch finished = core::MacroPlayer::finish(state.player);
    state.macroActive.store(false, std::memory_order_release);
    if (macroWasRunning)
        observeResult(kResultMacroStopped);

    active.store(false, std::memory_order_release);
    pointerHoldCount = 0;
    resetPointer();
    stopReason.store(reason, std::memory_order_release);

    OutputBatch engineReleases;
    state.engine.releaseAll(engineReleases); // the output side knows what really went down
    state.engine.overflow = 0;

    OutputBatch releases = state.output.buildReleaseAll();
    if (finished.mode == core::kBatchModeCancel)
        releases.copyOperation(finished);

    engine::cancelTimedSlots(state.timedSlots);
    state.slotWindow = 0;
    state.contexts.beginIdle();

    // Releases that do not all go out are tried once more and reported by the reason, never by
    // another reset, which would fail the same way; a reset that ran while they were sent is
    // repeated, as every sender repeats it.
    const OutputResult sent = state.output.enqueue(releases);
    if (sent.resetRan)
        resetAll(stopReason.load(std::memory_order_acquire));
    if (sent.failed) {
        if (state.output.enqueue(releases).resetRan)
            resetAll(stopReason.load(std::memory_order_acquire));
        stopReason.store(ResetOutputFailed, std::memory_order_release);
    }
}

} // namespace vorna::windows
