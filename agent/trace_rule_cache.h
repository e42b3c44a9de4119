// The library of one generation with the rule context its trace events name, worked out once
// per profile and layer (and per matched rule) instead of once per record: a full ring names
// the same few layers hundreds of times, and rule inheritance walks the whole chain each time.
// Lives and dies with the generation's library, so no entry can outlive the rules it came from.
#pragma once

#include "agent/trace_message.h"
#include "engine/published/observation_record.h"

#include <QByteArray>
#include <QHash>

#include <QJsonArray>
#include <QJsonObject>

#include <cstdint>
#include <map>
#include <optional>
#include <utility>

namespace vorna::ipc {

class TraceRuleCache {
public:
    TraceRuleCache() = default;
    explicit TraceRuleCache(QJsonObject library);

    const QJsonObject& library() const { return m_library; }

    // The same event buildTraceEvent gives for `record` over this library.
    QJsonObject traceEvent(const windows::ObservationRecord& record);
    // That event appended as compact JSON, its library members and id text written once.
    void appendTraceEvent(QByteArray& out, const windows::ObservationRecord& record);

    QJsonArray effectiveRules(int profileIndex, int layerIndex);
    QJsonObject effectiveMotion(int profileIndex, int layerIndex);
    QJsonObject ruleContext(int profileIndex, int layerIndex, std::uint32_t ruleNumber);

private:
    struct LayerEntry {
        std::optional<QJsonArray> rules;
        std::optional<QJsonObject> motion;
        std::map<std::uint32_t, QJsonObject> contexts;
    };
    LayerEntry& entry(int profileIndex, int layerIndex);
    TraceLookups lookups(const windows::ObservationRecord& record);

    QJsonObject m_library;
    std::map<std::pair<int, int>, LayerEntry> m_layers;
    // Written members by what they depend on: profile, layer, rule, pointer flag and modes, and
    // whether the fallback matched. Bounded like the tick's other caches: emptied when full.
    std::map<std::pair<std::uint32_t, std::uint32_t>, TraceFacts> m_facts;
    QHash<core::InputId, QByteArray> m_idTexts;
};

} // namespace vorna::ipc
