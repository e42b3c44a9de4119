// Macro recording end to end: the settings controller linked to a real agent on a simulated
// session, physical input typed into the session while it records, the limit on the session's
// test clock, and the agent killed in the middle of a recording.

#include "tests/support/agent_harness.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include "app/settings_window.h"
#include "platform/sim/session/desktop_client.h"

#include "tests/editor/editor_fixture.h"

#include <QClipboard>
#include <QJsonArray>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickItem>
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

// The preview in the real window next to a live agent: it plays text, a paste action, shortcuts
// and external actions, and the session sees no input, no clipboard change and no shell call.
TEST_F(RecordingProcess, APreviewLeavesTheSessionUntouched)
{
    ASSERT_TRUE(m_harness.startAgent()) << m_harness.agentErrors();
    vorna::sim::DesktopClient desktop = m_harness.driver().desktop();
    ASSERT_EQ(desktop.writeClipboardText(L"session text"), 0u);
    const DWORD clipboardBefore = desktop.clipboard().sequence;
    m_harness.driver().takeSink();
    desktop.shellLog(true);

    qInstallMessageHandler(vorna::test::failOnQtWarnings);
    ControllerSeams seams = ControllerSeams::system();
    seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };
    m_controller = std::make_unique<AppController>(nullptr, false, seams);
    m_controller->connectAgent();
    ASSERT_TRUE(spinUntil([&] { return m_controller->engineCompatible(); }));
    QJsonObject library = m_controller->library();
    library["actions"] = QJsonArray{
        QJsonObject{{"type", "text"}, {"name", "Paste"}, {"value", "pasted"}, {"clipboard", true}},
        QJsonObject{{"type", "website"}, {"name", "Site"}, {"value", "https://example.org/"}}};
    ASSERT_TRUE(m_controller->commitLibrary(library, false)) << m_controller->notice().toStdString();
    m_controller->editMacro(-1);
    for (const auto& [type, input] : std::initializer_list<std::pair<const char*, const char*>>{{"tap", "key_72"},
             {"command", "action:1"}, {"chord", "chord:key_162+key_65"}, {"chord", "chord:key_162+key_67"},
             {"tap", "key_35"}, {"chord", "chord:key_162+key_86"}, {"command", "action:2"}, {"tap", "mouse_left"},
             {"wheel", "wheel_up"}, {"down", "key_91"}, {"tap", "key_76"}, {"up", "key_91"}})
        m_controller->addMacroStep(type, input, 1);
    QGuiApplication::clipboard()->setText(QStringLiteral("desktop text"));

    {
        QQmlApplicationEngine engine;
        app::setBrandingProperty(engine);
        engine.rootContext()->setContextProperty(QStringLiteral("controller"), m_controller.get());
        QQuickWindow* window = nullptr;
        app::loadMainWindow(engine, QUrl(QString::fromLatin1(app::kMainQml)), window);
        ASSERT_NE(window, nullptr);
        window->setProperty("page", 3);
        QCoreApplication::processEvents();
        auto* field = window->findChild<QQuickItem*>(QStringLiteral("macroTestField"));
        auto* button = window->findChild<QQuickItem*>(QStringLiteral("macroPreviewAction"));
        auto* result = window->findChild<QQuickItem*>(QStringLiteral("macroPreviewResult"));
        ASSERT_TRUE(field && button && result);
        QMetaObject::invokeMethod(button, "clicked");
        ASSERT_TRUE(spinUntil([&] { return result->property("text").toString() == QStringLiteral("Локальная проверка завершена"); }))
            << result->property("text").toString().toStdString();
        EXPECT_EQ(field->property("text").toString(), QStringLiteral("hpastedhpasted"));
    }
    qInstallMessageHandler(nullptr);

    EXPECT_TRUE(m_harness.driver().takeSink().empty());
    EXPECT_EQ(desktop.clipboard().sequence, clipboardBefore);
    EXPECT_TRUE(desktop.shellLog().empty());
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("desktop text"));
}

} // namespace
