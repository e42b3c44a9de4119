// The macro player: runs one macro at a time on the hook thread. Keys are pressed and released
// through the mapping engine under one owner token, so macro keys and mapped keys never fight
// over a key; cursor moves, layer and profile steps and custom actions leave as operations
// whose result the player waits for. No allocation; at most 8 steps per call.
#pragma once

#include "core/input_id.h"
#include "core/macro.h"
#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/output_batch.h"

#include <array>
#include <cstdint>

namespace vorna::core {

// Every key the player presses is held in the engine under this owner.
inline constexpr std::uint64_t kMacroOwnerToken = 1000;
inline constexpr std::uint64_t kMacroRunLimitNs = 300'000'000'000; // a run never lasts 300 s
inline constexpr std::uint64_t kMacroOperationTimeoutNs = 10'000'000'000;
inline constexpr std::uint64_t kMacroPassGapNs = 10'000'000;
inline constexpr int kMacroStepsPerCall = 8;

struct MacroPlayer {
    explicit MacroPlayer(MappingEngine& mappingEngine) : engine(mappingEngine) {}

    MappingEngine& engine;
    Macro macro;                  // copy of the running macro
    std::uint16_t slot = 0;       // running macro 1..16; 0 idle
    std::uint16_t stepIndex = 0;  // index of the next step
    std::uint16_t pass = 0;       // completed passes
    std::uint64_t nextTime = 0;   // ns; nothing happens before it
    std::uint64_t startTime = 0;  // ns
    std::uint64_t triggerDevice = 0;
    InputId triggerInput = 0;
    std::uint8_t holding = 0;     // the keys of a tap or chord are down
    std::uint8_t moveDelayDone = 0;
    std::array<InputId, 4> heldKeys{};
    std::uint16_t heldCount = 0;
    std::uint64_t waiting = 0;    // token of the awaited operation; 0 none
    std::uint64_t lastToken = 0;
    // Foreground window when the run began: output of the run is not sent into another window.
    std::uint64_t startWindow = 0;

    bool running() const { return slot != 0; }

    // A rule naming macro `macroSlot` saw an event of `phase` from `device`/`input`; `window` is
    // the foreground window now. Starts, stops (toggle press, hold release) or ignores.
    static OutputBatch trigger(MacroPlayer& player, const Macro& macro, std::uint16_t macroSlot, std::uint8_t phase,
                               std::uint64_t now, std::uint64_t device, InputId input, std::uint64_t window);
    static OutputBatch step(MacroPlayer& player, std::uint64_t now);
    static OutputBatch onOperationResult(MacroPlayer& player, std::uint64_t token, bool ok, std::uint64_t now);
    // Releases everything the run holds and cancels an awaited operation; the player goes idle.
    static OutputBatch finish(MacroPlayer& player);
    // Drops the run while `pending` (a batch of it) is still unsent: the ups of keys that were
    // down before `pending`, without duplicates, with the operation fields of the finish.
    static OutputBatch mergeReleases(MacroPlayer& player, const OutputBatch& pending);
};

} // namespace vorna::core
