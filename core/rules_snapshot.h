// The rule snapshot: a compiled rule list in match order, a plain value copied whole into the
// backend and taken over on the hook thread; and the compile step that checks records and sorts
// them without allocating or locking.
#pragma once

#include "core/compiled_rule.h"

#include <array>
#include <cstddef>
#include <cstdint>

namespace vorna::core {

inline constexpr std::size_t kMaxRules = 256;

// One compiled rule list in match order. A plain value without heap storage: it is copied whole
// into the backend and taken over on the hook thread. Slots from `count` on hold fresh records.
struct RulesSnapshot {
    std::array<CompiledRule, kMaxRules> rules{};
    std::uint64_t count = 0;

    bool operator==(const RulesSnapshot&) const = default;
};

// Result codes of compileRules.
inline constexpr int kCompileOk = 0;
inline constexpr int kCompileTooManyRules = 1;
inline constexpr int kCompileZeroId = 2;
inline constexpr int kCompileDuplicateId = 3;
inline constexpr int kCompileBadSourceOrTrigger = 4;
inline constexpr int kCompileBadKeyOutput = 5;
inline constexpr int kCompileBadTarget = 6;

// Checks `count` records against the limits of the record, rejects duplicate ids and sorts them
// into match order: more modifiers first, then device-specific rules, then lower ids. Writes
// `snapshot` only when it returns kCompileOk. Allocates nothing and takes no locks.
int compileRules(const CompiledRule* rules, std::size_t count, RulesSnapshot& snapshot);

// compileRules without a snapshot: the same checks and codes, and on success the `count`
// records in match order in `sorted` (which may be `rules` itself). For checks that look at the
// compiled rules only.
int sortRules(const CompiledRule* rules, std::size_t count, CompiledRule* sorted);

// The code compileRules gives for a list holding only `rule`.
int checkCompiledRule(const CompiledRule& rule);

} // namespace vorna::core
