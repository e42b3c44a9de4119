// Small decisions of profile switching, the device list and action results, kept apart from
// the server so their texts and tables are tested directly.
#pragma once

#include "engine/raw_input_devices.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <vector>

namespace vorna::ipc {

// Why an automatic switch chose profile `index`: the global profile's text for 0, else the
// executable of the window the profile's condition was matched against, with a note for a
// title or class condition.
QString automaticSwitchReason(int index, const QJsonObject& profile, const QJsonObject& foreground,
                              const QJsonObject& underCursor);

// The state's "devices" entries: kind, a numbered label and the button count.
QJsonArray deviceEntries(const std::vector<windows::RawInputDevice>& devices);

// What an action result asks of the agent.
struct ActionResultDecision {
    bool setError = false;
    QString error;
    bool notify = false; // tell the backend, so a macro waiting on the action goes on or stops
    std::uint64_t operation = 0;
    bool ok = false;
};
ActionResultDecision decideActionResult(const QJsonObject& event);

} // namespace vorna::ipc
