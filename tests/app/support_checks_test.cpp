// The health checks judged from the link and the agent's diagnostics: a failure anywhere before
// a check makes it false, a missing reading proves nothing, and the watchdog counts only when
// its process id is a real one that still runs.

#include "app/support_checks.h"

#include <gtest/gtest.h>

namespace {

constexpr quint32 kRunningWatchdog = 4242;

bool running(quint32 id)
{
    return id == kRunningWatchdog;
}

QVariantMap healthy()
{
    return {{"engineErrorPresent", false}, {"watchdogPid", double(kRunningWatchdog)}, {"hookRecoveryError", 0},
        {"contextAvailable", true}, {"foregroundIntegrityError", 0}, {"foregroundElevated", false}, {"win32Error", 0}};
}

struct ChecksCase {
    const char* name;
    app::AgentLinkFacts link;
    QVariantMap changes;      // put into the healthy diagnostics
    QStringList removed;      // taken out of them
    QStringList trueChecks;   // every other check is false
};

class SupportChecks : public testing::TestWithParam<ChecksCase> {};

TEST_P(SupportChecks, FollowTheLinkAndTheDiagnostics)
{
    const ChecksCase& c = GetParam();
    QVariantMap diagnostics = healthy();
    for (auto it = c.changes.begin(); it != c.changes.end(); ++it)
        diagnostics.insert(it.key(), it.value());
    for (const QString& key : c.removed)
        diagnostics.remove(key);
    const QVariantMap checks = app::supportChecks(c.link, diagnostics, running);
    const QStringList all{"engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending", "allGood"};
    EXPECT_EQ(checks.keys().size(), all.size());
    for (const QString& key : all)
        EXPECT_EQ(checks.value(key).toBool(), c.trueChecks.contains(key)) << key.toStdString();
}

const app::AgentLinkFacts kWorking{true, true, false};
const QStringList kEverything{"engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending", "allGood"};

INSTANTIATE_TEST_SUITE_P(Table, SupportChecks,
    testing::Values(ChecksCase{"allWell", kWorking, {}, {}, kEverything},
        ChecksCase{"observingOnly", {true, false, true}, {}, {}, kEverything},
        ChecksCase{"linkDown", {false, true, true}, {}, {}, {}},
        ChecksCase{"engineError", kWorking, {{"engineErrorPresent", true}}, {}, {}},
        ChecksCase{"paused", {true, false, false}, {}, {},
            {"engine", "watchdog", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"noHookReading", kWorking, {}, {"hookRecoveryError"},
            {"engine", "watchdog", "captureRunning", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"hookError", kWorking, {{"hookRecoveryError", 1450}}, {},
            {"engine", "watchdog", "captureRunning", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"integrityReadingAbsent", kWorking, {}, {"foregroundIntegrityError"}, kEverything},
        ChecksCase{"integrityError", kWorking, {{"foregroundIntegrityError", 5}}, {},
            {"engine", "watchdog", "captureRunning", "hooks", "sending"}},
        ChecksCase{"noContext", kWorking, {{"contextAvailable", false}}, {},
            {"engine", "watchdog", "captureRunning", "hooks", "sending"}},
        ChecksCase{"administratorWindow", kWorking, {{"foregroundElevated", true}}, {},
            {"engine", "watchdog", "captureRunning", "hooks", "windowKnown", "sending"}},
        ChecksCase{"noSendReading", kWorking, {}, {"win32Error"},
            {"engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow"}},
        ChecksCase{"sendError", kWorking, {{"win32Error", 5}}, {},
            {"engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow"}},
        ChecksCase{"watchdogEnded", kWorking, {{"watchdogPid", 4243.0}}, {},
            {"engine", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"watchdogZero", kWorking, {{"watchdogPid", 0.0}}, {},
            {"engine", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"watchdogBeyondThirtyTwoBits", kWorking, {{"watchdogPid", 4294967296.0 + kRunningWatchdog}}, {},
            {"engine", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"watchdogNotANumber", kWorking, {{"watchdogPid", "abc"}}, {},
            {"engine", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"}},
        ChecksCase{"watchdogFraction", kWorking, {{"watchdogPid", kRunningWatchdog + 0.5}}, {},
            {"engine", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"}}),
    [](const testing::TestParamInfo<ChecksCase>& info) { return std::string(info.param.name); });

TEST(SupportChecksProbe, TheWatchdogProbeIsAskedOnlyForAUsableId)
{
    int asked = 0;
    const auto probe = [&](quint32) { return ++asked, true; };
    QVariantMap diagnostics = healthy();
    diagnostics.insert("watchdogPid", -1.0);
    app::supportChecks(kWorking, diagnostics, probe);
    app::supportChecks({false, true, true}, healthy(), probe);
    EXPECT_EQ(asked, 0);
    app::supportChecks(kWorking, healthy(), probe);
    EXPECT_EQ(asked, 1);
}

} // namespace
