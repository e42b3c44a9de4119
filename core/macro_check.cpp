#include "core/macro_check.h"

#include <algorithm>

namespace vorna::core {

namespace {

constexpr std::uint64_t kMaxMacroRunMs = 300000;
constexpr std::uint64_t kCommandStepMs = 10000;
constexpr std::uint32_t kMinPressMs = 10;
constexpr std::uint32_t kMaxPressMs = 10000;
constexpr std::uint32_t kMaxWaitMs = 60000;
constexpr std::int32_t kMaxMoveDelta = 32767;
constexpr std::int32_t kLayerCount = 10;
constexpr std::uint16_t kMaxActionSlot = 32;
constexpr std::uint16_t kMaxRepeat = 100;

// Keys the macro holds down at a point of its run; at most one entry per "down" step.
class HeldKeys {
public:
    bool contains(InputId id) const { return std::find(keys_.begin(), keys_.begin() + count_, id) != keys_.begin() + count_; }
    void add(InputId id) { keys_[count_++] = id; }
    void remove(InputId id)
    {
        auto* end = keys_.begin() + count_;
        auto* found = std::find(keys_.begin(), end, id);
        std::copy(found + 1, end, found);
        --count_;
    }
    bool empty() const { return count_ == 0; }

private:
    std::array<InputId, kMaxMacroSteps> keys_{};
    std::size_t count_ = 0;
};

bool within(std::uint32_t value, std::uint32_t minimum, std::uint32_t maximum)
{
    return value >= minimum && value <= maximum;
}

bool validChord(const CompiledMacroStep& step, const HeldKeys& held)
{
    if (step.chordKeyCount < 2 || step.chordKeyCount > step.chordKeys.size())
        return false;
    for (std::size_t i = 0; i < step.chordKeyCount; ++i) {
        const InputId key = step.chordKeys[i];
        if (!isValidInputId(key) || inputClass(key) != kClassKeyboard || held.contains(key))
            return false;
        if (std::find(step.chordKeys.begin(), step.chordKeys.begin() + i, key) != step.chordKeys.begin() + i)
            return false;
    }
    return true;
}

} // namespace

bool validateMacro(const Macro& macro)
{
    if (macro.stepCount < 1 || macro.stepCount > kMaxMacroSteps || macro.repeat < 1 || macro.repeat > kMaxRepeat
        || static_cast<std::uint8_t>(macro.mode) > static_cast<std::uint8_t>(MacroMode::Toggle))
        return false;

    HeldKeys held;
    std::uint64_t totalMs = 0;
    for (std::size_t index = 0; index < macro.stepCount; ++index) {
        const CompiledMacroStep& step = macro.steps[index];
        switch (step.kind) {
        case MacroStepKind::Down:
            if (!isValidInputId(step.input) || isWheelInput(step.input) || held.contains(step.input))
                return false;
            held.add(step.input);
            break;
        case MacroStepKind::Up:
            if (!isValidInputId(step.input) || !held.contains(step.input))
                return false;
            held.remove(step.input);
            break;
        case MacroStepKind::Tap:
            if (!isValidInputId(step.input) || held.contains(step.input) || !within(step.time, kMinPressMs, kMaxPressMs))
                return false;
            totalMs += step.time;
            break;
        case MacroStepKind::Wait:
            if (!within(step.time, 1, kMaxWaitMs))
                return false;
            totalMs += step.time;
            break;
        case MacroStepKind::Chord:
            if (!within(step.time, kMinPressMs, kMaxPressMs) || !validChord(step, held))
                return false;
            totalMs += step.time;
            break;
        case MacroStepKind::Move:
            if (step.moveX < -kMaxMoveDelta || step.moveX > kMaxMoveDelta || step.moveY < -kMaxMoveDelta
                || step.moveY > kMaxMoveDelta || (step.moveX == 0 && step.moveY == 0) || step.time > kMaxWaitMs)
                return false;
            totalMs += step.time;
            break;
        case MacroStepKind::Command:
            if (step.actionSlot < 1 || step.actionSlot > kMaxActionSlot)
                return false;
            totalMs += kCommandStepMs;
            break;
        case MacroStepKind::Layer:
            if (step.target < 0 || step.target >= kLayerCount)
                return false;
            break;
        case MacroStepKind::Profile:
            if ((step.target != 1 && step.target != -1) || index + 1 != macro.stepCount
                || macro.mode != MacroMode::Once || !held.empty())
                return false;
            break;
        default:
            return false;
        }
    }
    if (!held.empty() || totalMs > kMaxMacroRunMs)
        return false;
    return macro.mode != MacroMode::Count || macro.repeat * totalMs <= kMaxMacroRunMs;
}

} // namespace vorna::core
