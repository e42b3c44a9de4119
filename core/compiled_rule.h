// One compiled rule as the engine runs it: id, source, trigger, target and modifiers in a
// fixed-size record with no heap storage, so a whole rule list can be copied to the hook thread
// and matched there without allocation. The enums are the byte values the compiler stores.
#pragma once

#include "core/input_id.h"

#include <array>
#include <cstdint>

namespace vorna::core {

// What a rule does with its input. Stored as one byte; values above 7 can occur in records built
// elsewhere and are refused by the compiler.
enum class TargetKind : std::uint8_t {
    KeyOutput = 0, // one key, button or wheel step, or a chord of 2-4 keys
    Blocked = 1,
    Unchanged = 2,
    Macro = 3,
    Layer = 4,
    Toggle = 5,
    Action = 6,
    Pointer = 7,
};

// Advanced trigger of a rule.
enum class TriggerKind : std::uint8_t {
    None = 0,
    HoldTap = 1,
    Double = 2,
    Chord = 3,
};

enum class LayerOp : std::uint8_t {
    Hold = 1,
    Set = 2,
    Next = 3,
    Previous = 4,
    Once = 5,
    Timed = 6,
};

enum class PointerMode : std::uint8_t {
    Scroll = 1,
    Speed = 2,
    AxisX = 3,
    AxisY = 4,
};

// Modifier bits of `CompiledRule::modifiers`.
inline constexpr std::uint8_t kModifierShift = 1;
inline constexpr std::uint8_t kModifierCtrl = 2;
inline constexpr std::uint8_t kModifierAlt = 4;
inline constexpr std::uint8_t kModifierWin = 8;

// The target a hold/tap or double-press trigger uses when it falls back.
struct FallbackTarget {
    TargetKind kind = TargetKind::Blocked;
    InputId output = 0;
    std::array<InputId, 3> chordKeys{};
    std::uint8_t chordKeyCount = 0;
    std::uint16_t macroSlot = 0;
    std::uint16_t actionSlot = 0;
    LayerOp layerOp{};
    std::uint8_t layerIndex = 0;
    std::uint32_t layerTimerMs = 1000;
    PointerMode pointerMode{};

    bool operator==(const FallbackTarget&) const = default;
};

// One rule as the engine runs it: fixed size, no heap storage. A default-constructed record is
// the "fresh record" every parser starts from and every unused snapshot slot holds.
struct CompiledRule {
    std::uint32_t id = 0;                    // 1-based position in its list; unique per snapshot
    std::uint64_t device = 0;                // 0: every device
    InputId source = 0;
    TargetKind targetKind = TargetKind::KeyOutput;
    InputId output = 0;                      // key output, first chord key, or the toggled key
    bool suppressOriginal = true;            // false: the source also passes on
    std::int16_t modifierCount = 0;          // bits set in `modifiers`; first sort key
    std::array<InputId, 3> chordKeys{};      // second to fourth key of an output chord
    std::uint8_t chordKeyCount = 0;
    std::uint16_t macroSlot = 0;             // 1-16
    std::uint16_t actionSlot = 0;            // 1-32
    LayerOp layerOp{};
    std::uint8_t layerIndex = 0;             // 0-9
    std::uint32_t layerTimerMs = 1000;       // 100-60000
    std::uint8_t modifiers = 0;              // kModifier* bits that must be held
    TriggerKind trigger = TriggerKind::None;
    std::uint32_t triggerIntervalMs = 300;   // 100-2000
    std::array<InputId, 3> precedingKeys{};  // chord trigger: keys already held, in press order
    std::uint8_t precedingKeyCount = 0;
    FallbackTarget fallback;
    PointerMode pointerMode{};

    bool operator==(const CompiledRule&) const = default;
};

} // namespace vorna::core
