// The cached rule context against the straightforward route: every event a generation's cache
// builds, asked twice so the second answer comes from the cache, equals the event built from
// the library by rule inheritance alone.
#include "agent/trace_message.h"
#include "agent/trace_rule_cache.h"
#include "core/rule_inheritance.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <iterator>

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

// The fixed members across their ranges: numbers the writer spells as integers or doubles
// (large, fractional, negative, at the limits), every kind and the optional members.
std::vector<ObservationRecord> recordsWithEveryField()
{
    std::vector<ObservationRecord> records;
    const std::uint64_t times[] = {0, 1, 999'999, 1'000'000, 1'234'567'891, 86'400'000'000'123, 18'446'744'073'709'551'615u};
    const std::uint32_t numbers[] = {0, 1, 7, 100, 1'000'000'000, 4'294'967'295u};
    const std::int32_t coordinates[] = {0, -1, 1920, -2'147'483'647 - 1, 2'147'483'647};
    for (std::size_t i = 0; i < 60; ++i) {
        ObservationRecord r;
        r.id = vorna::core::makeInputId(std::uint8_t(i % 3), std::uint8_t(i % 5), std::uint16_t(i * 37 % 300));
        r.kind = std::uint8_t(i % 6);
        r.result = std::uint8_t(i % 13);
        r.phase = std::uint8_t(i % 4);
        r.origin = std::uint8_t(i % 3);
        r.suppressed = std::uint8_t(i % 2);
        r.timestampMs = times[i % std::size(times)];
        r.sequence = i * 1'000'003;
        r.execution = ~std::uint64_t(0) - i;
        r.revision = i % 2 == 0 ? 1 : 9;
        r.rule = numbers[i % std::size(numbers)] % 5 == 0 ? numbers[i % std::size(numbers)] : std::uint32_t(i % 4);
        r.error = numbers[(i + 3) % std::size(numbers)];
        r.profileIndex = std::uint8_t(i % 4);
        r.layerIndex = std::uint8_t(i % 11);
        r.macro = std::uint16_t(i % 17);
        r.step = std::uint16_t(65535 - i);
        r.command = std::uint16_t(i % 33);
        r.delta = coordinates[i % std::size(coordinates)];
        r.dy = coordinates[(i + 1) % std::size(coordinates)];
        r.x = coordinates[(i + 2) % std::size(coordinates)];
        r.y = coordinates[(i + 3) % std::size(coordinates)];
        r.modifiers = std::uint8_t(i % 16);
        r.scanCode = std::uint16_t(i * 911);
        r.extended = std::uint8_t(i % 3 == 1);
        r.pointerMode = std::uint8_t(i % 5);
        r.pointer = std::uint8_t(i % 4 == 1);
        r.pointerModes = std::uint8_t(i % 16);
        r.gestureOutcome = std::uint8_t(i % 3);
        r.operation.mode = std::uint8_t(i % 7);
        r.operation.layer = std::uint8_t(i % 10);
        records.push_back(r);
    }
    return records;
}

TEST(TraceRuleCache, EveryEventIsWrittenAsTheJsonWriterWritesIt)
{
    const std::vector<std::pair<QJsonObject, int>> libraries{
        {QJsonObject(), 1}, {inheritingLibrary(), 3}, {vorna::test::largestLibrary(), 16}};
    for (const auto& [library, profiles] : libraries) {
        std::vector<ObservationRecord> records = recordsOver(profiles);
        for (const ObservationRecord& r : recordsWithEveryField())
            records.push_back(r);
        TraceRuleCache written(library);
        TraceRuleCache built(library);
        for (const ObservationRecord& r : records) {
            const QByteArray expected = QJsonDocument(built.traceEvent(r)).toJson(QJsonDocument::Compact);
            for (int ask = 0; ask < 2; ++ask) {
                QByteArray line;
                written.appendTraceEvent(line, r);
                ASSERT_EQ(line.toStdString(), expected.toStdString())
                    << "ask " << ask << " kind " << int(r.kind) << " profile " << int(r.profileIndex) << " rule " << r.rule;
            }
        }
    }
}

TEST(TraceRuleCache, AnUnknownGenerationsEmptyCacheNamesNothingFromALibrary)
{
    ObservationRecord r;
    r.id = vorna::core::makeInputId(0, 0, 65);
    r.rule = 1;
    EXPECT_EQ(TraceRuleCache().traceEvent(r), straightforwardEvent(r, QJsonObject()));
    EXPECT_EQ(TraceRuleCache().traceEvent(r).size(), 24);
}
