// The limits and generation rules of the tick.
#include "agent/tick_rules.h"
#include "agent/line_framing.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace vorna::ipc;

TEST(TickRules, TrialAndAcknowledgementLimits)
{
    EXPECT_FALSE(trialExpired(14999));
    EXPECT_TRUE(trialExpired(15000));
    EXPECT_TRUE(confirmKeepsMapping(0, true, 14999));
    EXPECT_FALSE(confirmKeepsMapping(0, true, 15000));
    EXPECT_FALSE(confirmKeepsMapping(3, true, 10)); // not yet in force
    EXPECT_FALSE(confirmKeepsMapping(0, false, 10)); // no trial
    EXPECT_FALSE(acknowledgementOverdue(1999));
    EXPECT_TRUE(acknowledgementOverdue(2000));
}

TEST(TickRules, AStopReasonCountsOnlyForTheRulesInForce)
{
    using vorna::windows::BackendStatus;
    const auto status = [](std::uint64_t applied, std::uint8_t stopReason, bool active) {
        BackendStatus s;
        s.running = true;
        s.appliedGeneration = applied;
        s.stopReason = stopReason;
        s.active = active;
        return s;
    };
    const struct {
        const char* name;
        GenerationFacts facts;
        bool acknowledged, drop, engineStopped, overdue;
    } cases[] = {
        // A panic chord stopped generation 4; "configure" handed over 5, not yet taken.
        {"an old stop while a new generation is pending", {true, false, 5, true, 100, status(4, 2, false)},
         false, false, false, false},
        {"the new generation taken", {true, false, 5, true, 120, status(5, 0, true)}, true, false, false, false},
        {"a stop of the rules in force", {true, false, 0, false, 0, status(5, 2, false)}, false, true, false, false},
        {"an applied mapping stopped", {false, true, 0, false, 0, status(5, 6, false)}, false, false, true, false},
        {"acknowledged and stopped in one look", {true, false, 5, true, 100, status(5, 3, false)}, true, true, false, false},
        {"pending 1,999 ms", {true, false, 5, true, 1999, status(4, 0, true)}, false, false, false, false},
        {"pending 2,000 ms", {true, false, 5, true, 2000, status(4, 0, true)}, false, false, false, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const GenerationVerdict v = judgeGeneration(c.facts);
        EXPECT_EQ(v.acknowledged, c.acknowledged);
        EXPECT_EQ(v.dropConfiguration, c.drop);
        EXPECT_EQ(v.engineStopped, c.engineStopped);
        EXPECT_EQ(v.overdue, c.overdue);
    }
}

TEST(TickRules, SeventyEventsGoOutAs32And32And6)
{
    const auto event = [](std::size_t i) { return QJsonObject{{"sequence", QString::number(i)}}; };
    const std::vector<QByteArray> lines =
        traceLines(70, [&](QByteArray& line, std::size_t i) { line += QJsonDocument(event(i)).toJson(QJsonDocument::Compact); });
    ASSERT_EQ(lines.size(), 3u);
    const std::size_t sizes[] = {32, 32, 6};
    std::size_t next = 0;
    for (std::size_t l = 0; l < 3; ++l) {
        QJsonArray events;
        for (std::size_t i = 0; i < sizes[l]; ++i)
            events.append(event(next++));
        EXPECT_EQ(lines[l], encodeLine(QJsonObject{{"type", "trace"}, {"events", events}})) << "line " << l;
    }
    EXPECT_TRUE(traceLines(0, [](QByteArray&, std::size_t) {}).empty());
}
