// The hook thread of the input backend: its low-level hooks, its message loop and hidden window,
// event processing through the mapping engine, layers, pointer holds, wheel and cursor
// transforms, shortcut capture and the full reset. Everything here runs on that one thread
// except the few atomics and the handover buffer that the backend's public side touches.
// Nothing on this thread allocates, locks (but for the handover) or blocks inside a hook.
// One class in parts: input_thread.cpp (start-up, clock, teardown), input_thread_loop.cpp (the
// wait and posted messages), input_thread_events.cpp (an event through the engine, the full
// reset), input_thread_hooks.cpp (hook procedures, capture, hook recovery) and
// input_thread_pointer.cpp (wheel, cursor and pointer holds).
#pragma once

#include "core/macro.h"
#include "core/rules_snapshot.h"
#include "engine/hook_thread/backend_state.h"
#include "engine/mapping/cursor_math.h"
#include "engine/mapping/key_capture.h"
#include "engine/mapping/latency_histogram.h"
#include "engine/mapping/layer_program.h"
#include "engine/mapping/layer_stacks.h"
#include "engine/mapping/rule_evaluation.h"
#include "engine/mapping/timed_slots.h"
#include "engine/mapping/wheel_math.h"
#include "engine/published/owned_counter.h"
#include "engine/mapping/engine_types.h"
#include "platform/win32.h"

#include <array>
#include <atomic>
#include <bitset>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <thread>

namespace vorna::windows {

// Messages posted to the hook thread.
inline constexpr UINT kApplyMessage = 0x8047;
inline constexpr UINT kObservationMessage = 0x8048;
inline constexpr UINT kSoftResetMessage = 0x8049;
inline constexpr UINT kActionResultMessage = 0x804A;
inline constexpr UINT kCaptureMessage = 0x804B;
inline constexpr UINT kReinstallHooksMessage = 0x804C;

inline constexpr uint64_t kKeyboardHookDevice = 2;
inline constexpr uint64_t kMouseHookDevice = 1;

inline constexpr int kPointerHoldCapacity = 8;
// Physical state of an input found held by a key-state scan and not seen by the hooks since.
inline constexpr uint8_t kPhysicalSeeded = 2;
inline constexpr int kWheelRuleBank = 256;
inline constexpr int kModifierStates = 16;

// A configuration handed from the main thread to the hook thread.
struct PendingConfiguration {
    core::RulesSnapshot snapshot;
    uint64_t generation = 0;
    std::array<core::Macro, core::kMaxMacros> macros{};
    LayerProgram layers;
};

// What a key-state scan found held by the user: keys by keyboard hook slot (virtual key, 256
// numpad Enter), mouse buttons by number 1-5.
struct HeldInputs {
    bool keys[257] = {};
    bool buttons[6] = {};
};

struct PointerHold {
    uint64_t device = 0;
    core::InputId input = 0;
    uint8_t mode = 0; // core::PointerMode
};

// Wheel and cursor bookkeeping of the pointer path.
struct PointerState {
    // Wheel units not yet making a notch, per wheel rule id, modifier state and axis; and the
    // (rule, modifier state) rows that took units since the last clear, so that a layer change
    // clears those rows instead of all 32 KB.
    int32_t notches[kWheelRuleBank][kModifierStates][2] = {};
    uint16_t notchRows[kWheelRuleBank * kModifierStates];
    uint16_t notchRowCount = 0;
    std::bitset<kWheelRuleBank * kModifierStates> notchRowListed;
    WheelRemainders wheel[kModifierStates];
    int64_t cursorRemainderX;
    int64_t cursorRemainderY;
    int64_t scrollRemainderX;
    int64_t scrollRemainderY;
    POINT last;
    bool lastValid;
    int64_t physicalDx, physicalDy;      // since the last pointer record
    int64_t programDx, programDy;        // of our own cursor moves
    uint64_t programMoves;
    uint64_t wheelOutput[5];             // per wheel direction 1-4, units sent for motion
    ObservationRecord context;           // of the current pointer activity
    uint64_t lastRecordNs;
};

class InputThread final : public LayerStepper {
public:
    InputThread();
    ~InputThread();
    InputThread(const InputThread&) = delete;
    InputThread& operator=(const InputThread&) = delete;

    // ---- the engine's own state (mapping engine, macro player, slots, rings, output side)
    BackendState m_state;

    // ---- shared with the public side (atomics, or guarded by m_handoverMutex)
    std::atomic<bool> m_stopRequested{false};
    std::atomic<bool> m_running{false};
    std::atomic<bool> m_active{false};
    std::atomic<bool> m_observationRequested{false};
    std::atomic<uint8_t> m_stopReason{0};
    std::atomic<uint64_t> m_appliedGeneration{0};
    std::atomic<uint64_t> m_inputEvents{0};
    std::atomic<uint64_t> m_suppressed{0};
    std::atomic<uint64_t> m_latencyBuckets[kLatencyBucketCount] = {};
    std::atomic<uint64_t> m_latencySamples{0};
    std::atomic<uint64_t> m_latencyMaxNs{0};
    std::atomic<uint64_t> m_mouseHookTick{0};
    std::atomic<uint64_t> m_keyboardHookTick{0};
    std::atomic<uint64_t> m_hookRecoveries{0};
    std::atomic<uint64_t> m_lastHookRecoveryMs{0};
    std::atomic<uint32_t> m_hookRecoveryError{0};
    std::atomic<int32_t> m_hookThreadPriority{0};
    std::atomic<uint32_t> m_hookPriorityError{0};
    std::atomic<bool> m_preciseTimer{false};
    std::atomic<uint32_t> m_preciseTimerError{0};
    std::atomic<uint8_t> m_currentLayer{0};
    uint64_t m_lastRecoveryRequest = 0; // main thread only
    std::thread m_thread;               // owned and joined by the public side

    std::mutex m_handoverMutex;
    std::condition_variable m_startCondition;
    PendingConfiguration m_pending; // guarded by m_handoverMutex
    bool m_pendingValid = false;    // guarded
    bool m_startSignalled = false;  // guarded
    bool m_startSucceeded = false;  // guarded

    // ---- hook thread only
    PendingConfiguration m_taken; // where a configuration is moved out of the handover buffer
    HHOOK m_keyboardHook = nullptr;
    HHOOK m_mouseHook = nullptr;
    HANDLE m_timer = nullptr;
    HWND m_window = nullptr;
    bool m_rawInputRegistered = false;
    bool m_sessionNotifyRegistered = false;
    bool m_sessionAvailable = true;
    bool m_hooksFailed = false;
    bool m_physicalDown[257] = {}; // what the keyboard hook last saw (256: numpad Enter)
    bool m_seededDown[257] = {};   // found held by a key-state scan, not released since
    bool m_panicSwallowed[256] = {};
    POINT m_lastInjectedCursor{};
    bool m_lastInjectedValid = false;
    KeyCapture m_capture;
    LayerStacks m_layerStacks;
    PointerHold m_pointerHolds[kPointerHoldCapacity];
    uint8_t m_pointerHoldCount = 0;
    PointerState m_pointer;
    uint64_t m_hookTickMs = 0; // GetTickCount64 as the running hook procedure read it; 0 outside one

    // The state of the hook thread that runs now (the hook procedures find it through this).
    static thread_local InputThread* current;
    // The one state whose thread runs in this process.
    static std::atomic<InputThread*> activeBackend;

    // ---- the thread
    // Start-up, loop and teardown; `snapshot` is the thread's own copy.
    void run(const core::RulesSnapshot& snapshot);
    uint64_t nowNs() { return m_state.clock.nowNs(); }
    // GetTickCount64, read once per hook call: inside a hook procedure the reading it took.
    uint64_t tickMs() const { return m_hookTickMs != 0 ? m_hookTickMs : GetTickCount64(); }

    // ---- event processing
    bool processEvent(InputEvent event, bool useSlots, const core::CompiledRule* rule);
    void resetAll(uint8_t reason);
    // The one place where what the output side asks for becomes a full reset; false when it
    // reset.
    bool actOnOutput(OutputResult result);
    // Hands a batch to the output side; a refused batch resets everything (false).
    bool queue(const core::OutputBatch& batch);
    // The flush message: sends what the hooks queued.
    void flushOutput();
    void replayEngineResults(const engine::SlotUpdate& update);
    void pumpScheduler(uint64_t now);
    void flushTimedSlots();
    void reinstallHooks();
    // After the hooks came back: what happened meanwhile was never seen, so every output the
    // engine holds is released and the held-input state is read again as at start-up.
    void resynchronise();
    void updateActive();
    void applyLayer();
    uint8_t modifierMask() const;
    void beginContext(const InputEvent& event, uint32_t ruleId);
    void recordInput(const InputEvent& event, bool swallowed);
    void observe(const ObservationRecord& record);
    void observeResult(uint8_t result);
    // Timed layers end on time: drops expired entries and moves to the layer now in force.
    void expireLayers(uint64_t now);

    // ---- wheel, cursor and pointer
    bool processWheel(InputEvent event, int32_t delta);
    bool processMouseMove(POINT position, DWORD flags);
    const core::MotionSettings& currentMotion() const;
    void resetPointer();
    void reportPointer();
    void reportWheelOutput();

    // ---- hooks and capture
    static LRESULT CALLBACK keyboardHookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK mouseHookProc(int code, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void onCaptureMessage(HWND forWindow);
    // The keyboard hook slot under which a key the key state reports as `code` was last seen:
    // the key state has one code for both Enter keys and, with NumLock off, for a keypad key
    // and its navigation key.
    uint32_t slotInEvents(uint32_t code) const;
    void beginCapture(HWND forWindow);
    void updateCapture();
    // Takes the latest observation request. Done by every hook call before it looks at the
    // event, not only when the posted message arrives: the session runs a pending hook call
    // before posted messages, and an event injected right after the agent said it observes
    // must be recorded.
    void takeObservationRequest();

    // ---- a macro's layer step, from the output side
    bool stepLayer(uint8_t layer) override;

private:
    bool startUp(const core::RulesSnapshot& snapshot);
    void loop();
    bool waitForWork();
    void handleMessage(const MSG& message);
    void takePendingSnapshot();
    void softReset();
    void stepMacro(uint64_t now);
    void teardown();
    void readHeldInputs(HeldInputs& held) const;
    void seedHeldInputs(const HeldInputs& held, uint64_t now);
    bool heldByAgent(core::InputId input) const;
    void loadConfiguration(const core::RulesSnapshot& snapshot);
    void setFailure(uint8_t reason, uint32_t error);
    void signalStart(bool succeeded);
    void countLatency(uint64_t eventTime);
    void recordPhysical(const InputEvent& event);
    void applyLayerOperation(const InputEvent& event, const engine::EvaluationResult& result,
                             const core::CompiledRule* rule);
    void applyPointerHold(const InputEvent& event, uint8_t mode);
    bool keyboardEvent(const KBDLLHOOKSTRUCT& key, WPARAM message);
    bool mouseEvent(const MSLLHOOKSTRUCT& mouse, WPARAM message);
    bool takenByCapture(const InputEvent& event);
    bool wheelRule(InputEvent& event, const core::CompiledRule& rule, int32_t delta);
    bool wheelMotion(InputEvent& event, int32_t delta);
    bool scrollByMotion(int32_t dx, int32_t dy);
    uint8_t pointerModeBits() const;
    void clearNotches();
    bool movePointer(int32_t dx, int32_t dy, uint8_t modes);
};

} // namespace vorna::windows
