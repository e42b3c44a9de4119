// The controller's link to a fake agent on the test pipe: connecting, the one agent start,
// reconnect ticks, the status texts, the reader's limits, observation and "Saved and applied".

#include "tests/support/settings_fixture.h"

#include "tests/support/foreign_server.h"

#include "app/agent_link.h"
#include "core/agent_protocol.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

using vorna::test::FakeAgent;
using vorna::test::spinUntil;

const QJsonObject kPaused{{"agentVersion", 10}, {"configured", false}};
const QJsonObject kActive{{"agentVersion", 10}, {"configured", true}, {"active", true}, {"ruleCount", 2}};

class AgentLink : public vorna::test::SettingsSandbox {
protected:
    void SetUp() override { attach(makeController()); }

    // Records every new status text and counts the state notifications.
    void attach(std::unique_ptr<AppController> controller)
    {
        m_controller = std::move(controller);
        QObject::connect(m_controller.get(), &AppController::stateChanged, [this] {
            ++m_stateSignals;
            if (m_statuses.isEmpty() || m_statuses.last() != m_controller->status())
                m_statuses.append(m_controller->status());
        });
    }

    bool listen() { return m_agent.listen(vorna::core::agentPipeName()); }

    // Connects and waits until the agent got the window's first request.
    void connectToAgent()
    {
        ASSERT_TRUE(listen());
        m_controller->connectAgent();
        ASSERT_TRUE(m_controller->connected());
        ASSERT_TRUE(m_agent.waitForRequests(1));
    }

    void tick() { QMetaObject::invokeMethod(m_controller.get(), "onReconnectTick"); }

    // Sends a state message and waits until the window has handled it.
    void state(const QJsonObject& message)
    {
        const qsizetype before = m_stateSignals;
        m_agent.sendState(message);
        ASSERT_TRUE(spinUntil([&] { return m_stateSignals > before; }));
    }

    FakeAgent m_agent;
    QStringList m_statuses;
    qsizetype m_stateSignals = 0;
    // Last, so it goes first: its end can still signal a status to the lambda above.
    std::unique_ptr<AppController> m_controller;
};

TEST_F(AgentLink, ConnectsAndAsksForTheState)
{
    EXPECT_EQ(m_controller->status(), QStringLiteral("Подключение к движку…"));
    connectToAgent();
    EXPECT_EQ(m_agent.requests().first(), (QJsonObject{{"command", "state"}, {"version", 1}}));
    EXPECT_EQ(m_controller->status(), QStringLiteral("На паузе · назначение включается вручную"));
    EXPECT_TRUE(m_starts.isEmpty());
}

TEST_F(AgentLink, StatusTextsFollowTheLinkInOrder)
{
    connectToAgent();
    state(kPaused);
    state(kActive);
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    m_controller->confirmTrial(); // a command with nobody to take it
    EXPECT_EQ(m_statuses, (QStringList{
        "На паузе · назначение включается вручную",
        "На паузе · исходные назначения действуют",
        "Назначения включены: 2",
        "Нет связи с движком",
        "Движок недоступен. Перезапустите настройки.",
    }));
}

TEST_F(AgentLink, DisconnectResetsTheAgentsStateButKeepsWhatItLastReported)
{
    connectToAgent();
    state(QJsonObject{{"agentVersion", 10}, {"configured", true}, {"active", true}, {"pending", true},
                      {"trialSeconds", 9}, {"devices", QJsonArray{QJsonObject{{"label", "Mouse"}}}}});
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    EXPECT_FALSE(m_controller->active());
    EXPECT_FALSE(m_controller->applying());
    EXPECT_EQ(m_controller->trialSeconds(), 0);
    EXPECT_FALSE(m_controller->engineCompatible());
    EXPECT_TRUE(m_controller->armed());
    EXPECT_EQ(m_controller->deviceList().size(), 1);
}

TEST_F(AgentLink, AgentIsStartedOnceWhenTheFirstConnectionFails)
{
    m_controller->connectAgent();
    ASSERT_EQ(m_starts.size(), 1);
    EXPECT_EQ(m_starts[0].program, QCoreApplication::applicationFilePath());
    EXPECT_EQ(m_starts[0].arguments, QStringList{"--agent"});
    EXPECT_EQ(m_starts[0].folder, QCoreApplication::applicationDirPath());
    // The agent takes a while to listen: the ticks before it does start nothing more.
    for (int i = 0; i < 3; ++i)
        tick();
    EXPECT_EQ(m_starts.size(), 1);
    ASSERT_TRUE(listen());
    tick();
    EXPECT_TRUE(m_controller->connected());
    // Gone for good after having worked: retried, never started again.
    m_agent.close();
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    tick();
    tick();
    EXPECT_FALSE(m_controller->connected());
    EXPECT_EQ(m_starts.size(), 1);
    EXPECT_EQ(m_controller->status(), QStringLiteral("Нет связи с движком"));
}

TEST_F(AgentLink, AnotherUsersProgramOnTheNameIsSentNothingAndTheStatusSaysSo)
{
    // A socket folder every user can write to, as /tmp is, where another user took the name.
    QTemporaryDir sockets;
    ASSERT_TRUE(vorna::test::openToEveryone(sockets.path()));
    const vorna::test::ScopedEnv folder("TMPDIR", sockets.path().toUtf8());
    vorna::test::ForeignServer impostor(QDir(sockets.path()).filePath(vorna::core::agentPipeName()).toStdString());
    ASSERT_TRUE(impostor.listening());

    m_controller->connectAgent();
    EXPECT_FALSE(m_controller->connected());
    EXPECT_EQ(m_controller->status(), QStringLiteral("Имя движка занято программой другого пользователя"));
    EXPECT_TRUE(m_starts.isEmpty()); // the name is taken: a started agent could not have it
    // Nothing the user does reaches it, and the usual retry keeps saying why, in the language.
    m_controller->setLanguage("en");
    m_controller->applyMapping();
    m_controller->pause();
    tick();
    EXPECT_FALSE(m_controller->connected());
    EXPECT_EQ(m_controller->status(), QStringLiteral("another user's program holds the agent's name"));
    const vorna::test::ForeignServer::Received received = impostor.finish();
    EXPECT_EQ(received.connections, 2);
    EXPECT_EQ(received.bytes, 0);
}

TEST_F(AgentLink, NoStartOnceAConnectionHasWorked)
{
    connectToAgent();
    m_agent.close();
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    m_controller->connectAgent();
    tick();
    EXPECT_TRUE(m_starts.isEmpty());
}

TEST_F(AgentLink, FailedStartIsReportedAndNotRetried)
{
    m_startSucceeds = false;
    m_controller->connectAgent();
    EXPECT_EQ(m_controller->status(), QStringLiteral("Не удалось запустить движок"));
    tick();
    EXPECT_EQ(m_starts.size(), 1);
}

TEST_F(AgentLink, TickReconnectsOnlyWhileDisconnected)
{
    connectToAgent();
    tick();
    tick();
    m_agent.syncWith(*m_controller); // a stray second connection would have arrived by now
    EXPECT_EQ(m_agent.connections(), 1);
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    tick();
    EXPECT_TRUE(m_controller->connected());
    ASSERT_TRUE(spinUntil([&] { return m_agent.connections() == 2; }));
    EXPECT_TRUE(m_starts.isEmpty());
}

// The reader's limit: a line may be 262,144 bytes with its end; a longer one, or a read buffer
// filled without any line end, ends the connection, and the next tick connects again.
struct LineCase {
    const char* name;
    qsizetype bytes;  // total bytes sent
    bool terminated;
    bool keepsLink;
};

class ReaderLimit : public AgentLink, public testing::WithParamInterface<LineCase> {};

TEST_P(ReaderLimit, LongLinesEndTheConnection)
{
    const LineCase& c = GetParam();
    connectToAgent();
    QByteArray line = QJsonDocument(QJsonObject{{"type", "state"}, {"agentVersion", 10}, {"active", true}})
                          .toJson(QJsonDocument::Compact);
    line = line.leftJustified(c.bytes - (c.terminated ? 1 : 0), ' ');
    if (c.terminated)
        line += '\n';
    ASSERT_EQ(line.size(), c.bytes);
    m_agent.send(line);
    if (c.keepsLink) {
        ASSERT_TRUE(spinUntil([&] { return m_controller->active(); }));
        EXPECT_TRUE(m_controller->connected());
        return;
    }
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    EXPECT_FALSE(m_controller->active());
    EXPECT_EQ(m_controller->status(), QStringLiteral("Нет связи с движком"));
    tick();
    EXPECT_TRUE(m_controller->connected());
}

INSTANTIATE_TEST_SUITE_P(Lines, ReaderLimit, testing::Values(
    LineCase{"LongestLine", 262144, true, true},
    LineCase{"OneByteTooLong", 262145, true, false},
    LineCase{"BufferFullWithoutLineEnd", 262145, false, false},
    LineCase{"FarLongerThanTheBuffer", 600000, true, false}),
    [](const testing::TestParamInfo<LineCase>& info) { return std::string(info.param.name); });

TEST_F(AgentLink, LinesThatAreNotStateOnlyNotify)
{
    connectToAgent();
    state(kPaused);
    const QString before = m_controller->status();
    const qsizetype signalsBefore = m_stateSignals;
    m_agent.send("not json\n{\"type\":\"other\",\"active\":true}\n");
    ASSERT_TRUE(spinUntil([&] { return m_stateSignals == signalsBefore + 2; }));
    EXPECT_FALSE(m_controller->active());
    EXPECT_EQ(m_controller->status(), before);
    EXPECT_TRUE(m_controller->connected());
}

TEST_F(AgentLink, ObservationIsAskedOnceAndHeldBackAfterARefusal)
{
    connectToAgent();
    m_controller->setLivePage(true); // live view is enabled by default
    EXPECT_TRUE(m_agent.requests("observe").isEmpty()); // version not known yet
    state(QJsonObject{{"agentVersion", 10}, {"observing", false}});
    ASSERT_TRUE(m_agent.waitForRequests(2));
    EXPECT_EQ(m_agent.requests("observe").last(), (QJsonObject{{"command", "observe"}, {"enabled", true}, {"version", 1}}));
    state(QJsonObject{{"agentVersion", 10}, {"observing", true}});
    EXPECT_TRUE(m_controller->observing());
    EXPECT_EQ(m_controller->status(), QStringLiteral("Наблюдение включено · события видны только сейчас"));
    // The agent stopped observing: asked again at once.
    state(QJsonObject{{"agentVersion", 10}, {"observing", false}});
    ASSERT_TRUE(m_agent.waitForRequests(3));
    // A refusal is not answered with another request until the user asks again.
    state(QJsonObject{{"agentVersion", 10}, {"observing", false}, {"error", "Observation unavailable"}});
    state(QJsonObject{{"agentVersion", 10}, {"observing", false}, {"error", "Observation unavailable"}});
    EXPECT_EQ(m_controller->status(), QStringLiteral("Observation unavailable"));
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(m_agent.requests("observe").size(), 2);
    m_controller->setLiveEnabled(true);
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(m_agent.requests("observe").size(), 3);
    // Leaving the page withdraws the request once.
    m_controller->setLivePage(false);
    ASSERT_TRUE(spinUntil([&] { return m_agent.requests("observe").size() == 4; }));
    EXPECT_EQ(m_agent.requests("observe").last(), (QJsonObject{{"command", "observe"}, {"enabled", false}, {"version", 1}}));
    EXPECT_FALSE(m_controller->observing());
}

// A window that fell behind reads many states at once, all sent before its request could reach
// the agent: one request answers them, or the burst is more lines than the agent takes from a client
// in one read and the link ends.
TEST_F(AgentLink, StatesReadTogetherAskForObservationOnce)
{
    connectToAgent();
    m_controller->setLivePage(true);
    state(QJsonObject{{"agentVersion", 10}, {"observing", false}});
    ASSERT_TRUE(m_agent.waitForRequests(2));
    QByteArray stale;
    for (int i = 0; i < 12; ++i)
        stale += R"({"type":"state","agentVersion":10,"observing":false})" "\n";
    const qsizetype before = m_stateSignals;
    m_agent.send(stale);
    ASSERT_TRUE(spinUntil([&] { return m_stateSignals >= before + 12; }));
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(m_agent.requests("observe").size(), 2);
    state(QJsonObject{{"agentVersion", 10}, {"observing", true}});
    EXPECT_TRUE(m_controller->observing());
}

TEST_F(AgentLink, OlderEngineIsNeverAskedToObserveAndSaysSo)
{
    connectToAgent();
    m_controller->setObservation(true);
    state(QJsonObject{{"agentVersion", 9}, {"active", true}, {"observing", false}});
    EXPECT_FALSE(m_controller->engineCompatible());
    EXPECT_EQ(m_controller->status(), m_controller->engineIssue());
    EXPECT_FALSE(m_controller->engineIssue().isEmpty());
    m_agent.syncWith(*m_controller);
    EXPECT_TRUE(m_agent.requests("observe").isEmpty());
}

TEST_F(AgentLink, StateRowsFollowTheLanguageButLinkTextsStayRussian)
{
    m_controller->setLanguage("en");
    connectToAgent();
    EXPECT_EQ(m_controller->status(), QStringLiteral("На паузе · назначение включается вручную"));
    state(kActive);
    EXPECT_EQ(m_controller->status(), QStringLiteral("Active mappings: 2"));
    state(QJsonObject{{"agentVersion", 10}, {"foregroundElevated", true}, {"agentElevated", true}, {"configured", true}});
    EXPECT_FALSE(m_controller->foregroundElevated());
    EXPECT_EQ(m_controller->status(), QStringLiteral("Collection enabled · no mappings in the current layer"));
}

TEST_F(AgentLink, PauseSendsPanicAndSuspendsAutomaticApply)
{
    connectToAgent();
    state(kActive);
    m_controller->pause();
    ASSERT_TRUE(m_agent.waitForRequests(2));
    EXPECT_EQ(m_agent.requests().last(), (QJsonObject{{"command", "panic"}, {"version", 1}}));
    // With automatic apply suspended, an edit is only saved.
    m_controller->setLayerIndex(3);
    m_agent.syncWith(*m_controller);
    EXPECT_TRUE(m_agent.requests("configure").isEmpty());
    EXPECT_TRUE(m_controller->dirty());
}

TEST_F(AgentLink, AnAppliedEditIsReportedSavedAndApplied)
{
    connectToAgent();
    state(kActive);
    m_controller->setLayerIndex(2); // commits and applies by itself while mappings are active
    ASSERT_TRUE(spinUntil([&] { return !m_agent.requests("configure").isEmpty(); }));
    const QJsonObject configure = m_agent.requests("configure").first();
    EXPECT_EQ(configure.value("library").toObject(), m_controller->library());
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_TRUE(m_controller->applying());

    QJsonObject applying = kActive;
    applying["pending"] = true;
    state(applying);
    EXPECT_EQ(m_controller->status(), QStringLiteral("Применение набора…"));
    EXPECT_TRUE(m_controller->dirty());

    QJsonObject applied = kActive;
    applied["documentHash"] = vorna::protocol::documentHash(configure.value("library").toObject());
    state(applied);
    EXPECT_FALSE(m_controller->dirty());
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Сохранено и применено"));
    // The notice goes when its timer fires; any other notice would stay.
    QMetaObject::invokeMethod(m_controller.get(), "onStatusTimeout");
    EXPECT_TRUE(m_controller->notice().isEmpty());
}

TEST_F(AgentLink, AnotherHashLeavesTheEditsUnapplied)
{
    connectToAgent();
    state(kActive);
    m_controller->setLayerIndex(2);
    ASSERT_TRUE(spinUntil([&] { return !m_agent.requests("configure").isEmpty(); }));
    QJsonObject stale = kActive;
    stale["documentHash"] = vorna::protocol::documentHash(vorna::core::defaultLibrary());
    state(stale);
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_TRUE(m_controller->notice().isEmpty());
    // An error drops the awaited apply: even the right hash later brings no notice.
    state(QJsonObject{{"agentVersion", 10}, {"configured", true}, {"active", true}, {"error", "Compile failed"}});
    QJsonObject applied = kActive;
    applied["documentHash"] = m_controller->documentHash();
    state(applied);
    EXPECT_FALSE(m_controller->dirty());
    EXPECT_TRUE(m_controller->notice().isEmpty());
}

TEST_F(AgentLink, LoadProblemIsAppendedToTheStatus)
{
    QFile broken(libraryFile());
    QDir().mkpath(QFileInfo(libraryFile()).absolutePath());
    ASSERT_TRUE(broken.open(QIODevice::WriteOnly));
    broken.write("{");
    broken.close();
    attach(makeController());
    connectToAgent();
    state(kPaused);
    EXPECT_EQ(m_controller->status(), QStringLiteral("На паузе · исходные назначения действуют · Invalid library JSON"));
}

} // namespace
