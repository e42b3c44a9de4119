#include "agent/trace_rule_cache.h"

#include "agent/trace_message.h"
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

QJsonObject TraceRuleCache::traceEvent(const windows::ObservationRecord& r)
{
    const int profile = r.profileIndex;
    const int layer = r.layerIndex;
    return buildTraceEvent(r, m_library,
                           TraceLookups{[&] { return effectiveRules(profile, layer); },
                                        [&] { return effectiveMotion(profile, layer); },
                                        [&] { return ruleContext(profile, layer, r.rule); }});
}

} // namespace vorna::ipc
