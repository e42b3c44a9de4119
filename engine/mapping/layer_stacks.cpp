#include "engine/mapping/layer_stacks.h"

namespace vorna::windows {

void LayerStacks::reset(uint8_t initialLayer)
{
    *this = LayerStacks{};
    base = initialLayer;
    current = initialLayer;
}

void LayerStacks::removeHold(uint8_t at)
{
    for (uint8_t j = at; j + 1 < holdCount; ++j)
        hold[j] = hold[j + 1];
    hold[--holdCount] = LayerHoldEntry{};
}

static void keepTemporary(LayerStacks& s, uint64_t now)
{
    uint8_t kept = 0;
    for (uint8_t i = 0; i < s.temporaryCount; ++i) {
        if (s.temporary[i].once || s.temporary[i].deadline > now)
            s.temporary[kept++] = s.temporary[i];
    }
    for (uint8_t i = kept; i < s.temporaryCount; ++i)
        s.temporary[i] = LayerTemporaryEntry{};
    s.temporaryCount = kept;
}

void LayerStacks::dropExpired(uint64_t now)
{
    keepTemporary(*this, now);
}

bool LayerStacks::apply(core::LayerOp op, uint8_t layer, uint32_t timerMs, uint64_t device, uint32_t input,
                        uint64_t eventTime)
{
    switch (op) {
    case core::LayerOp::Hold:
        for (uint8_t i = 0; i < holdCount; ++i) {
            if (hold[i].device == device && hold[i].input == input)
                return true;
        }
        if (holdCount >= kLayerStackCapacity)
            return false;
        hold[holdCount++] = LayerHoldEntry{device, input, layer};
        return true;
    case core::LayerOp::Once:
    case core::LayerOp::Timed:
        keepTemporary(*this, eventTime);
        if (temporaryCount >= kLayerStackCapacity)
            return false;
        temporary[temporaryCount++] = op == core::LayerOp::Once
            ? LayerTemporaryEntry{layer, 1, 0}
            : LayerTemporaryEntry{layer, 0, eventTime + uint64_t(timerMs) * 1'000'000};
        return true;
    case core::LayerOp::Set:
    case core::LayerOp::Next:
    case core::LayerOp::Previous: {
        base = op == core::LayerOp::Set ? layer : op == core::LayerOp::Next ? uint8_t((current + 1) % kLayerCount)
                                                        : uint8_t((current + kLayerCount - 1) % kLayerCount);
        for (uint8_t i = 0; i < temporaryCount; ++i)
            temporary[i] = LayerTemporaryEntry{};
        temporaryCount = 0;
        return true;
    }
    default:
        return true;
    }
}

uint64_t LayerStacks::nextDeadline() const
{
    uint64_t earliest = 0;
    for (uint8_t i = 0; i < temporaryCount; ++i) {
        const LayerTemporaryEntry& e = temporary[i];
        if (!e.once && (earliest == 0 || e.deadline < earliest))
            earliest = e.deadline;
    }
    return earliest;
}

} // namespace vorna::windows
