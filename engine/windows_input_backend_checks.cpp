// The backend's check of a configuration: WindowsInputBackend::validateProgram and
// WindowsInputBackend::compileRules.
#include "engine/windows_input_backend.h"

#include "core/macro_check.h"
#include "core/output_mapping.h"
#include "engine/mapping/supported_input.h"

namespace vorna::windows {

using core::CompiledRule;
using core::MacroStepKind;
using core::TargetKind;
using core::TriggerKind;

namespace {

constexpr std::uint32_t kWheelAccumulatorRules = 256;

const char kInvalidMotion[] = "Invalid wheel or cursor settings";
const char kInvalidInitialLayer[] = "Invalid initial layer";
const char kLayerNeedsProgram[] = "Layer actions require a layer program";
const char kActionNeedsCollection[] = "Action reference requires a validated action collection";
const char kInvalidMacroBank[] = "Invalid macro bank";
const char kMacroMissingAction[] = "Macro references a missing action";
const char kMacroNeedsProgram[] = "Macro needs a profile/layer program";
const char kUnsupportedMacroChordKey[] = "Unsupported macro chord key";
const char kUnsupportedMacroKey[] = "Unsupported macro output key";
const char kWheelRuleId[] = "Wheel rule id is outside the bounded accumulator bank";
const char kInvalidFallback[] = "Invalid trigger fallback";
const char kUnsupportedSourceChordKey[] = "Unsupported source chord key";
const char kInvalidMacroDefinition[] = "Invalid macro definition";
const char kUnsupportedChordKey[] = "Unsupported chord key";
const char kDeviceRule[] =
    "Windows hooks support all mice/all keyboards only; physical-device rules are unavailable.";
const char kUnsupportedInput[] = "This Windows backend supports documented Windows virtual keys and mouse buttons "
                                 "1-5; use explicit left/right modifiers.";

bool fail(std::string& error, const char* message)
{
    error = message;
    return false;
}

bool within(std::int32_t value, std::int32_t low, std::int32_t high)
{
    return value >= low && value <= high;
}

bool motionIsValid(const core::MotionSettings& m)
{
    return within(m.wheelVertical, 10, 800) && within(m.wheelHorizontal, 10, 800) && within(m.cursorX, 10, 400) &&
           within(m.cursorY, 10, 400) && within(m.temporarySpeed, 10, 400) && within(m.scrollPixels, 1, 500) &&
           m.axis <= 2 && !(m.pages && m.verticalToHorizontal);
}

bool fallsBack(const CompiledRule& rule)
{
    return rule.trigger == TriggerKind::HoldTap || rule.trigger == TriggerKind::Double;
}

// The rule's target, or for a hold-tap or double rule its fallback as well, is of `kind`.
bool targets(const CompiledRule& rule, TargetKind kind)
{
    return rule.targetKind == kind || (fallsBack(rule) && rule.fallback.kind == kind);
}

bool referencesLayers(const core::RulesSnapshot& snapshot)
{
    for (std::uint64_t i = 0; i < snapshot.count && i < snapshot.rules.size(); ++i) {
        if (targets(snapshot.rules[i], TargetKind::Layer))
            return true;
    }
    return false;
}

bool actionReferencesValid(const core::RulesSnapshot& snapshot, std::uint8_t actionCount)
{
    for (std::uint64_t i = 0; i < snapshot.count && i < snapshot.rules.size(); ++i) {
        const CompiledRule& rule = snapshot.rules[i];
        if (!targets(rule, TargetKind::Action))
            continue;
        if (actionCount > kMaxActionSlots)
            return false;
        if (rule.targetKind == TargetKind::Action && rule.actionSlot > actionCount)
            return false;
        if (fallsBack(rule) && rule.fallback.kind == TargetKind::Action && rule.fallback.actionSlot > actionCount)
            return false;
    }
    return true;
}

bool macroStepsValid(const MacroBank& macros, const LayerProgram& layers, std::string& error)
{
    for (const core::Macro& macro : macros) {
        for (std::uint16_t s = 0; s < macro.stepCount && s < macro.steps.size(); ++s) {
            const core::CompiledMacroStep& step = macro.steps[s];
            switch (step.kind) {
            case MacroStepKind::Command:
                if (step.actionSlot > layers.actionCount)
                    return fail(error, kMacroMissingAction);
                break;
            case MacroStepKind::Layer:
            case MacroStepKind::Profile:
                if (!layers.enabled)
                    return fail(error, kMacroNeedsProgram);
                break;
            case MacroStepKind::Chord:
                for (std::uint8_t k = 0; k < step.chordKeyCount && k < step.chordKeys.size(); ++k) {
                    if (!core::isSupportedInputId(step.chordKeys[k]))
                        return fail(error, kUnsupportedMacroChordKey);
                }
                break;
            case MacroStepKind::Down:
            case MacroStepKind::Up:
            case MacroStepKind::Tap:
                if (!core::isSupportedInputId(step.input))
                    return fail(error, kUnsupportedMacroKey);
                break;
            default:
                break;
            }
        }
    }
    return true;
}

bool producesKeys(TargetKind kind)
{
    return kind == TargetKind::KeyOutput || kind == TargetKind::Toggle;
}

} // namespace

bool WindowsInputBackend::compileRules(const core::RulesSnapshot& snapshot, std::string& error,
                                       const MacroBank& macros)
{
    for (std::uint64_t i = 0; i < snapshot.count && i < snapshot.rules.size(); ++i) {
        const CompiledRule& rule = snapshot.rules[i];
        if (core::isWheelInput(rule.source) && (rule.id < 1 || rule.id > kWheelAccumulatorRules))
            return fail(error, kWheelRuleId);
        if (fallsBack(rule)) {
            CompiledRule alternative;
            core::makeAlternativeRule(alternative, rule);
            core::RulesSnapshot alone;
            if (core::compileRules(&alternative, 1, alone) != core::kCompileOk)
                return fail(error, kInvalidFallback);
            if (!compileRules(alone, error, macros))
                return false;
        }
        if (rule.trigger == TriggerKind::Chord) {
            for (std::uint8_t k = 0; k < rule.precedingKeyCount && k < rule.precedingKeys.size(); ++k) {
                if (!core::isSupportedInputId(rule.precedingKeys[k]))
                    return fail(error, kUnsupportedSourceChordKey);
            }
        }
        if (rule.targetKind == TargetKind::Macro &&
            (rule.macroSlot < 1 || rule.macroSlot > macros.size() || !core::validateMacro(macros[rule.macroSlot - 1])))
            return fail(error, kInvalidMacroDefinition);
        if (rule.targetKind == TargetKind::KeyOutput) {
            for (std::uint8_t k = 0; k < rule.chordKeyCount && k < rule.chordKeys.size(); ++k) {
                if (!core::isSupportedInputId(rule.chordKeys[k]))
                    return fail(error, kUnsupportedChordKey);
            }
        }
        if (rule.device != 0)
            return fail(error, kDeviceRule);
        if (!core::isSupportedInputId(rule.source) ||
            (producesKeys(rule.targetKind) && !core::isSupportedInputId(rule.output)))
            return fail(error, kUnsupportedInput);
    }
    error.clear();
    return true;
}

bool WindowsInputBackend::validateProgram(const core::RulesSnapshot& snapshot, const MacroBank& macros,
                                          const LayerProgram& layers, std::string& error)
{
    for (const core::MotionSettings& motion : layers.motion) {
        if (!motionIsValid(motion))
            return fail(error, kInvalidMotion);
    }
    if (!compileRules(snapshot, error, macros))
        return false;
    if (layers.enabled) {
        if (layers.initialLayer >= kProgramLayers)
            return fail(error, kInvalidInitialLayer);
        for (const core::RulesSnapshot& layer : layers.layers) {
            if (!compileRules(layer, error, macros))
                return false;
        }
    } else if (referencesLayers(snapshot)) {
        return fail(error, kLayerNeedsProgram);
    }

    bool actionsValid = actionReferencesValid(snapshot, layers.actionCount);
    for (std::size_t i = 0; layers.enabled && actionsValid && i < layers.layers.size(); ++i)
        actionsValid = actionReferencesValid(layers.layers[i], layers.actionCount);
    if (!actionsValid)
        return fail(error, kActionNeedsCollection);

    for (const core::Macro& macro : macros) {
        if (macro.stepCount > 0 && !core::validateMacro(macro))
            return fail(error, kInvalidMacroBank);
    }
    if (!macroStepsValid(macros, layers, error))
        return false;
    error.clear();
    return true;
}

} // namespace vorna::windows
