// A layer's "rules" array checked and compiled into a snapshot in match order; the first fault
// ends the check with its text.
#pragma once

#include "core/rules_snapshot.h"

#include <QJsonArray>
#include <QString>

#include <array>
#include <cstddef>

namespace vorna::core {

// Checks one layer's "rules" array and compiles it into `snapshot`, one rule per element with
// id = position + 1, in match order. The first fault ends the call with its text in `error`;
// `snapshot` is written only on success.
bool parseRules(const QJsonArray& rules, RulesSnapshot& snapshot, QString& error);

// parseRules without the snapshot, for checks that look at the compiled rules only: on success
// the first `count` records of `compiled` hold them in match order; on failure `compiled` holds
// nothing of use.
bool parseRuleList(const QJsonArray& rules, std::array<CompiledRule, kMaxRules>& compiled, std::size_t& count,
                   QString& error);

} // namespace vorna::core
