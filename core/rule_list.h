#pragma once

#include <QJsonArray>
#include <QString>

namespace vorna::core {

struct RulesSnapshot;

// Checks one layer's "rules" array and compiles it into `snapshot`, one rule per element with
// id = position + 1, in match order. The first fault ends the call with its text in `error`;
// `snapshot` is written only on success.
bool parseRules(const QJsonArray& rules, RulesSnapshot& snapshot, QString& error);

} // namespace vorna::core
