// The state message built from plain facts.
#include "agent/state_message.h"

#include <gtest/gtest.h>

using namespace vorna::ipc;

TEST(StateMessage, TrialSecondsCountDownWholeSecondsAndStopAtZero)
{
    const struct {
        std::int64_t elapsedMs;
        int seconds;
    } cases[] = {{0, 15}, {999, 15}, {1000, 14}, {14000, 1}, {14999, 1}, {15000, 0}, {60000, 0}};
    for (const auto& c : cases)
        EXPECT_EQ(trialSecondsLeft(c.elapsedMs), c.seconds) << c.elapsedMs;

    StateFacts facts;
    EXPECT_EQ(buildStateMessage(facts)["trialSeconds"].toInt(-1), 0); // no trial
    facts.trialElapsedMs = 500;
    EXPECT_EQ(buildStateMessage(facts)["trialSeconds"].toInt(), 15);
}

TEST(StateMessage, ActiveOnlyWhenTheBackendRunsTheAcknowledgedRules)
{
    const struct {
        const char* name;
        bool active, configured;
        std::uint64_t pending;
        bool running, backendActive;
        bool expected;
    } cases[] = {
        {"applied and in force", true, false, 0, true, true, true},
        {"configured and in force", false, true, 0, true, true, true},
        {"generation pending", true, false, 7, true, true, false},
        {"backend stopped", false, true, 0, false, true, false},
        {"backend idle", true, false, 0, true, false, false},
        {"nothing applied", false, false, 0, true, true, false},
    };
    for (const auto& c : cases) {
        StateFacts facts;
        facts.active = c.active;
        facts.configured = c.configured;
        facts.pendingGeneration = c.pending;
        facts.status.running = c.running;
        facts.status.active = c.backendActive;
        const QJsonObject state = buildStateMessage(facts);
        EXPECT_EQ(state["active"].toBool(), c.expected) << c.name;
        EXPECT_EQ(state["pending"].toBool(), c.pending != 0) << c.name;
    }
}

TEST(StateMessage, ObservingNeedsARunningBackend)
{
    StateFacts facts;
    facts.observing = true;
    EXPECT_FALSE(buildStateMessage(facts)["observing"].toBool());
    facts.status.running = true;
    EXPECT_TRUE(buildStateMessage(facts)["observing"].toBool());
}

TEST(StateMessage, TheEnginesOwnLayerIsReportedWhileConfigured)
{
    StateFacts facts;
    facts.layer = {"Base", 4};
    facts.liveLayer = LayerInForce{"Layer 3", 9};
    EXPECT_EQ(buildStateMessage(facts)["layerName"].toString(), "Base");
    facts.configured = true;
    const QJsonObject state = buildStateMessage(facts);
    EXPECT_EQ(state["layerName"].toString(), "Layer 3");
    EXPECT_EQ(state["ruleCount"].toInt(), 9);
}

TEST(StateMessage, CountersAreNumbersAndForegroundFieldsDefault)
{
    StateFacts facts;
    facts.status.inputEvents = (std::uint64_t(1) << 40) + 3;
    facts.status.p50Ns = 1500;
    facts.status.stopReason = 2;
    facts.watchdogPid = 4242;
    facts.watchdogPowerPolicyError = 87;
    facts.foreground = QJsonObject{{"executable", "C:\\a.exe"}, {"elevated", true}};
    const QJsonObject state = buildStateMessage(facts);
    const QJsonObject d = state["diagnostics"].toObject();
    EXPECT_TRUE(d["inputEvents"].isDouble());
    EXPECT_EQ(d["inputEvents"].toDouble(), double((std::uint64_t(1) << 40) + 3));
    EXPECT_DOUBLE_EQ(d["p50us"].toDouble(), 1.5);
    EXPECT_EQ(d["stopReason"].toInt(), 2);
    EXPECT_EQ(d["watchdogPowerPolicyError"].toInt(), 87);
    EXPECT_EQ(state["watchdogPid"].toInt(), 4242);
    EXPECT_EQ(state["agentVersion"].toInt(), 10);
    EXPECT_EQ(state["foregroundExecutable"].toString(), "C:\\a.exe");
    EXPECT_TRUE(state["foregroundElevated"].toBool());
    EXPECT_FALSE(state["agentElevated"].toBool());
    EXPECT_EQ(state["foregroundIntegrityError"].toInt(-1), 0);
    EXPECT_EQ(state.size(), 24);
    EXPECT_EQ(d.size(), 24);
}
