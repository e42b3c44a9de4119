// The output side: everything the engine wants the system to see leaves through here. A batch
// is sent at once when that is safe (not inside a hook, nothing queued) or queued and sent when
// the hook thread handles its flush message. Each event becomes one marked INPUT and one
// SendInput call, so that the side knows exactly which keys it holds down; it mirrors that into
// the held-key block and the safety journal and builds the release-everything batch of a reset.
#pragma once

#include "core/input_id.h"
#include "engine/mapping/output_batch.h"
#include "engine/published/held_state.h"
#include "engine/published/observation_context.h"
#include "engine/published/observation_record.h"
#include "platform/win32.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::windows {

struct BackendState;

inline constexpr std::size_t kOutputQueueSize = 64;
inline constexpr UINT kFlushMessage = 0x804D;
// The Win32 error a cursor move reports when there is no usable screen, clip rectangle or
// monitor to move on.
inline constexpr DWORD kBadScreenError = ERROR_INVALID_PARAMETER;

using OutputFunction = UINT(WINAPI*)(UINT count, LPINPUT inputs, int size);

// What the output side needs from the hook thread around it: the clock, the foreground window,
// the full reset, and the pointer and layer paths that carry out a macro's cursor move and
// layer step.
class OutputHost {
public:
    virtual std::uint64_t nowNs() = 0;
    virtual std::uint64_t foregroundWindow() = 0;
    virtual void resetAll(std::uint8_t reason) = 0;
    virtual std::uint8_t lastResetReason() = 0;
    // Virtual screen (right and bottom exclusive) and the physical cursor; false when unreadable.
    virtual bool virtualScreen(RECT& screen) = 0;
    virtual bool physicalCursor(POINT& position) = 0;
    // The pointer path's absolute move; `actual` is the point really set, `error` a Win32 error.
    virtual bool moveCursorAbsolute(POINT target, POINT& actual, DWORD& error) = 0;
    // Base layer := layer and temporary layers dropped, then the current layer recomputed;
    // false (nothing but the recomputation) without a layer program or with a layer above 9.
    virtual bool stepLayer(std::uint8_t layer) = 0;

protected:
    ~OutputHost() = default;
};

struct QueuedBatch {
    core::OutputBatch batch;
    SavedContexts contexts; // observation contexts when it was queued
    std::uint32_t step = 0;
    std::uint16_t captureFlags = 0;
};

struct HeldOutput {
    core::InputId input = 0;
    std::uint8_t held = 0; // a down was sent and no up since
};

class OutputSink {
public:
    explicit OutputSink(BackendState& state);

    // Accepts a batch: sends it now or queues it. False: the producer must reset (reason 6).
    bool enqueue(const core::OutputBatch& batch);
    // Sends one batch event by event, then carries out its operation. True when all was sent.
    bool flush(const core::OutputBatch& batch);
    // The hook thread's flush message: sends queued batches (at most 64 per message).
    void onFlushMessage();

    // The INPUT record of one event, marked as ours; false for what cannot be sent.
    static bool buildKeyInput(const core::OutputEvent& event, INPUT& input);
    // An up for every key and button this side holds, except those the user holds physically.
    core::OutputBatch buildReleaseAll();
    // Whether a down for `input` is in flight or queued and not followed by its up.
    bool isPendingDown(core::InputId input) const;
    // Forgets that this side holds `input`; returns the journal mark it had.
    std::uint32_t clearHeld(core::InputId input);
    // A key the user released while a mapping still holds it: the system still sees it down,
    // so this side takes it over and the mapping's later up is sent.
    void markHeld(core::InputId input);
    // Reduces a batch to the ups of keys this side holds; keeps only a cancel operation.
    void keepHeldReleases(core::OutputBatch& batch) const;
    // Drops what the macro player queued (every batch with an owner token: it runs one macro at
    // a time) but the ups of keys this side holds and an awaited operation's cancel.
    void purgeQueue();
    // Empties the queue for a soft reset. Macro work goes, but `kept` receives every event of a
    // mapping's batch (its input was already swallowed: dropping it would lose a key) and the
    // ups of keys this side holds. False when those do not fit in one batch.
    bool takeSoftResetKeep(core::OutputBatch& kept);
    void clearQueue();
    void recordOutput(const core::OutputEvent& event, bool sent);
    void recordFailure(const core::OutputEvent& event, std::uint32_t error);

    bool held(core::InputId input) const;
    std::uint32_t queued() const { return m_count; }
    // The batch at position `n` of the queue, counted from the next one to send. Positions from
    // queued() on are free slots and hold whatever was last written there.
    const core::OutputBatch& queuedBatch(std::uint32_t n) const
    {
        return m_queue[(m_head + n) % kOutputQueueSize].batch;
    }
    // How often the queue was purged of a macro run's work.
    std::uint64_t purges() const { return m_purges; }

    // Resets within an event. Every full reset empties the queue through clearQueue(), which
    // advances a counter; code that starts work which a reset must cut short takes a mark first
    // and, after any call that may have reset, asks whether a reset ran since. A reset in the
    // middle of an event has already sent its releases, so output from before it must not follow.
    std::uint64_t resetMark() const { return m_resets; }
    bool resetSince(std::uint64_t mark) const { return m_resets != mark; }

    // Set by the hook thread around it (and by tests and benchmarks that stand in for it).
    std::uint8_t inHook = 0;           // a low-level hook callback runs: queue, never send
    OutputFunction outputFunction = nullptr;
    std::uint32_t currentStep = 0;          // macro step shown in the records of what is sent
    std::uint16_t currentCaptureFlags = 0;

private:
    bool sendEvent(const core::OutputEvent& event);
    bool performOperation(const core::OutputBatch& batch);
    bool dropForeignWindowRun(const core::OutputBatch& batch);
    std::uint32_t setJournalMark(core::InputId input, std::uint32_t value);
    void observe(const ObservationRecord& record);
    void continueMacro(std::uint64_t token, bool ok);

    struct InFlight {
        core::OutputEvent event{};
        bool sending = false;
        const core::OutputBatch* batch = nullptr;
        std::uint64_t next = 0; // index of the batch's next event
    };

    BackendState& m_state;
    std::array<QueuedBatch, kOutputQueueSize> m_queue{};
    std::uint32_t m_head = 0;
    std::uint32_t m_count = 0;
    std::uint64_t m_resets = 0; // advanced by every clear: see resetMark()
    std::uint64_t m_purges = 0;
    std::uint8_t m_flushing = 0;
    std::array<HeldOutput, kInputIndexCount> m_heldOutputs{};
    InFlight m_inFlight;
};

} // namespace vorna::windows
