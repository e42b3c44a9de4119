#include "engine/mapping/rule_evaluation.h"

#include <algorithm>

namespace vorna::windows::engine {

using core::ActiveMapping;
using core::CompiledRule;
using core::InputId;
using core::TargetKind;

namespace {

bool isKey(InputId id)
{
    return core::inputClass(id) == core::kClassKeyboard;
}

bool isWellFormed(const InputEvent& event)
{
    return event.device != 0 && core::isValidInputId(event.input) && event.phase <= core::kPhaseRepeat &&
           event.provider <= kMaxProviderCode && event.channel <= kMaxChannelCode;
}

// The first remembered press of `input` (any device), by a walk over the table.
const core::HeldInput* firstHeldIn(const std::array<core::HeldInput, core::kMaxHeldInputs>& held, InputId input)
{
    for (const core::HeldInput& entry : held) {
        if (entry.device != 0 && entry.input == input)
            return &entry;
    }
    return nullptr;
}

void copyTargetFields(EvaluationResult& result, const ActiveMapping& entry)
{
    result.layerOp = entry.layerOp;
    result.layerIndex = entry.layerIndex;
    result.layerTimerMs = entry.layerTimerMs;
    result.pointerMode = entry.pointerMode;
}

// The system must not see the up of a key that another mapping keeps down.
void shieldHeldOutput(EvaluationResult& result, const core::MappingEngine& engine, InputId input)
{
    if (!result.suppress && engine.holdersOfOutput(input) > 0)
        result.suppress = 1;
}

void pressKeyTarget(core::MappingEngine& engine, ActiveMapping& entry, const CompiledRule& rule,
                    core::OutputBatch& batch)
{
    entry.toggle = rule.targetKind == TargetKind::Toggle;
    entry.suppress = rule.suppressOriginal;
    engine.refresh(entry);
    if (core::isWheelInput(rule.output)) {
        batch.append(rule.output, core::kPhaseDown);
        return;
    }
    const std::uint16_t extra = rule.targetKind == TargetKind::KeyOutput
                                    ? std::min<std::uint16_t>(rule.chordKeyCount, core::kMaxExtraOutputs)
                                    : 0;
    // Checked while this entry's outputs are not yet down, so only other holders count.
    core::InputId outputs[1 + core::kMaxExtraOutputs] = {rule.output};
    for (std::uint16_t i = 0; i < extra; ++i)
        outputs[1 + i] = rule.chordKeys[i];
    bool free[1 + core::kMaxExtraOutputs];
    engine.findFreeOutputs(outputs, 1 + extra, free);
    for (int k = 0; k < 1 + extra; ++k) {
        if (free[k])
            batch.append(outputs[k], core::kPhaseDown);
    }
    entry.output = rule.output;
    for (std::uint16_t i = 0; i < extra; ++i)
        entry.extraOutputs[i] = rule.chordKeys[i];
    entry.extraCount = extra;
    entry.outputsDown = 1;
}

void applyRule(core::MappingEngine& engine, ActiveMapping& entry, const CompiledRule& rule,
               core::OutputBatch& batch)
{
    entry.ruleId = rule.id;
    switch (rule.targetKind) {
    case TargetKind::KeyOutput:
    case TargetKind::Toggle:
        pressKeyTarget(engine, entry, rule, batch);
        break;
    case TargetKind::Blocked:
        entry.suppress = 1;
        break;
    case TargetKind::Unchanged:
        break;
    case TargetKind::Macro:
        entry.suppress = rule.suppressOriginal;
        entry.macroSlot = rule.macroSlot;
        break;
    case TargetKind::Layer:
        entry.suppress = rule.suppressOriginal;
        entry.layerOp = std::uint8_t(rule.layerOp);
        entry.layerIndex = rule.layerIndex;
        entry.layerTimerMs = rule.layerTimerMs;
        break;
    case TargetKind::Action:
        entry.suppress = rule.suppressOriginal;
        entry.actionSlot = rule.actionSlot;
        break;
    case TargetKind::Pointer:
        entry.suppress = rule.suppressOriginal;
        entry.pointerMode = std::uint8_t(rule.pointerMode);
        break;
    }
    engine.refresh(entry);
}

} // namespace

const CompiledRule* findRule(const core::RulesSnapshot& rules,
                             const std::array<core::HeldInput, core::kMaxHeldInputs>& held,
                             const InputEvent& event)
{
    const auto firstHeld = [&held](InputId input) { return firstHeldIn(held, input); };
    const std::uint64_t count = std::min<std::uint64_t>(rules.count, rules.rules.size());
    for (std::uint64_t i = 0; i < count; ++i) {
        if (detail::ruleMatches(rules.rules[i], firstHeld, event))
            return &rules.rules[i];
    }
    return nullptr;
}

namespace {

// `lookUp`: find the rule of a press when none is given; `track`: remember the event first.
EvaluationResult evaluate(core::MappingEngine& engine, const InputEvent& event, const CompiledRule* rule, bool lookUp,
                          bool track)
{
    EvaluationResult result;
    if (event.origin == kOriginProgram) {
        result.status = kStatusProgramOrigin;
        return result;
    }
    if (event.origin == kOriginInjected) {
        result.status = kStatusInjectedOrigin;
        return result;
    }
    if (event.origin != kOriginPhysical || !isWellFormed(event)) {
        result.status = kStatusInvalid;
        return result;
    }

    result.status = engine.released ? kStatusReleased : kStatusProcessed;
    if (track)
        trackHeld(engine, event);

    ActiveMapping* entry = engine.findEntry(event.device, event.input);

    if (entry && event.phase == core::kPhaseUp) {
        result.suppress = entry->suppress;
        result.ruleId = entry->ruleId;
        result.macroSlot = entry->macroSlot;
        if (!engine.released)
            result.actionSlot = entry->actionSlot;
        copyTargetFields(result, *entry);
        if (!entry->toggle) {
            engine.releaseOutputsGuarded(*entry, result.batch);
            shieldHeldOutput(result, engine, event.input);
        } else if (entry->outputsDown) {
            entry->latched = 1;
            engine.refresh(*entry);
            shieldHeldOutput(result, engine, event.input);
            return result;
        }
        engine.clearEntry(*entry);
        return result;
    }

    if (entry) {
        // Down or repeat of a source that is already down: it keeps the decision of its press,
        // so a remapped key's auto-repeat and a latched toggle's second press never leak.
        result.suppress = entry->suppress;
        result.ruleId = entry->ruleId;
        copyTargetFields(result, *entry);
        if (!entry->toggle) {
            if (entry->outputsDown && isKey(event.input) && isKey(entry->output)) {
                const InputId last = entry->extraCount ? entry->extraOutputs[entry->extraCount - 1] : entry->output;
                if (isKey(last))
                    result.batch.append(last, core::kPhaseRepeat);
            }
        } else if (event.phase == core::kPhaseDown && entry->latched) {
            entry->latched = 0;
            engine.refresh(*entry);
            engine.releaseOutputs(*entry, result.batch);
        }
        return result;
    }

    if (event.phase == core::kPhaseUp) {
        shieldHeldOutput(result, engine, event.input);
        return result;
    }
    if (event.phase == core::kPhaseRepeat)
        return result;

    ActiveMapping* free = engine.firstFreeEntry();
    if (!free) {
        engine.releaseAll(result.batch);
        engine.overflow = 1;
        result.status = kStatusTableFull;
        return result;
    }

    *free = core::kFreeMapping;
    free->occupied = 1;
    free->owner = event.device;
    free->source = event.input;
    if (!engine.released && lookUp)
        rule = lookUpRule(engine, event);
    if (engine.released || !rule) {
        engine.refresh(*free); // the source passes through
        return result;
    }
    applyRule(engine, *free, *rule, result.batch); // records the entry with its target
    result.suppress = free->suppress;
    result.ruleId = free->ruleId;
    result.macroSlot = free->macroSlot;
    result.actionSlot = free->actionSlot;
    copyTargetFields(result, *free);
    return result;
}

} // namespace

EvaluationResult evaluateInput(core::MappingEngine& engine, const InputEvent& event, const CompiledRule* rule)
{
    return evaluate(engine, event, rule, rule == nullptr, rule == nullptr);
}

EvaluationResult evaluateTracked(core::MappingEngine& engine, const InputEvent& event, const CompiledRule* rule,
                                 bool lookedUp)
{
    return evaluate(engine, event, rule, rule == nullptr && !lookedUp, false);
}

} // namespace vorna::windows::engine
