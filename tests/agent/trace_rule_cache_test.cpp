// The cached rule context against the straightforward route: every event a generation's cache
// builds, asked twice so the second answer comes from the cache, equals the event built from
// the library by rule inheritance alone.
#include "agent/trace_message.h"
#include "agent/trace_rule_cache.h"
#include "core/rule_inheritance.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

using namespace vorna::ipc;
using vorna::windows::ObservationRecord;

namespace {

// Rules along the inheritance chain: a global base rule overridden by a profile's base layer,
// one overridden again by a layer, a hold-tap with a fallback, and motion on one layer only.
QJsonObject inheritingLibrary()
{
    using vorna::test::rule;
    QJsonObject lib = vorna::test::libraryWithProfiles(3);
    QJsonObject holdTap = rule("key_70", "key_71");
    holdTap["trigger"] = QJsonObject{{"kind", "holdTap"}, {"fallback", "key_72"}};
    lib = vorna::test::withRules(lib, 0, 0, {rule("key_65", "key_66"), rule("key_67", "key_68", 2), holdTap});
    lib = vorna::test::withRules(lib, 1, 0, {rule("key_65", "key_69"), rule("key_73", "blocked")});
    lib = vorna::test::withRules(lib, 1, 3, {rule("key_73", "key_74"), rule("key_65", "key_75", 1)});
    lib = vorna::test::withRules(lib, 2, 5, {rule("key_67", "key_76", 2)});
    return vorna::test::edited(lib, {"profiles", 1, "layers", 3, "motion"}, vorna::test::motionSettings({{"cursorX", 150}}));
}

QJsonObject straightforwardEvent(const ObservationRecord& r, const QJsonObject& library)
{
    return buildTraceEvent(r, library, [&] { return vorna::core::effectiveRules(library, r.profileIndex, r.layerIndex); });
}

// Every profile (and one beyond), every layer, rules 0..6, with and without pointer and fallback.
std::vector<ObservationRecord> recordsOver(int profiles)
{
    std::vector<ObservationRecord> records;
    for (int p = 0; p <= profiles; ++p) {
        for (int layer = 0; layer < 10; ++layer) {
            for (std::uint32_t ruleNumber = 0; ruleNumber <= 6; ++ruleNumber) {
                ObservationRecord r;
                r.id = vorna::core::makeInputId(0, 0, std::uint16_t(65 + ruleNumber));
                r.profileIndex = std::uint8_t(p);
                r.layerIndex = std::uint8_t(layer);
                r.rule = ruleNumber;
                r.pointer = std::uint8_t(ruleNumber % 2);
                r.gestureOutcome = std::uint8_t(ruleNumber % 3 == 0 ? 2 : 0);
                records.push_back(r);
            }
        }
    }
    return records;
}

} // namespace

TEST(TraceRuleCache, EveryEventEqualsTheOneBuiltWithoutTheCache)
{
    const std::vector<std::pair<QJsonObject, int>> libraries{
        {vorna::core::defaultLibrary(), 1}, {inheritingLibrary(), 3}, {vorna::test::largestLibrary(), 16}};
    int withContext = 0;
    for (const auto& [library, profiles] : libraries) {
        TraceRuleCache cache(library);
        for (const ObservationRecord& r : recordsOver(profiles)) {
            const QJsonObject expected = straightforwardEvent(r, library);
            for (int ask = 0; ask < 2; ++ask)
                ASSERT_EQ(cache.traceEvent(r), expected)
                    << "ask " << ask << " profile " << int(r.profileIndex) << " layer " << int(r.layerIndex) << " rule " << r.rule;
            withContext += expected.contains("ruleContext") ? 1 : 0;
        }
    }
    EXPECT_GT(withContext, 0) << "the records must reach matched rules";
}

TEST(TraceRuleCache, AnUnknownGenerationsEmptyCacheNamesNothingFromALibrary)
{
    ObservationRecord r;
    r.id = vorna::core::makeInputId(0, 0, 65);
    r.rule = 1;
    EXPECT_EQ(TraceRuleCache().traceEvent(r), straightforwardEvent(r, QJsonObject()));
    EXPECT_EQ(TraceRuleCache().traceEvent(r).size(), 24);
}
