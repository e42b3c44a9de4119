// The real --action-worker process on a shared simulated session: each kind of request, the
// exact reply and exit code, what reached the shell, the size limit of the request read in
// small pieces, and the worker's own end after 6 s when its input never closes.
#include "agent/actions/action_texts.h"
#include "platform/sim/broker/broker.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/win32.h"
#include "tests/support/built_programs.h"
#include "tests/support/qt_printers.h"
#include "tests/support/qt_test_main.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <unistd.h>

namespace vorna::test {
namespace {

using sim::ShellRecord;

QString workerProgram()
{
    return QString::fromStdString(vorna::test::mainProgram());
}

struct WorkerRun {
    int exitCode = -1;
    QJsonObject reply;
    QByteArray output;
};

class WorkerTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(drive.isValid());
        socket = QDir::tempPath().toStdString() + "/vorna-worker-" + std::to_string(::getpid()) + ".sock";
        broker = std::make_unique<sim::Broker>(socket);
        broker->start();
        // C: holds a document, a folder, a program and a folder that is named like a program.
        QDir(drive.path()).mkpath(QStringLiteral("Docs"));
        QDir(drive.path()).mkpath(QStringLiteral("Dir.exe"));
        QDir(drive.path()).mkpath(QStringLiteral("Tools"));
        QFile report(drive.filePath(QStringLiteral("Docs/Report.txt")));
        ASSERT_TRUE(report.open(QIODevice::WriteOnly));
        report.write("quarterly");
        report.close();
        marker = drive.filePath(QStringLiteral("launched"));
        QFile program(drive.filePath(QStringLiteral("Tools/app.exe")));
        ASSERT_TRUE(program.open(QIODevice::WriteOnly));
        program.write(QStringLiteral("#!/bin/sh\necho \"$@\" > '%1.part' && mv '%1.part' '%1'\n").arg(marker).toUtf8());
        program.close();
        program.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        desktop().setDrive(L'C', drive.path().toStdString());
    }

    sim::DesktopClient desktop() { return sim::DesktopClient(broker->session()); }

    WorkerRun run(const QByteArray& request, qsizetype chunk = 0, bool close = true)
    {
        QProcess worker;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert(QStringLiteral("VORNA_SIM_SESSION"), QString::fromStdString(socket));
        worker.setProcessEnvironment(environment);
        worker.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        worker.start(workerProgram(), {QStringLiteral("--action-worker")});
        EXPECT_TRUE(worker.waitForStarted(10000));
        const qsizetype step = chunk > 0 ? chunk : std::max<qsizetype>(request.size(), 1);
        for (qsizetype at = 0; at < request.size(); at += step) {
            worker.write(request.mid(at, step));
            worker.waitForBytesWritten(10000);
        }
        if (close)
            worker.closeWriteChannel();
        WorkerRun result;
        if (!close) {
            // The input stays open: only the worker's own timer on the session clock ends it.
            // The session clock is real time plus the steps, so the test cannot stop it one
            // millisecond short of the limit; it checks that the worker waits, then steps past.
            EXPECT_FALSE(worker.waitForFinished(300));
            broker->session().stepClock(6000);
        }
        EXPECT_TRUE(worker.waitForFinished(20000));
        result.exitCode = worker.exitStatus() == QProcess::NormalExit ? worker.exitCode() : -1;
        result.output = worker.readAllStandardOutput();
        result.reply = QJsonDocument::fromJson(result.output).object();
        return result;
    }

    static QByteArray request(const QJsonObject& action, const QString& window = QStringLiteral("0"))
    {
        return QJsonDocument(QJsonObject{{QStringLiteral("action"), action}, {QStringLiteral("window"), window}})
            .toJson(QJsonDocument::Compact);
    }

    static QJsonObject act(const char* type, const QString& value)
    {
        return {{QStringLiteral("type"), QString::fromLatin1(type)}, {QStringLiteral("name"), QStringLiteral("Act")},
                {QStringLiteral("value"), value}};
    }

    static QJsonObject reply(bool ok, const char* detail, int error = 0)
    {
        return {{QStringLiteral("ok"), ok}, {QStringLiteral("detail"), QString::fromUtf8(detail)}, {QStringLiteral("error"), error}};
    }

    QTemporaryDir drive;
    std::string socket;
    std::unique_ptr<sim::Broker> broker;
    QString marker;
};

struct RequestCase {
    const char* name;
    const char* type;
    const char* value;
    bool ok;
    const char* detail;
    bool shellCalled;
};

class WorkerRequestTest : public WorkerTest, public testing::WithParamInterface<RequestCase> {};

TEST_P(WorkerRequestTest, RepliesAndExitsAsTheActionWent)
{
    const RequestCase& c = GetParam();
    const WorkerRun result = run(request(act(c.type, QString::fromUtf8(c.value))));
    EXPECT_EQ(result.reply, reply(c.ok, c.detail)) << result.output.toStdString();
    EXPECT_FALSE(result.output.endsWith('\n'));
    EXPECT_EQ(result.exitCode, c.ok ? 0 : 2);
    const auto log = desktop().shellLog();
    ASSERT_EQ(log.size(), c.shellCalled ? 1u : 0u);
    if (c.shellCalled) {
        EXPECT_EQ(log[0].kind, ShellRecord::Kind::Execute);
        EXPECT_EQ(log[0].verb, L"open");
        EXPECT_EQ(QString::fromStdWString(log[0].file), QString::fromUtf8(c.value));
        EXPECT_EQ(log[0].parameters, L"");
        EXPECT_EQ(log[0].show, SW_SHOWNORMAL);
    }
}

using namespace vorna::actions::texts;

INSTANTIATE_TEST_SUITE_P(
    Requests, WorkerRequestTest,
    testing::Values(RequestCase{"Website", "website", "https://example.com/a?b=1", true, kOpenRequested, true},
                    RequestCase{"File", "file", "C:\\Docs\\Report.txt", true, kOpenRequested, true},
                    RequestCase{"FileAnyCase", "file", "c:/docs/REPORT.TXT", true, kOpenRequested, true},
                    RequestCase{"Folder", "folder", "C:\\Docs", true, kOpenRequested, true},
                    RequestCase{"MissingFile", "file", "C:\\Docs\\Missing.txt", false, kOpenFailed, false},
                    RequestCase{"FileOnUnmappedDrive", "file", "Q:\\Docs\\Report.txt", false, kOpenFailed, false},
                    RequestCase{"FolderThatIsAFile", "folder", "C:\\Docs\\Report.txt", false, kOpenFailed, false},
                    RequestCase{"FileThatIsAFolder", "file", "C:\\Docs", false, kOpenFailed, false},
                    RequestCase{"ApplicationThatIsAFolder", "application", "C:\\Dir.exe", false, kApplicationFailed, false},
                    RequestCase{"MissingApplication", "application", "C:\\Tools\\none.exe", false, kApplicationFailed, false},
                    RequestCase{"NetworkPath", "file", "\\\\server\\share\\a.txt", false, kInvalidRequest, false},
                    RequestCase{"NetworkPathOtherSlashes", "folder", "//server/share", false, kInvalidRequest, false},
                    RequestCase{"RelativePath", "file", "Docs\\Report.txt", false, kInvalidRequest, false},
                    RequestCase{"TextAction", "text", "hello", false, kInvalidRequest, false},
                    RequestCase{"UnknownWindowCommand", "window", "Lock", false, kInvalidRequest, false}),
    [](const testing::TestParamInfo<RequestCase>& info) { return std::string(info.param.name); });

TEST_F(WorkerTest, RefusesInputThatIsNoRequest)
{
    for (const QByteArray& input : {QByteArray(), QByteArray("not json"), QByteArray("[1]"), QByteArray(R"({"action":5})"),
                                    QByteArray(R"({"action":{"type":"website","name":"A","value":"ftp://x"}})")}) {
        const WorkerRun result = run(input);
        EXPECT_EQ(result.reply, reply(false, kInvalidRequest)) << input.toStdString();
        EXPECT_EQ(result.exitCode, 2);
    }
}

TEST_F(WorkerTest, ReportsTheShellsRefusalWithItsError)
{
    desktop().setFailure(sim::DesktopFail::ShellExecute, 1155, 1);
    const WorkerRun result = run(request(act("website", QStringLiteral("https://example.com/"))));
    EXPECT_EQ(result.reply, reply(false, kOpenFailed, 1155));
    EXPECT_EQ(result.exitCode, 2);
}

TEST_F(WorkerTest, LaunchesAnApplicationWithItsArguments)
{
    QJsonObject app = act("application", QStringLiteral("C:\\Tools\\APP.EXE"));
    app.insert(QStringLiteral("arguments"), QJsonArray{QStringLiteral("-x"), QStringLiteral("two words")});
    const WorkerRun result = run(request(app));
    EXPECT_EQ(result.reply, reply(true, kApplicationLaunched));
    EXPECT_EQ(result.exitCode, 0);
    ASSERT_TRUE(processEventsUntil([&] { return QFile::exists(marker); }));
    QFile launched(marker);
    ASSERT_TRUE(launched.open(QIODevice::ReadOnly));
    EXPECT_EQ(launched.readAll(), QByteArray("-x two words\n"));
}

TEST_F(WorkerTest, CarriesOutWindowCommandsOnTheForegroundWindowOnly)
{
    sim::WindowRecord record;
    record.processId = 777;
    record.title = L"Editor";
    const HWND window = broker->session().addWindow(record);
    const QString handle = QString::number(reinterpret_cast<quintptr>(window));
    broker->session().setForeground(window);

    struct Command {
        const char* value;
        ShellRecord::Kind kind;
        std::int32_t show;
    };
    for (const Command& c : {Command{"minimize", ShellRecord::Kind::ShowWindow, SW_MINIMIZE},
                             Command{"maximize", ShellRecord::Kind::ShowWindow, SW_MAXIMIZE},
                             Command{"restore", ShellRecord::Kind::ShowWindow, SW_RESTORE},
                             Command{"close", ShellRecord::Kind::PostMessage, 0}, Command{"lock", ShellRecord::Kind::Lock, 0}}) {
        const WorkerRun result = run(request(act("window", QString::fromLatin1(c.value)), handle));
        EXPECT_EQ(result.reply, reply(true, kWindowCommandSent)) << c.value;
        EXPECT_EQ(result.exitCode, 0);
        const auto log = desktop().shellLog(true);
        ASSERT_EQ(log.size(), 1u) << c.value;
        EXPECT_EQ(log[0].kind, c.kind);
        if (c.kind != ShellRecord::Kind::Lock)
            EXPECT_EQ(log[0].window, window);
        if (c.kind == ShellRecord::Kind::ShowWindow)
            EXPECT_EQ(log[0].show, c.show);
        if (c.kind == ShellRecord::Kind::PostMessage) {
            EXPECT_EQ(log[0].message, static_cast<UINT>(WM_SYSCOMMAND));
            EXPECT_EQ(log[0].wParam, static_cast<WPARAM>(SC_CLOSE));
        }
    }

    // Not the foreground window any more, or no window at all: nothing is sent.
    sim::WindowRecord other;
    broker->session().setForeground(broker->session().addWindow(other));
    for (const QString& target : {handle, QStringLiteral("0"), QStringLiteral("x")}) {
        const WorkerRun result = run(request(act("window", QStringLiteral("minimize")), target));
        EXPECT_EQ(result.reply, reply(false, kWindowCommandUnavailable));
        EXPECT_EQ(result.exitCode, 2);
    }
    EXPECT_TRUE(desktop().shellLog().empty());
}

TEST_F(WorkerTest, ReadsARequestOfUpTo524288BytesInSmallPieces)
{
    QByteArray exact = request(act("website", QStringLiteral("https://example.com/")));
    exact.append(QByteArray(524288 - exact.size(), ' '));
    const WorkerRun accepted = run(exact, 1000);
    EXPECT_EQ(accepted.reply, reply(true, kOpenRequested));
    EXPECT_EQ(accepted.exitCode, 0);

    const WorkerRun refused = run(exact + ' ', 1000);
    EXPECT_EQ(refused.reply, reply(false, kInvalidRequest));
    EXPECT_EQ(refused.exitCode, 2);
    EXPECT_EQ(desktop().shellLog().size(), 1u);
}

TEST_F(WorkerTest, EndsItselfWithExitCode3WhenItsInputNeverCloses)
{
    const WorkerRun result = run(QByteArray(R"({"action":)"), 0, false);
    EXPECT_EQ(result.exitCode, 3);
    EXPECT_TRUE(result.output.isEmpty());
}

} // namespace
} // namespace vorna::test
