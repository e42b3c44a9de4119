#include "engine/mapping/macro_player.h"

#include "core/macro_check.h"

#include <algorithm>

namespace vorna::core {

namespace {

constexpr std::uint64_t kNsPerMs = 1'000'000;
constexpr std::uint16_t kOpenEndedPasses = 100; // hold and toggle macros

OutputBatch playerBatch()
{
    OutputBatch batch;
    batch.owner = kMacroOwnerToken;
    return batch;
}

void goIdle(MacroPlayer& player)
{
    player.slot = 0;
    player.stepIndex = 0;
    player.pass = 0;
    player.holding = 0;
    player.moveDelayDone = 0;
    player.heldKeys = {};
    player.heldCount = 0;
    player.waiting = 0;
}

void advance(MacroPlayer& player)
{
    ++player.stepIndex;
    player.moveDelayDone = 0;
}

std::uint16_t passLimit(const Macro& macro)
{
    switch (macro.mode) {
    case MacroMode::Once:
        return 1;
    case MacroMode::Count:
        return macro.repeat;
    default:
        return kOpenEndedPasses;
    }
}

std::uint8_t operationMode(MacroStepKind kind)
{
    switch (kind) {
    case MacroStepKind::Move:
        return kBatchModeCursorMove;
    case MacroStepKind::Command:
        return kBatchModeCommand;
    case MacroStepKind::Layer:
        return kBatchModeLayerStep;
    default:
        return kBatchModeProfileStep;
    }
}

void startOperation(MacroPlayer& player, const CompiledMacroStep& step, std::uint64_t now, OutputBatch& batch)
{
    player.lastToken = player.lastToken == UINT64_MAX ? 1 : player.lastToken + 1;
    player.waiting = player.lastToken;
    batch.mode = operationMode(step.kind);
    batch.owner = player.waiting;
    batch.command = step.actionSlot;
    batch.dx = step.moveX;
    batch.dy = step.moveY;
    // A profile direction of -1 travels as the byte 0xFF; readers sign-extend it.
    batch.layer = static_cast<std::uint8_t>(static_cast<std::int8_t>(step.target));
    player.nextTime = now + kMacroOperationTimeoutNs;
}

bool firstEventIsDown(const OutputBatch& batch, InputId input)
{
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        if (batch.events[i].input == input)
            return batch.events[i].phase == kPhaseDown;
    }
    return false;
}

bool containsInput(const OutputBatch& batch, InputId input)
{
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        if (batch.events[i].input == input)
            return true;
    }
    return false;
}

// Ups of `from` for keys that were already down before `pending`, each input once.
void appendEarlierUps(OutputBatch& result, const OutputBatch& from, const OutputBatch& pending)
{
    for (std::uint64_t i = 0; i < from.count; ++i) {
        const OutputEvent& event = from.events[i];
        if (event.phase == kPhaseUp && !firstEventIsDown(pending, event.input) && !containsInput(result, event.input))
            result.append(event.input, kPhaseUp, event.amount);
    }
}

} // namespace

OutputBatch MacroPlayer::trigger(MacroPlayer& player, const Macro& macro, std::uint16_t macroSlot,
                                 std::uint8_t phase, std::uint64_t now, std::uint64_t device, InputId input,
                                 std::uint64_t window)
{
    if (phase == kPhaseRepeat)
        return playerBatch();
    if (phase == kPhaseDown) {
        if (player.running()) {
            if (player.slot == macroSlot && player.macro.mode == MacroMode::Toggle)
                return finish(player);
            return playerBatch(); // one macro at a time; a running one does not restart
        }
        if (!validateMacro(macro) || player.engine.released)
            return playerBatch();
        player.macro = macro;
        goIdle(player);
        player.slot = macroSlot;
        player.nextTime = now;
        player.startTime = now;
        player.triggerDevice = device;
        player.triggerInput = input;
        player.startWindow = window;
        return step(player, now);
    }
    if (player.slot == macroSlot && player.macro.mode == MacroMode::Hold && device == player.triggerDevice &&
        input == player.triggerInput)
        return finish(player);
    return playerBatch();
}

OutputBatch MacroPlayer::step(MacroPlayer& player, std::uint64_t now)
{
    if (!player.running())
        return playerBatch();
    // The hook thread reads its loop time before the timed slots it releases may start a run with
    // a later reading: a time before the start is no time run, not an unsigned wrap past the limit.
    if (player.engine.released || (now > player.startTime && now - player.startTime >= kMacroRunLimitNs))
        return finish(player);
    if (player.waiting) {
        if (now < player.nextTime)
            return playerBatch();
        return finish(player); // the operation was not answered in time
    }

    OutputBatch batch = playerBatch();
    MappingEngine& engine = player.engine;
    for (int n = 0; n < kMacroStepsPerCall; ++n) {
        if (now < player.nextTime)
            return batch;
        if (player.holding) {
            for (int i = int(player.heldCount) - 1; i >= 0; --i)
                engine.release(kMacroOwnerToken, player.heldKeys[std::size_t(i)], batch);
            player.holding = 0;
            player.heldKeys = {};
            player.heldCount = 0;
            advance(player);
            continue;
        }
        if (player.stepIndex >= player.macro.stepCount) {
            ++player.pass;
            if (player.pass < passLimit(player.macro)) {
                player.stepIndex = 0;
                player.moveDelayDone = 0;
                player.nextTime = now + kMacroPassGapNs;
                continue;
            }
            engine.releaseOwner(kMacroOwnerToken, batch);
            goIdle(player);
            return batch;
        }

        const CompiledMacroStep& step = player.macro.steps[player.stepIndex];
        switch (step.kind) {
        case MacroStepKind::Wait:
            advance(player);
            player.nextTime = now + std::uint64_t(step.time) * kNsPerMs;
            return batch;
        case MacroStepKind::Down:
            engine.press(kMacroOwnerToken, step.input, batch);
            advance(player);
            break;
        case MacroStepKind::Up:
            engine.release(kMacroOwnerToken, step.input, batch);
            advance(player);
            break;
        case MacroStepKind::Tap:
        case MacroStepKind::Chord: {
            if (step.kind == MacroStepKind::Tap) {
                player.heldKeys = {step.input};
                player.heldCount = 1;
            } else {
                player.heldCount = std::min<std::uint16_t>(step.chordKeyCount, std::uint16_t(step.chordKeys.size()));
                for (std::uint16_t i = 0; i < player.heldCount; ++i)
                    player.heldKeys[i] = step.chordKeys[i];
            }
            for (std::uint16_t i = 0; i < player.heldCount; ++i)
                engine.press(kMacroOwnerToken, player.heldKeys[i], batch);
            player.holding = 1;
            player.nextTime = now + std::uint64_t(step.time) * kNsPerMs;
            return batch;
        }
        case MacroStepKind::Move:
            if (step.time != 0 && !player.moveDelayDone) {
                player.moveDelayDone = 1;
                player.nextTime = now + std::uint64_t(step.time) * kNsPerMs;
                return batch;
            }
            startOperation(player, step, now, batch);
            return batch;
        case MacroStepKind::Command:
        case MacroStepKind::Layer:
        case MacroStepKind::Profile:
            startOperation(player, step, now, batch);
            return batch;
        default:
            // Cannot pass the macro check; end the run rather than stall on it.
            engine.releaseOwner(kMacroOwnerToken, batch);
            goIdle(player);
            return batch;
        }
    }
    return batch;
}

OutputBatch MacroPlayer::onOperationResult(MacroPlayer& player, std::uint64_t token, bool ok, std::uint64_t now)
{
    if (!player.running() || player.waiting == 0 || token != player.waiting)
        return playerBatch();
    if (!ok)
        return finish(player);
    player.waiting = 0;
    advance(player);
    player.nextTime = now;
    return playerBatch();
}

OutputBatch MacroPlayer::finish(MacroPlayer& player)
{
    OutputBatch batch = playerBatch();
    player.engine.releaseOwner(kMacroOwnerToken, batch);
    if (player.waiting) {
        batch.mode = kBatchModeCancel;
        batch.owner = player.waiting;
        batch.command = 0;
    }
    goIdle(player);
    return batch;
}

OutputBatch MacroPlayer::mergeReleases(MacroPlayer& player, const OutputBatch& pending)
{
    OutputBatch result = playerBatch();
    appendEarlierUps(result, pending, pending);
    const OutputBatch finished = finish(player);
    appendEarlierUps(result, finished, pending);
    result.copyOperation(finished);
    return result;
}

} // namespace vorna::core
