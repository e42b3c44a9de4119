// The input backend's private state: one record that the hook thread owns, holding the mapping
// engine, the macro player, the trigger slots, the observation side and the output side, each a
// fixed table so that nothing on the hook thread allocates. The few fields another thread reads
// are atomics.
#pragma once

#include "core/macro.h"
#include "engine/hook_thread/output_sink.h"
#include "engine/hook_thread/system_reads.h"
#include "engine/mapping/layer_program.h"
#include "engine/mapping/macro_player.h"
#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/timed_slots.h"
#include "engine/published/held_state.h"
#include "engine/published/observation_context.h"
#include "engine/published/observation_ring.h"
#include "engine/safety/safety_journal.h"

#include <array>
#include <atomic>
#include <cstdint>

namespace vorna::windows {

struct BackendState {
    BackendState();
    BackendState(const BackendState&) = delete;
    BackendState& operator=(const BackendState&) = delete;

    // Takes a layer program and makes each layer's rules ready for a switch by pointer.
    void loadLayers(const LayerProgram& program);

    core::MappingEngine engine;
    core::MacroPlayer player{engine}; // holds the copy of the macro being run
    engine::TimedSlots timedSlots{};
    // The current and saved observation contexts, the per-input press contexts and the saved
    // context of each timed slot.
    ObservationContexts contexts;
    std::uint64_t slotWindow = 0; // foreground window when a slot opened; 0 none
    std::array<core::Macro, core::kMaxMacros> macros{};
    std::atomic<bool> macroActive{false};
    SafetyJournalView* journal = nullptr; // the watchdog's view, or none
    LayerProgram layers;           // changed only by loadLayers
    std::array<core::SourceChains, kProgramLayers> layerChains; // of each layer's rules
    ObservationRing observations;  // written only while observing
    ObservationRing engineEvents;  // always open while the backend runs: action requests
    bool observing = false;        // the hook thread's copy of the observation request
    OutputSink output{*this};
    HeldStateBlock heldState;      // physical and output state for the safe-state snapshot
    LayerStepper* layerStepper = nullptr; // the hook thread, for a macro's layer step
    HookClock clock;

    std::atomic<std::uint32_t> threadId{0}; // hook thread; 0 while it has no message queue
    std::atomic<std::uint32_t> win32Error{0};
    std::atomic<std::uint64_t> outputEvents{0};
    std::atomic<std::uint64_t> outputFailures{0};
};

} // namespace vorna::windows
