// vornactl against a real agent on a shared simulated session: panic lets go of what a mapping
// holds, and shutdown-all ends the agent and its watchdog with nothing left down.
#include "core/library_document.h"
#include "tests/core/library_fixture.h"
#include "tests/support/agent_harness.h"
#include "tests/support/built_programs.h"

#include <QJsonArray>
#include <QProcess>

#include <gtest/gtest.h>

#include <csignal>
#include <thread>

using namespace std::chrono_literals;

namespace {

using vorna::test::AgentHarness;
using vorna::test::keysReached;

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
};

ToolRun runControlTool(const AgentHarness& harness, const QString& command)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const auto& [name, value] : harness.environment())
        env.insert(QString::fromStdString(name), QString::fromStdString(value));
    process.setProcessEnvironment(env);
    process.start(QString::fromStdString(vorna::test::vornactlProgram()), {command});
    ToolRun run;
    if (process.waitForFinished(15000) && process.exitStatus() == QProcess::NormalExit)
        run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    return run;
}

class ControlToolWithAgent : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
        client = harness.connectGreeted(&greeting);
        ASSERT_TRUE(client);
        const QJsonObject library = vorna::test::edited(vorna::core::defaultLibrary(),
                                                        {"profiles", 0, "layers", 0, "rules"},
                                                        QJsonArray{vorna::test::rule("key_65", "key_66")});
        const QJsonObject configured = client->askUntil(
            {{"command", "configure"}, {"version", 1}, {"library", library}},
            [](const QJsonObject& s) { return s["active"].toBool() && !s["pending"].toBool(true); });
        ASSERT_TRUE(configured["active"].toBool());
        harness.driver().takeSink();
        // A is held: its mapping holds B down in the system.
        harness.driver().keyDown('A'); // swallowed by the mapping, so it does not reach the system
        ASSERT_EQ(keysReached(harness.driver(), 1), std::vector<std::string>{"+key_66/i"});
    }

    AgentHarness harness;
    QJsonObject greeting;
    std::unique_ptr<vorna::test::RawClient> client;
};

TEST_F(ControlToolWithAgent, PanicLetsGoOfTheKeyAHeldRemappedKeyHoldsDown)
{
    const ToolRun run = runControlTool(harness, QStringLiteral("panic"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.startsWith("{") && run.out.endsWith("}\n")) << run.out.toStdString();
    EXPECT_EQ(keysReached(harness.driver(), 1), std::vector<std::string>{"-key_66/i"});
    EXPECT_FALSE(harness.driver().isDown('B'));
}

TEST_F(ControlToolWithAgent, ShutdownAllEndsTheAgentAndItsWatchdogWithNothingLeftDown)
{
    const pid_t watchdog = pid_t(greeting["watchdogPid"].toInt());
    ASSERT_GT(watchdog, 0);
    const ToolRun run = runControlTool(harness, QStringLiteral("shutdown-all"));
    EXPECT_EQ(run.exitCode, 0);
    EXPECT_TRUE(run.out.endsWith("}\n")) << run.out.toStdString();

    const std::optional<vorna::test::ProcessEnd> end = harness.agent().wait(10s);
    ASSERT_TRUE(end.has_value());
    EXPECT_EQ(end->exitCode, 0);
    // The agent collects its watchdog before it ends; nothing of it may stay behind.
    EXPECT_NE(::kill(watchdog, 0), 0);
    EXPECT_FALSE(harness.driver().isDown('B'));
    EXPECT_EQ(keysReached(harness.driver(), 1), std::vector<std::string>{"-key_66/i"});
}

} // namespace
