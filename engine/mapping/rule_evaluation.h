// Rule lookup and evaluation: what one input event means under the rules the engine holds.
// Hook thread only; linear scans over fixed tables, no allocation.
#pragma once

#include "core/compiled_rule.h"
#include "engine/mapping/input_event.h"
#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/output_batch.h"

#include <algorithm>
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

namespace detail {

// Preceding keys of a chord trigger: held in the listed order, all before the event, the first
// of them no longer than the interval ago. `firstHeld` finds the first remembered press of a key.
template <typename FirstHeld>
bool chordMatches(const core::CompiledRule& rule, const FirstHeld& firstHeld, const InputEvent& event)
{
    constexpr std::uint64_t kNsPerMs = 1'000'000;
    std::uint64_t previous = 0;
    std::uint64_t first = 0;
    for (std::uint8_t k = 0; k < rule.precedingKeyCount && k < rule.precedingKeys.size(); ++k) {
        const core::HeldInput* found = firstHeld(rule.precedingKeys[k]);
        if (!found || found->pressTime == 0 || found->pressTime <= previous || found->pressTime >= event.time)
            return false;
        previous = found->pressTime;
        if (k == 0)
            first = previous;
    }
    return std::uint64_t(rule.triggerIntervalMs) * kNsPerMs >= event.time - first;
}

template <typename FirstHeld>
bool ruleMatches(const core::CompiledRule& rule, const FirstHeld& firstHeld, const InputEvent& event)
{
    if (rule.source != event.input)
        return false;
    if (rule.device != 0 && rule.device != event.device)
        return false;
    if ((rule.modifiers & ~event.modifiers) != 0)
        return false;
    return rule.trigger != core::TriggerKind::Chord || chordMatches(rule, firstHeld, event);
}

} // namespace detail

// The first rule of the snapshot (in its match order) that matches the event, or none: a walk
// over every rule, and over the held inputs for a chord.
const core::CompiledRule* findRule(const core::RulesSnapshot& rules,
                                   const std::array<core::HeldInput, core::kMaxHeldInputs>& held,
                                   const InputEvent& event);

// The same answer for the rules in force and the held inputs of the engine, through its
// indexes: only the rules of the event's source are looked at. Inline, with trackHeld: the hook
// path runs them for every press.
inline const core::CompiledRule* lookUpRule(const core::MappingEngine& engine, const InputEvent& event)
{
    const auto firstHeld = [&engine](core::InputId input) { return engine.firstHeld(input); };
    const core::RulesSnapshot& rules = engine.currentRules();
    const core::SourceChains& chains = engine.currentChains();
    const std::uint64_t end = std::min<std::uint64_t>(rules.count, core::kMaxRules);
    for (std::uint64_t i = chains.first(event.input); i < end; i = chains.next(i)) {
        if (detail::ruleMatches(rules.rules[i], firstHeld, event))
            return &rules.rules[i];
    }
    return nullptr;
}

// Remembers physical presses (not wheel steps) for chord matching.
inline void trackHeld(core::MappingEngine& engine, const InputEvent& event)
{
    if (event.origin != kOriginPhysical || event.device == 0 || !core::isValidInputId(event.input) ||
        core::isWheelInput(event.input))
        return;
    if (core::HeldInput* entry = engine.findHeld(event.device, event.input)) {
        if (event.phase == core::kPhaseUp)
            engine.setHeld(*entry, core::HeldInput{});
        return;
    }
    core::HeldInput* free = engine.firstFreeHeld();
    if (event.phase == core::kPhaseDown && free)
        engine.setHeld(*free, core::HeldInput{event.device, event.time, event.input});
}

// Evaluates a fresh event (`rule` null: tracks it and looks the rule up) or the replay of a
// resolved trigger slot (`rule` given: neither happens).
EvaluationResult evaluateInput(core::MappingEngine& engine, const InputEvent& event,
                               const core::CompiledRule* rule = nullptr);

// evaluateInput for a caller that has tracked a fresh event itself and, when `lookedUp` is set,
// has looked its rule up too: `rule` is then that lookup's answer, none included.
EvaluationResult evaluateTracked(core::MappingEngine& engine, const InputEvent& event, const core::CompiledRule* rule,
                                 bool lookedUp);

} // namespace vorna::windows::engine
