// The real chain: the agent on a simulated session, the settings window offscreen and observing.
// A key typed in the session shows in the live panel with its output and its rule; an output
// the session refuses shows as failed, also after the key is let go; a shortcut recorded through
// the agent is shown and taken as the rule's output; with the agent gone, capture says why.

#include "tests/support/agent_harness.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include "tests/core/library_fixture.h"
#include "platform/win32.h"

#include <QColor>
#include <QSettings>

#include <unistd.h>

namespace {

using vorna::test::spinUntil;

class LiveInputProcess : public testing::Test {
protected:
    LiveInputProcess()
    {
        vorna::test::guiApplication();
        vorna::test::adoptOrphans();
        started = m_harness.startAgent();
        // The window takes the agent's test instance, so that it finds the agent's pipe.
        const std::string instance = m_harness.environment().at("VORNA_TEST_INSTANCE");
        ControllerSeams seams;
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return false; };
        shell = std::make_unique<vorna::test::SettingsShell>(seams, false,
            [&] { qputenv("VORNA_TEST_INSTANCE", QByteArray::fromStdString(instance)); });
    }

    ~LiveInputProcess() override { shell.reset(); }

    AppController& controller() { return shell->controller(); }
    QString text(const char* name) const
    {
        QObject* item = shell->find(QLatin1String(name));
        return item != nullptr ? item->property("text").toString() : QStringLiteral("<missing>");
    }
    QString describe(const char* id) { return controller().describeInput(QLatin1String(id)); }

    // Connected, a remap of A to Escape applied, and the diagnostics page observing.
    void connectAndApply()
    {
        ASSERT_TRUE(started) << m_harness.agentErrors();
        controller().connectAgent();
        ASSERT_TRUE(spinUntil([&] { return controller().engineCompatible(); }));
        QJsonObject remap = vorna::test::rule("key_65", "key_27");
        remap.insert("name", "A to Escape");
        ASSERT_TRUE(controller().commitLibrary(
            vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0, {remap}), false));
        controller().applyProfile();
        ASSERT_TRUE(spinUntil([&] { return controller().armed() && controller().active() && !controller().applying(); }))
            << controller().status().toStdString();
        controller().setLanguage(QStringLiteral("en"));
        shell->window()->setProperty("page", 4);
        ASSERT_TRUE(spinUntil([&] { return controller().observing(); })) << controller().status().toStdString();
    }

    vorna::test::AgentHarness m_harness; // also gives this process the agent's environment
    bool started = false;
    std::unique_ptr<vorna::test::SettingsShell> shell;
};

TEST_F(LiveInputProcess, APressShowsItsOutputAndRuleAndAFailureStaysFailed)
{
    connectAndApply();
    const QString pressed = describe("key_65") + QStringLiteral(" · pressed");
    const QString sent = describe("key_27") + QStringLiteral(" · Sent to Windows");
    m_harness.driver().keyDown('A'); // swallowed: the rule sends Escape instead
    ASSERT_TRUE(spinUntil([&] { return text("livePhysicalText") == pressed && text("liveResultText") == sent; }))
        << text("livePhysicalText").toStdString() << " → " << text("liveResultText").toStdString();
    shell->click(shell->find<QQuickItem>(QStringLiteral("liveWhyAction")));
    EXPECT_EQ(text("whySourceResult"), pressed + QStringLiteral("\n→ ") + sent);
    EXPECT_EQ(text("whyRuleName"), QStringLiteral("A to Escape"));
    EXPECT_EQ(text("whyApplied"), QStringLiteral("Applied: ") + describe("key_65") + " → " + describe("key_27"));
    QMetaObject::invokeMethod(shell->find(QStringLiteral("whyPopup")), "close");
    // The release's own record comes first, its output's release may follow in a later message.
    m_harness.driver().keyUp('A');
    EXPECT_TRUE(spinUntil([&] {
        return text("livePhysicalText") == describe("key_65") + QStringLiteral(" · released") && text("liveResultText") == sent;
    })) << text("livePhysicalText").toStdString() << " → " << text("liveResultText").toStdString();

    // The session refuses every send from now on: the remapped press fails, and its release
    // does not turn the failure into a success.
    m_harness.session().setFailure(vorna::sim::FailPoint::SendInput, {ERROR_ACCESS_DENIED, -1, 0});
    const QString failed = QStringLiteral("Failed / partially sent: ") + describe("key_27");
    m_harness.driver().keyDown('A'); // swallowed: the rule sends Escape instead
    ASSERT_TRUE(spinUntil([&] { return text("liveResultText") == failed; })) << text("liveResultText").toStdString();
    m_harness.driver().keyUp('A');
    ASSERT_TRUE(spinUntil([&] { return text("livePhysicalText") == describe("key_65") + QStringLiteral(" · released"); }));
    shell->settle();
    EXPECT_EQ(text("liveResultText"), failed);
    EXPECT_EQ(shell->find(QStringLiteral("liveResultText"))->property("color").value<QColor>(),
        shell->window()->property("danger").value<QColor>());
    m_harness.session().setFailure(vorna::sim::FailPoint::SendInput, {});
    shell->saveScreenshotsInBothLanguages(QStringLiteral("live-panel-real-agent-failed"));
}

TEST_F(LiveInputProcess, ShortcutCapturedThroughTheAgentAndRefusedWhenTheAgentIsGone)
{
    connectAndApply();
    vorna::sim::WindowRecord window;
    window.processId = DWORD(::getpid());
    window.visible = true;
    window.simulated = true;
    window.title = L"Settings";
    window.className = L"TestWindow";
    const HWND own = m_harness.session().addWindow(window);
    m_harness.session().setForeground(own);
    controller().setSettingsWindow(quintptr(own));

    QObject* recorder = shell->window()->property("shortcutRecorderObject").value<QObject*>();
    QMetaObject::invokeMethod(recorder, "open");
    shell->settle();
    shell->click(shell->find<QQuickItem>(QStringLiteral("startOutputCapture")));
    ASSERT_TRUE(spinUntil([&] { return text("outputCaptureMessage") == QStringLiteral("Press and release the shortcut · Esc cancels"); }))
        << text("outputCaptureMessage").toStdString();
    EXPECT_EQ(text("startOutputCapture"), QStringLiteral("Cancel capture"));
    // The capture swallows the keys: none reaches the system.
    for (const UINT key : {UINT(VK_LCONTROL), UINT(VK_LSHIFT), UINT('A')})
        EXPECT_FALSE(m_harness.driver().keyDown(key));
    for (const UINT key : {UINT('A'), UINT(VK_LSHIFT), UINT(VK_LCONTROL)})
        EXPECT_FALSE(m_harness.driver().keyUp(key));
    ASSERT_TRUE(spinUntil([&] { return controller().outputCapture().value("ready").toBool(); }))
        << text("outputCaptureMessage").toStdString();
    EXPECT_EQ(text("outputCaptureLabel"),
        describe("key_162") + QStringLiteral(" + ") + describe("key_160") + QStringLiteral(" + ") + describe("key_65"));
    EXPECT_EQ(text("outputCaptureMessage"), QStringLiteral("Recorded. Choose it to use in the rule"));
    shell->saveScreenshotsInBothLanguages(QStringLiteral("shortcut-recorder-recorded"));
    shell->click(shell->find<QQuickItem>(QStringLiteral("shortcutRecorderChoose")));
    EXPECT_EQ(controller().targetId(), QStringLiteral("chord:key_162+key_160+key_65"));
    EXPECT_FALSE(recorder->property("visible").toBool());

    // The agent goes away: a capture now says what is missing, and so does a press capture.
    ASSERT_TRUE(m_harness.connectGreeted()->request({{"command", "shutdown"}, {"version", 1}}));
    ASSERT_TRUE(m_harness.agent().wait(std::chrono::seconds(20)));
    ASSERT_TRUE(spinUntil([&] { return !controller().connected(); }));
    QMetaObject::invokeMethod(recorder, "open");
    shell->settle();
    EXPECT_EQ(text("outputCaptureMessage"), QStringLiteral("Engine not connected."));
    EXPECT_FALSE(shell->find(QStringLiteral("startOutputCapture"))->property("enabled").toBool());
    controller().beginOutputCapture();
    shell->settle();
    EXPECT_EQ(controller().outputCapture(), (QVariantMap{{"active", false}, {"message", QStringLiteral("Engine not connected.")}}));
    EXPECT_EQ(text("outputCaptureMessage"), QStringLiteral("Engine not connected."));
    controller().setCaptureMode(true);
    EXPECT_FALSE(controller().captureMode());
    EXPECT_EQ(controller().notice(), QStringLiteral("Engine not connected."));
}

} // namespace
