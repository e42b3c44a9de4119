// The settings window's "-ui" socket: what each line does, the 65-byte limit, the hand-over of
// a second start, and the real program's second start and check-mode refusals.

#include "app/branding.h"
#include "app/ui_socket.h"
#include "tests/support/built_programs.h"
#include "tests/support/foreign_server.h"
#include "tests/support/scoped_env.h"
#include "tests/support/settings_shell.h"

#include <QDir>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QTimer>
#include <QUuid>
#include <QWindow>

namespace {

using vorna::test::ScopedEnv;

QString uniqueName()
{
    return QStringLiteral("vorna-ui-test-") + QUuid::createUuid().toString(QUuid::Id128);
}

// A listening "-ui" server and one accepted client, both in this process.
struct UiPair {
    QLocalServer server;
    QLocalSocket client;
    QLocalSocket* accepted = nullptr;

    explicit UiPair(const QString& name)
    {
        EXPECT_TRUE(app::listenUiServer(server, name));
        client.connectToServer(name);
        EXPECT_TRUE(client.waitForConnected(5000));
        EXPECT_TRUE(server.waitForNewConnection(5000));
        accepted = server.nextPendingConnection();
        accepted->setReadBufferSize(app::kUiReadBuffer);
    }

    void send(const QByteArray& bytes)
    {
        client.write(bytes);
        client.flush();
        while (accepted->bytesAvailable() < qMin<qint64>(bytes.size(), app::kUiReadBuffer))
            ASSERT_TRUE(accepted->waitForReadyRead(5000));
    }
};

struct LineCase {
    const char* name;
    QByteArray bytes;
    bool shows;
    bool quits;
    bool aborted;
};

class UiSocketLines : public testing::TestWithParam<LineCase> {};

TEST_P(UiSocketLines, EachLineDoesWhatItSays)
{
    const LineCase& c = GetParam();
    vorna::test::guiApplication();
    QWindow window;
    UiPair pair(uniqueName());
    pair.send(c.bytes);

    // quit() is only heard inside exec(); the timer ends a run that nothing quits.
    QTimer::singleShot(0, [&] { app::onShowRequest(pair.accepted, &window); });
    QTimer::singleShot(200, [] { QCoreApplication::exit(7); });
    const int result = QCoreApplication::exec();

    EXPECT_EQ(window.isVisible(), c.shows);
    EXPECT_EQ(result == 0, c.quits);
    if (c.aborted)
        EXPECT_EQ(pair.accepted->state(), QLocalSocket::UnconnectedState);
}

INSTANTIATE_TEST_SUITE_P(Lines, UiSocketLines,
    testing::Values(LineCase{"show", "show\n", true, false, false}, LineCase{"showWithBlanks", "  show \r\n", true, false, false},
        LineCase{"quit", " quit \n", false, true, false}, LineCase{"capitals", "SHOW\n", false, false, false},
        LineCase{"moreWords", "show now\n", false, false, false},
        LineCase{"noLineEnd", "show", false, false, false},
        LineCase{"sixtyFiveBytesWithoutLineEnd", QByteArray(65, 'a'), false, false, true},
        LineCase{"sixtyFiveBytesThenShow", QByteArray(65, ' ') + "show\n", false, false, true}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST(UiSocket, SecondStartHandsOverWithShowAndNothingAnsweringMeansNoHandOver)
{
    vorna::test::guiApplication();
    const QString name = uniqueName();
    EXPECT_FALSE(app::handOverToRunningWindow(name));

    QLocalServer server;
    ASSERT_TRUE(app::listenUiServer(server, name));
    QWindow window;
    QObject::connect(&server, &QLocalServer::newConnection, &window,
        [&server, &window] { app::onUiServerConnection(&server, &window); });
    EXPECT_TRUE(app::handOverToRunningWindow(name));
    for (int i = 0; i < 100 && !window.isVisible(); ++i)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    EXPECT_TRUE(window.isVisible());
}

TEST(UiSocket, AProbeThatAnswersLeavesTheLiveWindowServing)
{
    vorna::test::guiApplication();
    const QString name = uniqueName();
    QLocalServer first;
    ASSERT_TRUE(app::listenUiServer(first, name));
    // The start-up order: a second start probes first and hands over; it never listens.
    ASSERT_TRUE(app::handOverToRunningWindow(name));
    QLocalSocket client;
    client.connectToServer(name);
    ASSERT_TRUE(client.waitForConnected(5000));
    EXPECT_TRUE(first.waitForNewConnection(5000));
}

TEST(UiSocket, AnotherUsersProgramOnTheNameIsNoWindowToHandOverTo)
{
    QTemporaryDir sockets;
    ASSERT_TRUE(vorna::test::openToEveryone(sockets.path()));
    const ScopedEnv folder("TMPDIR", sockets.path().toUtf8());
    const QString name = uniqueName();
    vorna::test::ForeignServer impostor(QDir(sockets.path()).filePath(name).toStdString());
    ASSERT_TRUE(impostor.listening());
    EXPECT_FALSE(app::handOverToRunningWindow(name));
    const vorna::test::ForeignServer::Received received = impostor.finish();
    EXPECT_EQ(received.connections, 1);
    EXPECT_EQ(received.bytes, 0);
}

class SettingsProgram : public testing::Test {
protected:
    QString program() const
    {
        return QString::fromStdString(vorna::test::mainProgram());
    }

    QProcessEnvironment environment() const
    {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("VORNA_TEST_INSTANCE"), m_instance);
        env.insert(QStringLiteral("XDG_DATA_HOME"), m_folder.filePath(QStringLiteral("data")));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), m_folder.filePath(QStringLiteral("config")));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_folder.path());
        return env;
    }

    QTemporaryDir m_folder;
    QString m_instance = QStringLiteral("test-") + QUuid::createUuid().toString(QUuid::Id128);
};

TEST_F(SettingsProgram, SecondStartSendsShowAndEndsWithZero)
{
    vorna::test::guiApplication();
    // The running window's socket, under the name the program computes for this instance.
    const ScopedEnv instance("VORNA_TEST_INSTANCE", m_instance.toUtf8());
    const ScopedEnv data("XDG_DATA_HOME", m_folder.filePath(QStringLiteral("data")).toUtf8());
    app::loadBranding();
    QLocalServer running;
    ASSERT_TRUE(running.listen(app::uiSocketName()));

    QProcess second;
    second.setProcessEnvironment(environment());
    second.start(program(), {});
    ASSERT_TRUE(running.waitForNewConnection(10000));
    QLocalSocket* client = running.nextPendingConnection();
    while (!client->canReadLine() && client->waitForReadyRead(10000)) {}
    EXPECT_EQ(client->readLine(), QByteArray("show\n"));
    ASSERT_TRUE(second.waitForFinished(10000));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
}

} // namespace
