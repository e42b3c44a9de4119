// Small builders for engine tests: rules from their text forms, events, and batches written in
// the tests' output notation ("+key_65 -key_65 *key_66 w:wheel_up:120", see output_notation.h)
// so that tables stay readable.
#pragma once

#include "core/compiled_rule.h"
#include "core/input_id.h"
#include "core/macro.h"
#include "core/rules_snapshot.h"
#include "engine/mapping/input_event.h"
#include "engine/mapping/output_batch.h"

#include <cstdint>
#include <initializer_list>
#include <string>

namespace vorna::enginetest {

constexpr core::InputId key(std::uint16_t vk) { return core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, vk); }
constexpr core::InputId button(std::uint16_t number)
{
    return core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, number);
}
constexpr core::InputId wheel(std::uint16_t direction) { return core::makeInputId(core::kClassWheel, core::kKindWheel, direction); }
constexpr core::InputId kNumpadEnter =
    core::makeInputId(core::kClassKeyboard, core::kKindExtendedScanCode, core::kNumpadEnterCode);

constexpr std::uint64_t kKeyboard = 2; // device of the keyboard hook
constexpr std::uint64_t ms(std::uint64_t value) { return value * 1'000'000; }

// One rule from its text forms ("key_65", "chord:key_162+key_67"); fails the test when the texts
// do not parse.
core::CompiledRule rule(const char* source, const char* target, std::uint8_t modifiers = 0, bool keepOriginal = false);
// A hold-tap (1) or double (2) trigger with a fallback target text.
core::CompiledRule timedRule(const char* source, const char* target, core::TriggerKind trigger, const char* fallback,
                             std::uint32_t intervalMs);
// A chord trigger: `keys` must be held, in that order, when `source` is pressed.
core::CompiledRule chordRule(const char* source, const char* target, std::initializer_list<const char*> keys,
                             std::uint32_t intervalMs);
// Numbers the rules 1, 2, ... in order and compiles them.
core::RulesSnapshot snapshot(std::initializer_list<core::CompiledRule> rules);

core::InputId id(const char* text);

// A macro from its library JSON: mode, repeat and the steps as {type, input, ms} objects.
core::Macro macroFrom(const char* mode, int repeat, const char* steps);

windows::InputEvent event(core::InputId input, std::uint8_t phase, std::uint64_t time = 0,
                          std::uint64_t device = kKeyboard, std::uint8_t modifiers = 0);

std::string describe(const core::OutputBatch& batch);

} // namespace vorna::enginetest
