// External actions against a fake worker (this test program started with --action-worker):
// how each kind of worker ending is reported, the refusals, the rate window and the limits
// that keep a misbehaving worker from holding the agent.
#include "agent/actions/action_texts.h"
#include "tests/actions/executor_fixture.h"
#include "tests/support/scoped_env.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <unistd.h>
#include <sys/types.h>

namespace vorna::test {
namespace {

using core::ActionType;

const QString kSite = QStringLiteral("https://example.com/");

struct WorkerCase {
    const char* mode;
    int result;
    const char* detail;
    qint64 error;
};

class ExecutorWorkerTest : public ExecutorTest, public testing::WithParamInterface<WorkerCase> {};

TEST_P(ExecutorWorkerTest, ReportsHowTheWorkerEnded)
{
    const WorkerCase& c = GetParam();
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray(c.mode));
    executor->execute(action(ActionType::Website, kSite), trigger());
    ASSERT_TRUE(waitForEvents(1));
    ASSERT_EQ(events.size(), 1u);
    const QJsonObject& event = events[0];
    EXPECT_EQ(event.value("result").toInt(), c.result);
    EXPECT_EQ(event.value("detail").toString(), QString::fromUtf8(c.detail));
    EXPECT_EQ(event.value("error").toInteger(), c.error);
    EXPECT_EQ(event.value("kind").toInt(), 4);
    EXPECT_EQ(event.value("actionName").toString(), QStringLiteral("My action"));
    // Every key of the trigger travels with the event.
    const QJsonObject sent = trigger();
    for (auto it = sent.begin(); it != sent.end(); ++it)
        EXPECT_EQ(event.value(it.key()), it.value()) << it.key().toStdString();
}

INSTANTIATE_TEST_SUITE_P(Workers, ExecutorWorkerTest,
                         testing::Values(WorkerCase{"ok", 10, "done", 0}, WorkerCase{"refuse", 3, "nope", 5},
                                         WorkerCase{"ok-exit-2", 3, "done", 0}, WorkerCase{"garbage", 3, "", 0},
                                         WorkerCase{"long-reply", 3, "", 0}, WorkerCase{"padded-reply", 10, "padded", 7},
                                         WorkerCase{"crash", 3, "", 0}));

TEST_F(ExecutorTest, WritesTheRequestWithTheActionAndTheTriggerWindow)
{
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("echo"));
    core::ParsedAction app = action(ActionType::Application, QStringLiteral("C:\\Tools\\app.exe"));
    app.arguments = {QStringLiteral("-x"), QStringLiteral("two words")};
    executor->execute(app, trigger());
    executor->execute(action(ActionType::Window, QStringLiteral("minimize")), trigger());
    ASSERT_TRUE(waitForEvents(2));
    std::vector<QJsonObject> requests;
    for (const QJsonObject& event : events)
        requests.push_back(QJsonDocument::fromJson(event.value("detail").toString().toUtf8()).object());
    std::sort(requests.begin(), requests.end(), [](const QJsonObject& a, const QJsonObject& b) {
        return a.value("action").toObject().value("type").toString() < b.value("action").toObject().value("type").toString();
    });
    const QString windowText = QString::number(reinterpret_cast<quintptr>(window));
    EXPECT_EQ(requests[0], QJsonObject({{"action", QJsonObject({{"type", "application"},
                                                                {"name", "My action"},
                                                                {"value", "C:\\Tools\\app.exe"},
                                                                {"arguments", QJsonArray({"-x", "two words"})}})},
                                        {"window", windowText}}));
    EXPECT_EQ(requests[1], QJsonObject({{"action", QJsonObject({{"type", "window"}, {"name", "My action"}, {"value", "minimize"}})},
                                        {"window", windowText}}));
}

TEST_F(ExecutorTest, IgnoresTriggersOfOtherPhasesAndRefusesAChangedWindow)
{
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("ok"));
    QJsonObject released = trigger();
    released.insert("phase", 1);
    executor->execute(action(ActionType::Website, kSite), released);
    EXPECT_TRUE(events.empty());

    sim::WindowRecord other;
    other.title = L"Other";
    const HWND otherWindow = session.addWindow(other);
    for (const QString& text : {QStringLiteral("0"), QString(), QStringLiteral("12x"), QStringLiteral("-1"),
                                QString::number(reinterpret_cast<quintptr>(otherWindow))}) {
        QJsonObject changed = trigger();
        changed.insert("window", text);
        for (const ActionType type : {ActionType::Website, ActionType::Text}) {
            events.clear();
            executor->execute(action(type, QStringLiteral("https://a.example/")), changed);
            ASSERT_EQ(events.size(), 1u) << text.toStdString();
            EXPECT_EQ(events[0].value("result").toInt(), 6);
            EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kWindowChanged));
        }
    }
}

// The process ids the fake workers wrote down.
std::vector<pid_t> workerPids(const QString& file)
{
    std::vector<pid_t> pids;
    QFile list(file);
    if (list.open(QIODevice::ReadOnly)) {
        for (const QByteArray& line : list.readAll().split('\n')) {
            if (!line.isEmpty())
                pids.push_back(static_cast<pid_t>(line.toInt()));
        }
    }
    return pids;
}

bool gone(pid_t pid)
{
    return ::kill(pid, 0) != 0 && errno == ESRCH;
}

TEST_F(ExecutorTest, KillsAWorkerThatHangsAndReportsAFailure)
{
    QTemporaryDir dir;
    const QString pids = dir.filePath("pids");
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("hang"));
    ScopedEnv pidFile("VORNA_FAKE_WORKER_PIDS", pids.toUtf8());
    executor->execute(action(ActionType::Website, kSite), trigger());
    ASSERT_TRUE(waitForEvents(1, std::chrono::milliseconds(15000)));
    EXPECT_EQ(events[0].value("result").toInt(), 3);
    EXPECT_EQ(events[0].value("detail").toString(), QString());
    EXPECT_EQ(events[0].value("error").toInteger(), 0);
    const auto started = workerPids(pids);
    ASSERT_EQ(started.size(), 1u);
    EXPECT_TRUE(gone(started[0]));
}

TEST_F(ExecutorTest, RateWindowAllowsFourStartsAndFourRunningWorkers)
{
    QTemporaryDir dir;
    const QString pids = dir.filePath("pids");
    const QString limit = QString::fromUtf8(actions::texts::kRateLimit);
    {
        ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("hang"));
        ScopedEnv pidFile("VORNA_FAKE_WORKER_PIDS", pids.toUtf8());
        for (int i = 0; i < 5; ++i)
            executor->execute(action(ActionType::Website, kSite), trigger());
        // Only the fifth is refused, at once; the four others run.
        ASSERT_EQ(events.size(), 1u);
        EXPECT_EQ(events[0].value("result").toInt(), 3);
        EXPECT_EQ(events[0].value("detail").toString(), limit);

        // A new window, but four workers still run.
        session.stepClock(1000);
        executor->execute(action(ActionType::Website, kSite), trigger());
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[1].value("detail").toString(), limit);

        // Stopping kills them without a word.
        ASSERT_TRUE(processEventsUntil([&] { return workerPids(pids).size() == 4; }));
        executor->finishText(true);
        processEventsUntil([] { return false; }, std::chrono::milliseconds(100));
        EXPECT_EQ(events.size(), 2u);
        for (pid_t pid : workerPids(pids))
            EXPECT_TRUE(gone(pid)) << pid;
    }

    // The window that began with the refused request has room for four starts.
    events.clear();
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("ok"));
    for (int i = 0; i < 5; ++i)
        executor->execute(action(ActionType::Website, kSite), trigger());
    ASSERT_TRUE(waitForEvents(5));
    int refused = 0;
    for (const QJsonObject& event : events)
        refused += event.value("detail").toString() == limit ? 1 : 0;
    EXPECT_EQ(refused, 1);
    // The next window has room again (the exact boundary is the start window's own test).
    session.stepClock(1000);
    events.clear();
    executor->execute(action(ActionType::Website, kSite), trigger());
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(events[0].value("result").toInt(), 10);
}

TEST_F(ExecutorTest, CancellingAnOperationKillsOnlyItsWorkers)
{
    ScopedEnv mode("VORNA_FAKE_WORKER", QByteArray("hang"));
    executor->execute(action(ActionType::Website, kSite), trigger(QStringLiteral("5")));
    executor->execute(action(ActionType::Website, kSite), trigger(QStringLiteral("6")));
    executor->cancelOperation(QStringLiteral("7"));
    executor->cancelOperation(QString());
    processEventsUntil([] { return false; }, std::chrono::milliseconds(200));
    EXPECT_TRUE(events.empty());
    executor->cancelOperation(QStringLiteral("5"));
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(events[0].value("operation").toString(), QStringLiteral("5"));
    EXPECT_EQ(events[0].value("result").toInt(), 3);
    executor->finishText(true);
}

// Runs in a copy of this program that deleted its own file: its worker cannot start.
TEST_F(ExecutorTest, MissingProgramChild)
{
    if (qEnvironmentVariableIsEmpty("VORNA_MISSING_PROGRAM_CHILD"))
        GTEST_SKIP() << "runs only inside ReportsAWorkerThatCannotStart";
    ASSERT_EQ(::unlink(qgetenv("VORNA_MISSING_PROGRAM_CHILD").constData()), 0);
    executor->execute(action(ActionType::Website, kSite), trigger());
    ASSERT_TRUE(waitForEvents(1));
    EXPECT_EQ(events[0].value("result").toInt(), 3);
    EXPECT_FALSE(events[0].value("detail").toString().isEmpty());
    EXPECT_EQ(events[0].value("error").toInteger(), 0);
}

TEST(ExecutorProgram, ReportsAWorkerThatCannotStart)
{
    QTemporaryDir dir;
    const QString copy = dir.filePath("actions_tests_copy");
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), copy));
    QFile::setPermissions(copy, QFile::permissions(copy) | QFileDevice::ExeOwner);
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("VORNA_MISSING_PROGRAM_CHILD", copy);
    child.setProcessEnvironment(environment);
    child.start(copy, {"--gtest_filter=ExecutorTest.MissingProgramChild"});
    ASSERT_TRUE(child.waitForFinished(60000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

} // namespace
} // namespace vorna::test
