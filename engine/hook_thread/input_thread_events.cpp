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
    if (m_physicalDown[0xA0] || m_physicalDown[0xA1])
        mask |= core::kModifierShift;
    if (m_physicalDown[0xA2] || m_physicalDown[0xA3])
        mask |= core::kModifierCtrl;
    if (m_physicalDown[0xA4] || m_physicalDown[0xA5])
        mask |= core::kModifierAlt;
    if (m_physicalDown[0x5B] || m_physicalDown[0x5C])
        mask |= core::kModifierWin;
    return mask;
}

void InputThread::observe(const ObservationRecord& record)
{
    if (m_state.observing)
        m_state.observations.push(record);
}

void InputThread::observeResult(uint8_t result)
{
    if (m_state.observing) // the record is built only for a ring that takes it
        observe(m_state.contexts.record(kRecordEngine, result));
}

void InputThread::beginContext(const InputEvent& event, uint32_t ruleId)
{
    m_state.contexts.begin(event, ruleId, m_state.layers.profileIndex, m_layerStacks.current);
}

void InputThread::recordInput(const InputEvent& event, bool swallowed)
{
    if (!m_state.observing)
        return;
    ObservationRecord record = m_state.contexts.record(kRecordInput, swallowed ? kResultSwallowed : kResultPassed);
    copyEventFields(record, event);
    record.suppressed = swallowed ? 1 : 0;
    observe(record);
}

bool InputThread::queue(const OutputBatch& batch)
{
    return actOnOutput(m_state.output.enqueue(batch));
}

bool InputThread::actOnOutput(OutputResult result)
{
    if (result.resetRan)
        resetAll(m_stopReason.load(std::memory_order_acquire));
    if (result.failed)
        resetAll(ResetOutputFailed);
    // A macro stop waits for the releases of the reset its own releases asked for.
    m_state.output.reportHeldBackStop();
    return result.ok();
}

void InputThread::recordPhysical(const InputEvent& event)
{
    const bool down = event.phase != core::kPhaseUp;
    m_state.heldState.setPhysical(inputIndex(event.input), down ? 1 : 0);
    engine::trackHeld(m_state.engine, event);
    SafetyJournalView* journal = m_state.journal;
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
    addOwned(m_latencyBuckets[latencyBucket(latency)]);
    addOwned(m_latencySamples);
    raiseOwned(m_latencyMaxNs, latency);
}

bool InputThread::processEvent(InputEvent event, bool useSlots, const CompiledRule* rule)
{
    HeldStateWrite write(m_state.heldState);
    const bool physical = event.origin == kOriginPhysical;
    if (rule == nullptr) {
        event.modifiers = modifierMask();
        if (physical)
            recordPhysical(event);
    }
    if (m_state.journal)
        m_state.journal->setHookHeartbeat(tickMs());
    const uint64_t resets = m_state.output.resetMark();

    const CompiledRule* found = rule;
    bool lookedUp = false;
    if (useSlots && physical) {
        // Due work first: a timed layer or a pending trigger resolves before this event counts.
        expireLayers(event.time);
        pumpScheduler(event.time);
        // Only a press opens a slot or takes a rule, so only a press needs its rule looked up.
        found = m_state.engine.released || event.phase != core::kPhaseDown ? nullptr
                                                                          : engine::lookUpRule(m_state.engine, event);
        lookedUp = true;
    }
    if (useSlots && physical && engine::slotsConcern(m_state.timedSlots, event, found)) {
        const engine::SlotUpdate update = engine::updateTimedSlots(m_state.timedSlots, event, found);
        if (update.full)
            resetAll(ResetCapacity);
        if (update.consumed) {
            if (update.started) {
                beginContext(event, found ? found->id : 0);
                m_state.slotWindow = foregroundWindow();
                m_state.contexts.current.foregroundWindow = m_state.slotWindow;
                m_state.contexts.openSlot(update.slot);
            } else {
                m_state.contexts.resumeSlot(update.slot, event);
            }
            recordInput(event, true);
            if (update.started)
                observeResult(kResultPending);
            replayEngineResults(update);
            addOwned(m_inputEvents);
            addOwned(m_suppressed);
            m_state.heldState.setObservationCounts(m_state.observations.sequence(), m_state.observations.drops());
            return true;
        }
    }

    // A fresh event was remembered as held above, with its physical state.
    engine::EvaluationResult result = engine::evaluateTracked(m_state.engine, event, found, lookedUp);
    if (useSlots && !m_state.observing && result.actionSlot == 0 && result.macroSlot == 0) {
        // Nobody observes, and only an action request or a macro run would record under this
        // event's context (its outputs are a mapping's batch): the context is not built.
        m_state.contexts.skip(event, result.ruleId, m_state.layers.profileIndex, m_layerStacks.current);
    } else if (useSlots) {
        beginContext(event, result.ruleId);
        m_state.contexts.current.macro = result.macroSlot;
        recordInput(event, result.suppress != 0);
    } else {
        m_state.contexts.current.rule = result.ruleId;
        m_state.contexts.current.macro = result.macroSlot;
    }

    if (result.actionSlot != 0 && !m_state.engine.released) {
        ObservationRecord action = m_state.contexts.record(kRecordAction, kResultQueued);
        copyEventFields(action, event);
        action.command = result.actionSlot;
        action.foregroundWindow = m_state.slotWindow != 0 ? m_state.slotWindow : foregroundWindow();
        if (!m_state.engineEvents.push(action))
            resetAll(ResetCapacity);
        else if (event.phase == core::kPhaseDown)
            observe(action);
    }

    if (physical && event.phase == core::kPhaseUp && !core::isWheelInput(event.input)) {
        const bool heldAsOutput = m_state.engine.holdersOfOutput(event.input) > 0;
        if (result.suppress && heldAsOutput) {
            // The system must keep seeing it down until the mapping sends its own release.
            m_state.output.markHeld(event.input);
        } else if (!result.suppress && !heldAsOutput) {
            if (!m_state.output.isPendingDown(event.input))
                m_state.output.clearHeld(event.input);
            else if (!result.batch.append(event.input, core::kPhaseUp))
                resetAll(ResetCapacity);
        }
    }

    // After a reset within this event its releases went out; a down from before it must not.
    if (!m_state.output.resetSince(resets))
        queue(result.batch);

    if (result.macroSlot >= 1 && result.macroSlot <= core::kMaxMacros) {
        const OutputBatch macroBatch = core::MacroPlayer::trigger(
            m_state.player, m_state.macros[result.macroSlot - 1], result.macroSlot, event.phase, nowNs(), event.device,
            event.input, foregroundWindow());
        queue(macroBatch);
        const bool runs = m_state.player.running();
        m_state.macroActive.store(runs, std::memory_order_release);
        observeResult(runs ? kResultMacroRunning : kResultCompleted);
    }

    if (m_state.layers.enabled && physical)
        applyLayerOperation(event, result, rule);

    if (result.pointerMode != 0 && !m_state.engine.released)
        applyPointerHold(event, result.pointerMode);

    if (result.ruleId != 0)
        countLatency(event.time);

    if (m_state.engine.overflow) {
        m_active.store(false, std::memory_order_release);
        m_stopReason.store(ResetCapacity, std::memory_order_release);
    }

    if (useSlots) {
        addOwned(m_inputEvents);
        if (result.suppress)
            addOwned(m_suppressed);
    }
    m_state.heldState.setObservationCounts(m_state.observations.sequence(), m_state.observations.drops());
    return result.suppress != 0;
}

void InputThread::applyLayerOperation(const InputEvent& event, const engine::EvaluationResult& result,
                                      const CompiledRule* rule)
{
    const bool carried = result.layerOp != 0;
    if (!carried && event.phase == core::kPhaseDown && (rule == nullptr || result.ruleId != 0))
        m_layerStacks.consumeOnce();
    if (event.phase == core::kPhaseUp) {
        m_layerStacks.releaseHold(event.device, event.input);
    } else if (carried && event.phase == core::kPhaseDown) {
        if (!m_layerStacks.apply(core::LayerOp(result.layerOp), result.layerIndex, result.layerTimerMs, event.device,
                               event.input, event.time)) {
            resetAll(ResetCapacity);
            return;
        }
    }
    if (m_state.engine.released) {
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
    for (int i = 0; i < m_pointerHoldCount; ++i) {
        if (m_pointerHolds[i].device == event.device && m_pointerHolds[i].input == event.input)
            found = i;
    }
    if (event.phase == core::kPhaseDown) {
        if (found < 0) {
            if (m_pointerHoldCount >= kPointerHoldCapacity) {
                resetAll(ResetCapacity);
                return;
            }
            m_pointerHolds[m_pointerHoldCount++] = PointerHold{event.device, event.input, mode};
        }
    } else if (event.phase == core::kPhaseUp) {
        if (found >= 0) {
            for (int i = found; i + 1 < m_pointerHoldCount; ++i)
                m_pointerHolds[i] = m_pointerHolds[i + 1];
            m_pointerHolds[--m_pointerHoldCount] = PointerHold{};
        }
    } else {
        return; // an auto-repeat changes no hold
    }
    resetPointer();
    updateActive();
    ObservationRecord record = m_state.contexts.record(kRecordEngine, kResultCommandApplied);
    record.pointerMode = mode;
    record.phase = event.phase;
    observe(record);
}

void InputThread::replayEngineResults(const engine::SlotUpdate& update)
{
    for (uint8_t i = 0; i < update.count; ++i) {
        const engine::SlotRecord& slotRecord = update.records[i];
        m_state.contexts.replaySlot(slotRecord.slot, uint8_t(slotRecord.useFallback + 1));
        if (slotRecord.event.phase == core::kPhaseDown && !slotRecord.releaseOnly) {
            ObservationRecord record = m_state.contexts.record(
                kRecordEngine,
                slotRecord.rule.targetKind == core::TargetKind::Blocked ? kResultSwallowed : kResultCompleted);
            record.timestampMs = slotRecord.event.time;
            observe(record);
        }
        processEvent(slotRecord.event, false, &slotRecord.rule);
        if (slotRecord.releaseOnly)
            observeResult(kResultCancelled);
    }
}

void InputThread::pumpScheduler(uint64_t now)
{
    const bool focusMoved = m_state.slotWindow != 0 && foregroundWindow() != m_state.slotWindow;
    // Without a busy slot there is nothing to release or resolve.
    for (int n = 0; n < kSlotLoopLimit && m_state.timedSlots.busy != 0; ++n) {
        const engine::SlotUpdate update = focusMoved ? engine::releaseTimedSlot(m_state.timedSlots, now)
                                                     : engine::expireTimedSlot(m_state.timedSlots, now);
        if (update.count == 0)
            break;
        replayEngineResults(update);
    }
    if (focusMoved)
        m_state.slotWindow = 0;
}

void InputThread::flushTimedSlots()
{
    const uint64_t now = nowNs();
    for (int n = 0; n < kSlotLoopLimit; ++n) {
        const engine::SlotUpdate update = engine::releaseTimedSlot(m_state.timedSlots, now);
        if (update.count == 0)
            break;
        replayEngineResults(update);
    }
    m_state.slotWindow = 0;
}

void InputThread::updateActive()
{
    const bool on = !m_state.engine.released &&
                    (m_state.engine.currentRules().count > 0 || m_pointerHoldCount > 0 || !isNeutral(currentMotion()));
    m_active.store(on, std::memory_order_release);
}

void InputThread::applyLayer()
{
    const uint8_t layer = m_layerStacks.computeCurrent();
    if (!m_state.layers.enabled || layer == m_layerStacks.current || layer >= kProgramLayers)
        return;
    engine::abandonPendingSlots(m_state.timedSlots);
    m_layerStacks.current = layer;
    m_currentLayer.store(layer, std::memory_order_release);
    m_state.engine.useRules(m_state.layers.layers[layer], m_state.layerChains[layer]);
    clearNotches();
    resetPointer();
    updateActive();
}

void InputThread::expireLayers(uint64_t now)
{
    if (m_layerStacks.temporaryCount == 0)
        return;
    m_layerStacks.dropExpired(now);
    applyLayer();
}

bool InputThread::stepLayer(uint8_t layer)
{
    const bool ok = m_state.layers.enabled && layer < kProgramLayers;
    if (ok)
        m_layerStacks.apply(core::LayerOp::Set, layer, 0, 0, 0, 0);
    applyLayer();
    return ok;
}

void InputThread::resetAll(uint8_t reason)
{
    m_capture.cancel();
    m_state.output.clearQueue();
    HeldStateWrite write(m_state.heldState);
    m_state.contexts.returnToSaved();

    // The run's keys go up with everything else below; only its cancel of an awaited operation
    // travels on, so that the agent stops that operation too.
    const bool macroWasRunning = m_state.player.running();
    const OutputBatch finished = core::MacroPlayer::finish(m_state.player);
    m_state.macroActive.store(false, std::memory_order_release);
    if (macroWasRunning)
        observeResult(kResultCancelled);

    m_active.store(false, std::memory_order_release);
    m_pointerHoldCount = 0;
    resetPointer();
    m_stopReason.store(reason, std::memory_order_release);

    OutputBatch engineReleases;
    m_state.engine.releaseAll(engineReleases); // the output side knows what really went down
    m_state.engine.overflow = 0;

    OutputBatch releases = m_state.output.buildReleaseAll();
    if (finished.mode == core::kBatchModeCancel)
        releases.copyOperation(finished);

    engine::cancelTimedSlots(m_state.timedSlots);
    m_state.slotWindow = 0;
    m_state.contexts.beginIdle();

    // Releases that do not all go out are tried once more and reported by the reason, never by
    // another reset, which would fail the same way; a reset that ran while they were sent is
    // repeated, as every sender repeats it.
    const OutputResult sent = m_state.output.enqueue(releases);
    if (sent.resetRan)
        resetAll(m_stopReason.load(std::memory_order_acquire));
    if (sent.failed) {
        if (m_state.output.enqueue(releases).resetRan)
            resetAll(m_stopReason.load(std::memory_order_acquire));
        m_stopReason.store(ResetOutputFailed, std::memory_order_release);
    }
}

} // namespace vorna::windows
