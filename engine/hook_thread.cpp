// The hook thread: start-up, the message loop with its deadlines, posted messages, the hidden
// window's notices, configuration takeover and teardown.
#include "engine/input_thread.h"

#include "engine/hook_keys.h"
#include "engine/macro_player.h"

#include <cstring>
#include <exception>

namespace vorna::windows {

using core::OutputBatch;

namespace {

constexpr wchar_t kWindowClass[] = L"Vorna.InputTrellan.InputAgent.P0";
constexpr wchar_t kWindowTitle[] = L"Vorna Input Agent";
constexpr DWORD kClassAlreadyExists = 1410;
constexpr DWORD kUnexpectedFailure = 574;
constexpr DWORD kBadFrequency = 50;
constexpr DWORD kCannotResume = 8;
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

thread_local InputThread* InputThread::current = nullptr;
std::atomic<InputThread*> InputThread::activeBackend{nullptr};

InputThread::InputThread()
{
    state.host = this;
}

InputThread::~InputThread()
{
    if (thread.joinable())
        thread.join();
}

void InputThread::setCounterFrequency(int64_t frequency)
{
    qpcFrequency = frequency;
    nsPerCount = frequency > 0 && 1'000'000'000 % frequency == 0 ? uint64_t(1'000'000'000 / frequency) : 0;
}

uint64_t InputThread::nowNs()
{
    if (qpcFrequency <= 0) {
        LARGE_INTEGER frequency{};
        QueryPerformanceFrequency(&frequency);
        setCounterFrequency(frequency.QuadPart > 0 ? frequency.QuadPart : 1);
    }
    LARGE_INTEGER counter{};
    QueryPerformanceCounter(&counter);
    const uint64_t c = uint64_t(counter.QuadPart);
    if (nsPerCount != 0)
        return c * nsPerCount; // equal to the division below when the frequency divides 10^9
    const uint64_t f = uint64_t(qpcFrequency);
    return c / f * 1'000'000'000ull + c % f * 1'000'000'000ull / f;
}

uint64_t InputThread::foregroundWindow()
{
    return uint64_t(reinterpret_cast<uintptr_t>(GetForegroundWindow()));
}

bool InputThread::virtualScreen(RECT& screen)
{
    const int left = GetSystemMetrics(SM_XVIRTUALSCREEN);
    const int top = GetSystemMetrics(SM_YVIRTUALSCREEN);
    const int width = GetSystemMetrics(SM_CXVIRTUALSCREEN);
    const int height = GetSystemMetrics(SM_CYVIRTUALSCREEN);
    screen = RECT{left, top, left + width, top + height};
    return width > 0 && height > 0;
}

bool InputThread::physicalCursor(POINT& position)
{
    return GetPhysicalCursorPos(&position) != FALSE;
}

void InputThread::setFailure(uint8_t reason, uint32_t error)
{
    stopReason.store(reason, std::memory_order_release);
    state.win32Error.store(error, std::memory_order_release);
}

void InputThread::signalStart(bool succeeded)
{
    {
        std::lock_guard<std::mutex> lock(handoverMutex);
        if (startSignalled)
            return;
        startSignalled = true;
        startSucceeded = succeeded;
    }
    startCondition.notify_all();
}

void InputThread::run(const core::RulesSnapshot& snapshot)
{
    try {
        if (!startUp(snapshot)) {
            teardown();
            signalStart(false);
            return;
        }
        signalStart(true);
        if (!stopRequested.load(std::memory_order_acquire))
            loop();
        teardown();
    } catch (...) {
        setFailure(ResetCapacity, kUnexpectedFailure);
        stopRequested.store(true, std::memory_order_release);
        try {
            teardown();
        } catch (...) {
        }
        signalStart(false);
    }
}

bool InputThread::heldByAgent(core::InputId input) const
{
    if (state.output.held(input))
        return true;
    const SafetyJournalView* journal = state.journal;
    if (!journal || core::inputClass(input) != core::kClassKeyboard || core::inputKind(input) != core::kKindVirtualKey)
        return false;
    return journal->textHeldKey(core::inputCode(input)) == 1; // the text transfer's keys
}

uint32_t InputThread::slotInEvents(uint32_t code) const
{
    const uint32_t renamed = renamedSlotFor(code);
    return renamed != 0 && physicalDown[renamed] && !physicalDown[code] ? renamed : code;
}

void InputThread::readHeldInputs(HeldInputs& held) const
{
    // The key state counts the keys this program holds down as down too; they are never the
    // user's. Generic Shift, Ctrl and Alt follow their sided keys.
    const core::InputId numpadEnter =
        core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, core::kNumpadEnterCode);
    held = HeldInputs{};
    for (uint32_t vk = 3; vk <= 254; ++vk) {
        // Keys from 8 on, and VK_CANCEL: the Break key, which the panic chord takes too.
        if ((vk > 3 && vk < 8) || vk == 16 || vk == 17 || vk == 18 || (GetAsyncKeyState(int(vk)) & 0x8000) == 0)
            continue;
        if (heldByAgent(core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, uint16_t(vk))) ||
            (vk == 13 && heldByAgent(numpadEnter)))
            continue;
        held.keys[slotInEvents(vk)] = true;
    }
    const int buttons[] = {VK_LBUTTON, VK_RBUTTON, VK_MBUTTON, VK_XBUTTON1, VK_XBUTTON2};
    for (uint16_t b = 1; b <= 5; ++b) {
        held.buttons[b] = (GetAsyncKeyState(buttons[b - 1]) & 0x8000) != 0 &&
                          !heldByAgent(core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, b));
    }
}

void InputThread::seedHeldInputs(const HeldInputs& held, uint64_t now)
{
    // Inputs already down are the user's own: the engine takes them as pass-through sources, so
    // that it neither presses nor releases them on the user's behalf.
    HeldStateWrite write(state.heldState);
    SafetyJournalView* journal = state.journal;
    const auto seed = [&](uint64_t device, core::InputId input, bool down) {
        state.heldState.setPhysical(inputIndex(input), down ? kPhysicalSeeded : 0);
        if (!down)
            return;
        InputEvent press;
        press.device = device;
        press.input = input;
        press.time = now;
        engine::evaluateInput(state.engine, press);
    };
    for (int slot = 0; slot <= kNumpadEnterSlot; ++slot) {
        const bool down = held.keys[slot];
        physicalDown[slot] = down;
        seededDown[slot] = down;
        if (slot == kNumpadEnterSlot) {
            seed(kKeyboardHookDevice,
                 core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, core::kNumpadEnterCode), down);
            if (journal)
                journal->exchangeNumpadEnterPhysical(down ? 1 : 0);
            continue;
        }
        panicSwallowed[slot] = false;
        seed(kKeyboardHookDevice, core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, uint16_t(slot)), down);
        if (journal)
            journal->exchangePhysicalKey(uint32_t(slot), down ? 1 : 0);
    }
    for (uint16_t b = 1; b <= 5; ++b) {
        seed(kMouseHookDevice, core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, b), held.buttons[b]);
        if (journal)
            journal->exchangePhysicalButton(b, held.buttons[b] ? 1 : 0);
    }
}

bool InputThread::startUp(const core::RulesSnapshot& snapshot)
{
    const HANDLE self = GetCurrentThread();
    if (!SetThreadPriority(self, THREAD_PRIORITY_TIME_CRITICAL))
        hookPriorityError.store(GetLastError(), std::memory_order_release);
    hookThreadPriority.store(GetThreadPriority(self), std::memory_order_release);

    current = this;
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

    timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    preciseTimer.store(timer != nullptr, std::memory_order_release);
    if (!timer) {
        preciseTimerError.store(GetLastError(), std::memory_order_release);
        timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }

    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 1) {
        setFailure(ResetWin32Failure, kBadFrequency);
        return false;
    }
    setCounterFrequency(frequency.QuadPart);

    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    state.threadId.store(GetCurrentThreadId(), std::memory_order_release);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &InputThread::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass) && GetLastError() != kClassAlreadyExists) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
    if (!window) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }

    const RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_DEVNOTIFY, window}, {1, 6, RIDEV_DEVNOTIFY, window}};
    if (!RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE))) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    rawInputRegistered = true;
    if (!WTSRegisterSessionNotification(window, NOTIFY_FOR_THIS_SESSION)) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    sessionNotifyRegistered = true;

    HeldInputs held;
    readHeldInputs(held);
    seedHeldInputs(held, nowNs());

    state.engine.copySnapshot(snapshot);
    if (!state.engine.resume()) {
        setFailure(ResetCapacity, kCannotResume);
        return false;
    }

    mouseHook = SetWindowsHookExW(WH_MOUSE_LL, &InputThread::mouseHookProc, instance, 0);
    if (!mouseHook) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, &InputThread::keyboardHookProc, instance, 0);
    if (!keyboardHook) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }

    const uint64_t tick = GetTickCount64();
    mouseHookTick.store(tick, std::memory_order_release);
    keyboardHookTick.store(tick, std::memory_order_release);
    running.store(true, std::memory_order_release);
    if (state.journal) {
        state.journal->setHookHeartbeat(tick);
        state.journal->setHooksArmed(true);
    }
    resetPointer();
    updateActive();
    return true;
}

void InputThread::teardown()
{
    const uint8_t reason = stopReason.load(std::memory_order_acquire);
    resetAll(reason != 0 ? reason : uint8_t(ResetStop));
    if (keyboardHook)
        UnhookWindowsHookEx(keyboardHook);
    if (mouseHook)
        UnhookWindowsHookEx(mouseHook);
    keyboardHook = mouseHook = nullptr;
    if (rawInputRegistered) {
        const RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_REMOVE, nullptr}, {1, 6, RIDEV_REMOVE, nullptr}};
        RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE));
        rawInputRegistered = false;
    }
    if (sessionNotifyRegistered) {
        WTSUnRegisterSessionNotification(window);
        sessionNotifyRegistered = false;
    }
    if (window) {
        DestroyWindow(window);
        window = nullptr;
    }
    if (timer) {
        CloseHandle(timer);
        timer = nullptr;
    }
    running.store(false, std::memory_order_release);
    if (state.journal)
        state.journal->setHooksArmed(false);
    state.threadId.store(0, std::memory_order_release);
    current = nullptr;
}

bool InputThread::waitForWork()
{
    const uint64_t now = nowNs();
    const bool journal = state.journal != nullptr;
    DWORD timeout = capture.running() ? kCaptureWakeMs : journal ? kJournalTimeoutMs : DWORD(INFINITE);

    const uint64_t macroDue = state.player.running() ? state.player.nextTime : 0;
    if (macroDue != 0) {
        timeout = millisecondsUntil(macroDue, now);
        if (journal && timeout > kJournalTimeoutMs)
            timeout = kJournalTimeoutMs;
    }
    const uint64_t slotDue = engine::nextTimedDeadline(state.timedSlots);
    const uint64_t layerDue = state.layers.enabled ? layerStacks.nextDeadline() : 0;
    for (uint64_t due : {slotDue, layerDue}) {
        if (due != 0) {
            const DWORD ms = millisecondsUntil(due, now);
            if (ms < timeout)
                timeout = ms;
        }
    }

    const uint64_t deadline = earliest(earliest(macroDue, slotDue), layerDue);
    DWORD result;
    if (deadline > now && deadline - now < kTimerHorizonNs && timer) {
        LARGE_INTEGER due{};
        due.QuadPart = -LONGLONG((deadline - now + 99) / 100);
        if (!SetWaitableTimer(timer, &due, 0, nullptr, nullptr, FALSE)) {
            setFailure(ResetWin32Failure, GetLastError());
            return false;
        }
        result = MsgWaitForMultipleObjectsEx(1, &timer, timeout, kWakeMask, MWMO_INPUTAVAILABLE);
    } else {
        if (timer)
            CancelWaitableTimer(timer);
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
            stopRequested.store(true, std::memory_order_release);
            return;
        }
        if (state.journal)
            state.journal->setHookHeartbeat(GetTickCount64());

        for (int n = 0; n < kMessagesPerWake; ++n) {
            MSG message;
            if (!PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE))
                break;
            if (message.message == WM_QUIT) {
                stopRequested.store(true, std::memory_order_release);
                break;
            }
            handleMessage(message);
        }

        const bool stopping = stopRequested.load(std::memory_order_acquire);
        if (!stopping)
            state.output.onFlushMessage();
        updateCapture();
        const uint64_t now = nowNs();
        pumpScheduler(now);
        if (!stopping)
            stepMacro(now);
        expireLayers(now);
        if (stopping || stopRequested.load(std::memory_order_acquire))
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
        if (!stopRequested.load(std::memory_order_acquire))
            state.output.onFlushMessage();
        break;
    case kObservationMessage:
        state.observing = observationRequested.load(std::memory_order_acquire);
        break;
    case kActionResultMessage:
        queue(core::MacroPlayer::onOperationResult(state.player, uint64_t(message.wParam), message.lParam != 0,
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

void InputThread::stepMacro(uint64_t now)
{
    const bool wasRunning = state.player.running();
    const uint16_t slotBefore = state.player.slot;
    const uint16_t stepBefore = state.player.stepIndex;
    queue(core::MacroPlayer::step(state.player, now));
    const bool runs = state.player.running();
    // The record names the macro and the step it reached, so the live view can follow the run.
    const auto observeStep = [&](uint8_t result) {
        ObservationRecord record = state.contexts.record(kRecordEngine, result);
        record.macro = slotBefore;
        record.step = runs ? state.player.stepIndex : stepBefore;
        observe(record);
    };
    if (wasRunning && runs && state.player.stepIndex != stepBefore)
        observeStep(kResultMacroRunning);
    else if (wasRunning && !runs)
        observeStep(kResultResolved);
    state.macroActive.store(runs, std::memory_order_release);
}

void InputThread::softReset()
{
    flushTimedSlots();
    resetPointer();
    updateActive();
    OutputBatch kept;
    const bool fits = state.output.takeSoftResetKeep(kept);
    if (!fits) {
        resetAll(ResetCapacity); // what did not fit is reported, and everything held goes up
        return;
    }
    queue(kept);

    const bool macroWasRunning = state.player.running();
    const OutputBatch finished = core::MacroPlayer::finish(state.player);
    OutputBatch toggles;
    state.engine.releaseHeld(toggles);
    state.macroActive.store(false, std::memory_order_release);
    if (queue(finished))
        queue(toggles);
    if (macroWasRunning || finished.count > 0 || toggles.count > 0)
        observeResult(kResultMacroStopped);
}

void InputThread::takePendingSnapshot()
{
    bool have = false;
    {
        std::lock_guard<std::mutex> lock(handoverMutex);
        if (pendingValid) {
            taken = pending;
            pendingValid = false;
            have = true;
        }
    }
    if (!have || !sessionAvailable || stopRequested.load(std::memory_order_acquire))
        return;
    resetAll(ResetNewRules);
    if (stopReason.load(std::memory_order_acquire) == ResetOutputFailed)
        return; // the releases did not all go out: keep what is in force
    state.engine.copySnapshot(taken.snapshot);
    clearNotches();
    state.macros = taken.macros;
    state.loadLayers(taken.layers);
    layerStacks.reset(state.layers.initialLayer);
    currentLayer.store(layerStacks.current, std::memory_order_release);
    state.contexts.revision = taken.generation;
    if (!state.engine.resume()) {
        stopReason.store(ResetCapacity, std::memory_order_release);
        return;
    }
    stopReason.store(0, std::memory_order_release);
    resetPointer();
    updateActive();
    appliedGeneration.store(taken.generation, std::memory_order_release);
}

void InputThread::reinstallHooks()
{
    if (keyboardHook)
        UnhookWindowsHookEx(keyboardHook);
    if (mouseHook)
        UnhookWindowsHookEx(mouseHook);
    keyboardHook = mouseHook = nullptr;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    mouseHook = SetWindowsHookExW(WH_MOUSE_LL, &InputThread::mouseHookProc, instance, 0);
    if (mouseHook)
        keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, &InputThread::keyboardHookProc, instance, 0);
    if (mouseHook && keyboardHook) {
        const uint64_t tick = GetTickCount64();
        mouseHookTick.store(tick, std::memory_order_release);
        keyboardHookTick.store(tick, std::memory_order_release);
        lastHookRecoveryMs.store(tick, std::memory_order_release);
        hookRecoveryError.store(0, std::memory_order_release);
        hookRecoveries.fetch_add(1, std::memory_order_acq_rel);
        resynchronise();
        return;
    }
    const DWORD error = GetLastError();
    hookRecoveryError.store(error, std::memory_order_release);
    state.win32Error.store(error, std::memory_order_release);
    resetAll(ResetWin32Failure);
    hooksFailed = true;
    stopRequested.store(true, std::memory_order_release);
}

void InputThread::resynchronise()
{
    HeldStateWrite write(state.heldState);
    // Read before the reset: until its releases have passed the hooks, the key state still
    // shows the keys this program held.
    HeldInputs held;
    readHeldInputs(held);
    // The reset keeps the reason the backend reports: a recovered loss is no stop, and the agent
    // must not read one even for a moment.
    const uint8_t reason = stopReason.load(std::memory_order_acquire);
    const bool wasReleased = state.engine.released != 0;
    resetAll(reason);
    state.engine.forgetInputs();
    seedHeldInputs(held, nowNs());

    for (int i = int(layerStacks.holdCount) - 1; i >= 0; --i) {
        const LayerHoldEntry& hold = layerStacks.hold[i];
        if (state.heldState.physical(inputIndex(hold.input)) == 0)
            layerStacks.releaseHold(hold.device, hold.input);
    }
    capture.forgetReleased(held.keys);

    if (!wasReleased && stopReason.load(std::memory_order_acquire) == reason && !state.engine.resume())
        stopReason.store(ResetCapacity, std::memory_order_release);
    applyLayer();
    resetPointer();
    updateActive();
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
            self->sessionAvailable = false;
            self->resetAll(ResetSession);
            break;
        case WTS_CONSOLE_CONNECT:
        case WTS_REMOTE_CONNECT:
        case WTS_SESSION_UNLOCK:
            self->sessionAvailable = true;
            break;
        default:
            break;
        }
        return 0;
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) {
            self->sessionAvailable = false;
            self->resetAll(ResetSuspend);
        } else if (wParam == PBT_APMRESUMEAUTOMATIC || wParam == PBT_APMRESUMESUSPEND) {
            self->sessionAvailable = true;
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
