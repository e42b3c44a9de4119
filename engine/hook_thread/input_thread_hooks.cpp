// The low-level keyboard and mouse hook procedures, the panic chord and shortcut capture. Each
// procedure recognises the program's own output before touching anything, and decides within
// the call whether the event passes on or is swallowed. Hooks that Windows dropped are
// reinstalled here, and what happened while they were gone is resynchronised.
#include "engine/hook_thread/input_thread.h"

#include "engine/mapping/hook_keys.h"
#include "engine/mapping/supported_input.h"

namespace vorna::windows {

namespace {

// A hook procedure runs inside a step of the loop: it queues instead of sending, and puts back
// the observation contexts that the interrupted step was building.
// The tick the procedure read on entry serves everything the call does.
class HookScope {
public:
    HookScope(InputThread& thread, uint64_t tickMs)
        : m_output(thread.m_state.output), m_inHook(thread.m_state.output.inHook), m_contexts(thread.m_state.contexts),
          m_tick(thread.m_hookTickMs), m_outerTick(thread.m_hookTickMs)
    {
        m_output.inHook = 1;
        m_tick = tickMs;
    }
    ~HookScope()
    {
        m_output.inHook = m_inHook;
        m_tick = m_outerTick;
    }
    HookScope(const HookScope&) = delete;
    HookScope& operator=(const HookScope&) = delete;

private:
    OutputSink& m_output;
    uint8_t m_inHook;
    ObservationContextScope m_contexts;
    uint64_t& m_tick;
    uint64_t m_outerTick;
};

// Button messages of the mouse hook; button 0: an X button, told apart by the high word.
struct ButtonMessage {
    WPARAM message;
    uint16_t button;
    uint8_t phase;
};

constexpr ButtonMessage kButtonMessages[] = {
    {WM_LBUTTONDOWN, 1, core::kPhaseDown}, {WM_LBUTTONUP, 1, core::kPhaseUp},
    {WM_RBUTTONDOWN, 2, core::kPhaseDown}, {WM_RBUTTONUP, 2, core::kPhaseUp},
    {WM_MBUTTONDOWN, 3, core::kPhaseDown}, {WM_MBUTTONUP, 3, core::kPhaseUp},
    {WM_XBUTTONDOWN, 0, core::kPhaseDown}, {WM_XBUTTONUP, 0, core::kPhaseUp},
};

// The input of a keyboard hook slot: a virtual key, or numpad Enter.
core::InputId slotInput(int slot)
{
    return slot == kNumpadEnterSlot
               ? core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, core::kNumpadEnterCode)
               : core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, uint16_t(slot));
}

InputEvent hookEvent(uint64_t device, core::InputId input, uint8_t phase, uint8_t origin, uint64_t time)
{
    InputEvent event;
    event.device = device;
    event.input = input;
    event.phase = phase;
    event.origin = origin;
    event.time = time;
    event.provider = 1;
    event.channel = 1;
    return event;
}

} // namespace

LRESULT CALLBACK InputThread::keyboardHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    InputThread* self = current;
    if (code != HC_ACTION || !self)
        return CallNextHookEx(nullptr, code, wParam, lParam);
    const uint64_t tick = GetTickCount64();
    self->m_keyboardHookTick.store(tick, std::memory_order_release);
    self->takeObservationRequest();
    const auto& key = *reinterpret_cast<const KBDLLHOOKSTRUCT*>(lParam);
    if (isOwnInjection(uint64_t(key.dwExtraInfo), (key.flags & LLKHF_INJECTED) != 0))
        return CallNextHookEx(nullptr, code, wParam, lParam);
    bool swallow;
    {
        HookScope scope(*self, tick);
        swallow = self->keyboardEvent(key, wParam);
    }
    return swallow ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

bool InputThread::keyboardEvent(const KBDLLHOOKSTRUCT& key, WPARAM message)
{
    if (key.vkCode > 255)
        return false;
    const bool extended = (key.flags & LLKHF_EXTENDED) != 0;
    uint32_t vk = key.vkCode;
    const uint32_t keypad = keypadKeyFor(key.scanCode, vk, extended);
    if (keypad != 0)
        vk = keypad;
    const bool release = message == WM_KEYUP || message == WM_SYSKEYUP;
    int slot = extended && vk == 13 ? kNumpadEnterSlot : int(vk);

    if ((key.flags & LLKHF_INJECTED) != 0) {
        InputEvent event = hookEvent(kKeyboardHookDevice, slotInput(slot), release ? core::kPhaseUp : core::kPhaseDown,
                                     kOriginInjected, nowNs());
        event.scanCode = uint16_t(key.scanCode);
        event.extended = extended ? 1 : 0;
        return processEvent(event, true, nullptr);
    }

    if (!m_physicalDown[slot]) {
        // A key found held by a key-state scan was recorded under the code the key state gives
        // it; its repeats and release may carry the other name (numpad Enter, a keypad key with
        // NumLock off).
        const uint32_t scanned = keyStateCodeFor(uint32_t(slot));
        if (scanned != 0 && m_physicalDown[scanned] && m_seededDown[scanned]) {
            slot = int(scanned);
            vk = scanned;
        }
    }
    if (release)
        m_seededDown[slot] = false;
    const uint8_t phase = release ? core::kPhaseUp : m_physicalDown[slot] ? core::kPhaseRepeat : core::kPhaseDown;
    m_physicalDown[slot] = !release;

    // Tested before anything can swallow or map the key, so it works whatever the engine does.
    if (keypad == 0 && isPanicChord(vk, release, m_physicalDown)) {
        if (phase == core::kPhaseDown)
            m_panicSwallowed[vk] = true;
        resetAll(ResetPanic);
        HeldStateWrite write(m_state.heldState); // the key is down for the held-key block and journal too
        recordPhysical(hookEvent(kKeyboardHookDevice, slotInput(slot), phase, kOriginPhysical, nowNs()));
        return true;
    }
    // The chord's key stays the chord's until released: a repeat after Alt is let go must not
    // reach the system as a down whose up is then swallowed.
    if (!release && m_panicSwallowed[vk])
        return true;
    InputEvent event = hookEvent(kKeyboardHookDevice, slotInput(slot), phase, kOriginPhysical, nowNs());
    event.scanCode = uint16_t(key.scanCode);
    event.extended = extended ? 1 : 0;
    if (release && m_panicSwallowed[vk]) {
        m_panicSwallowed[vk] = false;
        processEvent(event, true, nullptr);
        return true;
    }

    updateCapture();
    if (takenByCapture(event))
        return true;
    return processEvent(event, true, nullptr);
}

void InputThread::takeObservationRequest()
{
    m_state.observing = m_observationRequested.load(std::memory_order_acquire);
}

bool InputThread::takenByCapture(const InputEvent& event)
{
    const bool numpadEnter = core::inputKind(event.input) == core::kKindExtendedScanCode;
    const uint16_t code = numpadEnter ? kCaptureNumpadEnter : core::inputCode(event.input);
    if (code < 1 || code > kCaptureNumpadEnter)
        return false;
    if (!m_capture.onKey(code, event.phase, core::isSupportedInputId(event.input)))
        return false;

    HeldStateWrite write(m_state.heldState);
    m_state.heldState.setPhysical(inputIndex(event.input), event.phase == core::kPhaseUp ? 0 : 1);
    addOwned(m_inputEvents);
    addOwned(m_suppressed);
    if (m_state.observing) {
        beginContext(event, 0);
        recordInput(event, true);
        observeResult(kResultPending);
    }
    return true;
}

void InputThread::updateCapture()
{
    if (!m_capture.running())
        return;
    m_capture.checkTimeAndFocus(GetForegroundWindow() == static_cast<HWND>(m_capture.window), tickMs());
}

void InputThread::onCaptureMessage(HWND forWindow)
{
    if (forWindow)
        beginCapture(forWindow);
    else
        m_capture.cancel();
}

void InputThread::beginCapture(HWND forWindow)
{
    if (m_active.load(std::memory_order_acquire) || GetForegroundWindow() != forWindow)
        return;
    // Held keys are recorded under the names their releases will carry.
    bool held[kCaptureNumpadEnter + 1] = {};
    for (int vk = 8; vk < 256; ++vk) {
        if ((GetAsyncKeyState(vk) & 0x8000) != 0)
            held[slotInEvents(uint32_t(vk))] = true;
    }
    m_capture.begin(held, forWindow, GetTickCount64());
}

LRESULT CALLBACK InputThread::mouseHookProc(int code, WPARAM wParam, LPARAM lParam)
{
    InputThread* self = current;
    if (code != HC_ACTION || !self)
        return CallNextHookEx(nullptr, code, wParam, lParam);
    const uint64_t tick = GetTickCount64();
    self->m_mouseHookTick.store(tick, std::memory_order_release);
    self->takeObservationRequest();
    const auto& mouse = *reinterpret_cast<const MSLLHOOKSTRUCT*>(lParam);
    if (isOwnInjection(uint64_t(mouse.dwExtraInfo), (mouse.flags & LLMHF_INJECTED) != 0)) {
        if (wParam == WM_MOUSEMOVE) {
            self->m_lastInjectedCursor = mouse.pt;
            self->m_lastInjectedValid = true;
        }
        return CallNextHookEx(nullptr, code, wParam, lParam);
    }
    bool swallow;
    {
        HookScope scope(*self, tick);
        swallow = self->mouseEvent(mouse, wParam);
    }
    return swallow ? 1 : CallNextHookEx(nullptr, code, wParam, lParam);
}

bool InputThread::mouseEvent(const MSLLHOOKSTRUCT& mouse, WPARAM message)
{
    const uint8_t origin = (mouse.flags & LLMHF_INJECTED) != 0 ? kOriginInjected : kOriginPhysical;
    const uint16_t high = uint16_t(mouse.mouseData >> 16);
    if (message == WM_MOUSEMOVE)
        return processMouseMove(mouse.pt, mouse.flags);

    if (message == WM_MOUSEWHEEL || message == WM_MOUSEHWHEEL) {
        const int32_t delta = int16_t(high);
        if (delta == 0)
            return false;
        const bool vertical = message == WM_MOUSEWHEEL;
        const uint8_t direction = vertical ? (delta > 0 ? WheelUp : WheelDown) : (delta > 0 ? WheelRight : WheelLeft);
        InputEvent event = hookEvent(kMouseHookDevice, core::makeInputId(core::kClassWheel, core::kKindWheel, direction),
                                     core::kPhaseDown, origin, nowNs());
        event.x = mouse.pt.x;
        event.y = mouse.pt.y;
        return processWheel(event, delta);
    }

    uint16_t button = 0;
    uint8_t phase = core::kPhaseDown;
    for (const ButtonMessage& entry : kButtonMessages) {
        if (entry.message != message)
            continue;
        button = entry.button != 0 ? entry.button : high == XBUTTON1 ? 4 : high == XBUTTON2 ? 5 : 0;
        phase = entry.phase;
    }
    if (button == 0)
        return false;
    InputEvent event = hookEvent(kMouseHookDevice,
                                 core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, button), phase,
                                 origin, nowNs());
    event.x = mouse.pt.x;
    event.y = mouse.pt.y;
    return processEvent(event, true, nullptr);
}

void InputThread::reinstallHooks()
{
    if (m_keyboardHook)
        UnhookWindowsHookEx(m_keyboardHook);
    if (m_mouseHook)
        UnhookWindowsHookEx(m_mouseHook);
    m_keyboardHook = m_mouseHook = nullptr;
    const HINSTANCE instance = GetModuleHandleW(nullptr);
    m_mouseHook = SetWindowsHookExW(WH_MOUSE_LL, &InputThread::mouseHookProc, instance, 0);
    if (m_mouseHook)
        m_keyboardHook = SetWindowsHookExW(WH_KEYBOARD_LL, &InputThread::keyboardHookProc, instance, 0);
    if (m_mouseHook && m_keyboardHook) {
        const uint64_t tick = GetTickCount64();
        m_mouseHookTick.store(tick, std::memory_order_release);
        m_keyboardHookTick.store(tick, std::memory_order_release);
        m_lastHookRecoveryMs.store(tick, std::memory_order_release);
        m_hookRecoveryError.store(0, std::memory_order_release);
        m_hookRecoveries.fetch_add(1, std::memory_order_acq_rel);
        resynchronise();
        return;
    }
    const DWORD error = GetLastError();
    m_hookRecoveryError.store(error, std::memory_order_release);
    m_state.win32Error.store(error, std::memory_order_release);
    resetAll(ResetWin32Failure);
    m_hooksFailed = true;
    m_stopRequested.store(true, std::memory_order_release);
}

void InputThread::resynchronise()
{
    HeldStateWrite write(m_state.heldState);
    // Read before the reset: until its releases have passed the hooks, the key state still
    // shows the keys this program held.
    HeldInputs held;
    readHeldInputs(held);
    // The reset keeps the reason the backend reports: a recovered loss is no stop, and the agent
    // must not read one even for a moment.
    const uint8_t reason = m_stopReason.load(std::memory_order_acquire);
    const bool wasReleased = m_state.engine.released != 0;
    resetAll(reason);
    m_state.engine.forgetInputs();
    seedHeldInputs(held, nowNs());

    for (int i = int(m_layerStacks.holdCount) - 1; i >= 0; --i) {
        const LayerHoldEntry& hold = m_layerStacks.hold[i];
        if (m_state.heldState.physical(inputIndex(hold.input)) == 0)
            m_layerStacks.releaseHold(hold.device, hold.input);
    }
    m_capture.forgetReleased(held.keys);

    if (!wasReleased && m_stopReason.load(std::memory_order_acquire) == reason && !m_state.engine.resume())
        m_stopReason.store(ResetCapacity, std::memory_order_release);
    applyLayer();
    resetPointer();
    updateActive();
}

} // namespace vorna::windows
