// The real vornactl as a child process against fake agents and a fake settings window, each on
// the test instance's own pipe name in an isolated data folder.
#include "core/agent_pipe_name.h"
#include "core/pipe_server_user.h"
#include "ctl/control_command.h"
#include "tests/ctl/fake_peer.h"
#include "tests/support/foreign_server.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QUuid>
#include <memory>

namespace {

using namespace vorna::test;

constexpr char kStateLine[] = "{\"type\":\"state\",\"active\":true}\n";

QCoreApplication& application()
{
    static int argc = 1;
    static char name[] = "ctl_tests";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    return app;
}

QByteArray freshTestInstance()
{
    return "test-" + QUuid::createUuid().toString(QUuid::Id128).toLatin1();
}

class ControlTool : public testing::Test {
protected:
    ControlTool()
    {
        application();
        QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
        QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    }

    // An agent that greets at once and answers every request with one state line.
    std::unique_ptr<FakePeer> answeringAgent(QByteArray answer = kStateLine)
    {
        auto agent = std::make_unique<FakePeer>(QStringLiteral("agent"), vorna::core::agentPipeName(), &m_log);
        agent->onConnect = [](QLocalSocket* s) { s->write(kStateLine); };
        agent->onLine = [answer](QLocalSocket* s, const QByteArray&) { s->write(answer); };
        return agent;
    }

    QTemporaryDir m_data;
    ScopedEnv m_dataHome{"XDG_DATA_HOME", m_data.path().toUtf8()};
    ScopedEnv m_instance{"VORNA_TEST_INSTANCE", freshTestInstance()};
    std::vector<PeerLine> m_log;
};

TEST_F(ControlTool, AWrongCommandWordPrintsTheUsageAndNeverReachesTheAgent)
{
    auto agent = answeringAgent();
    for (const char* word : {"State", "STATE", "shutdown-all2", ""}) {
        SCOPED_TRACE(word);
        const ToolRun run = runControlTool({QString::fromLatin1(word)});
        EXPECT_EQ(run.exitCode, 2);
        EXPECT_EQ(run.err, vorna::ctl::kUsageText);
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(agent->connections(), 0);
}

TEST_F(ControlTool, NoArgumentOrExtraArgumentsAskForTheStateAndPrintTheAnswerByteForByte)
{
    const QByteArray answer = "{\"type\":\"state\",\"x\":\"\xd0\x96\"}\n";
    auto agent = answeringAgent(answer);
    for (const QStringList& arguments : {QStringList{}, QStringList{"state", "panic"}}) {
        m_log.clear();
        const ToolRun run = runControlTool(arguments);
        EXPECT_EQ(run.exitCode, 0);
        EXPECT_EQ(run.out, answer);
        EXPECT_TRUE(run.err.isEmpty());
        ASSERT_EQ(m_log.size(), 1u);
        EXPECT_EQ(m_log[0].line, "{\"command\":\"state\",\"version\":1}\n");
    }
}

TEST_F(ControlTool, AnErrorAnswerIsStillPrintedWithExitZero)
{
    auto agent = answeringAgent("{\"error\":\"Unknown command\"}\n");
    const ToolRun run = runControlTool({"panic"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"error\":\"Unknown command\"}\n");
    ASSERT_EQ(m_log.size(), 1u);
    EXPECT_EQ(m_log[0].line, "{\"command\":\"panic\",\"version\":1}\n");
}

TEST_F(ControlTool, WithoutAnAgentOnlyShutdownAllSucceeds)
{
    const ToolRun state = runControlTool({"state"});
    EXPECT_EQ(state.exitCode, 1);
    EXPECT_EQ(state.err, vorna::ctl::kNotRunningText);
    EXPECT_TRUE(state.out.isEmpty());

    const ToolRun all = runControlTool({"shutdown-all"});
    EXPECT_EQ(all.exitCode, 0);
    EXPECT_EQ(all.err, vorna::ctl::kNotRunningText);
}

TEST_F(ControlTool, ASilentAgentGivesNoResponse)
{
    FakePeer agent(QStringLiteral("agent"), vorna::core::agentPipeName(), &m_log);
    const ToolRun run = runControlTool({"state"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.err, vorna::ctl::kNoResponseText);
    EXPECT_TRUE(run.out.isEmpty());
    EXPECT_EQ(agent.connections(), 1);
}

TEST_F(ControlTool, AGreetingInTwoPiecesIsNeverTakenForTheAnswer)
{
    FakePeer agent(QStringLiteral("agent"), vorna::core::agentPipeName(), &m_log);
    agent.onConnect = [](QLocalSocket* s) {
        s->write("{\"type\":\"state\",");
        s->flush();
        QTimer::singleShot(300, s, [s] { s->write("\"greeting\":true}\n"); });
    };
    agent.onLine = [](QLocalSocket* s, const QByteArray&) { s->write("{\"reply\":1}\n"); };
    const ToolRun run = runControlTool({"state"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"reply\":1}\n");
}

TEST_F(ControlTool, AnAnswerCutShortIsPrintedAsFarAsItArrived)
{
    auto agent = answeringAgent("{\"type\":\"sta");
    const ToolRun run = runControlTool({"state"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, "{\"type\":\"sta");
}

TEST_F(ControlTool, ShutdownAllQuitsTheSettingsWindowBeforeStoppingTheAgent)
{
    FakePeer window(QStringLiteral("window"), vorna::core::agentPipeName() + QStringLiteral("-ui"), &m_log);
    window.onLine = [](QLocalSocket* s, const QByteArray&) { s->disconnectFromServer(); };
    auto agent = answeringAgent();
    const ToolRun run = runControlTool({"shutdown-all"});
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_EQ(run.out, kStateLine);
    ASSERT_EQ(m_log.size(), 2u);
    EXPECT_EQ(m_log[0].peer, "window");
    EXPECT_EQ(m_log[0].line, "quit\n");
    EXPECT_EQ(m_log[1].peer, "agent");
    EXPECT_EQ(m_log[1].line, "{\"command\":\"shutdown\",\"version\":1}\n");
}

TEST_F(ControlTool, AnotherUsersProgramsOnTheNamesAreSentNothing)
{
    // A socket folder every user can write to, as /tmp is, where another user took both names.
    QTemporaryDir sockets;
    ASSERT_TRUE(openToEveryone(sockets.path()));
    ScopedEnv folder{"TMPDIR", sockets.path().toUtf8()};
    const QString agentPath = QDir(sockets.path()).filePath(vorna::core::agentPipeName());
    ForeignServer agent(agentPath.toStdString());
    ForeignServer window((agentPath + QStringLiteral("-ui")).toStdString());
    ASSERT_TRUE(agent.listening() && window.listening());

    for (const char* word : {"state", "panic", "shutdown-all"}) {
        SCOPED_TRACE(word);
        const ToolRun run = runControlTool({QString::fromLatin1(word)});
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_EQ(run.err, QByteArray(vorna::core::kNameHeldByOtherUser) + "\n");
        EXPECT_TRUE(run.out.isEmpty());
    }
    const ForeignServer::Received toAgent = agent.finish();
    EXPECT_EQ(toAgent.connections, 3);
    EXPECT_EQ(toAgent.bytes, 0);
    const ForeignServer::Received toWindow = window.finish();
    EXPECT_EQ(toWindow.connections, 1); // only shutdown-all asks the window to quit
    EXPECT_EQ(toWindow.bytes, 0);
}

} // namespace
