// The observation benchmark's pure parts: statistics of a sample list, the trace event that
// stands for a record, and the report write.

#include "qa/observation_benchmark.h"

#include <QDir>
#include <QFile>
#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using qa::Benchmark;

constexpr std::uint64_t kMs = 1'000'000;

struct PercentileCase {
    const char* name;
    std::vector<std::uint64_t> samples; // in ms, any order
    double p50, p95, p99, max;
};

class Percentiles : public testing::TestWithParam<PercentileCase> {};

TEST_P(Percentiles, TakeTheSampleAtTheIntegerIndexOfTheSortedList)
{
    const PercentileCase& c = GetParam();
    std::vector<std::uint64_t> ns;
    for (const std::uint64_t ms : c.samples)
        ns.push_back(ms * kMs);
    const QJsonObject result = Benchmark::percentiles(ns);
    EXPECT_EQ(result.value("samples").toInteger(), qint64(c.samples.size()));
    EXPECT_DOUBLE_EQ(result.value("p50_ms").toDouble(), c.p50);
    EXPECT_DOUBLE_EQ(result.value("p95_ms").toDouble(), c.p95);
    EXPECT_DOUBLE_EQ(result.value("p99_ms").toDouble(), c.p99);
    EXPECT_DOUBLE_EQ(result.value("max_ms").toDouble(), c.max);
}

INSTANTIATE_TEST_SUITE_P(Table, Percentiles,
    testing::Values(
        // Indices 5, 9 and 9 of ten sorted samples 1..10.
        PercentileCase{"ten", {10, 3, 1, 7, 5, 2, 9, 4, 8, 6}, 6, 10, 10, 10},
        PercentileCase{"one", {42}, 42, 42, 42, 42},
        PercentileCase{"none", {}, 0, 0, 0, 0},
        // 200 samples: index 100, 190 and 198.
        PercentileCase{"twoHundred",
            [] {
                std::vector<std::uint64_t> v;
                for (std::uint64_t i = 200; i >= 1; --i)
                    v.push_back(i);
                return v;
            }(),
            101, 191, 199, 200}),
    [](const testing::TestParamInfo<PercentileCase>& info) { return std::string(info.param.name); });

TEST(Percentiles, KeepFractionsOfAMillisecond)
{
    const QJsonObject result = Benchmark::percentiles({1'234'567});
    EXPECT_DOUBLE_EQ(result.value("p50_ms").toDouble(), 1.234567);
}

TEST(BenchmarkTraceEvent, CarriesTheRecordAndTheStagesInput)
{
    vorna::windows::ObservationRecord record{};
    record.phase = 1;
    record.timestampMs = 12'345'678'901; // ns
    record.sequence = 18'446'744'073'709'551'615ull;
    record.execution = 7;
    const QJsonObject mouse = Benchmark::traceEvent(record, 0);
    EXPECT_EQ(mouse.value("kind").toInt(-1), 0);
    EXPECT_EQ(mouse.value("origin").toInt(-1), 0);
    EXPECT_EQ(mouse.value("result").toInt(-1), 0);
    EXPECT_EQ(mouse.value("id").toString(), "mouse_back");
    EXPECT_EQ(mouse.value("phase").toInt(), 1);
    // Large numbers travel as text so that nothing is rounded.
    EXPECT_EQ(mouse.value("sequence").toString(), "18446744073709551615");
    EXPECT_EQ(mouse.value("execution").toString(), "7");
    EXPECT_DOUBLE_EQ(mouse.value("timestampMs").toDouble(), 12345.678901);
    EXPECT_EQ(mouse.value("revision").toString(), "TEST");
    EXPECT_EQ(mouse.value("profile").toString(), "Benchmark");
    EXPECT_EQ(mouse.value("layer").toString(), "Main");
    EXPECT_EQ(mouse.size(), 11);
    EXPECT_EQ(Benchmark::traceEvent(record, 1).value("id").toString(), "key_20");
    EXPECT_EQ(Benchmark::traceEvent(record, 3).value("id").toString(), "mouse_back");
}

TEST(BenchmarkReport, IsWrittenWholeOrGivesSeven)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("observation-benchmark.json");
    ASSERT_EQ(Benchmark::writeReport(path, Benchmark::reportDocument({})), 0);
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(written.readAll()).object();
    EXPECT_EQ(report.value("stream_bytes").toInt(), 79920);
    EXPECT_TRUE(report.value("method").toString().startsWith("Synthetic producer -> bounded ring -> 20 ms drain"));
    EXPECT_TRUE(report.value("stages").isArray());

    EXPECT_EQ(Benchmark::writeReport(folder.filePath("missing/observation-benchmark.json"), QJsonObject{}), 7);
    EXPECT_EQ(Benchmark::writeReport(path + "/under-a-file.json", QJsonObject{}), 7);
}

} // namespace
