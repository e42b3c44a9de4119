#include "agent/trace_rule_cache.h"

#include "agent/trace_message.h"
#include "core/input_id.h"
#include "core/rule_inheritance.h"

namespace vorna::ipc {

TraceRuleCache::TraceRuleCache(QJsonObject library) : m_library(std::move(library)) {}

TraceRuleCache::LayerEntry& TraceRuleCache::entry(int profileIndex, int layerIndex)
{
    return m_layers[{profileIndex, layerIndex}];
}

QJsonArray TraceRuleCache::effectiveRules(int profileIndex, int layerIndex)
{
    LayerEntry& e = entry(profileIndex, layerIndex);
    if (!e.rules)
        e.rules = core::effectiveRules(m_library, profileIndex, layerIndex);
    return *e.rules;
}

QJsonObject TraceRuleCache::effectiveMotion(int profileIndex, int layerIndex)
{
    LayerEntry& e = entry(profileIndex, layerIndex);
    if (!e.motion)
        e.motion = core::effectiveMotion(m_library, profileIndex, layerIndex);
    return *e.motion;
}

QJsonObject TraceRuleCache::ruleContext(int profileIndex, int layerIndex, std::uint32_t ruleNumber)
{
    LayerEntry& e = entry(profileIndex, layerIndex);
    auto found = e.contexts.find(ruleNumber);
    if (found == e.contexts.end())
        found = e.contexts.emplace(ruleNumber, core::annotatedRules(m_library, profileIndex, layerIndex, ruleNumber)).first;
    return found->second;
}

TraceLookups TraceRuleCache::lookups(const windows::ObservationRecord& r)
{
    const int profile = r.profileIndex;
    const int layer = r.layerIndex;
    const std::uint32_t rule = r.rule;
    return TraceLookups{[this, profile, layer] { return effectiveRules(profile, layer); },
                        [this, profile, layer] { return effectiveMotion(profile, layer); },
                        [this, profile, layer, rule] { return ruleContext(profile, layer, rule); }};
}

QJsonObject TraceRuleCache::traceEvent(const windows::ObservationRecord& r)
{
    return buildTraceEvent(r, m_library, lookups(r));
}

void TraceRuleCache::appendTraceEvent(QByteArray& out, const windows::ObservationRecord& r)
{
    constexpr std::size_t kMaxEntries = 4096;
    const std::uint32_t shape = std::uint32_t(r.profileIndex) << 24 | std::uint32_t(r.layerIndex) << 16 |
                                std::uint32_t(r.pointer != 0 ? r.pointerModes : 0) << 8 |
                                std::uint32_t(r.pointer != 0) << 1 | std::uint32_t(r.gestureOutcome == 2);
    const std::pair<std::uint32_t, std::uint32_t> key{shape, r.rule};
    auto facts = m_facts.find(key);
    if (facts == m_facts.end()) {
        if (m_facts.size() >= kMaxEntries)
            m_facts.clear();
        facts = m_facts.emplace(key, traceFactsJson(r, m_library, lookups(r))).first;
    }
    auto id = m_idTexts.constFind(r.id);
    if (id == m_idTexts.constEnd()) {
        if (m_idTexts.size() >= qsizetype(kMaxEntries))
            m_idTexts.clear();
        id = m_idTexts.insert(r.id, valueJson(core::inputIdName(r.id)));
    }
    appendTraceEventJson(out, r, *id, facts->second);
}

} // namespace vorna::ipc
