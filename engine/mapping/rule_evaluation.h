// Rule lookup and evaluation: what one input event means under the rules the engine holds.
// Hook thread only; linear scans over fixed tables, no allocation.
#pragma once

#include "core/compiled_rule.h"
#include "engine/mapping/input_event.h"
#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/output_batch.h"

#include <array>
#include <cstdint>

namespace vorna::windows::engine {

// Evaluation statuses.
inline constexpr std::uint8_t kStatusProcessed = 0;
inline constexpr std::uint8_t kStatusProgramOrigin = 1;  // event of origin 2
inline constexpr std::uint8_t kStatusInjectedOrigin = 2; // event of origin 1
inline constexpr std::uint8_t kStatusInvalid = 3;
inline constexpr std::uint8_t kStatusTableFull = 4;      // everything released, engine overflowed
inline constexpr std::uint8_t kStatusReleased = 5;

struct EvaluationResult {
    core::OutputBatch batch;
    std::uint8_t suppress = 0; // swallow the physical event
    std::uint8_t status = kStatusProcessed;
    std::uint32_t ruleId = 0;
    std::uint16_t macroSlot = 0;
    std::uint16_t actionSlot = 0;
    std::uint8_t layerOp = 0;
    std::uint8_t layerIndex = 0;
    std::uint32_t layerTimerMs = core::kDefaultLayerTimerMs;
    std::uint8_t pointerMode = 0;
};

// The first rule of the snapshot (in its match order) that matches the event, or none: a walk
// over every rule, and over the held inputs for a chord.
const core::CompiledRule* findRule(const core::RulesSnapshot& rules,
                                   const std::array<core::HeldInput, core::kMaxHeldInputs>& held,
                                   const InputEvent& event);

// The same answer for the rules in force and the held inputs of the engine, through its
// indexes: only the rules of the event's source are looked at.
const core::CompiledRule* lookUpRule(const core::MappingEngine& engine, const InputEvent& event);

// Remembers physical presses (not wheel steps) for chord matching.
void trackHeld(core::MappingEngine& engine, const InputEvent& event);

// Evaluates a fresh event (`rule` null: tracks it and looks the rule up) or the replay of a
// resolved trigger slot (`rule` given: neither happens).
EvaluationResult evaluateInput(core::MappingEngine& engine, const InputEvent& event,
                               const core::CompiledRule* rule = nullptr);

// evaluateInput for a caller that has tracked a fresh event itself and, when `lookedUp` is set,
// has looked its rule up too: `rule` is then that lookup's answer, none included.
EvaluationResult evaluateTracked(core::MappingEngine& engine, const InputEvent& event, const core::CompiledRule* rule,
                                 bool lookedUp);

} // namespace vorna::windows::engine
