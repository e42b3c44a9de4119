// Target texts ("key_65", "blocked", "macro:3", "layer:hold:2", "chord:...") compiled into rule
// records, and the plain rule a hold/tap or double-press trigger falls back to.
#pragma once

#include "core/compiled_rule.h"

#include <QString>

namespace vorna::core {

struct RulesSnapshot;

// Compiles one source id and one target text ("key_65", "blocked", "macro:3", "layer:hold:2",
// "chord:key_162+key_67", ...) into a snapshot of zero rules ("unchanged") or one rule with id 1.
// On failure returns false with `error` set and leaves `snapshot` untouched.
bool parseMapping(const QString& source, const QString& target, RulesSnapshot& snapshot, QString& error);

// The same checks as parseMapping, writing the single record instead of a snapshot: a fresh
// record with id 1 and the parsed source, whose target is kind Unchanged for "unchanged".
// `rule` is written only on success. Lets rule lists compile many targets without building a
// snapshot for each.
bool parseMappingRule(const QString& source, const QString& target, CompiledRule& rule, QString& error);

// The plain rule that applies when `rule`'s hold/tap or double-press trigger falls back: the
// fallback target without a trigger; a fallback of "unchanged" sends the source itself.
void makeAlternativeRule(CompiledRule& alternative, const CompiledRule& rule);

} // namespace vorna::core
