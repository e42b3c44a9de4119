#include "engine/hook_thread/output_sink.h"

#include "engine/hook_thread/backend_state.h"
#include "engine/hook_thread/system_reads.h"
#include "engine/mapping/cursor_math.h"
#include "engine/mapping/hook_keys.h"
#include "engine/mapping/injection_marker.h"
#include "engine/mapping/supported_input.h"
#include "engine/mapping/wheel_math.h"
#include "engine/published/owned_counter.h"

#include <algorithm>
#include <cstdlib>

namespace vorna::windows {

using core::InputId;
using core::OutputBatch;
using core::OutputEvent;

namespace {

constexpr std::uint32_t kUnsupportedOutputError = 50; // ERROR_NOT_SUPPORTED
constexpr std::uint32_t kQueueFullError = 8;
constexpr DWORD kScreenOutOfRangeError = 50; // ERROR_NOT_SUPPORTED
constexpr OutputResult kFailed{true, false};

struct ButtonFlags {
    DWORD down;
    DWORD up;
    DWORD data;
};

constexpr ButtonFlags kButtonFlags[] = {
    {MOUSEEVENTF_LEFTDOWN, MOUSEEVENTF_LEFTUP, 0},
    {MOUSEEVENTF_RIGHTDOWN, MOUSEEVENTF_RIGHTUP, 0},
    {MOUSEEVENTF_MIDDLEDOWN, MOUSEEVENTF_MIDDLEUP, 0},
    {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON1},
    {MOUSEEVENTF_XDOWN, MOUSEEVENTF_XUP, XBUTTON2},
};

// Wheel directions 1-4: up, down, left, right.
struct WheelFlags {
    DWORD flag;
    int sign;
};

constexpr WheelFlags kWheelFlags[] = {
    {MOUSEEVENTF_WHEEL, 1},
    {MOUSEEVENTF_WHEEL, -1},
    {MOUSEEVENTF_HWHEEL, -1},
    {MOUSEEVENTF_HWHEEL, 1},
};

OperationData operationOf(const OutputBatch& batch)
{
    return OperationData{batch.mode, batch.owner, batch.command, batch.dx, batch.dy, batch.layer};
}

LONG clampTo(LONG value, LONG low, LONG highExclusive)
{
    return std::max(low, std::min(value, highExclusive - 1));
}

PixelRect toPixels(const RECT& r)
{
    return PixelRect{r.left, r.top, r.right, r.bottom};
}

} // namespace

OutputSink::OutputSink(BackendState& state) : m_state(state)
{
    // Every queued batch starts as an empty one: each event one notch of 120.
    for (QueuedBatch& entry : m_queue) {
        for (OutputEvent& event : entry.batch.events)
            event = OutputEvent{0, core::kPhaseDown, core::kDefaultOutputAmount};
    }
    outputFunction = &SendInput;
}

bool OutputSink::buildKeyInput(const OutputEvent& event, INPUT& input)
{
    input = INPUT{};
    if (!core::isSupportedInputId(event.input))
        return false;
    const std::uint16_t code = core::inputCode(event.input);
    const bool up = event.phase == core::kPhaseUp;
    switch (core::inputClass(event.input)) {
    case core::kClassKeyboard:
        input.type = INPUT_KEYBOARD;
        if (core::inputKind(event.input) == core::kKindExtendedScanCode) {
            // Numpad Enter has no virtual key of its own: it goes by its scan code.
            input.ki.wScan = WORD(code % 256);
            input.ki.dwFlags = KEYEVENTF_SCANCODE | KEYEVENTF_EXTENDEDKEY;
        } else {
            input.ki.wVk = WORD(code);
            input.ki.dwFlags = isExtendedKey(code) ? KEYEVENTF_EXTENDEDKEY : 0;
        }
        if (up)
            input.ki.dwFlags |= KEYEVENTF_KEYUP;
        input.ki.dwExtraInfo = ULONG_PTR(kInjectionMarker);
        return true;
    case core::kClassMouseButton: {
        const ButtonFlags& flags = kButtonFlags[code - 1];
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = up ? flags.up : flags.down;
        input.mi.mouseData = flags.data;
        input.mi.dwExtraInfo = ULONG_PTR(kInjectionMarker);
        return true;
    }
    default: {
        // A wheel step has no release, and its amount must fit the signed 16-bit delta.
        if (up || event.amount > kMaxWheelEventAmount)
            return false;
        const WheelFlags& flags = kWheelFlags[code - 1];
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags.flag;
        input.mi.mouseData = DWORD(std::int32_t(event.amount) * flags.sign);
        input.mi.dwExtraInfo = ULONG_PTR(kInjectionMarker);
        return true;
    }
    }
}

bool OutputSink::held(InputId input) const
{
    const int index = inputIndex(input);
    return index >= 0 && m_heldOutputs[std::size_t(index)].held && m_heldOutputs[std::size_t(index)].input == input;
}

std::uint32_t OutputSink::setJournalMark(InputId input, std::uint32_t value)
{
    SafetyJournalView* journal = m_state.journal;
    if (!journal)
        return 0;
    const std::uint16_t code = core::inputCode(input);
    if (core::inputClass(input) == core::kClassMouseButton)
        return journal->exchangeEngineHeldButton(code, value);
    if (core::inputKind(input) == core::kKindExtendedScanCode)
        return code == core::kNumpadEnterCode ? journal->exchangeEngineHoldsNumpadEnter(value) : 0;
    return journal->exchangeEngineHeldKey(code, value);
}

std::uint32_t OutputSink::clearHeld(InputId input)
{
    const int index = inputIndex(input);
    if (index < 0)
        return 0;
    HeldStateWrite write(m_state.heldState);
    m_heldOutputs[std::size_t(index)] = HeldOutput{};
    m_state.heldState.setOutput(index, 0);
    return setJournalMark(input, 0);
}

void OutputSink::markHeld(InputId input)
{
    const int index = inputIndex(input);
    if (index < 0)
        return;
    HeldStateWrite write(m_state.heldState);
    m_heldOutputs[std::size_t(index)] = HeldOutput{input, 1};
    m_state.heldState.setOutput(index, 1);
    setJournalMark(input, 1);
}

bool OutputSink::mayRecord(const OutputBatch& batch) const
{
    return m_state.observing || !isMappingBatch(batch);
}

bool OutputSink::recording() const
{
    return m_state.observing && !m_sendingUnobserved;
}

void OutputSink::observe(const ObservationRecord& record)
{
    if (recording())
        m_state.observations.push(record);
}

void OutputSink::recordOutput(const OutputEvent& event, bool sent)
{
    if (!recording()) // the record is built only for a ring that takes it
        return;
    ObservationRecord record = m_state.contexts.record(kRecordOutput, sent ? kResultSent : kResultFailed);
    record.id = event.input;
    record.phase = event.phase;
    record.origin = kOriginProgram;
    record.delta = std::int32_t(event.amount);
    record.step = std::uint16_t(currentStep);
    observe(record);
}

void OutputSink::recordFailure(const OutputEvent& event, std::uint32_t error)
{
    if (!recording())
        return;
    ObservationRecord record = m_state.contexts.record(kRecordOutput, kResultFailed);
    record.id = event.input;
    record.phase = event.phase;
    record.origin = kOriginProgram;
    record.delta = std::int32_t(event.amount);
    record.step = std::uint16_t(currentStep);
    record.error = error;
    observe(record);
}

void OutputSink::keepHeldReleases(OutputBatch& batch) const
{
    std::uint64_t kept = 0;
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        const OutputEvent& event = batch.events[i];
        if (event.phase == core::kPhaseUp && held(event.input))
            batch.events[kept++] = event;
    }
    batch.count = kept;
    if (batch.mode != core::kBatchModeCancel)
        batch.clearOperation();
}

OutputResult OutputSink::enqueue(const OutputBatch& batch)
{
    if (batch.empty())
        return {};
    if (!inHook && m_count == 0) {
        currentStep = m_state.player.stepIndex;
        return flush(batch);
    }
    if (m_count == kOutputQueueSize) {
        m_state.win32Error.store(kQueueFullError, std::memory_order_release);
        addOwned(m_state.outputFailures);
        return kFailed;
    }
    QueuedBatch& entry = m_queue[(m_head + m_count) % kOutputQueueSize];
    entry.batch.assign(batch);
    // The contexts are two whole records; a mapping's batch sent while nobody observes never
    // reads them, and copying them in and out was a good part of the queue's cost.
    entry.hasContexts = mayRecord(batch);
    if (entry.hasContexts)
        entry.contexts = m_state.contexts.save();
    entry.step = m_state.player.stepIndex;
    entry.captureFlags = currentCaptureFlags;
    ++m_count;
    const DWORD thread = m_state.threadId.load(std::memory_order_acquire);
    if (m_count == 1 && thread != 0 && !PostThreadMessageW(thread, kFlushMessage, 0, 0)) {
        m_state.win32Error.store(GetLastError(), std::memory_order_release);
        addOwned(m_state.outputFailures);
        --m_count; // refused means not queued: nothing would ever send it
        return kFailed;
    }
    return {};
}

OutputResult OutputSink::onFlushMessage()
{
    if (inHook || m_flushing || m_count == 0)
        return {};
    m_flushing = 1;
    const std::uint32_t step = currentStep;
    const std::uint16_t captureFlags = currentCaptureFlags;
    // Saved only before the first batch that brings contexts of its own.
    bool swapped = false;
    OutputResult result;
    OutputBatch batch;
    for (std::size_t n = 0; n < kOutputQueueSize && m_count > 0 && result.ok(); ++n) {
        // A mapping's batch queues nothing while it is sent and goes out from its slot; any other
        // is copied out first, since what it sends may queue new batches into that slot.
        const QueuedBatch& entry = m_queue[m_head];
        const bool inPlace = isMappingBatch(entry.batch);
        if (!inPlace)
            batch.assign(entry.batch);
        if (entry.hasContexts) {
            if (!swapped)
                m_flushOuter = m_state.contexts.save();
            swapped = true;
            m_state.contexts.restore(entry.contexts);
        }
        // Queued while nobody observed, it has no contexts to record under: it goes out unrecorded,
        // as if sent before observation began (the hook thread may take the request meanwhile).
        m_sendingUnobserved = !entry.hasContexts;
        currentStep = entry.step;
        currentCaptureFlags = entry.captureFlags;
        m_head = (m_head + 1) % kOutputQueueSize;
        --m_count;
        result = flush(inPlace ? entry.batch : batch);
    }
    m_sendingUnobserved = false;
    currentStep = step;
    currentCaptureFlags = captureFlags;
    m_flushing = 0;
    if (!result.ok())
        return result; // the reset empties the queue: no second message
    if (swapped)
        m_state.contexts.restore(m_flushOuter);
    const DWORD thread = m_state.threadId.load(std::memory_order_acquire);
    if (m_count > 0 && !PostThreadMessageW(thread, kFlushMessage, 0, 0)) {
        m_state.win32Error.store(GetLastError(), std::memory_order_release);
        return kFailed;
    }
    return {};
}

void OutputSink::reportHeldBackStop()
{
    if (!m_stopHeldBack)
        return;
    m_stopHeldBack = false;
    observe(m_heldBackStop);
}

bool OutputSink::sendEvent(const OutputEvent& event)
{
    const int index = inputIndex(event.input);
    const bool up = event.phase == core::kPhaseUp;
    if (index >= 0) {
        const bool userHoldsIt = m_state.engine.countBySource(event.input) > 0;
        const HeldOutput& entry = m_heldOutputs[std::size_t(index)];
        const bool heldHere = entry.held && entry.input == event.input; // held(event.input)
        if (event.phase == core::kPhaseDown && (heldHere || userHoldsIt))
            return true;
        if (up && (!heldHere || userHoldsIt)) {
            clearHeld(event.input);
            return true;
        }
    }

    INPUT input;
    if (!buildKeyInput(event, input)) {
        m_state.win32Error.store(kUnsupportedOutputError, std::memory_order_release);
        addOwned(m_state.outputFailures);
        recordFailure(event, kUnsupportedOutputError);
        return false;
    }
    if (!up && index >= 0)
        setJournalMark(event.input, 1);

    m_inFlight.event = event;
    m_inFlight.sending = true;
    bool sent = outputFunction(1, &input, int(sizeof(INPUT))) == 1;
    if (!sent) {
        const DWORD error = GetLastError();
        m_state.win32Error.store(error, std::memory_order_release);
        addOwned(m_state.outputFailures);
        recordFailure(event, error);
        if (up) {
            // A lost release leaves a key stuck for the user: one more try.
            sent = outputFunction(1, &input, int(sizeof(INPUT))) == 1;
        } else if (index >= 0 && !held(event.input)) {
            setJournalMark(event.input, 0);
        }
    }
    m_inFlight.sending = false;
    if (!sent)
        return false;

    if (index >= 0) {
        m_heldOutputs[std::size_t(index)] = up ? HeldOutput{} : HeldOutput{event.input, 1};
        m_state.heldState.setOutput(index, up ? 0 : 1);
        if (up)
            setJournalMark(event.input, 0);
    }
    addOwned(m_state.outputEvents);
    recordOutput(event, true);
    return true;
}

OutputResult OutputSink::continueMacro(std::uint64_t token, bool ok)
{
    return enqueue(core::MacroPlayer::onOperationResult(m_state.player, token, ok, m_state.clock.nowNs()));
}

bool OutputSink::moveCursorBy(const OutputBatch& batch)
{
    RECT screen{};
    POINT position{};
    POINT actual{};
    DWORD error = 0;
    bool moved = false;
    if (!virtualScreen(screen) || screen.right <= screen.left || screen.bottom <= screen.top ||
        !physicalCursor(position)) {
        error = kBadScreenError;
    } else {
        const POINT target{clampTo(position.x + batch.dx, screen.left, screen.right),
                           clampTo(position.y + batch.dy, screen.top, screen.bottom)};
        moved = moveCursorAbsolute(target, actual, error);
    }
    ObservationRecord record = m_state.contexts.record(kRecordCursor, moved ? kResultSent : kResultFailed);
    record.error = moved ? 0 : std::uint32_t(error);
    record.delta = moved ? actual.x - position.x : 0;
    record.dy = moved ? actual.y - position.y : 0;
    record.operation = operationOf(batch);
    record.step = std::uint16_t(currentStep);
    observe(record);
    return moved;
}

OutputResult OutputSink::performOperation(const OutputBatch& batch)
{
    switch (batch.mode) {
    case core::kBatchModeCursorMove:
        return continueMacro(batch.owner, moveCursorBy(batch));
    case core::kBatchModeLayerStep: {
        LayerStepper* stepper = m_state.layerStepper;
        const bool stepped = stepper && stepper->stepLayer(batch.layer);
        ObservationRecord record = m_state.contexts.record(kRecordEngine, stepped ? kResultLayer : kResultFailed);
        record.operation = operationOf(batch);
        record.step = std::uint16_t(currentStep);
        observe(record);
        return continueMacro(batch.owner, stepped);
    }
    case core::kBatchModeCommand:
    case core::kBatchModeProfileStep:
    case core::kBatchModeCancel: {
        ObservationRecord record = m_state.contexts.record(
            kRecordAction, batch.mode == core::kBatchModeCancel ? kResultCancelled : kResultQueued);
        record.phase = core::kPhaseDown; // an operation has no press or release
        record.command = batch.command;
        record.step = std::uint16_t(currentStep);
        record.foregroundWindow = m_state.player.startWindow;
        record.operation = operationOf(batch);
        const bool taken = m_state.engineEvents.push(record);
        observe(record);
        return taken ? OutputResult{} : kFailed;
    }
    default:
        return {};
    }
}

bool OutputSink::dropForeignWindowRun(const OutputBatch& batch, OutputResult& result)
{
    // Only batches of the macro run still going: its releases after the end must always go.
    const core::MacroPlayer& player = m_state.player;
    if (batch.owner == 0 || !player.running() || foregroundWindow() == player.startWindow)
        return false;
    purgeQueue();
    const OutputBatch releases = core::MacroPlayer::mergeReleases(m_state.player, batch);
    // The stop is reported after its releases, which may already have been sent; when they ask
    // for a reset, after that reset's releases.
    const ObservationRecord stopped = m_state.contexts.record(kRecordEngine, kResultCancelled);
    result = enqueue(releases);
    if (result.ok()) {
        observe(stopped);
    } else {
        m_heldBackStop = stopped;
        m_stopHeldBack = true;
    }
    return true;
}

OutputResult OutputSink::flush(const OutputBatch& batch)
{
    HeldStateWrite write(m_state.heldState);
    const InFlight previous = m_inFlight;
    m_inFlight = InFlight{{}, false, &batch, 0};
    const std::uint64_t resets = resetMark();

    OutputResult result;
    if (dropForeignWindowRun(batch, result)) {
        m_inFlight = previous;
        return result;
    }
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        m_inFlight.next = i + 1;
        result.failed = !sendEvent(batch.events[i]) || result.failed;
        // A reset ran while this batch was being sent: the rest of it and its operation must not
        // follow the reset's releases.
        result.resetRan = resetSince(resets);
        if (result.resetRan)
            break;
    }
    if (!result.resetRan)
        result |= performOperation(batch);
    m_inFlight = previous;
    return result;
}

OutputResult OutputSink::emitWheel(bool horizontal, std::int64_t amount, bool pages)
{
    OutputBatch batch;
    if (!pages) {
        WheelEvents events;
        if (!splitWheelAmount(horizontal, amount, events))
            return kFailed;
        const InputId wheel = core::makeInputId(core::kClassWheel, core::kKindWheel, events.direction);
        for (std::uint32_t i = 0; i < events.count; ++i)
            batch.append(wheel, core::kPhaseDown, events.amounts[i]);
        return enqueue(batch);
    }
    const std::uint64_t notches = std::uint64_t(std::llabs(amount));
    if (horizontal || notches > std::uint64_t(kMaxNotchesPerEvent))
        return kFailed;
    const InputId page = core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, amount > 0 ? 33 : 34);
    for (std::uint64_t i = 0; i < notches; ++i) {
        m_state.engine.press(kPageOwnerToken, page, batch);
        m_state.engine.release(kPageOwnerToken, page, batch);
    }
    return enqueue(batch);
}

bool OutputSink::moveCursorAbsolute(POINT target, POINT& actual, DWORD& error)
{
    const std::int32_t left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const std::int32_t top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const std::int32_t width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const std::int32_t height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    actual = target;
    if (width < 1 || width > 65'536 || height < 1 || height > 65'536) {
        error = kScreenOutOfRangeError;
        return false;
    }
    RECT clipRect{};
    if (!GetClipCursor(&clipRect)) {
        error = GetLastError();
        return false;
    }
    const PixelRect clip = toPixels(clipRect);
    if (clip.empty()) {
        error = kBadScreenError;
        return false;
    }
    std::int32_t x = target.x;
    std::int32_t y = target.y;
    clampIntoRect(x, y, clip);
    MONITORINFO info{};
    info.cbSize = sizeof info;
    const HMONITOR monitor = MonitorFromPoint(POINT{x, y}, MONITOR_DEFAULTTONEAREST);
    const PixelRect area = monitor && GetMonitorInfoW(monitor, &info) ? intersectRects(toPixels(info.rcMonitor), clip)
                                                                       : PixelRect{};
    if (area.empty()) {
        error = kBadScreenError;
        return false;
    }
    clampIntoRect(x, y, area);
    actual = POINT{x, y};

    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE;
    input.mi.dx = absoluteCoordinate(x, left, width);
    input.mi.dy = absoluteCoordinate(y, top, height);
    input.mi.dwExtraInfo = ULONG_PTR(kInjectionMarker);
    if (outputFunction(1, &input, int(sizeof(INPUT))) != 1) {
        error = GetLastError();
        return false;
    }
    return true;
}

bool OutputSink::isPendingDown(InputId input) const
{
    bool pending = m_inFlight.sending && m_inFlight.event.input == input && m_inFlight.event.phase != core::kPhaseUp;
    auto scan = [&](const OutputBatch& batch, std::uint64_t from) {
        for (std::uint64_t i = from; i < batch.count; ++i) {
            if (batch.events[i].input == input)
                pending = batch.events[i].phase != core::kPhaseUp;
        }
    };
    if (m_inFlight.batch)
        scan(*m_inFlight.batch, m_inFlight.next);
    for (std::uint32_t n = 0; n < m_count; ++n)
        scan(m_queue[(m_head + n) % kOutputQueueSize].batch, 0);
    return pending;
}

bool OutputSink::takeSoftResetKeep(OutputBatch& kept)
{
    bool fits = true;
    for (std::uint32_t n = 0; n < m_count; ++n) {
        const OutputBatch& queuedBatch = m_queue[(m_head + n) % kOutputQueueSize].batch;
        const bool mapping = isMappingBatch(queuedBatch);
        for (std::uint64_t i = 0; i < queuedBatch.count; ++i) {
            const core::OutputEvent& event = queuedBatch.events[i];
            if (mapping || (event.phase == core::kPhaseUp && held(event.input)))
                fits = kept.append(event.input, event.phase, event.amount) && fits;
        }
    }
    clearQueue();
    return fits;
}

void OutputSink::purgeQueue()
{
    ++m_purges;
    std::uint32_t kept = 0;
    for (std::uint32_t n = 0; n < m_count; ++n) {
        QueuedBatch& entry = m_queue[(m_head + n) % kOutputQueueSize];
        if (entry.batch.owner != 0)
            keepHeldReleases(entry.batch);
        if (entry.batch.empty())
            continue;
        if (kept != n) {
            QueuedBatch& target = m_queue[(m_head + kept) % kOutputQueueSize];
            target.batch.assign(entry.batch);
            target.contexts = entry.contexts;
            target.hasContexts = entry.hasContexts;
            target.step = entry.step;
            target.captureFlags = entry.captureFlags;
        }
        ++kept;
    }
    m_count = kept;
}

void OutputSink::clearQueue()
{
    ++m_resets;
    m_head = 0;
    m_count = 0;
}

OutputBatch OutputSink::buildReleaseAll()
{
    OutputBatch batch;
    for (const HeldOutput& entry : m_heldOutputs) {
        if (!entry.held)
            continue;
        if (m_state.engine.countBySource(entry.input) > 0)
            clearHeld(entry.input); // the user still holds it: the system keeps it down
        else
            batch.append(entry.input, core::kPhaseUp);
    }
    return batch;
}

} // namespace vorna::windows
