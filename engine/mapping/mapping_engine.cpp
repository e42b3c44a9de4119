#include "engine/mapping/mapping_engine.h"

#include "engine/mapping/input_event.h"
#include "engine/mapping/input_index.h"

#include <algorithm>
#include <memory>

namespace vorna::core {

namespace {

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

int SourceChains::chainOf(InputId source)
{
    const int index = windows::inputIndex(source);
    if (index >= 0)
        return index;
    const std::uint16_t direction = inputCode(source);
    if (isWheelInput(source) && inputKind(source) == kKindWheel && direction >= 1 && direction <= 4)
        return int(kChainHeads) - 4 + direction - 1;
    return -1;
}

void SourceChains::build(const RulesSnapshot& rules)
{
    m_count = std::min<std::uint64_t>(rules.count, kMaxRules);
    m_first.fill(0);
    m_next.fill(0);
    m_sources.fill(0);
    for (std::size_t i = 0; i < m_count; ++i)
        m_sources[i] = rules.rules[i].source;
    // Built backwards, so that each chain runs in match order.
    for (std::size_t i = m_count; i-- > 0;) {
        const InputId source = m_sources[i];
        const int chain = chainOf(source);
        if (chain >= 0) {
            m_next[i] = m_first[std::size_t(chain)];
            m_first[std::size_t(chain)] = std::uint16_t(i + 1);
            continue;
        }
        const std::size_t later = findFirst(m_sources, source, i + 1);
        m_next[i] = later < m_count ? std::uint16_t(later + 1) : 0;
    }
}

std::uint64_t SourceChains::firstWithoutIndex(InputId source) const
{
    const int chain = chainOf(source);
    if (chain >= 0)
        return m_first[std::size_t(chain)] == 0 ? m_count : m_first[std::size_t(chain)] - 1u;
    return std::min<std::uint64_t>(findFirst(m_sources, source, 0), m_count);
}

void MappingEngine::copySnapshot(const RulesSnapshot& snapshot)
{
    rules = snapshot;
    m_ownChains.build(rules);
    m_currentRules = &rules;
    m_currentChains = &m_ownChains;
}

void MappingEngine::useRules(const RulesSnapshot& snapshot, const SourceChains& chains)
{
    m_currentRules = &snapshot;
    m_currentChains = &chains;
}

const HeldInput* MappingEngine::scanFirstHeld(InputId input) const
{
    for (const HeldInput& entry : held) {
        if (entry.device != 0 && entry.input == input)
            return &entry;
    }
    return nullptr;
}

HeldInput* MappingEngine::scanHeld(std::uint64_t device, InputId input)
{
    for (HeldInput& entry : held) {
        if (entry.device == device && entry.input == input)
            return &entry;
    }
    return nullptr;
}

bool MappingEngine::indexMatchesTable() const
{
    auto fresh = std::make_unique<MappingEngine>();
    SourceChains chains;
    chains.build(currentRules());
    for (std::size_t i = 0; i < active.size(); ++i) {
        fresh->active[i] = active[i];
        fresh->refresh(fresh->active[i]);
    }
    for (std::size_t i = 0; i < held.size(); ++i)
        fresh->setHeld(fresh->held[i], held[i]);
    return fresh->m_owners == m_owners && fresh->m_sources == m_sources && fresh->m_passSources == m_passSources &&
           fresh->m_heldOutputs == m_heldOutputs && fresh->m_passCounts == m_passCounts &&
           fresh->m_holdCounts == m_holdCounts && fresh->m_activeBySource == m_activeBySource &&
           fresh->m_heldByInput == m_heldByInput && chains == *m_currentChains;
}

int MappingEngine::scanHolders(InputId id) const
{
    return id == 0 ? 0 : countEqual(m_heldOutputs, id);
}

int MappingEngine::scanPassSources(InputId id) const
{
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

ActiveMapping* MappingEngine::scanEntry(std::uint64_t owner, InputId source)
{
    for (std::size_t i = findFirst(m_sources, source, 0); i < active.size(); i = findFirst(m_sources, source, i + 1)) {
        if (m_owners[i] == owner)
            return &active[i];
    }
    return nullptr;
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
    *entry = kFreeMapping;
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
            setHeld(input, HeldInput{});
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
    for (HeldInput& entry : held)
        setHeld(entry, HeldInput{});
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
