// The program's --ui-verify run end to end: a whole clean run passes with complete reports, and
// each seeded regression (test-only switch VORNA_TEST_QA_SEED, or an output folder that cannot
// exist) ends the run with its own exit code.
//
// The whole run takes two minutes in a Release build and more under the sanitizers, so it runs
// once; the seeded runs walk only the first frames of every stage (test-only switch
// VORNA_TEST_QA_FRAMES), which is enough to reach the verdict.

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

// Under the address sanitizer, a run checked for memory errors but not for leaks. The leak
// check needs full allocation stacks, which make a run three times slower; the seeded QML-warning
// run keeps it and walks every stage.
QProcessEnvironment withoutLeakCheck(QProcessEnvironment env)
{
    const QString asan = qEnvironmentVariable("ASAN_OPTIONS");
    env.insert("ASAN_OPTIONS", (asan.isEmpty() ? asan : asan + ":") + "detect_leaks=0");
    return env;
}

// A run with the regression seeded whose stages walk their first two frames each.
QProcessEnvironment seeded(const char* regression)
{
    QProcessEnvironment env;
    env.insert("VORNA_TEST_QA_SEED", regression);
    env.insert("VORNA_TEST_QA_FRAMES", "2");
    return env;
}

// Longer than a whole run under the sanitizers on a slow two-core machine, shorter than the
// test's own time limit, so a run that hangs is reported as such.
constexpr int kWholeRunGuardMs = 840'000;

TEST(UiVerifyRun, ACleanRunSavesEveryFrameAndReportsNoIssues)
{
    QTemporaryDir folder;
    QProcessEnvironment trace;
    trace.insert("VORNA_TRACE_LAYOUT", "1");
    const auto run =
        runCheckProgram(folder, {"--ui-verify", "out"}, withoutLeakCheck(trace), kWholeRunGuardMs);
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

TEST(UiVerifyRun, ASaveButtonPushedOutOfItsCardEndsWithEight)
{
    QTemporaryDir folder;
    const auto run = runCheckProgram(folder, {"--ui-verify", "out"}, withoutLeakCheck(seeded("control-outside-card")));
    EXPECT_EQ(run.exitCode, 8) << run.standardError.constData();
    EXPECT_EQ(run.standardOutput,
        "UI verification: 69 legacy + 58 mouse + 2 page screenshots; mouse issues=2, page issues=0, QML warnings=0\n");
    const QJsonObject mouse = report(folder, "mouse-layout.json");
    EXPECT_EQ(mouse.value("matrixScreenshotCount").toInt(), 2);
    const QJsonArray failures = mouse.value("failures").toArray();
    ASSERT_EQ(failures.size(), 2);
    for (const QJsonValue& failure : failures)
        EXPECT_EQ(failure.toObject().value("issue").toObject().value("kind").toString(), "save-outside-panel");
}

TEST(UiVerifyRun, AQmlWarningEndsWithSix)
{
    QTemporaryDir folder;
    const auto run = runCheckProgram(folder, {"--ui-verify", "out"}, seeded("qml-warning"));
    EXPECT_EQ(run.exitCode, 6) << run.standardError.constData();
    EXPECT_TRUE(report(folder, "mouse-layout.json").value("qmlWarnings").toBool());
    EXPECT_TRUE(report(folder, "page-layout.json").value("qmlWarnings").toBool());
    EXPECT_EQ(run.standardOutput,
        "UI verification: 69 legacy + 58 mouse + 2 page screenshots; mouse issues=0, page issues=0, QML warnings=1\n");
    // The shortened stages: two tour frames, two mouse frames, two page frames.
    const QDir out(folder.filePath("out"));
    EXPECT_EQ(out.entryList({"page-?.png"}, QDir::Files), QStringList({"page-0.png", "page-1.png"}));
    EXPECT_EQ(out.entryList({"mouse-*.png"}, QDir::Files).size(), 2);
    EXPECT_EQ(out.entryList({"page-*-*.png"}, QDir::Files).size(), 2);
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
