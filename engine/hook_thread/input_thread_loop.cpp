// The hook thread's message loop: the wait with its deadlines (macro steps, trigger slots, timed
// layers, the journal heartbeat), posted messages, the soft reset, configuration takeover and
// the hidden window's device, session and power notices.
#include "engine/hook_thread/input_thread.h"

#include "engine/mapping/macro_player.h"

namespace vorna::windows {

using core::OutputBatch;

namespace {

constexpr DWORD kWakeMask = 0x1CFF;
constexpr int kMessagesPerWake = 64;
constexpr DWORD kCaptureWakeMs = 20;
constexpr DWORD kJournalTimeoutMs = 250;
constexpr uint64_t kTimerHorizonNs = 100'000'000;

DWORD millisecondsUntil(uint64_t deadline, uint64_t now)
{
    if (deadline <= now)
        return 0;
    const uint64_t ms = (deadline - now + 999'999) / 1'000'000;
    return ms >= INFINITE ? INFINITE - 1 : DWORD(ms);
}

uint64_t earliest(uint64_t a, uint64_t b)
{
    if (a == 0)
        return b;
    if (b == 0)
        return a;
    return a < b ? a : b;
}

} // namespace

bool InputThread::waitForWork()
{
    const uint64_t now = nowNs();
    const bool journal = m_state.journal != nullptr;
    DWORD timeout = m_capture.running() ? kCaptureWakeMs : journal ? kJournalTimeoutMs : DWORD(INFINITE);

    const uint64_t macroDue = m_state.player.running() ? m_state.player.nextTime : 0;
    if (macroDue != 0) {
        timeout = millisecondsUntil(macroDue, now);
        if (journal && timeout > kJournalTimeoutMs)
            timeout = kJournalTimeoutMs;
    }
    const uint64_t slotDue = engine::nextTimedDeadline(m_state.timedSlots);
    const uint64_t layerDue = m_state.layers.enabled ? m_layerStacks.nextDeadline() : 0;
    for (uint64_t due : {slotDue, layerDue}) {
        if (due != 0) {
            const DWORD ms = millisecondsUntil(due, now);
            if (ms < timeout)
                timeout = ms;
        }
    }

    const uint64_t deadline = earliest(earliest(macroDue, slotDue), layerDue);
    DWORD result;
    if (deadline > now && deadline - now < kTimerHorizonNs && m_timer) {
        LARGE_INTEGER due{};
        due.QuadPart = -LONGLONG((deadline - now + 99) / 100);
        if (!SetWaitableTimer(m_timer, &due, 0, nullptr, nullptr, FALSE)) {
            setFailure(ResetWin32Failure, GetLastError());
            return false;
        }
        result = MsgWaitForMultipleObjectsEx(1, &m_timer, timeout, kWakeMask, MWMO_INPUTAVAILABLE);
    } else {
        if (m_timer)
            CancelWaitableTimer(m_timer);
        result = MsgWaitForMultipleObjectsEx(0, nullptr, timeout, kWakeMask, MWMO_INPUTAVAILABLE);
    }
    if (result == WAIT_FAILED) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    return true;
}

void InputThread::loop()
{
    for (;;) {
        if (!waitForWork()) {
            m_stopRequested.store(true, std::memory_order_release);
            return;
        }
        if (m_state.journal)
            m_state.journal->setHookHeartbeat(GetTickCount64());

        for (int n = 0; n < kMessagesPerWake; ++n) {
            MSG message;
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                break;
            if (message.message == WM_QUIT) {
                m_stopRequested.store(true, std::memory_order_release);
                break;
            }
            handleMessage(message);
        }

        const bool stopping = m_stopRequested.load(std::memory_order_acquire);
        if (!stopping)
            flushOutput();
        updateCapture();
        const uint64_t now = nowNs();
        pumpScheduler(now);
        if (!stopping)
            stepMacro(now);
        expireLayers(now);
        if (stopping || m_stopRequested.load(std::memory_order_acquire))
            return;
    }
}

void InputThread::handleMessage(const MSG& message)
{
    if (message.hwnd) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
        return;
    }
    switch (message.message) {
    case kCaptureMessage:
        onCaptureMessage(reinterpret_cast<HWND>(message.wParam));
        break;
    case kApplyMessage:
        takePendingSnapshot();
        break;
    case kReinstallHooksMessage:
        reinstallHooks();
        break;
    case kFlushMessage:
        if (!m_stopRequested.load(std::memory_order_acquire))
            flushOutput();
        break;
    case kObservationMessage:
        takeObservationRequest();
        break;
    case kActionResultMessage:
        queue(core::MacroPlayer::onOperationResult(m_state.player, uint64_t(message.wParam), message.lParam != 0,
                                                   nowNs()));
        break;
    case kSoftResetMessage:
        softReset();
        break;
    default:
        TranslateMessage(&message);
        DispatchMessageW(&message);
        break;
    }
}

void InputThread::flushOutput()
{
    // A batch that does not go out leaves its own contexts current, so that the reset reports in
    // them; the loop's contexts come back afterwards.
    ObservationContextScope contexts(m_state.contexts);
    actOnOutput(m_state.output.onFlushMessage());
}

void InputThread::stepMacro(uint64_t now)
{
    const bool wasRunning = m_state.player.running();
    const uint16_t slotBefore = m_state.player.slot;
    const uint16_t stepBefore = m_state.player.stepIndex;
    queue(core::MacroPlayer::step(m_state.player, now));
    const bool runs = m_state.player.running();
    // The record names the macro and the step it reached, so the live view can follow the run.
    const auto observeStep = [&](uint8_t result) {
        ObservationRecord record = m_state.contexts.record(kRecordEngine, result);
        record.macro = slotBefore;
        record.step = runs ? m_state.player.stepIndex : stepBefore;
        observe(record);
    };
    if (wasRunning && runs && m_state.player.stepIndex != stepBefore)
        observeStep(kResultMacroRunning);
    else if (wasRunning && !runs)
        observeStep(kResultCompleted);
    m_state.macroActive.store(runs, std::memory_order_release);
}

void InputThread::softReset()
{
    flushTimedSlots();
    resetPointer();
    updateActive();
    OutputBatch kept;
    const bool fits = m_state.output.takeSoftResetKeep(kept);
    if (!fits) {
        resetAll(ResetCapacity); // what did not fit is reported, and everything held goes up
        return;
    }
    queue(kept);

    const bool macroWasRunning = m_state.player.running();
    const OutputBatch finished = core::MacroPlayer::finish(m_state.player);
    OutputBatch toggles;
    m_state.engine.releaseHeld(toggles);
    m_state.macroActive.store(false, std::memory_order_release);
    if (queue(finished))
        queue(toggles);
    if (macroWasRunning || finished.count > 0 || toggles.count > 0)
        observeResult(kResultCancelled);
}

void InputThread::takePendingSnapshot()
{
    bool have = false;
    {
        std::lock_guard<std::mutex> lock(m_handoverMutex);
        if (m_pendingValid) {
            m_taken = m_pending;
            m_pendingValid = false;
            have = true;
        }
    }
    if (!have || !m_sessionAvailable || m_stopRequested.load(std::memory_order_acquire))
        return;
    resetAll(ResetNewRules);
    if (m_stopReason.load(std::memory_order_acquire) == ResetOutputFailed)
        return; // the releases did not all go out: keep what is in force
    m_state.engine.copySnapshot(m_taken.snapshot);
    clearNotches();
    m_state.macros = m_taken.macros;
    m_state.loadLayers(m_taken.layers);
    m_layerStacks.reset(m_state.layers.initialLayer);
    m_currentLayer.store(m_layerStacks.current, std::memory_order_release);
    m_state.contexts.revision = m_taken.generation;
    if (!m_state.engine.resume()) {
        m_stopReason.store(ResetCapacity, std::memory_order_release);
        return;
    }
    m_stopReason.store(0, std::memory_order_release);
    resetPointer();
    updateActive();
    m_appliedGeneration.store(m_taken.generation, std::memory_order_release);
}

LRESULT CALLBACK InputThread::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_NCCREATE) {
        const auto* create = reinterpret_cast<const CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    auto* self = reinterpret_cast<InputThread*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self)
        return DefWindowProcW(hwnd, message, wParam, lParam);
    switch (message) {
    case WM_INPUT_DEVICE_CHANGE:
        if (wParam != GIDC_REMOVAL)
            break;
        self->resetAll(ResetDeviceRemoved);
        return 0;
    case WM_WTSSESSION_CHANGE:
        switch (wParam) {
        case WTS_CONSOLE_DISCONNECT:
        case WTS_REMOTE_DISCONNECT:
        case WTS_SESSION_LOGOFF:
        case WTS_SESSION_LOCK:
            self->m_sessionAvailable = false;
            self->resetAll(ResetSession);
            break;
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT:
        case WTS_SESSION_UNLOCK:
            self->m_sessionAvailable = true;
            break;
        default:
            break;
        }
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) {
            self->m_sessionAvailable = false;
            self->resetAll(ResetSuspend);
        } else if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            self->m_sessionAvailable = true;
        }
        return 1;
    case WM_QUERYENDSESSION:
        self->resetAll(ResetSession);
        return 1;
    default:
        break;
    }
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

} // namespace vorna::windows
