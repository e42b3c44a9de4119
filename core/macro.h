// Macros as the engine plays them: a fixed-size record of up to 64 compiled steps that the
// backend copies whole, and the parser that builds one from the library's macro object.
#pragma once

#include "core/input_id.h"

#include <QJsonObject>
#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <type_traits>

namespace vorna::core {

inline constexpr std::size_t kMaxMacros = 16;
inline constexpr std::size_t kMaxMacroSteps = 64;

enum class MacroStepKind : std::uint8_t {
    Down = 0,
    Up = 1,
    Tap = 2, // also a "wheel" step
    Wait = 3,
    Chord = 4,
    Move = 5,
    Command = 6,
    Layer = 7,
    Profile = 8,
};

enum class MacroMode : std::uint8_t {
    Once = 0,
    Count = 1,
    Hold = 2,
    Toggle = 3,
};

struct CompiledMacroStep {
    MacroStepKind kind = MacroStepKind::Tap;
    InputId input = 0;                  // down, up and tap
    std::uint32_t time = 100;           // the step's ms
    std::array<InputId, 4> chordKeys{}; // in the order written
    std::uint8_t chordKeyCount = 0;
    std::int32_t moveX = 0;
    std::int32_t moveY = 0;
    std::int32_t target = 0;            // layer 0..9, or +1 / -1 for the next / previous profile
    std::uint16_t actionSlot = 0;       // 1..32

    bool operator==(const CompiledMacroStep&) const = default;
};

// One compiled macro: a plain fixed-size record, copied whole into the backend and played on
// the hook thread without allocation. Only the first `stepCount` steps are used; the others
// keep the default step (a tap of 100 ms).
struct Macro {
    std::array<CompiledMacroStep, kMaxMacroSteps> steps{};
    std::uint16_t stepCount = 0;
    std::uint16_t repeat = 1;
    MacroMode mode = MacroMode::Once;

    bool operator==(const Macro&) const = default;
};

static_assert(std::is_trivially_copyable_v<Macro>, "the backend copies macros as bytes");

// Checks one macro object of the library and compiles it. `macro` is written only on success,
// `error` only on failure.
bool parseMacro(const QJsonObject& object, Macro& macro, QString& error);

} // namespace vorna::core
