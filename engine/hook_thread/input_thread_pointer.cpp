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
    return m_state.layers.motion[m_layerStacks.current < kProgramLayers ? m_layerStacks.current : 0];
}

void InputThread::clearNotches()
{
    for (uint16_t i = 0; i < m_pointer.notchRowCount; ++i) {
        const uint16_t row = m_pointer.notchRows[i];
        int32_t(&accumulators)[2] = m_pointer.notches[row / kModifierStates][row % kModifierStates];
        accumulators[0] = accumulators[1] = 0;
        m_pointer.notchRowListed.reset(row);
    }
    m_pointer.notchRowCount = 0;
}

bool InputThread::processWheel(InputEvent event, int32_t delta)
{
    HeldStateWrite write(m_state.heldState);
    event.delta = delta;
    event.modifiers = modifierMask();
    if (m_state.journal)
        m_state.journal->setHookHeartbeat(tickMs());
    const bool physical = event.origin == kOriginPhysical;
    if (physical) {
        expireLayers(event.time);
        pumpScheduler(event.time);
    }
    addOwned(m_inputEvents);
    const CompiledRule* rule = physical && !m_state.engine.released ? engine::lookUpRule(m_state.engine, event) : nullptr;
    const bool swallow = rule ? wheelRule(event, *rule, delta) : wheelMotion(event, delta);
    if (swallow)
        addOwned(m_suppressed);
    return swallow;
}

bool InputThread::wheelRule(InputEvent& event, const CompiledRule& rule, int32_t delta)
{
    beginContext(event, rule.id);
    m_state.contexts.current.pointer = 1;
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
    if (!m_pointer.notchRowListed.test(row)) {
        m_pointer.notchRowListed.set(row);
        m_pointer.notchRows[m_pointer.notchRowCount++] = row;
    }
    int32_t& accumulator = m_pointer.notches[rule.id - 1][event.modifiers & 0xF][isHorizontalWheel(event.input) ? 1 : 0];
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
    m_state.contexts.current.pointer = 1;
    if (event.origin != kOriginPhysical || m_state.engine.released) {
        recordInput(event, false);
        return false;
    }
    const WheelConversion conversion = convertWheel(currentMotion(), isHorizontalWheel(event.input), delta, false,
                                                    m_pointer.wheel[event.modifiers & 0xF]);
    if (!conversion.convert) {
        recordInput(event, false);
        return false;
    }
    recordInput(event, true);
    if (conversion.amount != 0)
        actOnOutput(m_state.output.emitWheel(conversion.horizontal, conversion.amount, conversion.pages));
    return true;
}

uint8_t InputThread::pointerModeBits() const
{
    uint8_t bits = 0;
    uint8_t axis = 0;
    for (int i = 0; i < m_pointerHoldCount; ++i) {
        switch (core::PointerMode(m_pointerHolds[i].mode)) {
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
    if ((flags & LLMHF_INJECTED) != 0 || !m_pointer.lastValid) {
        m_pointer.last = position;
        m_pointer.lastValid = true;
        return false;
    }
    const int32_t dx = clampMotionDelta(int64_t(position.x) - m_pointer.last.x);
    const int32_t dy = clampMotionDelta(int64_t(position.y) - m_pointer.last.y);
    const uint8_t modes = pointerModeBits();
    const core::MotionSettings& motion = currentMotion();
    const bool cursorNeutral = motion.cursorX == 100 && motion.cursorY == 100 && !motion.invertX &&
                               !motion.invertY && motion.axis == 0;
    const bool transformed = !m_state.engine.released && (m_pointerHoldCount > 0 || !cursorNeutral);

    m_pointer.physicalDx += dx;
    m_pointer.physicalDy += dy;
    if (m_state.observing) {
        const uint64_t now = nowNs();
        if (now - m_pointer.lastRecordNs >= kPointerRecordIntervalNs) {
            ObservationRecord record = m_pointer.context;
            record.kind = kRecordPointer;
            record.result = transformed ? kResultPending : kResultPassed;
            record.suppressed = transformed ? 1 : 0;
            record.delta = clampRecordAmount(m_pointer.physicalDx);
            record.dy = clampRecordAmount(m_pointer.physicalDy);
            record.pointerModes = modes;
            record.pointer = 1;
            record.timestampMs = now;
            observe(record);
            m_pointer.physicalDx = m_pointer.physicalDy = 0;
            m_pointer.context = kEmptyRecord;
            m_pointer.context.execution = m_state.contexts.nextExecution();
            m_pointer.context.revision = m_state.contexts.revision;
            m_pointer.context.profileIndex = m_state.layers.profileIndex;
            m_pointer.context.layerIndex = m_layerStacks.current;
            m_pointer.context.device = kMouseHookDevice;
            m_pointer.lastRecordNs = now;
        }
    }
    if (!transformed) {
        m_pointer.last = position;
        return false;
    }
    addOwned(m_inputEvents);
    addOwned(m_suppressed);
    if (modes & ScrollBit)
        scrollByMotion(dx, dy);
    else
        movePointer(dx, dy, modes);
    return true;
}

bool InputThread::scrollByMotion(int32_t dx, int32_t dy)
{
    const core::MotionSettings& motion = currentMotion();
    WheelRemainders& remainders = m_pointer.wheel[modifierMask() & 0xF];
    const int64_t vertical = scrollUnits(-dy, motion.scrollPixels, m_pointer.scrollRemainderY);
    const int64_t horizontal = scrollUnits(dx, motion.scrollPixels, m_pointer.scrollRemainderX);
    for (int axis = 0; axis < 2; ++axis) {
        int64_t left = axis == 0 ? vertical : horizontal;
        for (int chunk = 0; chunk < int(kMaxWheelEvents) && left != 0; ++chunk) {
            const int32_t part = int32_t(left > kMaxScrollChunk ? kMaxScrollChunk : left < -kMaxScrollChunk ? -kMaxScrollChunk : left);
            left -= part;
            const WheelConversion c = convertWheel(motion, axis == 1, part, true, remainders);
            if (c.amount == 0)
                continue;
            if (!actOnOutput(m_state.output.emitWheel(c.horizontal, c.amount, c.pages)))
                return false;
            m_pointer.wheelOutput[wheelDirection(c.horizontal, c.amount)] +=
                uint64_t(std::llabs(c.amount)) * (c.pages ? uint64_t(kWheelNotch) : 1);
        }
    }
    return true;
}

bool InputThread::movePointer(int32_t dx, int32_t dy, uint8_t modes)
{
    const core::MotionSettings& motion = currentMotion();
    const int32_t speed = (modes & SpeedBit) ? motion.temporarySpeed : 100;
    int64_t x = int64_t(m_pointer.last.x) + scaleCursorAxis(motion.cursorX, speed, motion.invertX, dx, m_pointer.cursorRemainderX);
    int64_t y = int64_t(m_pointer.last.y) + scaleCursorAxis(motion.cursorY, speed, motion.invertY, dy, m_pointer.cursorRemainderY);
    if (modes & AxisXBit) {
        y = m_pointer.last.y;
        m_pointer.cursorRemainderY = 0;
    } else if (modes & AxisYBit) {
        x = m_pointer.last.x;
        m_pointer.cursorRemainderX = 0;
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
            m_pointer.cursorRemainderX = 0;
        if (cy != y)
            m_pointer.cursorRemainderY = 0;
        const POINT target{LONG(cx), LONG(cy)};
        if (target.x != m_pointer.last.x || target.y != m_pointer.last.y) {
            POINT actual{};
            moved = m_state.output.moveCursorAbsolute(target, actual, error);
            if (moved) {
                m_pointer.programDx += int64_t(actual.x) - m_pointer.last.x;
                m_pointer.programDy += int64_t(actual.y) - m_pointer.last.y;
                m_pointer.last = actual;
                ++m_pointer.programMoves;
                addOwned(m_state.outputEvents);
            }
        }
    }
    if (moved)
        return true;
    ObservationRecord record = m_state.contexts.record(kRecordCursor, kResultFailed);
    record.error = error;
    record.delta = clampRecordAmount(m_pointer.programDx);
    record.dy = clampRecordAmount(m_pointer.programDy);
    record.pointer = 1;
    observe(record);
    addOwned(m_state.outputFailures);
    m_state.win32Error.store(error, std::memory_order_release);
    resetAll(ResetOutputFailed);
    return false;
}

void InputThread::reportWheelOutput()
{
    for (uint8_t direction = WheelUp; direction <= WheelRight; ++direction) {
        uint64_t& sum = m_pointer.wheelOutput[direction];
        if (sum == 0)
            continue;
        ObservationRecord record = m_pointer.context;
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
    if (!m_state.observing)
        return;
    if (m_pointer.physicalDx != 0 || m_pointer.physicalDy != 0) {
        ObservationRecord record = m_pointer.context;
        record.kind = kRecordPointer;
        record.result = kResultPending;
        record.delta = clampRecordAmount(m_pointer.physicalDx);
        record.dy = clampRecordAmount(m_pointer.physicalDy);
        record.pointerModes = pointerModeBits();
        record.pointer = 1;
        observe(record);
    }
    reportWheelOutput();
    if (m_pointer.programMoves > 0) {
        ObservationRecord record = m_pointer.context;
        record.kind = kRecordCursor;
        record.result = kResultSent;
        record.delta = clampRecordAmount(m_pointer.programDx);
        record.dy = clampRecordAmount(m_pointer.programDy);
        record.pointer = 1;
        observe(record);
    }
}

void InputThread::resetPointer()
{
    reportPointer();
    for (WheelRemainders& r : m_pointer.wheel)
        r = WheelRemainders{};
    m_pointer.cursorRemainderX = m_pointer.cursorRemainderY = 0;
    m_pointer.scrollRemainderX = m_pointer.scrollRemainderY = 0;
    m_pointer.physicalDx = m_pointer.physicalDy = 0;
    m_pointer.programDx = m_pointer.programDy = 0;
    m_pointer.programMoves = 0;
    for (uint64_t& sum : m_pointer.wheelOutput)
        sum = 0;
    m_pointer.context = kEmptyRecord;
    m_pointer.context.execution = m_state.contexts.nextExecution();
    m_pointer.context.revision = m_state.contexts.revision;
    m_pointer.context.device = kMouseHookDevice;
    POINT position{};
    m_pointer.lastValid = GetPhysicalCursorPos(&position) != FALSE;
    m_pointer.last = position;
}

} // namespace vorna::windows
