// Macro recording through the controller against a fake agent on a stepped clock: what is sent
// when it starts and ends, the steps it leaves, the 30-second limit and the agent going away.

#include "tests/support/settings_fixture.h"

#include "tests/editor/editor_fixture.h"

#include <QJsonArray>
#include <QSignalSpy>

namespace {

using vorna::test::FakeAgent;
using vorna::test::spinUntil;
using vorna::test::step;

QJsonObject trace(const QJsonArray& events)
{
    return {{"type", "trace"}, {"events", events}};
}

QJsonObject physical(const char* id, int phase, double timestampMs, int delta = 0)
{
    return {{"kind", 0}, {"id", id}, {"phase", phase}, {"origin", 0}, {"timestampMs", timestampMs}, {"delta", delta},
        {"x", 0}, {"y", 0}};
}

QJsonObject movement(int dx, int dy, double timestampMs)
{
    return {{"kind", 3}, {"origin", 0}, {"delta", dx}, {"dy", dy}, {"timestampMs", timestampMs}};
}

class ControllerRecording : public vorna::test::SettingsSandbox {
protected:
    ControllerRecording()
    {
        ControllerSeams seams = ControllerSeams::system();
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };
        seams.monotonicMs = [this] { return m_now; };
        seams.probe = std::make_shared<PlatformProbe>();
        m_controller = std::make_unique<AppController>(nullptr, false, seams);
        m_controller->setLanguage("en");
    }

    void connectAgent(int version = 10)
    {
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
        m_agent.sendState({{"agentVersion", version}, {"active", true}});
        ASSERT_TRUE(spinUntil([&] { return m_controller->connected() && m_controller->active(); }));
    }

    QList<bool> observeRequests() const
    {
        QList<bool> flags;
        for (const QJsonObject& request : m_agent.requests("observe"))
            flags.append(request["enabled"].toBool());
        return flags;
    }

    QJsonArray steps() const { return vorna::test::workingSteps(*m_controller); }

    // Starts a recording and lets it settle past the moment in which nothing is recorded.
    void startSettled()
    {
        m_controller->startRecording();
        ASSERT_TRUE(m_controller->recording());
        m_now += 400;
    }

    qint64 m_now = 100000;
    FakeAgent m_agent;
    std::unique_ptr<AppController> m_controller;
};

TEST_F(ControllerRecording, StartPausesAndObservesAndStopWithdrawsObservation)
{
    connectAgent();
    m_controller->addMacroStep("tap", "key_70", 10);
    m_controller->setProperty("macroName", "kept");
    startSettled();
    EXPECT_TRUE(steps().isEmpty());
    EXPECT_EQ(m_controller->macroName(), "kept");
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(m_agent.requests("panic").size(), 1);
    EXPECT_EQ(observeRequests(), QList<bool>{true});

    m_controller->handleTrace(trace({physical("key_16", 0, 1000), physical("key_65", 0, 1050), physical("key_65", 1, 1100)}));
    m_now += 1000;
    EXPECT_EQ(m_controller->recordingSeconds(), 1);
    m_controller->stopRecording();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(m_controller->recordingSeconds(), 0);
    EXPECT_EQ(steps(), (QJsonArray{step("down", "key_16"), step("wait", "", 50), step("down", "key_65"), step("wait", "", 50),
                           step("up", "key_65"), step("up", "key_16")}));
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(observeRequests(), (QList<bool>{true, false}));
    // Stopping twice does nothing more.
    m_controller->stopRecording();
    EXPECT_EQ(steps().size(), 6);
}

TEST_F(ControllerRecording, MovementBecomesOneStepBeforeTheNextPress)
{
    m_controller->setProperty("recordMovement", true);
    startSettled();
    m_controller->handleTrace(trace({movement(5, 0, 1000), movement(7, -2, 1050), physical("key_65", 0, 1080)}));
    m_controller->stopRecording();
    EXPECT_EQ(steps(), (QJsonArray{step("move", "12,-2"), step("wait", "", 30), step("down", "key_65"), step("up", "key_65")}));
}

TEST_F(ControllerRecording, TheThirtySecondLimitEndsOnlyARecordingThatOld)
{
    startSettled();
    m_controller->handleTrace(trace({physical("key_65", 0, 1000)}));
    m_now += 29000; // 29.4 s after the start
    QMetaObject::invokeMethod(m_controller.get(), "onRecordingTimeout");
    EXPECT_TRUE(m_controller->recording());
    m_now += 600;
    QMetaObject::invokeMethod(m_controller.get(), "onRecordingTimeout");
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(steps(), (QJsonArray{step("down", "key_65"), step("up", "key_65")}));
}

TEST_F(ControllerRecording, StartingAgainEndsTheRunningRecordingAndAnOldTimerLeavesTheNewOne)
{
    startSettled();
    m_controller->handleTrace(trace({physical("key_65", 0, 1000)}));
    m_now += 20000;
    startSettled();
    EXPECT_TRUE(steps().isEmpty());
    m_now += 10000; // the first recording's limit
    QMetaObject::invokeMethod(m_controller.get(), "onRecordingTimeout");
    EXPECT_TRUE(m_controller->recording());
}

TEST_F(ControllerRecording, TheAgentGoingAwayEndsTheRecording)
{
    connectAgent();
    startSettled();
    m_controller->handleTrace(trace({physical("key_65", 0, 1000)}));
    m_agent.dropClient();
    ASSERT_TRUE(spinUntil([&] { return !m_controller->connected(); }));
    EXPECT_FALSE(m_controller->recording());
    EXPECT_FALSE(m_controller->observing());
    EXPECT_EQ(steps(), (QJsonArray{step("down", "key_65"), step("up", "key_65")}));
}

TEST_F(ControllerRecording, RefusalsLeaveEverythingAsItWas)
{
    m_controller->addMacroStep("tap", "key_70", 10);
    for (const char* flag : {"recordKeyboard", "recordMouse", "recordWheel", "recordMovement"})
        m_controller->setProperty(flag, false);
    m_controller->startRecording();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(m_controller->notice(), "Choose at least one input type.");
    EXPECT_EQ(steps().size(), 1);

    m_controller->setProperty("recordKeyboard", true);
    connectAgent(9);
    m_controller->startRecording();
    EXPECT_FALSE(m_controller->recording());
    EXPECT_EQ(m_controller->notice(), "An older engine is running. Click Disable and quit, then open this new version again.");
    m_agent.syncWith(*m_controller);
    EXPECT_TRUE(m_agent.requests("panic").isEmpty());
}

TEST_F(ControllerRecording, OpeningOrSavingAMacroEndsTheRecordingFirst)
{
    startSettled();
    m_controller->handleTrace(trace({physical("key_65", 0, 1000)}));
    m_controller->saveMacro();
    EXPECT_FALSE(m_controller->recording());
    ASSERT_EQ(m_controller->library()["macros"].toArray().size(), 1);
    EXPECT_EQ(m_controller->library()["macros"][0]["steps"].toArray().size(), 2); // balanced before saving
    startSettled();
    m_controller->editMacro(-1);
    EXPECT_FALSE(m_controller->recording());
}

} // namespace
