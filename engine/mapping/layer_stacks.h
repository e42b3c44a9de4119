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

    // Top of the hold stack, else of the temporary stack, else the base layer. These three run
    // for every event with a layer program: inline.
    uint8_t computeCurrent() const
    {
        if (holdCount > 0)
            return hold[holdCount - 1].layer;
        if (temporaryCount > 0)
            return temporary[temporaryCount - 1].layer;
        return base;
    }

    // A fresh press without a layer operation consumes a pending once layer (not while a layer is held).
    void consumeOnce()
    {
        if (holdCount == 0 && temporaryCount > 0 && temporary[temporaryCount - 1].once)
            temporary[--temporaryCount] = LayerTemporaryEntry{};
    }
    void releaseHold(uint64_t device, uint32_t input)
    {
        for (uint8_t i = 0; i < holdCount; ++i) {
            if (hold[i].device == device && hold[i].input == input) {
                removeHold(i);
                return;
            }
        }
    }

    // Performs a layer operation on a press at `eventTime` (ns). False when a stack is full.
    bool apply(core::LayerOp op, uint8_t layer, uint32_t timerMs, uint64_t device, uint32_t input, uint64_t eventTime);

    // Drops timed entries whose deadline is not later than `now`; once entries stay.
    void dropExpired(uint64_t now);

    // Earliest deadline of a timed entry (ns), 0 when none.
    uint64_t nextDeadline() const;

private:
    void removeHold(uint8_t at);
};

} // namespace vorna::windows
