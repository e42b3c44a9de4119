#include "core/rules_snapshot.h"

#include "core/output_mapping.h"

#include <algorithm>
#include <cstring>
#include <type_traits>

namespace vorna::core {

namespace {

bool inRange(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum)
{
    return value >= minimum && value <= maximum;
}

// Keys that must stay apart: each valid, no wheel, none equal to `first` or to an earlier one.
bool distinctKeys(InputId first, const std::array<InputId, 3>& keys, std::uint8_t count)
{
    for (std::uint8_t i = 0; i < count; ++i) {
        const InputId key = keys[i];
        if (!isValidInputId(key) || isWheelInput(key) || key == first)
            return false;
        for (std::uint8_t j = 0; j < i; ++j)
            if (keys[j] == key)
                return false;
    }
    return true;
}

int checkTrigger(const CompiledRule& rule)
{
    if (rule.trigger == TriggerKind::None)
        return rule.precedingKeyCount == 0 ? kCompileOk : kCompileBadSourceOrTrigger;
    if (isWheelInput(rule.source) || !inRange(rule.triggerIntervalMs, 100, 2000))
        return kCompileBadSourceOrTrigger;
    if (rule.trigger == TriggerKind::Chord) {
        if (!inRange(rule.precedingKeyCount, 1, 3)
            || !distinctKeys(rule.source, rule.precedingKeys, rule.precedingKeyCount))
            return kCompileBadSourceOrTrigger;
        return kCompileOk;
    }
    // Hold/tap and double press: the source is always consumed, and the fallback must be a rule
    // of its own.
    if (!rule.suppressOriginal || rule.precedingKeyCount != 0)
        return kCompileBadTarget;
    CompiledRule alternative;
    makeAlternativeRule(alternative, rule);
    return checkCompiledRule(alternative) == kCompileOk ? kCompileOk : kCompileBadTarget;
}

int checkKeyTarget(const CompiledRule& rule)
{
    if (!isValidInputId(rule.output))
        return kCompileBadKeyOutput;
    if (rule.modifiers > 15)
        return kCompileBadSourceOrTrigger;
    if (rule.targetKind == TargetKind::Toggle) {
        if (isWheelInput(rule.output) || isWheelInput(rule.source))
            return kCompileBadTarget;
        return rule.chordKeyCount == 0 ? kCompileOk : kCompileBadKeyOutput;
    }
    if (rule.chordKeyCount > 3)
        return kCompileBadKeyOutput;
    if (rule.chordKeyCount > 0
        && (isWheelInput(rule.output) || !distinctKeys(rule.output, rule.chordKeys, rule.chordKeyCount)))
        return kCompileBadKeyOutput;
    return kCompileOk;
}

// Parameters of the kinds other than key output and toggle.
bool otherTargetValid(const CompiledRule& rule)
{
    switch (rule.targetKind) {
    case TargetKind::Pointer:
        return inRange(std::uint8_t(rule.pointerMode), 1, 4) && !isWheelInput(rule.source);
    case TargetKind::Action:
        return inRange(rule.actionSlot, 1, 32);
    case TargetKind::Macro:
        return inRange(rule.macroSlot, 1, 16);
    case TargetKind::Layer:
        return rule.layerIndex <= 9 && inRange(std::uint8_t(rule.layerOp), 1, 6)
            && inRange(rule.layerTimerMs, 100, 60000);
    case TargetKind::Blocked:
    case TargetKind::Unchanged:
        return true;
    default:
        return false;
    }
}

int checkTarget(const CompiledRule& rule)
{
    if (rule.targetKind == TargetKind::KeyOutput || rule.targetKind == TargetKind::Toggle)
        return checkKeyTarget(rule);
    if (!otherTargetValid(rule))
        return kCompileBadTarget;
    if (rule.modifiers > 15)
        return kCompileBadSourceOrTrigger;
    return rule.chordKeyCount == 0 ? kCompileOk : kCompileBadKeyOutput;
}

bool matchesEarlier(const CompiledRule& a, const CompiledRule& b)
{
    if (a.modifierCount != b.modifierCount)
        return a.modifierCount > b.modifierCount;
    if ((a.device != 0) != (b.device != 0))
        return a.device != 0;
    return a.id < b.id;
}

} // namespace

int checkCompiledRule(const CompiledRule& rule)
{
    if (rule.id == 0)
        return kCompileZeroId;
    if (!isValidInputId(rule.source) || std::uint8_t(rule.trigger) > 3)
        return kCompileBadSourceOrTrigger;
    if (const int trigger = checkTrigger(rule); trigger != kCompileOk)
        return trigger;
    return checkTarget(rule);
}

static_assert(std::is_trivially_copyable_v<CompiledRule>, "records are moved as bytes");

int sortRules(const CompiledRule* rules, std::size_t count, CompiledRule* sorted)
{
    if (count > kMaxRules)
        return kCompileTooManyRules;
    // Every record is checked before `sorted` is written, so that it may hold the input.
    for (std::size_t i = 0; i < count; ++i) {
        const CompiledRule& rule = rules[i];
        if (const int result = checkCompiledRule(rule); result != kCompileOk)
            return result;
        for (std::size_t j = 0; j < i; ++j)
            if (rules[j].id == rule.id)
                return kCompileDuplicateId;
    }
    if (count > 0) // an empty list may come without records
        std::memmove(static_cast<void*>(sorted), rules, count * sizeof(CompiledRule));
    std::sort(sorted, sorted + count, matchesEarlier);
    return kCompileOk;
}

int compileRules(const CompiledRule* rules, std::size_t count, RulesSnapshot& snapshot)
{
    // `snapshot` stays as it was on failure and may even hold the input.
    if (const int result = sortRules(rules, count, snapshot.rules.data()); result != kCompileOk)
        return result;
    std::fill(snapshot.rules.begin() + std::ptrdiff_t(count), snapshot.rules.end(), CompiledRule{});
    snapshot.count = count;
    return kCompileOk;
}

} // namespace vorna::core
