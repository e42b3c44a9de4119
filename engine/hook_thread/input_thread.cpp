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
    m_state.layerStepper = this;
}

InputThread::~InputThread()
{
    if (m_thread.joinable())
        m_thread.join();
}

void InputThread::setFailure(uint8_t reason, uint32_t error)
{
    m_stopReason.store(reason, std::memory_order_release);
    m_state.win32Error.store(error, std::memory_order_release);
}

void InputThread::signalStart(bool succeeded)
{
    {
        std::lock_guard<std::mutex> lock(m_handoverMutex);
        if (m_startSignalled)
            return;
        m_startSignalled = true;
        m_startSucceeded = succeeded;
    }
    m_startCondition.notify_all();
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
        if (!m_stopRequested.load(std::memory_order_acquire))
            loop();
        teardown();
    } catch (...) {
        setFailure(ResetCapacity, kUnexpectedFailure);
        m_stopRequested.store(true, std::memory_order_release);
        try {
            teardown();
        } catch (...) {
        }
        signalStart(false);
    }
}

bool InputThread::heldByAgent(core::InputId input) const
{
    if (m_state.output.held(input))
        return true;
    const SafetyJournalView* journal = m_state.journal;
    if (!journal || core::inputClass(input) != core::kClassKeyboard || core::inputKind(input) != core::kKindVirtualKey)
        return false;
    return journal->textHeldKey(core::inputCode(input)) == 1; // the text transfer's keys
}

uint32_t InputThread::slotInEvents(uint32_t code) const
{
    const uint32_t renamed = renamedSlotFor(code);
    return renamed != 0 && m_physicalDown[renamed] && !m_physicalDown[code] ? renamed : code;
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
    HeldStateWrite write(m_state.heldState);
    SafetyJournalView* journal = m_state.journal;
    const auto seed = [&](uint64_t device, core::InputId input, bool down) {
        m_state.heldState.setPhysical(inputIndex(input), down ? kPhysicalSeeded : 0);
        if (!down)
            return;
        InputEvent press;
        press.device = device;
        press.input = input;
        press.time = now;
        engine::evaluateInput(m_state.engine, press);
    };
    for (int slot = 0; slot <= kNumpadEnterSlot; ++slot) {
        const bool down = held.keys[slot];
        m_physicalDown[slot] = down;
        m_seededDown[slot] = down;
        if (slot == kNumpadEnterSlot) {
            seed(kKeyboardHookDevice,
                 core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, core::kNumpadEnterCode), down);
            if (journal)
                journal->exchangeNumpadEnterPhysical(down ? 1 : 0);
            continue;
        }
        m_panicSwallowed[slot] = false;
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
        m_hookPriorityError.store(GetLastError(), std::memory_order_release);
    m_hookThreadPriority.store(GetThreadPriority(self), std::memory_order_release);

    current = this;
    SetThreadDpiAwarenessContext(DPI_AWARENESS_CONTEXT_PER_MONITOR_AWARE_V2);

    m_timer = CreateWaitableTimerExW(nullptr, nullptr, CREATE_WAITABLE_TIMER_HIGH_RESOLUTION, TIMER_ALL_ACCESS);
    m_preciseTimer.store(m_timer != nullptr, std::memory_order_release);
    if (!m_timer) {
        m_preciseTimerError.store(GetLastError(), std::memory_order_release);
        m_timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }

    LARGE_INTEGER frequency{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart < 1) {
        setFailure(ResetWin32Failure, kBadFrequency);
        return false;
    }
    m_state.clock.setFrequency(frequency.QuadPart);

    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    m_state.threadId.store(GetCurrentThreadId(), std::memory_order_release);

    const HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW windowClass{};
    windowClass.lpfnWndProc = &InputThread::windowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = kWindowClass;
    if (!RegisterClassW(&windowClass) && GetLastError() != kClassAlreadyExists) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    m_window = CreateWindowExW(0, kWindowClass, kWindowTitle, WS_POPUP, 0, 0, 0, 0, nullptr, nullptr, instance, this);
    if (!m_window) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }

    const RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_DEVNOTIFY, m_window}, {1, 6, RIDEV_DEVNOTIFY, m_window}};
    if (!RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE))) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    m_rawInputRegistered = true;
    if (!WTSRegisterSessionNotification(m_window, NOTIFY_FOR_THIS_SESSION)) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    m_sessionNotifyRegistered = true;

    HeldInputs held;
    readHeldInputs(held);
    seedHeldInputs(held, nowNs());

    m_state.engine.copySnapshot(snapshot);
    if (!m_state.engine.resume()) {
        setFailure(ResetCapacity, kCannotResume);
        return false;
    }

    m_mouseHook = SetWindowsHookExW(WH_MOUSE_LL, &InputThread::mouseHookProc, instance, 0);
    if (!m_mouseHook) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }
    m_keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, &InputThread::keyboardHookProc, instance, 0);
    if (!m_keyboardHook) {
        setFailure(ResetWin32Failure, GetLastError());
        return false;
    }

    const uint64_t tick = GetTickCount64();
    m_mouseHookTick.store(tick, std::memory_order_release);
    m_keyboardHookTick.store(tick, std::memory_order_release);
    m_running.store(true, std::memory_order_release);
    if (m_state.journal) {
        m_state.journal->setHookHeartbeat(tick);
        m_state.journal->setHooksArmed(true);
    }
    resetPointer();
    updateActive();
    return true;
}

void InputThread::teardown()
{
    const uint8_t reason = m_stopReason.load(std::memory_order_acquire);
    resetAll(reason != 0 ? reason : uint8_t(ResetStop));
    if (m_keyboardHook)
        UnhookWindowsHookEx(m_keyboardHook);
    if (m_mouseHook)
        UnhookWindowsHookEx(m_mouseHook);
    m_keyboardHook = m_mouseHook = nullptr;
    if (m_rawInputRegistered) {
        const RAWINPUTDEVICE devices[2] = {{1, 2, RIDEV_REMOVE, nullptr}, {1, 6, RIDEV_REMOVE, nullptr}};
        RegisterRawInputDevices(devices, 2, sizeof(RAWINPUTDEVICE));
        m_rawInputRegistered = false;
    }
    if (m_sessionNotifyRegistered) {
        WTSUnRegisterSessionNotification(m_window);
        m_sessionNotifyRegistered = false;
    }
    if (m_window) {
        DestroyWindow(m_window);
        m_window = nullptr;
    }
    if (m_timer) {
        CloseHandle(m_timer);
        m_timer = nullptr;
    }
    m_running.store(false, std::memory_order_release);
    if (m_state.journal)
        m_state.journal->setHooksArmed(false);
    m_state.threadId.store(0, std::memory_order_release);
    current = nullptr;
}

} // namespace vorna::windows
