// What the tick sends to observing clients and hands to the action executor, built from the
// engine's records: trace events, the held-keys message, the profile-step event and action
// triggers; and the tray's texts. Pure functions of their arguments.
#pragma once

#include "engine/published/held_state.h"
#include "engine/published/observation_record.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>

namespace vorna::ipc {

inline constexpr int kTraceBatchEvents = 32;

// One observation record as a trace event: the 24 fixed keys, and the library's names of its
// profile, layer, matched rule and motion when `library` (the document of the record's
// generation; empty when unknown) has them. `effectiveRules` gives the effective rules of the
// record's profile and layer in that library (asked only for a record with a rule).
QJsonObject buildTraceEvent(const windows::ObservationRecord& record, const QJsonObject& library,
                            const std::function<QJsonArray()>& effectiveRules);

// The library's facts an event names, asked only when the record needs them: the effective
// rules, the effective motion and the matched rule's context of the record's profile and layer.
struct TraceLookups {
    std::function<QJsonArray()> effectiveRules;
    std::function<QJsonObject()> effectiveMotion;
    std::function<QJsonObject()> ruleContext;
};
QJsonObject buildTraceEvent(const windows::ObservationRecord& record, const QJsonObject& library,
                            const TraceLookups& lookups);
// The members of an event that come from the library ("profile", "layer", "motionSettings",
// "motionModes", "matchedRule", "ruleContext"), added to `event` where they apply.
void addLibraryFacts(QJsonObject& event, const windows::ObservationRecord& record, const QJsonObject& library,
                     const TraceLookups& lookups);

// The trace event written straight to compact JSON: a full ring is hundreds of events a tick,
// and building each as a JSON object only to write it out was most of the tick. The members
// from the library depend only on the record's profile, layer, rule and pointer fields, so they
// are written once (by the JSON writer itself) and kept as text: `TraceFacts` holds, per key
// below, the compact `"key":value` member, empty when the event has no such member.
enum class TraceFact { Layer, MatchedRule, MotionModes, MotionSettings, Profile, RuleContext };
inline constexpr std::array<const char*, 6> kTraceFactKeys{"layer", "matchedRule", "motionModes",
                                                           "motionSettings", "profile", "ruleContext"};
using TraceFacts = std::array<QByteArray, 6>;
TraceFacts traceFactsJson(const windows::ObservationRecord& record, const QJsonObject& library, const TraceLookups& lookups);
// Appends the event, byte for byte what QJsonDocument writes (compact) for buildTraceEvent's
// object. `idJson` is the compact JSON of the "id" text (not used for a cursor record).
void appendTraceEventJson(QByteArray& out, const windows::ObservationRecord& record, QByteArrayView idJson,
                          const TraceFacts& facts);
// A trace message line around events written with appendTraceEventJson (comma separated), as
// encodeLine writes {"type": "trace", "events": [...]}.
inline constexpr char kTraceLineStart[] = "{\"events\":[";
inline constexpr char kTraceLineEnd[] = "],\"type\":\"trace\"}\n";
// Compact JSON of one member or one value, as the JSON writer spells it.
QByteArray memberJson(const QString& key, const QJsonValue& value);
QByteArray valueJson(const QJsonValue& value);

QJsonObject buildHeldMessage(const windows::HeldStateSnapshot& snapshot);

// The event observers get once the profile a macro stepped to is in force.
QJsonObject buildProfileStepEvent(const windows::ObservationRecord& record, std::uint64_t generation,
                                  const QString& profileName);

// The executor's description of the action request behind a record.
QJsonObject buildActionTrigger(const windows::ObservationRecord& record);

// The profile a macro's step lands on among `count` profiles: the step is a signed byte
// (-1 previous, +1 next), wrapping round.
int steppedProfile(int current, std::uint8_t stepByte, int count);

// The tray: its tooltip and its icon (0 paused, 1 active, 2 failed).
QString trayTooltip(bool active, bool foregroundElevated, bool agentElevated, bool english, const QString& profileName,
                    const QString& layerName);
int trayIconIndex(bool active, bool applyFailed);

} // namespace vorna::ipc
