#include "engine/mapping_engine.h"

#include "engine/held_state.h"
#include "engine/input_event.h"

#include <algorithm>
#include <memory>

namespace vorna::core {

namespace {

bool passesThrough(const ActiveMapping& entry)
{
    return entry.occupied && !entry.suppress && !(entry.toggle && entry.latched);
}

// Index of the first element equal to `value` from `from` on, or N. Blocks of 16 are tested
// without branching first, which the compiler turns into a few vector compares.
template <typename T, std::size_t N>
std::size_t findFirst(const std::array<T, N>& values, T value, std::size_t from)
{
    constexpr std::size_t kBlock = 16;
    std::size_t i = from;
    for (; i < N && i % kBlock != 0; ++i) {
        if (values[i] == value)
            return i;
    }
    for (; i + kBlock <= N; i += kBlock) {
        bool any = false;
        for (std::size_t j = 0; j < kBlock; ++j)
            any |= values[i + j] == value;
        if (!any)
            continue;
        for (std::size_t j = 0; j < kBlock; ++j) {
            if (values[i + j] == value)
                return i + j;
        }
    }
    for (; i < N; ++i) {
        if (values[i] == value)
            return i;
    }
    return N;
}

template <std::size_t N>
int countEqual(const std::array<InputId, N>& values, InputId id)
{
    int found = 0;
    for (InputId value : values)
        found += value == id;
    return found;
}

} // namespace

void MappingEngine::copySnapshot(const RulesSnapshot& snapshot)
{
    rules = snapshot;
    const std::size_t end = std::min<std::size_t>(rules.count, kMaxRules);
    m_firstRule.fill(0);
    m_nextRule.fill(0);
    m_ruleSources.fill(0);
    // Built backwards, so that each chain runs in match order.
    for (std::size_t i = end; i-- > 0;) {
        const InputId source = rules.rules[i].source;
        m_ruleSources[i] = source;
        const int index = windows::inputIndex(source);
        if (index < 0)
            continue;
        m_nextRule[i] = m_firstRule[std::size_t(index)];
        m_firstRule[std::size_t(index)] = std::uint16_t(i + 1);
    }
}

std::uint64_t MappingEngine::nextRuleWithSource(InputId source, std::uint64_t after) const
{
    const std::uint64_t end = std::min<std::uint64_t>(rules.count, kMaxRules);
    const int index = windows::inputIndex(source);
    if (index >= 0) {
        const std::uint16_t next = after >= end ? m_firstRule[std::size_t(index)] : m_nextRule[after];
        return next == 0 ? end : std::min<std::uint64_t>(next - 1, end);
    }
    const std::uint64_t from = after >= end ? 0 : after + 1;
    return from >= end ? end : std::min<std::uint64_t>(findFirst(m_ruleSources, source, from), end);
}

void MappingEngine::count(InputId id, int delta, std::array<std::uint16_t, kCountedInputs>& counts)
{
    const int index = windows::inputIndex(id);
    if (id != 0 && index >= 0)
        counts[std::size_t(index)] = std::uint16_t(counts[std::size_t(index)] + delta);
}

void MappingEngine::refresh(const ActiveMapping& entry)
{
    const std::size_t i = std::size_t(&entry - active.data());
    const bool down = entry.occupied && entry.outputsDown;
    InputId outputs[kOutputsPerEntry] = {down ? entry.output : 0};
    for (std::size_t k = 0; k < kMaxExtraOutputs; ++k)
        outputs[1 + k] = down && k < entry.extraCount ? entry.extraOutputs[k] : 0;
    const InputId passSource = passesThrough(entry) ? entry.source : 0;

    if (m_passSources[i] != passSource) {
        count(m_passSources[i], -1, m_passCounts);
        count(passSource, 1, m_passCounts);
        m_passSources[i] = passSource;
    }
    for (std::size_t k = 0; k < kOutputsPerEntry; ++k) {
        InputId& slot = m_heldOutputs[i * kOutputsPerEntry + k];
        if (slot == outputs[k])
            continue;
        count(slot, -1, m_holdCounts);
        count(outputs[k], 1, m_holdCounts);
        slot = outputs[k];
    }
    m_owners[i] = entry.occupied ? entry.owner : 0;
    m_sources[i] = entry.occupied ? entry.source : 0;
}

bool MappingEngine::indexMatchesTable() const
{
    auto fresh = std::make_unique<MappingEngine>();
    fresh->copySnapshot(rules);
    for (std::size_t i = 0; i < active.size(); ++i) {
        fresh->active[i] = active[i];
        fresh->refresh(fresh->active[i]);
    }
    return fresh->m_owners == m_owners && fresh->m_sources == m_sources && fresh->m_passSources == m_passSources &&
           fresh->m_heldOutputs == m_heldOutputs && fresh->m_passCounts == m_passCounts &&
           fresh->m_holdCounts == m_holdCounts && fresh->m_ruleSources == m_ruleSources &&
           fresh->m_firstRule == m_firstRule && fresh->m_nextRule == m_nextRule;
}

int MappingEngine::holdersOfOutput(InputId id) const
{
    const int index = windows::inputIndex(id);
    if (index >= 0)
        return m_holdCounts[std::size_t(index)];
    return id == 0 ? 0 : countEqual(m_heldOutputs, id);
}

int MappingEngine::countBySource(InputId id) const
{
    const int index = windows::inputIndex(id);
    if (index >= 0)
        return m_passCounts[std::size_t(index)];
    return id == 0 ? 0 : countEqual(m_passSources, id);
}

void MappingEngine::findFreeOutputs(const InputId* ids, int count, bool* free) const
{
    for (int k = 0; k < count; ++k)
        free[k] = holdersOfOutput(ids[k]) == 0 && countBySource(ids[k]) == 0;
}

void MappingEngine::releaseOutputs(ActiveMapping& entry, OutputBatch& batch)
{
    entry.outputsDown = 0;
    refresh(entry);
    // Released in the reverse order of the presses: extras last to first, the primary last.
    InputId order[1 + kMaxExtraOutputs];
    const int count = std::min<int>(entry.extraCount, kMaxExtraOutputs) + 1;
    for (int k = 0; k + 1 < count; ++k)
        order[k] = entry.extraOutputs[std::size_t(count - 2 - k)];
    order[count - 1] = entry.output;
    bool free[1 + kMaxExtraOutputs];
    findFreeOutputs(order, count, free);
    for (int k = 0; k < count; ++k) {
        if (free[k])
            batch.append(order[k], kPhaseUp);
    }
}

void MappingEngine::releaseOutputsGuarded(ActiveMapping& entry, OutputBatch& batch)
{
    if (entry.outputsDown)
        releaseOutputs(entry, batch);
}

ActiveMapping* MappingEngine::findEntry(std::uint64_t owner, InputId source)
{
    if (owner == 0)
        return nullptr;
    for (std::size_t i = findFirst(m_sources, source, 0); i < active.size(); i = findFirst(m_sources, source, i + 1)) {
        if (m_owners[i] == owner)
            return &active[i];
    }
    return nullptr;
}

ActiveMapping* MappingEngine::firstFreeEntry()
{
    const std::size_t i = findFirst(m_owners, std::uint64_t{0}, 0);
    return i < active.size() ? &active[i] : nullptr;
}

void MappingEngine::press(std::uint64_t owner, InputId input, OutputBatch& batch)
{
    if (owner <= windows::kMaxDeviceId || !isValidInputId(input) || released)
        return;
    if (isWheelInput(input)) {
        batch.append(input, kPhaseDown);
        return;
    }
    if (findEntry(owner, input))
        return;
    ActiveMapping* entry = firstFreeEntry();
    if (!entry) {
        overflow = 1;
        releaseAll(batch);
        return;
    }
    const bool sendDown = outputIsFree(input);
    *entry = ActiveMapping{};
    entry->occupied = 1;
    entry->owner = owner;
    entry->source = input;
    entry->output = input;
    entry->suppress = 1;
    entry->outputsDown = 1;
    refresh(*entry);
    if (sendDown)
        batch.append(input, kPhaseDown);
}

void MappingEngine::release(std::uint64_t owner, InputId input, OutputBatch& batch)
{
    if (owner <= windows::kMaxDeviceId)
        return;
    ActiveMapping* entry = findEntry(owner, input);
    if (!entry)
        return;
    releaseOutputsGuarded(*entry, batch);
    clearEntry(*entry);
}

void MappingEngine::releaseOwner(std::uint64_t owner, OutputBatch& batch)
{
    if (owner == 0)
        return;
    for (HeldInput& input : held) {
        if (input.device == owner)
            input = HeldInput{};
    }
    // Suppressed first, so that the owner's own entries do not count as pass-through sources
    // and shield each other's releases.
    for (ActiveMapping& entry : active) {
        if (entry.occupied && entry.owner == owner) {
            entry.suppress = 1;
            refresh(entry);
        }
    }
    for (ActiveMapping& entry : active) {
        if (entry.occupied && entry.owner == owner) {
            releaseOutputsGuarded(entry, batch);
            clearEntry(entry);
        }
    }
}

void MappingEngine::releaseAll(OutputBatch& batch)
{
    released = 1;
    for (ActiveMapping& entry : active) {
        if (!entry.occupied)
            continue;
        releaseOutputsGuarded(entry, batch);
        if (entry.toggle && entry.latched)
            clearEntry(entry);
    }
}

void MappingEngine::forgetInputs()
{
    for (ActiveMapping& entry : active) {
        if (entry.occupied)
            clearEntry(entry);
    }
    held.fill(HeldInput{});
}

void MappingEngine::releaseHeld(OutputBatch& batch)
{
    for (ActiveMapping& entry : active) {
        if (!entry.occupied || !entry.toggle)
            continue;
        releaseOutputsGuarded(entry, batch);
        if (entry.latched)
            clearEntry(entry);
    }
}

bool MappingEngine::resume()
{
    if (overflow)
        return false;
    released = 0;
    return true;
}

bool macroOutputsPending(const OutputBatch& batch)
{
    if (batch.mode != kBatchModeNone && batch.mode != kBatchModeCancel)
        return true;
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        if (batch.events[i].phase != kPhaseUp)
            return true;
    }
    return false;
}

} // namespace vorna::core
