#include "app/agent_link.h"

#include "core/library_files.h"
#include "core/agent_protocol.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using app::HashVerdict;
using app::ObserveAction;
using app::ReaderStep;
using vorna::test::edited;

TEST(AgentRequestLine, CarriesVersionOneAndEndsTheLine)
{
    EXPECT_EQ(app::agentRequestLine(QJsonObject{{"command", "state"}}), QByteArray("{\"command\":\"state\",\"version\":1}\n"));
    // A caller's own "version" never reaches the agent.
    EXPECT_EQ(app::agentRequestLine(QJsonObject{{"command", "observe"}, {"enabled", true}, {"version", 7}}),
              QByteArray("{\"command\":\"observe\",\"enabled\":true,\"version\":1}\n"));
}

struct ReaderCase {
    bool lineAvailable;
    qint64 bytes;
    ReaderStep step;
};

class ReaderSteps : public testing::TestWithParam<ReaderCase> {};

TEST_P(ReaderSteps, FullBufferWithoutLineEndAborts)
{
    EXPECT_EQ(app::readerStep(GetParam().lineAvailable, GetParam().bytes), GetParam().step);
}

INSTANTIATE_TEST_SUITE_P(Buffer, ReaderSteps, testing::Values(
    ReaderCase{false, 0, ReaderStep::Wait},
    ReaderCase{false, 262144, ReaderStep::Wait},
    ReaderCase{false, 262145, ReaderStep::Abort},
    ReaderCase{false, 300000, ReaderStep::Abort},
    ReaderCase{true, 12, ReaderStep::ReadLine},
    ReaderCase{true, 262145, ReaderStep::ReadLine}));

TEST(AgentLine, LimitCountsTheTerminator)
{
    EXPECT_FALSE(app::agentLineTooLong(QByteArray(262143, 'a') + '\n'));
    EXPECT_TRUE(app::agentLineTooLong(QByteArray(262144, 'a') + '\n'));
    EXPECT_TRUE(app::agentLineTooLong(QByteArray(262145, 'a'))); // cut off by the read limit
}

TEST(AgentLine, AnythingButAnObjectIsEmpty)
{
    EXPECT_EQ(app::parseAgentLine("{\"type\":\"state\"}\n"), (QJsonObject{{"type", "state"}}));
    for (const char* line : {"[1,2]\n", "{\"type\":\n", "\n", "\"state\"\n"})
        EXPECT_TRUE(app::parseAgentLine(line).isEmpty()) << line;
}

struct StatusCase {
    app::StatusFacts facts;
    const char* ru;
    const char* en;
};

app::StatusFacts facts(bool elevated, const char* error, bool pending, int trial, bool active, bool observing,
                       bool configured, int rules = 0)
{
    return app::StatusFacts{elevated, QString::fromUtf8(error), pending, trial, active, observing, configured, rules};
}

class StatusRows : public testing::TestWithParam<StatusCase> {};

TEST_P(StatusRows, FirstRowThatHoldsGivesTheText)
{
    EXPECT_EQ(app::statusLine(GetParam().facts, false), QString::fromUtf8(GetParam().ru));
    EXPECT_EQ(app::statusLine(GetParam().facts, true), QString::fromUtf8(GetParam().en));
}

INSTANTIATE_TEST_SUITE_P(Table, StatusRows, testing::Values(
    StatusCase{facts(true, "Hook lost", true, 5, true, true, true), "Окно администратора — назначения в нём не действуют",
               "Administrator window — mappings do not work there"},
    StatusCase{facts(false, "Hook lost", true, 5, true, true, true), "Hook lost", "Hook lost"},
    StatusCase{facts(false, "", true, 5, true, true, true), "Применение набора…", "Applying collection…"},
    StatusCase{facts(false, "", false, 5, true, true, true), "Пробное назначение · подтвердите или дождитесь отмены",
               "Trial mapping · confirm or wait for cancellation"},
    StatusCase{facts(false, "", false, 0, true, true, true, 12), "Назначения включены: 12", "Active mappings: 12"},
    StatusCase{facts(false, "", false, 0, false, true, false), "Наблюдение включено · события видны только сейчас",
               "Observation enabled · live events only"},
    StatusCase{facts(false, "", false, 0, false, false, false), "На паузе · исходные назначения действуют",
               "Paused · original input passes through"},
    StatusCase{facts(false, "", false, 0, false, false, true), "Набор включён · в текущем слое нет назначений",
               "Collection enabled · no mappings in the current layer"}));

QJsonObject state(std::initializer_list<std::pair<const char*, QJsonValue>> fields)
{
    QJsonObject message{{"type", "state"}, {"agentVersion", 10}};
    for (const auto& [key, value] : fields)
        message[QLatin1String(key)] = value;
    return message;
}

TEST(StateMessage, ObservingCountsOnlyWhileTheWindowAskedForIt)
{
    const QJsonObject message = state({{"observing", true}});
    EXPECT_FALSE(app::interpretState(message, {true, false, false}).observing);
    EXPECT_FALSE(app::interpretState(message, {true, false, false}).observeSent);
    const app::StateUpdate asked = app::interpretState(message, {true, true, false});
    EXPECT_TRUE(asked.observing);
    EXPECT_TRUE(asked.observeSent);
    EXPECT_EQ(asked.statusLine, QStringLiteral("Наблюдение включено · события видны только сейчас"));

    const app::StateUpdate stopped = app::interpretState(state({{"observing", false}}), {true, true, false});
    EXPECT_FALSE(stopped.observeSent);
    EXPECT_FALSE(stopped.observeHeldBack);
    const app::StateUpdate refused =
        app::interpretState(state({{"observing", false}, {"error", "Observation refused"}}), {true, true, false});
    EXPECT_TRUE(refused.observeHeldBack);
    EXPECT_TRUE(refused.dropPendingHash);
}

TEST(StateMessage, OlderOrMissingAgentVersionIsAnOlderEngine)
{
    for (const QJsonObject& message : {state({{"agentVersion", 9}, {"observing", true}}),
                                       QJsonObject{{"type", "state"}, {"observing", true}}}) {
        const app::StateUpdate update = app::interpretState(message, {true, true, false});
        EXPECT_TRUE(update.olderEngine);
        EXPECT_FALSE(update.observeSent);
        EXPECT_FALSE(update.observing);
    }
    EXPECT_TRUE(app::interpretState(state({}), {false, false, false}).olderEngine);
    EXPECT_FALSE(app::interpretState(state({}), {true, false, false}).olderEngine);
}

TEST(StateMessage, FieldsReachTheirProperties)
{
    const QJsonObject message = state({
        {"active", true}, {"pending", true}, {"configured", true}, {"trialSeconds", 12}, {"ruleCount", 3},
        {"foregroundElevated", true}, {"agentElevated", true}, {"watchdogPid", 4242}, {"contextAvailable", true},
        {"foregroundExecutable", "C:\\app.exe"}, {"foregroundIntegrityError", 5}, {"foregroundElevationProbable", true},
        {"profileName", "Global"}, {"layerName", "Main"}, {"contextReason", "manual"},
        {"devices", QJsonArray{QJsonObject{{"kind", "mouse"}, {"label", "M"}, {"buttons", 5}}}},
        {"diagnostics", QJsonObject{{"inputEvents", 17}}},
    });
    const app::StateUpdate update = app::interpretState(message, {true, false, false});
    EXPECT_TRUE(update.active);
    EXPECT_TRUE(update.applying);
    EXPECT_TRUE(update.armed);
    EXPECT_FALSE(update.dropPendingHash);
    EXPECT_EQ(update.trialSeconds, 12);
    EXPECT_FALSE(update.foregroundElevated); // the agent runs elevated too
    EXPECT_EQ(update.activeDescription, QStringLiteral("Global · Main · manual"));
    ASSERT_EQ(update.deviceList.size(), 1);
    EXPECT_EQ(update.deviceList.at(0).toMap().value("label").toString(), QStringLiteral("M"));
    EXPECT_EQ(update.agentVersion, 10);
    EXPECT_EQ(update.diagnostics.value("inputEvents").toInt(), 17);
    EXPECT_EQ(update.diagnostics.value("watchdogPid").toDouble(), 4242.0);
    EXPECT_EQ(update.diagnostics.value("contextAvailable").toBool(), true);
    EXPECT_EQ(update.diagnostics.value("engineErrorPresent").toBool(), false);
    EXPECT_EQ(update.diagnostics.value("foregroundElevated").toBool(), true); // the raw flag
    EXPECT_EQ(update.diagnostics.value("foregroundExecutable").toString(), QStringLiteral("C:\\app.exe"));
    EXPECT_EQ(update.diagnostics.value("foregroundElevationProbable").toBool(), true);
    EXPECT_EQ(update.diagnostics.value("foregroundIntegrityError").toInt(), 5);
    EXPECT_EQ(update.statusLine, QStringLiteral("Применение набора…"));
}

TEST(StatusComposition, OlderEngineReplacesAndLoadProblemIsAppended)
{
    EXPECT_EQ(app::composeStatus("Line", false, "Issue", ""), QStringLiteral("Line"));
    EXPECT_EQ(app::composeStatus("Line", true, "Issue", ""), QStringLiteral("Issue"));
    EXPECT_EQ(app::composeStatus("Line", true, "Issue", "Invalid library JSON"), QStringLiteral("Issue · Invalid library JSON"));
}

struct HashCase {
    const char* name;
    bool dirty;
    bool pending;
    const char* error;
    bool configured;
    int agentLibrary;   // 0: the edited library, 1: the library sent before a rename, 2: another
    bool awaitApply;    // the pending hash is the agent's
    HashVerdict verdict;
};

class HashComparison : public testing::TestWithParam<HashCase> {};

TEST_P(HashComparison, AgentHashDecidesWhetherEditsAreApplied)
{
    const HashCase& c = GetParam();
    const QJsonObject sent = vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0,
                                                   {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", "Old"}}});
    const QJsonObject renamed = edited(sent, {"profiles", 0, "layers", 0, "rules", 0, "name"}, QJsonValue("New"));
    const QJsonObject other = edited(sent, {"profiles", 0, "layers", 0, "rules", 0, "target"}, QJsonValue("key_65"));
    // The window edits `renamed` after having sent `sent`.
    const QJsonObject agentRuns[] = {renamed, sent, other};
    const QString agentHash = vorna::protocol::documentHash(agentRuns[c.agentLibrary]);
    const QJsonObject message = state({{"documentHash", agentHash}, {"pending", c.pending}, {"error", c.error},
                                       {"configured", c.configured}});
    app::AppliedFacts facts{c.dirty, c.awaitApply ? agentHash : QStringLiteral("ffff"), vorna::protocol::documentHash(sent),
                            vorna::protocol::stripRuleNames(sent)};
    EXPECT_EQ(app::judgeDocumentHash(message, renamed, facts), c.verdict);
}

INSTANTIATE_TEST_SUITE_P(Table, HashComparison, testing::Values(
    HashCase{"Clean", false, false, "", true, 0, true, HashVerdict::NotJudged},
    HashCase{"StillApplying", true, true, "", true, 0, true, HashVerdict::NotJudged},
    HashCase{"AgentError", true, false, "Failed", true, 0, true, HashVerdict::NotJudged},
    HashCase{"OwnHash", true, false, "", true, 0, false, HashVerdict::Applied},
    HashCase{"OwnHashAwaited", true, false, "", true, 0, true, HashVerdict::Confirmed},
    HashCase{"AwaitedButNotConfigured", true, false, "", false, 0, true, HashVerdict::Applied},
    HashCase{"RenamedAfterSending", true, false, "", true, 1, false, HashVerdict::Applied},
    HashCase{"OtherLibrary", true, false, "", true, 2, true, HashVerdict::Different}),
    [](const testing::TestParamInfo<HashCase>& info) { return std::string(info.param.name); });

struct ObserveCase {
    bool wanted, connected;
    int version;
    bool heldBack, sent;
    ObserveAction action;
};

class ObserveRule : public testing::TestWithParam<ObserveCase> {};

TEST_P(ObserveRule, RequestIsWrittenOnceAndWithdrawnOnce)
{
    const ObserveCase& c = GetParam();
    EXPECT_EQ(app::observeAction(c.wanted, c.connected, c.version, c.heldBack, c.sent), c.action);
}

INSTANTIATE_TEST_SUITE_P(Table, ObserveRule, testing::Values(
    ObserveCase{true, true, 10, false, false, ObserveAction::SendOn},
    ObserveCase{true, true, 10, false, true, ObserveAction::None},
    ObserveCase{true, true, 10, true, false, ObserveAction::None},
    ObserveCase{true, true, 9, false, false, ObserveAction::None},
    ObserveCase{true, false, 10, false, false, ObserveAction::None},
    ObserveCase{false, true, 10, false, true, ObserveAction::SendOff},
    ObserveCase{false, true, 10, true, true, ObserveAction::SendOff},
    ObserveCase{false, true, 10, false, false, ObserveAction::None}));

TEST(ObserveRule, EveryReasonAloneWantsObservation)
{
    EXPECT_FALSE(app::observationWanted({}));
    EXPECT_FALSE(app::observationWanted({.livePage = true}));
    EXPECT_FALSE(app::observationWanted({.liveEnabled = true}));
    EXPECT_TRUE(app::observationWanted({.livePage = true, .liveEnabled = true}));
    EXPECT_TRUE(app::observationWanted({.observationWanted = true}));
    EXPECT_TRUE(app::observationWanted({.captureMode = true}));
    EXPECT_TRUE(app::observationWanted({.recording = true}));
    EXPECT_TRUE(app::observationWanted({.outputCaptureActive = true}));
    EXPECT_TRUE(app::observationWanted({.outputCaptureHeld = true}));
}

} // namespace
