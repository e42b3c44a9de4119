// The program's --ui-verify run end to end: a clean run passes with complete reports, and each
// seeded regression (test-only switch VORNA_TEST_QA_SEED, or an output folder that cannot exist)
// ends the run with its own exit code.
//
// A whole run takes about two minutes in a Release build and far longer under the sanitizers on
// a loaded machine, so the three whole runs are left out of the default test run; run them with
//   qa_run_tests --gtest_also_run_disabled_tests --gtest_filter='UiVerifyRun.*'

#include "tests/qa/check_program.h"

#include <QDir>
#include <QFile>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

using vorna::test::runCheckProgram;

QJsonObject report(const QTemporaryDir& folder, const char* name)
{
    QFile file(QDir(folder.filePath("out")).filePath(QLatin1String(name)));
    return file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
}

QProcessEnvironment seeded(const char* regression)
{
    QProcessEnvironment env;
    env.insert("VORNA_TEST_QA_SEED", regression);
    return env;
}

TEST(UiVerifyRun, DISABLED_ACleanRunSavesEveryFrameAndReportsNoIssues)
{
    QTemporaryDir folder;
    QProcessEnvironment trace;
    trace.insert("VORNA_TRACE_LAYOUT", "1");
    const auto run = runCheckProgram(folder, {"--ui-verify", "out"}, trace);
    EXPECT_EQ(run.exitCode, 0) << run.standardError.constData();
    EXPECT_EQ(run.standardOutput,
        "UI verification: 69 legacy + 58 mouse + 56 page screenshots; mouse issues=0, page issues=0, QML warnings=0\n");

    const QDir out(folder.filePath("out"));
    EXPECT_EQ(out.entryList({"page-?.png", "page-??.png"}, QDir::Files).size(), 69);
    EXPECT_EQ(out.entryList({"mouse-*.png"}, QDir::Files).size(), 58);
    EXPECT_EQ(out.entryList({"page-*-*.png"}, QDir::Files).size(), 56);
    EXPECT_FALSE(out.exists("failure-layout.png"));
    // Window sizes beyond the offscreen platform's default 800 x 800 screen are rendered whole.
    EXPECT_EQ(QImage(out.filePath("page-60.png")).size(), QSize(1380, 1400));
    EXPECT_EQ(QImage(out.filePath("page-61.png")).size(), QSize(1600, 950));

    const QJsonObject mouse = report(folder, "mouse-layout.json");
    EXPECT_EQ(mouse.value("matrixScreenshotCount").toInt(), 58);
    EXPECT_EQ(mouse.value("frames").toArray().size(), 58);
    EXPECT_EQ(mouse.value("failures").toArray(), QJsonArray()) << QJsonDocument(mouse.value("failures").toArray()).toJson().constData();
    EXPECT_FALSE(mouse.value("qmlWarnings").toBool(true));

    const QJsonObject pages = report(folder, "page-layout.json");
    EXPECT_EQ(pages.value("pageScreenshotCount").toInt(), 56);
    EXPECT_EQ(pages.value("failures").toArray(), QJsonArray()) << QJsonDocument(pages.value("failures").toArray()).toJson().constData();
    EXPECT_EQ(pages.value("mouseFailures").toInt(-1), 0);

    // The trace: seeding, 69 tour ticks, 58 mouse frames and 56 page frames.
    QFile traceFile(out.filePath("layout-phases.txt"));
    ASSERT_TRUE(traceFile.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = traceFile.readAll().trimmed().split('\n');
    ASSERT_EQ(lines.size(), 1 + 69 + 58 + 56);
    EXPECT_TRUE(lines.at(0).endsWith(" legacy initialization"));
    EXPECT_TRUE(lines.at(1).endsWith(" legacy frame=0 page=0 1380x960")) << lines.at(1).constData();
}

TEST(UiVerifyRun, DISABLED_ASaveButtonPushedOutOfItsCardEndsWithEight)
{
    QTemporaryDir folder;
    const auto run = runCheckProgram(folder, {"--ui-verify", "out"}, seeded("control-outside-card"));
    EXPECT_EQ(run.exitCode, 8) << run.standardError.constData();
    const QJsonArray failures = report(folder, "mouse-layout.json").value("failures").toArray();
    ASSERT_FALSE(failures.isEmpty());
    for (const QJsonValue& failure : failures)
        EXPECT_EQ(failure.toObject().value("issue").toObject().value("kind").toString(), "save-outside-panel");
}

TEST(UiVerifyRun, DISABLED_AQmlWarningEndsWithSix)
{
    QTemporaryDir folder;
    const auto run = runCheckProgram(folder, {"--ui-verify", "out"}, seeded("qml-warning"));
    EXPECT_EQ(run.exitCode, 6) << run.standardError.constData();
    EXPECT_TRUE(report(folder, "page-layout.json").value("qmlWarnings").toBool());
    EXPECT_TRUE(run.standardOutput.endsWith("QML warnings=1\n")) << run.standardOutput.constData();
}

TEST(UiVerifyRun, AnOutputFolderThatCannotExistEndsWithFive)
{
    QTemporaryDir folder;
    QFile blocker(folder.filePath("plain-file"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    const auto run = runCheckProgram(folder, {"--ui-verify", "plain-file/out"});
    EXPECT_EQ(run.exitCode, 5) << run.standardError.constData();
}

} // namespace
