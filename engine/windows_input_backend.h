// The agent's handle on the input engine. Its public operations run on the agent's main thread;
// everything that touches Windows input runs on the dedicated hook thread it starts and owns.
// The two meet only through posted thread messages, one mutex-guarded handover buffer, atomic
// counters, two rings and two published records (the capture word and the held-state block).
// This part also holds the checks every configuration must pass before the backend starts or
// takes it, with the fixed English texts the agent returns to its client.
#pragma once

#include "core/macro.h"
#include "core/rules_snapshot.h"
#include "engine/mapping/engine_types.h"
#include "engine/mapping/key_capture.h"
#include "engine/mapping/layer_program.h"
#include "engine/published/held_state.h"
#include "engine/published/observation_record.h"
#include "engine/safety/safety_journal.h"
#include "platform/win32.h"

#include <cstdint>
#include <string>
#include <vector>

namespace vorna::windows {

class InputThread;

class WindowsInputBackend {
public:
    WindowsInputBackend();
    ~WindowsInputBackend();
    WindowsInputBackend(const WindowsInputBackend&) = delete;
    WindowsInputBackend& operator=(const WindowsInputBackend&) = delete;

    // Motion settings, every rule snapshot, layer and action references and the macros. On
    // failure `error` holds the first fault found; nothing else changes.
    static bool validateProgram(const core::RulesSnapshot& snapshot, const MacroBank& macros,
                                const LayerProgram& layers, std::string& error);
    // The rules of one snapshot against the backend's limits; clears `error` on success.
    static bool compileRules(const core::RulesSnapshot& snapshot, std::string& error, const MacroBank& macros);

    // The watchdog's journal view, handed in before the first start (or none).
    void setJournal(SafetyJournalView* journal) { m_journal = journal; }

    // Replaces any running thread by a new one with this configuration and waits until it runs
    // or has failed; on false `error` says why.
    bool start(const core::RulesSnapshot& snapshot, std::string& error, const MacroBank& macros,
               const LayerProgram& layers, uint64_t generation);
    // Hands a new configuration to the running thread. True means queued: the status's
    // appliedGeneration tells when it is in force.
    bool applyRules(const core::RulesSnapshot& snapshot, uint64_t generation, std::string& error,
                    const MacroBank& macros, const LayerProgram& layers);
    // Ends the hook thread and waits for it; idempotent.
    void stop();

    BackendStatus status() const;
    CaptureState captureState() const;
    bool beginCapture(HWND window);
    void cancelCapture();
    void resetState();
    void notifyActionResult(uint64_t operation, bool ok);
    HeldStateSnapshot safeStateSnapshot() const;
    void setObservation(bool on);
    std::vector<ObservationRecord> drainEngineEvents();
    std::vector<ObservationRecord> drainObservations();
    // True when a reinstall of the hooks was requested because neither hook ran since the last
    // system input (`lastInputTick`, the 32-bit tick of GetLastInputInfo).
    bool checkHookHealth(uint32_t lastInputTick, bool suppress);

private:
    InputThread* m_state = nullptr;        // owned; replaced by every start
    SafetyJournalView* m_journal = nullptr;
};

} // namespace vorna::windows
