// The hook thread's life: start-up (priority, timer, hidden window, raw-input and session
// notices, the held inputs seeded from the key state, the hooks, the counter's frequency) and
// teardown. A start that fails leaves the reason and the Win32 error for the backend.
#include "engine/hook_thread/input_thread.h"

#include "engine/mapping/hook_keys.h"

#include <exception>

namespace vorna::windows {

namespace {

constexpr wchar_t kWindowClass[] = L"Vorna.InputTrellan.InputAgent.P0";
constexpr wchar_t kWindowTitle[] = L"Vorna Input Agent";
constexpr DWORD kClassAlreadyExists = 1410;
constexpr DWORD kUnexpectedFailure = 574;
constexpr DWORD kBadFrequency = 50;
constexpr DWORD kCannotResume = 8;

} // namespace

thread_local InputThread* InputThread::current = nullptr;
std::atomic<InputThread*> InputThread::activeBackend{nullptr};

InputThread::InputThread()
{
    state.layerStepper = this;
}

InputThread::~InputThread()
{
    if (thread.joinable())
        thread.join();
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
    state.clock.setFrequency(frequency.QuadPart);

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

} // namespace vorna::windows
