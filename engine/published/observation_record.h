// One record of the engine's two rings: an input as the engine saw it, an output it sent, an
// engine event (trigger, layer, macro, pointer) or an action request. Field names are the keys
// under which the agent's trace reports them.
#pragma once

#include "core/agent_protocol.h"
#include "core/input_id.h"

#include <cstdint>

namespace vorna::windows {

// The record kinds and results are the agent protocol's: the trace sends them as they are.
using enum protocol::RecordKind;
using enum protocol::ResultCode;

// The operation a macro batch carried (see core::OutputBatch).
struct OperationData {
    std::uint8_t mode = 0;
    std::uint64_t owner = 0;
    std::uint16_t command = 0;
    std::int32_t dx = 0;
    std::int32_t dy = 0;
    std::uint8_t layer = 0;
};

struct ObservationRecord {
    std::uint64_t device = 0;
    core::InputId id = 0;        // the input, or for an output record the output
    std::uint8_t phase = 0;
    std::uint8_t origin = 0;     // 0 physical, 2 produced by this program
    std::uint64_t timestampMs = 0; // ns despite the name: the trace divides by 1,000,000
    std::uint8_t provider = 0;   // the event's two small codes
    std::uint8_t channel = 0;
    std::uint8_t modifiers = 0;
    std::uint16_t scanCode = 0;
    std::uint8_t extended = 0;
    std::int32_t eventDelta = 0;
    std::int32_t x = 0;
    std::int32_t y = 0;
    std::uint8_t suppressed = 0;
    std::uint8_t kind = kRecordInput;
    std::uint8_t result = 0;
    std::uint64_t sequence = 0;  // given when the record is pushed
    std::uint64_t execution = 0; // execution id of the event's context
    std::uint64_t revision = 0;  // revision of the applied rules
    std::uint32_t rule = 0;
    std::uint32_t error = 0;     // system error of an output
    std::int32_t delta = 0;      // amount (wheel units or output amount)
    std::int32_t dy = 0;
    std::uint16_t macro = 0;
    std::uint16_t step = 0;
    std::uint16_t command = 0;
    std::uint64_t foregroundWindow = 0; // of an action request
    OperationData operation;
    std::uint8_t profileIndex = 0;
    std::uint8_t layerIndex = 0;
    std::uint8_t gestureOutcome = 0; // 0 none, 1 main target, 2 fallback
    std::uint8_t pointerMode = 0;
    std::uint8_t pointer = 0;        // 1 in wheel and pointer records
    std::uint8_t pointerModes = 0;   // bit 0 scroll, 1 speed, 2 axis-x, 3 axis-y
};

// Records are cleared by copying this one: clearing one in place compiles to a string store whose
// start-up costs the hook path more than the copy.
inline constexpr ObservationRecord kEmptyRecord{};

} // namespace vorna::windows
