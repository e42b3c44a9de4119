// The output side: everything the engine wants the system to see leaves through here. A batch
// is sent at once when that is safe (not inside a hook, nothing queued) or queued and sent when
// the hook thread handles its flush message. Each event becomes one marked INPUT and one
// SendInput call, so that the side knows exactly which keys it holds down; it mirrors that into
// the held-key block and the safety journal and builds the release-everything batch of a reset.
// Wheel output, absolute cursor moves and a macro's cursor move go out here too. It never resets
// the backend: its operations answer what the thread must reset (OutputResult).
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

inline constexpr std::uint64_t kPageOwnerToken = 1002; // presses of Page Up/Down for the wheel

// What an output operation leaves to the hook thread. The output side never resets the backend
// itself (the full reset owns far more than the output): it stops where it is and says why, and
// the thread runs the reset in one place. When both are set, the repeated reset comes first.
struct OutputResult {
    bool failed = false;   // something was refused or not sent: reset (reason 6)
    bool resetRan = false; // a reset ran while sending: reset again with the last reason, so
                           // that what went out after its releases goes up too
    bool ok() const { return !failed && !resetRan; }
    explicit operator bool() const { return ok(); }
    OutputResult& operator|=(const OutputResult& other)
    {
        failed = failed || other.failed;
        resetRan = resetRan || other.resetRan;
        return *this;
    }
};

// The one call the output side still makes into the hook thread. A macro's layer step swaps the
// rules in force and clears the thread's pointer and wheel state, and it must be in force before
// the run goes on, since the run's next batch may be sent within the same call.
class LayerStepper {
public:
    // Base layer := layer and temporary layers dropped, then the current layer recomputed;
    // false (nothing but the recomputation) without a layer program or with a layer above 9.
    virtual bool stepLayer(std::uint8_t layer) = 0;

protected:
    ~LayerStepper() = default;
};

// A batch of a mapping: events only, no macro run or operation behind it. Sending one writes no
// record but while observing, and queues nothing.
inline bool isMappingBatch(const core::OutputBatch& batch)
{
    return batch.mode == core::kBatchModeNone && batch.owner == 0;
}

struct QueuedBatch {
    core::OutputBatch batch;
    SavedContexts contexts; // observation contexts when it was queued, if it kept them
    bool hasContexts = false;
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

    // Accepts a batch: sends it now or queues it. A refused batch fails.
    OutputResult enqueue(const core::OutputBatch& batch);
    // Sends one batch event by event, then carries out its operation. Fails unless all was sent.
    OutputResult flush(const core::OutputBatch& batch);
    // The hook thread's flush message: sends queued batches (at most 64 per message). A batch
    // that does not go out ends it with the batch's observation contexts still current, so that
    // the reset reports in them; the caller keeps its own contexts around the call.
    OutputResult onFlushMessage();
    // A macro stop held back until the reset that its releases asked for has sent its own
    // releases; the thread calls this once that reset ran.
    void reportHeldBackStop();

    // Wheel output of the pointer path: `amount` wheel units (signed, up or right positive) as
    // wheel events, or as Page Up/Down taps; fails when it needs more than 32 events.
    OutputResult emitWheel(bool horizontal, std::int64_t amount, bool pages);
    // Moves the cursor to `target` clamped into the clip rectangle and its monitor; `actual` is
    // the point really set, `error` the Win32 error of a failure.
    bool moveCursorAbsolute(POINT target, POINT& actual, DWORD& error);

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
    OutputResult performOperation(const core::OutputBatch& batch);
    bool moveCursorBy(const core::OutputBatch& batch);
    bool dropForeignWindowRun(const core::OutputBatch& batch, OutputResult& result);
    std::uint32_t setJournalMark(core::InputId input, std::uint32_t value);
    // Whether sending `batch` may write a record: always while observing; otherwise only what is
    // not a mapping's batch writes one (to the always-open engine-event ring).
    bool mayRecord(const core::OutputBatch& batch) const;
    // Observing, and not sending a batch queued while nobody observed.
    bool recording() const;
    void observe(const ObservationRecord& record);
    OutputResult continueMacro(std::uint64_t token, bool ok);

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
    bool m_sendingUnobserved = false;
    SavedContexts m_flushOuter{}; // the caller's contexts while a flush runs batches under theirs
    std::array<HeldOutput, kInputIndexCount> m_heldOutputs{};
    InFlight m_inFlight;
    ObservationRecord m_heldBackStop{};
    bool m_stopHeldBack = false;
};

} // namespace vorna::windows
