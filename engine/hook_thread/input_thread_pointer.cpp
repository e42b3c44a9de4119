// Wheel, cursor and pointer transforms on the hook thread: whole notches for wheel rules, the
// layer's wheel and cursor settings and the held pointer modes (scroll, speed, axis locks). The
// wheel events and absolute cursor moves they come to are the output side's.
#include "engine/hook_thread/input_thread.h"

#include <cstdlib>

namespace vorna::windows {

using core::CompiledRule;
using core::OutputBatch;

namespace {

constexpr uint64_t kPointerRecordIntervalNs = 16'000'000;
constexpr int32_t kMaxScrollChunk = 32'767;

enum PointerModeBit : uint8_t { ScrollBit = 1, SpeedBit = 2, AxisXBit = 4, AxisYBit = 8 };

bool isHorizontalWheel(core::InputId input)
{
    const uint16_t code = core::inputCode(input);
    return code == WheelLeft || code == WheelRight;
}

uint8_t wheelDirection(bool horizontal, int64_t amount)
{
    if (horizontal)
        return amount > 0 ? WheelRight : WheelLeft;
    return amount > 0 ? WheelUp : WheelDown;
}

int32_t clampRecordAmount(int64_t value)
{
    return int32_t(clampMotionAmount(value));
}

} // namespace

const core::MotionSettings& InputThread::currentMotion() const
{
    return state.layers.motion[layerStacks.current < kProgramLayers ? layerStacks.current : 0];
}

void InputThread::clearNotches()
{
    for (uint16_t i = 0; i < pointer.notchRowCount; ++i) {
        const uint16_t row = pointer.notchRows[i];
        int32_t(&accumulators)[2] = pointer.notches[row / kModifierStates][row % kModifierStates];
        accumulators[0] = accumulators[1] = 0;
        pointer.notchRowListed.reset(row);
    }
    pointer.notchRowCount = 0;
}

bool InputThread::processWheel(InputEvent event, int32_t delta)
{
    HeldStateWrite write(state.heldState);
    event.delta = delta;
    event.modifiers = modifierMask();
    if (state.journal)
        state.journal->setHookHeartbeat(GetTickCount64());
    const bool physical = event.origin == kOriginPhysical;
    if (physical) {
        expireLayers(event.time);
        pumpScheduler(event.time);
    }
    inputEvents.fetch_add(1, std::memory_order_acq_rel);
    const CompiledRule* rule = physical && !state.engine.released ? engine::lookUpRule(state.engine, event) : nullptr;
    const bool swallow = rule ? wheelRule(event, *rule, delta) : wheelMotion(event, delta);
    if (swallow)
        suppressed.fetch_add(1, std::memory_order_acq_rel);
    return swallow;
}

bool InputThread::wheelRule(InputEvent& event, const CompiledRule& rule, int32_t delta)
{
    beginContext(event, rule.id);
    state.contexts.current.pointer = 1;
    const bool suppress = rule.suppressOriginal;
    switch (rule.targetKind) {
    case core::TargetKind::Unchanged:
        recordInput(event, false);
        return false;
    case core::TargetKind::Blocked:
        recordInput(event, true);
        return true;
    default:
        break;
    }
    if (rule.targetKind == core::TargetKind::KeyOutput && core::isWheelInput(rule.output)) {
        recordInput(event, suppress);
        // One event carries at most 32,760: a delta of -32768 is two events, never a wrapped one.
        OutputBatch batch;
        for (uint32_t left = uint32_t(std::abs(int64_t(delta))); left > 0;) {
            const uint32_t part = left > kMaxWheelEventAmount ? kMaxWheelEventAmount : left;
            batch.append(rule.output, core::kPhaseDown, part);
            left -= part;
        }
        queue(batch);
        return suppress;
    }
    if (rule.id < 1 || rule.id > uint32_t(kWheelRuleBank) || delta < INT16_MIN || delta > INT16_MAX) {
        recordInput(event, suppress);
        return suppress;
    }
    const uint16_t row = uint16_t((rule.id - 1) * kModifierStates + (event.modifiers & 0xF));
    if (!pointer.notchRowListed.test(row)) {
        pointer.notchRowListed.set(row);
        pointer.notchRows[pointer.notchRowCount++] = row;
    }
    int32_t& accumulator = pointer.notches[rule.id - 1][event.modifiers & 0xF][isHorizontalWheel(event.input) ? 1 : 0];
    const int32_t notches = std::abs(takeNotches(accumulator, delta));
    if (notches > kMaxNotchesPerEvent) {
        resetAll(ResetCapacity);
        clearNotches();
        recordInput(event, false);
        return false;
    }
    recordInput(event, suppress);
    // The rule's target fires once per notch, as a press and a release of the wheel input.
    for (int32_t n = 0; n < notches; ++n) {
        InputEvent notch = event;
        notch.phase = core::kPhaseDown;
        processEvent(notch, false, nullptr);
        notch.phase = core::kPhaseUp;
        processEvent(notch, false, nullptr);
    }
    return suppress;
}

bool InputThread::wheelMotion(InputEvent& event, int32_t delta)
{
    beginContext(event, 0);
    state.contexts.current.pointer = 1;
    if (event.origin != kOriginPhysical || state.engine.released) {
        recordInput(event, false);
        return false;
    }
    const WheelConversion conversion = convertWheel(currentMotion(), isHorizontalWheel(event.input), delta, false,
                                                    pointer.wheel[event.modifiers & 0xF]);
    if (!conversion.convert) {
        recordInput(event, false);
        return false;
    }
    recordInput(event, true);
    if (conversion.amount != 0)
        actOnOutput(state.output.emitWheel(conversion.horizontal, conversion.amount, conversion.pages));
    return true;
}

uint8_t InputThread::pointerModeBits() const
{
    uint8_t bits = 0;
    uint8_t axis = 0;
    for (int i = 0; i < pointerHoldCount; ++i) {
        switch (core::PointerMode(pointerHolds[i].mode)) {
        case core::PointerMode::Scroll:
            bits |= ScrollBit;
            break;
        case core::PointerMode::Speed:
            bits |= SpeedBit;
            break;
        case core::PointerMode::AxisX:
            axis = AxisXBit;
            break;
        case core::PointerMode::AxisY:
            axis = AxisYBit;
            break;
        }
    }
    // A held axis lock wins over the layer's own axis setting.
    if (axis == 0) {
        const uint8_t layerAxis = currentMotion().axis;
        axis = layerAxis == 1 ? AxisXBit : layerAxis == 2 ? AxisYBit : 0;
    }
    return uint8_t(bits | axis);
}

bool InputThread::processMouseMove(POINT position, DWORD flags)
{
    if ((flags & LLMHF_INJECTED) != 0 || !pointer.lastValid) {
        pointer.last = position;
        pointer.lastValid = true;
        return false;
    }
    const int32_t dx = clampMotionDelta(int64_t(position.x) - pointer.last.x);
    const int32_t dy = clampMotionDelta(int64_t(position.y) - pointer.last.y);
    const uint8_t modes = pointerModeBits();
    const core::MotionSettings& motion = currentMotion();
    const bool cursorNeutral = motion.cursorX == 100 && motion.cursorY == 100 && !motion.invertX &&
                               !motion.invertY && motion.axis == 0;
    const bool transformed = !state.engine.released && (pointerHoldCount > 0 || !cursorNeutral);

    pointer.physicalDx += dx;
    pointer.physicalDy += dy;
    if (state.observing) {
        const uint64_t now = nowNs();
        if (now - pointer.lastRecordNs >= kPointerRecordIntervalNs) {
            ObservationRecord record = pointer.context;
            record.kind = kRecordPointer;
            record.result = transformed ? kResultPending : kResultPassed;
            record.suppressed = transformed ? 1 : 0;
            record.delta = clampRecordAmount(pointer.physicalDx);
            record.dy = clampRecordAmount(pointer.physicalDy);
            record.pointerModes = modes;
            record.pointer = 1;
            record.timestampMs = now;
            observe(record);
            pointer.physicalDx = pointer.physicalDy = 0;
            pointer.context = ObservationRecord{};
            pointer.context.execution = state.contexts.nextExecution();
            pointer.context.revision = state.contexts.revision;
            pointer.context.profileIndex = state.layers.profileIndex;
            pointer.context.layerIndex = layerStacks.current;
            pointer.context.device = kMouseHookDevice;
            pointer.lastRecordNs = now;
        }
    }
    if (!transformed) {
        pointer.last = position;
        return false;
    }
    inputEvents.fetch_add(1, std::memory_order_acq_rel);
    suppressed.fetch_add(1, std::memory_order_acq_rel);
    if (modes & ScrollBit)
        scrollByMotion(dx, dy);
    else
        movePointer(dx, dy, modes);
    return true;
}

bool InputThread::scrollByMotion(int32_t dx, int32_t dy)
{
    const core::MotionSettings& motion = currentMotion();
    WheelRemainders& remainders = pointer.wheel[modifierMask() & 0xF];
    const int64_t vertical = scrollUnits(-dy, motion.scrollPixels, pointer.scrollRemainderY);
    const int64_t horizontal = scrollUnits(dx, motion.scrollPixels, pointer.scrollRemainderX);
    for (int axis = 0; axis < 2; ++axis) {
        int64_t left = axis == 0 ? vertical : horizontal;
        for (int chunk = 0; chunk < int(kMaxWheelEvents) && left != 0; ++chunk) {
            const int32_t part = int32_t(left > kMaxScrollChunk ? kMaxScrollChunk : left < -kMaxScrollChunk ? -kMaxScrollChunk : left);
            left -= part;
            const WheelConversion c = convertWheel(motion, axis == 1, part, true, remainders);
            if (c.amount == 0)
                continue;
            if (!actOnOutput(state.output.emitWheel(c.horizontal, c.amount, c.pages)))
                return false;
            pointer.wheelOutput[wheelDirection(c.horizontal, c.amount)] +=
                uint64_t(std::llabs(c.amount)) * (c.pages ? uint64_t(kWheelNotch) : 1);
        }
    }
    return true;
}

bool InputThread::movePointer(int32_t dx, int32_t dy, uint8_t modes)
{
    const core::MotionSettings& motion = currentMotion();
    const int32_t speed = (modes & SpeedBit) ? motion.temporarySpeed : 100;
    int64_t x = int64_t(pointer.last.x) + scaleCursorAxis(motion.cursorX, speed, motion.invertX, dx, pointer.cursorRemainderX);
    int64_t y = int64_t(pointer.last.y) + scaleCursorAxis(motion.cursorY, speed, motion.invertY, dy, pointer.cursorRemainderY);
    if (modes & AxisXBit) {
        y = pointer.last.y;
        pointer.cursorRemainderY = 0;
    } else if (modes & AxisYBit) {
        x = pointer.last.x;
        pointer.cursorRemainderX = 0;
    }

    DWORD error = 0;
    bool moved = true;
    RECT screen{};
    if (!virtualScreen(screen)) {
        error = kBadScreenError;
        moved = false;
    } else {
        const int64_t cx = x < screen.left ? screen.left : x >= screen.right ? screen.right - 1 : x;
        const int64_t cy = y < screen.top ? screen.top : y >= screen.bottom ? screen.bottom - 1 : y;
        if (cx != x)
            pointer.cursorRemainderX = 0;
        if (cy != y)
            pointer.cursorRemainderY = 0;
        const POINT target{LONG(cx), LONG(cy)};
        if (target.x != pointer.last.x || target.y != pointer.last.y) {
            POINT actual{};
            moved = state.output.moveCursorAbsolute(target, actual, error);
            if (moved) {
                pointer.programDx += int64_t(actual.x) - pointer.last.x;
                pointer.programDy += int64_t(actual.y) - pointer.last.y;
                pointer.last = actual;
                ++pointer.programMoves;
                state.outputEvents.fetch_add(1, std::memory_order_acq_rel);
            }
        }
    }
    if (moved)
        return true;
    ObservationRecord record = state.contexts.record(kRecordCursor, kResultFailed);
    record.error = error;
    record.delta = clampRecordAmount(pointer.programDx);
    record.dy = clampRecordAmount(pointer.programDy);
    record.pointer = 1;
    observe(record);
    state.outputFailures.fetch_add(1, std::memory_order_acq_rel);
    state.win32Error.store(error, std::memory_order_release);
    resetAll(ResetOutputFailed);
    return false;
}

void InputThread::reportWheelOutput()
{
    for (uint8_t direction = WheelUp; direction <= WheelRight; ++direction) {
        uint64_t& sum = pointer.wheelOutput[direction];
        if (sum == 0)
            continue;
        ObservationRecord record = pointer.context;
        record.kind = kRecordOutput;
        record.result = kResultSent;
        record.origin = kOriginProgram;
        record.id = core::makeInputId(core::kClassWheel, core::kKindWheel, direction);
        record.delta = int32_t(sum > uint64_t(kMaxMotionAmount) ? kMaxMotionAmount : int64_t(sum));
        record.pointer = 1;
        observe(record);
        sum = 0;
    }
}

void InputThread::reportPointer()
{
    if (!state.observing)
        return;
    if (pointer.physicalDx != 0 || pointer.physicalDy != 0) {
        ObservationRecord record = pointer.context;
        record.kind = kRecordPointer;
        record.result = kResultPending;
        record.delta = clampRecordAmount(pointer.physicalDx);
        record.dy = clampRecordAmount(pointer.physicalDy);
        record.pointerModes = pointerModeBits();
        record.pointer = 1;
        observe(record);
    }
    reportWheelOutput();
    if (pointer.programMoves > 0) {
        ObservationRecord record = pointer.context;
        record.kind = kRecordCursor;
        record.result = kResultSent;
        record.delta = clampRecordAmount(pointer.programDx);
        record.dy = clampRecordAmount(pointer.programDy);
        record.pointer = 1;
        observe(record);
    }
}

void InputThread::resetPointer()
{
    reportPointer();
    for (WheelRemainders& r : pointer.wheel)
        r = WheelRemainders{};
    pointer.cursorRemainderX = pointer.cursorRemainderY = 0;
    pointer.scrollRemainderX = pointer.scrollRemainderY = 0;
    pointer.physicalDx = pointer.physicalDy = 0;
    pointer.programDx = pointer.programDy = 0;
    pointer.programMoves = 0;
    for (uint64_t& sum : pointer.wheelOutput)
        sum = 0;
    pointer.context = ObservationRecord{};
    pointer.context.execution = state.contexts.nextExecution();
    pointer.context.revision = state.contexts.revision;
    pointer.context.device = kMouseHookDevice;
    POINT position{};
    pointer.lastValid = GetPhysicalCursorPos(&position) != FALSE;
    pointer.last = position;
}

} // namespace vorna::windows
