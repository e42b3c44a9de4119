// Macro recording end to end: the settings controller linked to a real agent on a simulated
// session, physical input typed into the session while it records, the limit on the session's
// test clock, and the agent killed in the middle of a recording.

#include "tests/support/agent_harness.h"
#include "tests/support/settings_fixture.h"

#include "tests/editor/editor_fixture.h"

#include <QJsonArray>
#include <QSettings>

#include <csignal>

namespace {

using vorna::test::spinUntil;

class RecordingProcess : public testing::Test {
protected:
    RecordingProcess()
    {
        vorna::test::guiApplication();
        vorna::test::adoptOrphans();
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_folder.path());
    }

    // A controller on the session's clock, linked to a freshly started agent, recording.
    void startRecording()
    {
        ASSERT_TRUE(m_harness.startAgent()) << m_harness.agentErrors();
        ControllerSeams seams = ControllerSeams::system();
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };
        seams.monotonicMs = [this] { return qint64(m_harness.sessionNowMs()); };
        m_controller = std::make_unique<AppController>(nullptr, false, seams);
        m_controller->connectAgent();
        ASSERT_TRUE(spinUntil([&] { return m_controller->engineCompatible(); }));
        m_controller->startRecording();
        ASSERT_TRUE(m_controller->recording());
        ASSERT_TRUE(spinUntil([&] { return m_controller->observing(); })) << m_controller->status().toStdString();
        // Past the first moments of a recording, in which nothing is recorded.
        m_harness.advanceClockTo(m_harness.sessionNowMs() + 400);
    }

    QJsonArray steps() const { return vorna::test::workingSteps(*m_controller); }

    // The steps other than waits, as "type input".
    QStringList actions() const
    {
        QStringList result;
        for (const QJsonValue& step : steps()) {
            if (step["type"].toString() != "wait")
                result.append(step["type"].toString() + ' ' + step["input"].toString());
        }
        return result;
    }

    bool waitForActions(qsizetype count)
    {
        return spinUntil([&] { return actions().size() >= count; });
    }

    QTemporaryDir m_folder;
    vorna::test::ScopedEnv m_testData{"VORNA_TEST_DATA", m_folder.filePath(QStringLiteral("data")).toUtf8()};
    vorna::test::AgentHarness m_harness;
    std::unique_ptr<AppController> m_controller;
};

TEST_F(RecordingProcess, PhysicalKeysAndAWheelTurnBecomeBalancedSteps)
{
    ASSERT_NO_FATAL_FAILURE(startRecording());
    vorna::sim::Driver& driver = m_harness.driver();
    ASSERT_TRUE(driver.keyUp('C')); // let go before the recording saw it pressed: dropped
    ASSERT_TRUE(driver.keyDown('A'));
    m_harness.advanceClockTo(m_harness.sessionNowMs() + 100);
    ASSERT_TRUE(driver.keyUp('A'));
    ASSERT_TRUE(driver.wheel(120));
    ASSERT_TRUE(driver.keyDown('B')); // still held when the recording ends
    ASSERT_TRUE(waitForActions(5)) << QJsonDocument(steps()).toJson().toStdString(); // with the stray release
    m_controller->stopRecording();

    EXPECT_FALSE(m_controller->recording());
    // The stray release is gone and the key still held is released at the end.
    EXPECT_EQ(actions(), (QStringList{"down key_65", "up key_65", "tap wheel_up", "down key_66", "up key_66"}));
    const QJsonArray recorded = steps();
    qsizetype pressed = 0;
    while (pressed < recorded.size() && recorded.at(pressed)["type"].toString() != "down")
        ++pressed;
    ASSERT_LT(pressed + 2, recorded.size());
    // The 100 ms the session clock moved between press and release.
    EXPECT_EQ(recorded.at(pressed + 1)["type"].toString(), "wait");
    EXPECT_GE(recorded.at(pressed + 1)["ms"].toInt(), 100);
    EXPECT_EQ(recorded.last().toObject(), (QJsonObject{{"type", "up"}, {"input", "key_66"}, {"ms", 0}}));
    // Observation is withdrawn: the agent reports it off.
    ASSERT_TRUE(spinUntil([&] { return !m_controller->observing(); }));
    ASSERT_TRUE(driver.keyUp('B'));
}

TEST_F(RecordingProcess, TheLimitOnTheSessionClockEndsTheRecording)
{
    ASSERT_NO_FATAL_FAILURE(startRecording());
    ASSERT_TRUE(m_harness.driver().keyDown('A'));
    ASSERT_TRUE(waitForActions(1));
    QMetaObject::invokeMethod(m_controller.get(), "onRecordingTimeout"); // too early: still recording
    EXPECT_TRUE(m_controller->recording());
    m_harness.advanceClockTo(m_harness.sessionNowMs() + 30000);
    QMetaObject::invokeMethod(m_controller.get(), "onRecordingTimeout");
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(actions(), (QStringList{"down key_65", "up key_65"}));
    ASSERT_TRUE(spinUntil([&] { return !m_controller->observing(); }));
    ASSERT_TRUE(m_harness.driver().keyUp('A'));
}

TEST_F(RecordingProcess, TheAgentKilledMidRecordingEndsItCleanly)
{
    ASSERT_NO_FATAL_FAILURE(startRecording());
    ASSERT_TRUE(m_harness.driver().keyDown('A'));
    ASSERT_TRUE(waitForActions(1));
    m_harness.agent().signal(SIGKILL);
    ASSERT_TRUE(spinUntil([&] { return !m_controller->recording(); }));
    EXPECT_FALSE(m_controller->connected());
    EXPECT_FALSE(m_controller->observing());
    EXPECT_EQ(actions(), (QStringList{"down key_65", "up key_65"}));
    ASSERT_TRUE(m_harness.driver().keyUp('A'));
}

} // namespace
