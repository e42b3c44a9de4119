// What the engine hands to the output side: a batch of key, button and wheel events in sending
// order, optionally followed by one operation of a macro run (an action, a cursor move, a layer or
// profile step, or the cancel of an awaited operation).
#pragma once

#include "core/input_id.h"

#include <cstddef>
#include <cstdint>

namespace vorna::core {

inline constexpr std::size_t kMaxBatchEvents = 512;
inline constexpr std::uint32_t kDefaultOutputAmount = 120; // one wheel notch

// Phases of input and output events.
inline constexpr std::uint8_t kPhaseDown = 0;
inline constexpr std::uint8_t kPhaseUp = 1;
inline constexpr std::uint8_t kPhaseRepeat = 2; // a down without a preceding up (auto-repeat)

// Operations a batch may carry after its events.
inline constexpr std::uint8_t kBatchModeNone = 0;
inline constexpr std::uint8_t kBatchModeCommand = 1;   // custom action of a command step
inline constexpr std::uint8_t kBatchModeCursorMove = 2;
inline constexpr std::uint8_t kBatchModeLayerStep = 3;
inline constexpr std::uint8_t kBatchModeProfileStep = 4;
inline constexpr std::uint8_t kBatchModeCancel = 5;    // cancel the operation a macro waited for

// Kept trivial on purpose: a batch holds 512 of them and is built on every input event, so its
// unused tail is never initialised. Only events below `count` carry meaning.
struct OutputEvent {
    InputId input;
    std::uint8_t phase;
    std::uint32_t amount; // wheel units
};

struct OutputBatch {
    OutputEvent events[kMaxBatchEvents];
    std::uint64_t count = 0;
    std::uint8_t mode = kBatchModeNone;
    std::uint64_t owner = 0;   // owner token of the macro run (or its awaited operation)
    std::uint16_t command = 0; // action slot of a command step
    std::int32_t dx = 0;       // relative cursor move
    std::int32_t dy = 0;
    std::uint8_t layer = 0;    // layer 0..9, or a profile direction as a signed byte

    // Appends one event; false (and nothing appended) when the batch is full.
    bool append(InputId input, std::uint8_t phase, std::uint32_t amount = kDefaultOutputAmount)
    {
        if (count >= kMaxBatchEvents)
            return false;
        events[count++] = OutputEvent{input, phase, amount};
        return true;
    }

    bool empty() const { return count == 0 && mode == kBatchModeNone; }

    // Copies the operation fields (mode through layer) of `other`.
    void copyOperation(const OutputBatch& other)
    {
        mode = other.mode;
        owner = other.owner;
        command = other.command;
        dx = other.dx;
        dy = other.dy;
        layer = other.layer;
    }

    void clearOperation()
    {
        mode = kBatchModeNone;
        owner = 0;
        command = 0;
        dx = 0;
        dy = 0;
        layer = 0;
    }

    // Copies the header and only the events in use; a whole-array copy would move 6 KB per batch.
    void assign(const OutputBatch& other)
    {
        for (std::uint64_t i = 0; i < other.count; ++i)
            events[i] = other.events[i];
        count = other.count;
        copyOperation(other);
    }
};

// A profile step's direction (+1 or -1) travels in the unsigned layer byte; read it signed.
constexpr int profileDirection(std::uint8_t layerByte)
{
    return static_cast<std::int8_t>(layerByte);
}

} // namespace vorna::core
