// Which layer is in force: held layers (while their key is down), temporary layers (until the
// next press or until their timer runs out) and the base layer. Hook thread only; fixed arrays.
#pragma once

#include "core/compiled_rule.h"

#include <cstdint>

namespace vorna::windows {

constexpr int kLayerCount = 10;
constexpr int kLayerStackCapacity = 8;

struct LayerHoldEntry {
    uint64_t device = 0;
    uint32_t input = 0;
    uint8_t layer = 0;
};

struct LayerTemporaryEntry {
    uint8_t layer = 0;
    uint8_t once = 0;
    uint64_t deadline = 0; // ns; 0 for a once entry
};

struct LayerStacks {
    LayerHoldEntry hold[kLayerStackCapacity];
    uint8_t holdCount = 0;
    LayerTemporaryEntry temporary[kLayerStackCapacity];
    uint8_t temporaryCount = 0;
    uint8_t base = 0;
    uint8_t current = 0; // the layer whose rules the engine holds

    void reset(uint8_t initialLayer);

    // Top of the hold stack, else of the temporary stack, else the base layer.
    uint8_t computeCurrent() const;

    // A fresh press without a layer operation consumes a pending once layer (not while a layer is held).
    void consumeOnce();
    void releaseHold(uint64_t device, uint32_t input);

    // Performs a layer operation on a press at `eventTime` (ns). False when a stack is full.
    bool apply(core::LayerOp op, uint8_t layer, uint32_t timerMs, uint64_t device, uint32_t input, uint64_t eventTime);

    // Drops timed entries whose deadline is not later than `now`; once entries stay.
    void dropExpired(uint64_t now);

    // Earliest deadline of a timed entry (ns), 0 when none.
    uint64_t nextDeadline() const;
};

} // namespace vorna::windows
