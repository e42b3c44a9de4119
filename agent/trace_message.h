// What the tick sends to observing clients and hands to the action executor, built from the
// engine's records: trace events, the held-keys message, the profile-step event and action
// triggers; and the tray's texts. Pure functions of their arguments.
#pragma once

#include "engine/held_state.h"
#include "engine/observation_record.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

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
