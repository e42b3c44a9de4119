// The public side of the input backend, on the agent's main thread: start and stop of the hook
// thread, configuration handover, status, capture requests, the safe-state snapshot, the ring
// drains and the hook health check.
#include "engine/windows_input_backend.h"

#include "engine/hook_thread/input_thread.h"

#include <cstring>
#include <new>

namespace vorna::windows {

namespace {

constexpr DWORD kNoMessageQueue = 1444;
constexpr int kSnapshotAttempts = 3;
constexpr uint64_t kRecoveryBackoffMs = 9'999;
constexpr uint32_t kMinInputAgeMs = 2'001;
constexpr uint32_t kMaxInputAgeMs = 2'147'483'647;

const char kAnotherBackend[] = "Another Windows input backend is already active in this process.";
const char kNoThread[] = "Unable to create the dedicated input thread.";
const char kCouldNotStart[] = "Windows input backend could not start. Win32 error ";
const char kCaptureRunning[] = "Finish shortcut capture and release its keys before applying mappings.";
const char kStopped[] = "Windows input backend is stopped.";
const char kCannotQueue[] = "Unable to queue the mapping update. Win32 error ";

// The state is one large block, zero-filled before its constructor runs.
InputThread* createState()
{
    void* memory = ::operator new(sizeof(InputThread), std::align_val_t(alignof(InputThread)));
    std::memset(memory, 0, sizeof(InputThread));
    return new (memory) InputThread();
}

void destroyState(InputThread* state)
{
    if (!state)
        return;
    state->~InputThread();
    ::operator delete(state, std::align_val_t(alignof(InputThread)));
}

// Ends the state's thread, if any, and gives up the process-wide slot.
void stopThread(InputThread& state)
{
    state.m_stopRequested.store(true, std::memory_order_release);
    const DWORD thread = state.m_state.threadId.load(std::memory_order_acquire);
    if (thread != 0)
        PostThreadMessageW(thread, WM_QUIT, 0, 0);
    if (state.m_thread.joinable())
        state.m_thread.join();
    InputThread* expected = &state;
    InputThread::activeBackend.compare_exchange_strong(expected, nullptr, std::memory_order_acq_rel);
}

bool post(const InputThread* state, UINT message, WPARAM wParam = 0, LPARAM lParam = 0)
{
    const DWORD thread = state ? state->m_state.threadId.load(std::memory_order_acquire) : 0;
    return thread != 0 && PostThreadMessageW(thread, message, wParam, lParam);
}

} // namespace

WindowsInputBackend::WindowsInputBackend() : m_state(createState()) {}

WindowsInputBackend::~WindowsInputBackend()
{
    stop();
    destroyState(m_state);
}

bool WindowsInputBackend::start(const core::RulesSnapshot& snapshot, std::string& error, const MacroBank& macros,
                                const LayerProgram& layers, uint64_t generation)
{
    if (!validateProgram(snapshot, macros, layers, error))
        return false;
    bool observing = false;
    if (m_state) {
        stopThread(*m_state);
        observing = m_state->m_observationRequested.load(std::memory_order_acquire);
    }
    InputThread* fresh = createState();
    destroyState(m_state);
    m_state = fresh;

    InputThread& s = *m_state;
    s.m_observationRequested.store(observing, std::memory_order_release);
    s.m_state.observing = observing;
    s.m_state.observations.setOpen(observing);
    s.m_state.engineEvents.setOpen(true);
    s.m_state.macros = macros;
    s.m_appliedGeneration.store(generation, std::memory_order_release);
    s.m_state.contexts.revision = generation;
    s.m_state.journal = m_journal;
    s.m_state.loadLayers(layers);
    s.m_layerStacks.reset(layers.initialLayer);
    s.m_currentLayer.store(s.m_layerStacks.current, std::memory_order_release);

    InputThread* none = nullptr;
    if (!InputThread::activeBackend.compare_exchange_strong(none, m_state, std::memory_order_acq_rel)) {
        error = kAnotherBackend;
        return false;
    }
    try {
        s.m_thread = std::thread([state = m_state, &snapshot] {
            const core::RulesSnapshot own = snapshot; // the caller waits until start-up has ended
            state->run(own);
        });
    } catch (...) {
        InputThread::activeBackend.store(nullptr, std::memory_order_release);
        error = kNoThread;
        return false;
    }

    bool succeeded;
    {
        std::unique_lock<std::mutex> lock(s.m_handoverMutex);
        s.m_startCondition.wait(lock, [&s] { return s.m_startSignalled; });
        succeeded = s.m_startSucceeded;
    }
    if (succeeded)
        return true;
    stopThread(s);
    error = kCouldNotStart + std::to_string(s.m_state.win32Error.load(std::memory_order_acquire));
    return false;
}

bool WindowsInputBackend::applyRules(const core::RulesSnapshot& snapshot, uint64_t generation, std::string& error,
                                     const MacroBank& macros, const LayerProgram& layers)
{
    if (!validateProgram(snapshot, macros, layers, error))
        return false;
    const CaptureState capture = captureState();
    if (capture.state == CaptureWaiting || capture.state == CaptureCapturing || capture.keysDown) {
        error = kCaptureRunning;
        return false;
    }
    InputThread& s = *m_state;
    if (s.m_state.threadId.load(std::memory_order_acquire) == 0 || !s.m_running.load(std::memory_order_acquire)) {
        error = kStopped;
        return false;
    }
    {
        std::lock_guard<std::mutex> lock(s.m_handoverMutex);
        s.m_pending.snapshot = snapshot;
        s.m_pending.generation = generation;
        s.m_pending.macros = macros;
        s.m_pending.layers = layers;
        s.m_pendingValid = true;
    }
    if (!post(&s, kApplyMessage)) {
        error = kCannotQueue + std::to_string(GetLastError());
        return false;
    }
    return true;
}

void WindowsInputBackend::stop()
{
    if (m_state)
        stopThread(*m_state);
}

BackendStatus WindowsInputBackend::status() const
{
    const InputThread& s = *m_state;
    BackendStatus out;
    out.running = s.m_running.load(std::memory_order_acquire);
    out.active = s.m_active.load(std::memory_order_acquire);
    out.stopReason = s.m_stopReason.load(std::memory_order_acquire);
    out.win32Error = s.m_state.win32Error.load(std::memory_order_acquire);
    out.inputEvents = s.m_inputEvents.load(std::memory_order_acquire);
    out.suppressed = s.m_suppressed.load(std::memory_order_acquire);
    out.outputEvents = s.m_state.outputEvents.load(std::memory_order_acquire);
    out.outputFailures = s.m_state.outputFailures.load(std::memory_order_acquire);
    out.observationDrops = s.m_state.observations.drops();
    out.appliedGeneration = s.m_appliedGeneration.load(std::memory_order_acquire);
    out.macroActive = s.m_state.macroActive.load(std::memory_order_acquire);
    uint64_t buckets[kLatencyBucketCount];
    for (int k = 0; k < kLatencyBucketCount; ++k)
        buckets[k] = s.m_latencyBuckets[k].load(std::memory_order_acquire);
    out.timedEvents = s.m_latencySamples.load(std::memory_order_acquire);
    out.p50Ns = latencyPercentile(buckets, out.timedEvents, 50);
    out.p95Ns = latencyPercentile(buckets, out.timedEvents, 95);
    out.p99Ns = latencyPercentile(buckets, out.timedEvents, 99);
    out.maxNs = s.m_latencyMaxNs.load(std::memory_order_acquire);
    out.currentLayer = s.m_currentLayer.load(std::memory_order_acquire);
    out.hookRecoveries = s.m_hookRecoveries.load(std::memory_order_acquire);
    out.lastHookRecoveryMs = s.m_lastHookRecoveryMs.load(std::memory_order_acquire);
    out.hookRecoveryError = s.m_hookRecoveryError.load(std::memory_order_acquire);
    out.hookThreadPriority = s.m_hookThreadPriority.load(std::memory_order_acquire);
    out.hookPriorityError = s.m_hookPriorityError.load(std::memory_order_acquire);
    out.preciseTimer = s.m_preciseTimer.load(std::memory_order_acquire);
    out.preciseTimerError = s.m_preciseTimerError.load(std::memory_order_acquire);
    return out;
}

CaptureState WindowsInputBackend::captureState() const
{
    return unpackCaptureWord(m_state->m_capture.word.load(std::memory_order_acquire));
}

bool WindowsInputBackend::beginCapture(HWND window)
{
    const CaptureState capture = captureState();
    const InputThread& s = *m_state;
    if (!window || capture.state == CaptureWaiting || capture.state == CaptureCapturing || capture.keysDown ||
        s.m_active.load(std::memory_order_acquire) || !s.m_running.load(std::memory_order_acquire))
        return false;
    return post(&s, kCaptureMessage, reinterpret_cast<WPARAM>(window));
}

void WindowsInputBackend::cancelCapture()
{
    post(m_state, kCaptureMessage, 0);
}

void WindowsInputBackend::resetState()
{
    post(m_state, kSoftResetMessage);
}

void WindowsInputBackend::notifyActionResult(uint64_t operation, bool ok)
{
    if (operation != 0)
        post(m_state, kActionResultMessage, WPARAM(operation), ok ? 1 : 0);
}

HeldStateSnapshot WindowsInputBackend::safeStateSnapshot() const
{
    HeldStateSnapshot copy;
    if (!m_state->m_running.load(std::memory_order_acquire))
        return copy;
    for (int attempt = 0; attempt < kSnapshotAttempts; ++attempt) {
        if (m_state->m_state.heldState.tryRead(copy))
            return copy;
    }
    return HeldStateSnapshot{};
}

void WindowsInputBackend::setObservation(bool on)
{
    InputThread& s = *m_state;
    // The hook thread takes the request on its next hook call: the ring is open before it can
    // see "on", and closed only after it can see "off".
    if (on)
        s.m_state.observations.setOpen(true);
    s.m_observationRequested.store(on, std::memory_order_release);
    if (!on)
        s.m_state.observations.setOpen(false);
    post(&s, kObservationMessage);
    if (!on)
        s.m_state.observations.discard();
}

std::vector<ObservationRecord> WindowsInputBackend::drainEngineEvents()
{
    std::vector<ObservationRecord> out;
    m_state->m_state.engineEvents.drain(out);
    return out;
}

std::vector<ObservationRecord> WindowsInputBackend::drainObservations()
{
    std::vector<ObservationRecord> out;
    m_state->m_state.observations.drain(out);
    return out;
}

bool WindowsInputBackend::checkHookHealth(uint32_t lastInputTick, bool suppress)
{
    InputThread& s = *m_state;
    if (!s.m_running.load(std::memory_order_acquire) || !s.m_active.load(std::memory_order_acquire) || suppress)
        return false;
    const uint64_t now = GetTickCount64();
    if (s.m_lastRecoveryRequest != 0 && now - s.m_lastRecoveryRequest <= kRecoveryBackoffMs)
        return false;
    const uint32_t age = uint32_t(now) - lastInputTick;
    if (age < kMinInputAgeMs || age > kMaxInputAgeMs)
        return false;
    // The newer of the two: an input runs only the hook of its own kind, so typing leaves the
    // mouse hook's time behind without anything being lost. Only input that neither hook saw
    // shows that hooks are gone.
    const uint64_t newest = std::max(s.m_mouseHookTick.load(std::memory_order_acquire),
                                     s.m_keyboardHookTick.load(std::memory_order_acquire));
    if (newest >= now - age)
        return false; // a hook ran for the last input
    s.m_lastRecoveryRequest = now;
    if (s.m_state.threadId.load(std::memory_order_acquire) == 0) {
        s.m_hookRecoveryError.store(kNoMessageQueue, std::memory_order_release);
        return false;
    }
    if (!post(&s, kReinstallHooksMessage)) {
        s.m_hookRecoveryError.store(GetLastError(), std::memory_order_release);
        return false;
    }
    return true;
}

} // namespace vorna::windows
