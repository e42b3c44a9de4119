// The program's --observation-benchmark run end to end, with stages shortened by the test-only
// VORNA_TEST_STAGE_MS: four stages through the real controller and window, one report, exit 0;
// and exit 7 when the report's folder cannot exist or its disk is full.

#include "tests/qa/check_program.h"
#include "tests/support/file_faults.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr int kStageMs = 400;

struct ProgramRun {
    int exitCode = -1;
    QByteArray output;
};

// The check programs' runner: the benchmark is one more mode of the program. Its guard is far
// above what the slowest loaded machine needs; only ctest's own time-out ends a hung run.
ProgramRun runBenchmark(const QTemporaryDir& folder, const QStringList& arguments)
{
    QProcessEnvironment extra;
    extra.insert("QT_QPA_PLATFORM", "offscreen");
    extra.insert("VORNA_TEST_STAGE_MS", QString::number(kStageMs));
    const vorna::test::CheckProgramRun run = vorna::test::runCheckProgram(folder, arguments, extra);
    return {run.exitCode, run.standardOutput + run.standardError};
}

TEST(ObservationBenchmarkRun, FourStagesReachTheControllerAndTheReport)
{
    QTemporaryDir folder;
    const ProgramRun run = runBenchmark(folder, {"--observation-benchmark", "out.json"});
    ASSERT_EQ(run.exitCode, 0) << run.output.constData();

    QFile file(folder.filePath("out.json"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QJsonObject report = QJsonDocument::fromJson(file.readAll()).object();
    EXPECT_EQ(report.value("stream_bytes").toInt(), 79920);
    EXPECT_TRUE(report.value("method").toString().contains("render completion"));
    const QJsonArray stages = report.value("stages").toArray();
    ASSERT_EQ(stages.size(), 4);

    const struct {
        const char* page;
        int rate;
        bool history;
    } expected[] = {{"mouse", 30, false}, {"keyboard", 30, false}, {"mouse", 250, false}, {"mouse", 8000, true}};
    qint64 dropped = 0;
    qint64 renderSamples = 0;
    for (int i = 0; i < 4; ++i) {
        SCOPED_TRACE(i);
        const QJsonObject stage = stages.at(i).toObject();
        EXPECT_EQ(stage.keys(), (QStringList{"delivered", "delivery", "dropped_cumulative", "history", "page",
                                    "render_latest_state", "source_events_per_second"}));
        EXPECT_EQ(stage.value("page").toString(), expected[i].page);
        EXPECT_EQ(stage.value("source_events_per_second").toInt(), expected[i].rate);
        EXPECT_EQ(stage.value("history").toBool(), expected[i].history);
        // Every produced event was either delivered or dropped; the drop count never falls.
        const qint64 produced = qint64(expected[i].rate) * kStageMs / 1000;
        const qint64 cumulative = stage.value("dropped_cumulative").toInteger();
        EXPECT_GE(cumulative, dropped);
        EXPECT_EQ(stage.value("delivered").toInteger() + (cumulative - dropped), produced);
        dropped = cumulative;

        const QJsonObject delivery = stage.value("delivery").toObject();
        EXPECT_EQ(delivery.value("samples").toInteger(), stage.value("delivered").toInteger());
        for (const QJsonObject& stats : {delivery, stage.value("render_latest_state").toObject()}) {
            EXPECT_EQ(stats.keys(), (QStringList{"max_ms", "p50_ms", "p95_ms", "p99_ms", "samples"}));
            EXPECT_LE(stats.value("p50_ms").toDouble(), stats.value("p95_ms").toDouble());
            EXPECT_LE(stats.value("p95_ms").toDouble(), stats.value("p99_ms").toDouble());
            EXPECT_LE(stats.value("p99_ms").toDouble(), stats.value("max_ms").toDouble());
        }
        // At most one render sample per delivered state, and a state per delivered batch at most.
        const qint64 rendered = stage.value("render_latest_state").toObject().value("samples").toInteger();
        EXPECT_LE(rendered, stage.value("delivered").toInteger());
        renderSamples += rendered;
    }
    // The window rendered delivered states (how many depends on the machine's load).
    EXPECT_GE(renderSamples, 1);
}

TEST(ObservationBenchmarkRun, AReportUnderARegularFileEndsWithSeven)
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const ProgramRun run = runBenchmark(folder, {"--observation-benchmark", folder.filePath("plain-file/report.json")});
    EXPECT_EQ(run.exitCode, 7) << run.output.constData();
    EXPECT_FALSE(QFile::exists(folder.filePath("plain-file/report.json")));
}

TEST(ObservationBenchmarkRun, AReportOnAFullDiskEndsWithSevenAndKeepsTheOldOne)
{
    QTemporaryDir folder;
    vorna::test::SmallDisk disk(folder.filePath("disk"));
    if (!disk.mounted())
        GTEST_SKIP() << disk.problem().toStdString();
    QFile old(folder.filePath("disk/report.json"));
    ASSERT_TRUE(old.open(QIODevice::WriteOnly));
    ASSERT_EQ(old.write("{\"earlier\":true}"), 16);
    old.close();
    ASSERT_TRUE(disk.leaveFree(0));

    const ProgramRun run = runBenchmark(folder, {"--observation-benchmark", folder.filePath("disk/report.json")});
    EXPECT_EQ(run.exitCode, 7) << run.output.constData();
    EXPECT_TRUE(run.output.contains(": No space left on device")) << run.output.constData();
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), "{\"earlier\":true}");
    EXPECT_EQ(QDir(folder.filePath("disk")).entryList(QDir::Files | QDir::Hidden), (QStringList{"filler", "report.json"}));
}

} // namespace
