// The controller's side of live input: trace messages into the live view with one change
// signal per event-loop pass, the last-input text, the macro recording feed, press capture and
// the agent's shortcut capture round trip, all on a stepped clock.

#include "tests/support/settings_fixture.h"

#include <QJsonArray>
#include <QSignalSpy>

namespace {

using vorna::test::FakeAgent;
using vorna::test::spinUntil;

// A window 1.5 times the base DPI whose client area starts at (100, 200) on the screen.
class OffsetProbe : public PlatformProbe {
public:
    double windowDpi(quintptr) const override { return 144.0; }
    bool clientToScreen(quintptr window, QPoint& point) const override
    {
        if (window != 1)
            return false;
        point += QPoint(100, 200);
        return true;
    }
};

QJsonObject physical(const QString& id, int phase, double timestampMs = 0, int delta = 0, int origin = 0)
{
    return {{"kind", 0}, {"id", id}, {"phase", phase}, {"origin", origin}, {"execution", "0"},
        {"timestampMs", timestampMs}, {"delta", delta}, {"x", 0}, {"y", 0}};
}

QJsonObject trace(const QJsonArray& events)
{
    return {{"type", "trace"}, {"events", events}};
}

QJsonObject input(const QString& id, bool down, double timestampMs, int delta = 0, double x = 0, double y = 0,
    bool repeat = false)
{
    return {{"id", id}, {"down", down}, {"repeat", repeat}, {"delta", delta}, {"timestampMs", timestampMs},
        {"x", x}, {"y", y}};
}

class LiveFeed : public vorna::test::SettingsSandbox {
protected:
    LiveFeed() { m_controller = makeSteppedController(); }

    std::unique_ptr<AppController> makeSteppedController()
    {
        ControllerSeams seams;
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return true; };
        seams.monotonicMs = [this] { return m_now; };
        seams.probe = std::make_shared<OffsetProbe>();
        return std::make_unique<AppController>(nullptr, false, seams);
    }

    void connectCompatibleAgent()
    {
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
        QSignalSpy state(m_controller.get(), &AppController::stateChanged);
        m_agent.sendState({{"agentVersion", 10}});
        ASSERT_TRUE(spinUntil([&] { return m_controller->engineCompatible(); }));
        QObject::connect(m_controller.get(), &AppController::stateChanged, [this] { ++m_stateSignals; });
    }

    // Sends one line as the agent and waits until the window has read it: the agent answers a
    // later "confirm" only after this line, so a reply seen means this line was handled.
    void sendLine(const QJsonObject& message)
    {
        m_agent.send(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
        const qsizetype before = m_stateSignals;
        m_agent.sendState({{"agentVersion", 10}});
        ASSERT_TRUE(spinUntil([&] { return m_stateSignals > before; }));
    }

    qint64 m_now = 100000;
    qsizetype m_stateSignals = 0;
    FakeAgent m_agent;
    std::unique_ptr<AppController> m_controller;
};

TEST_F(LiveFeed, BurstOfTraceMessagesIsOneLiveChange)
{
    QSignalSpy live(m_controller.get(), &AppController::liveChanged);
    QSignalSpy seen(m_controller.get(), &AppController::inputSeen);
    for (int i = 0; i < 5; ++i)
        m_controller->handleTrace(trace({physical("key_65", 0, i), physical("key_65", 1, i)}));
    EXPECT_EQ(live.count(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(live.count(), 1);
    EXPECT_EQ(seen.count(), 10);
    EXPECT_EQ(m_controller->lastInput(), m_controller->describeInput("key_65") + QStringLiteral(" · отпущено"));
    EXPECT_EQ(m_controller->property("live").toMap().value("last").toMap().value("input").toString(), "key_65");
}

TEST_F(LiveFeed, ProgramInputAndHeldMessagesAreNoPresses)
{
    QSignalSpy seen(m_controller.get(), &AppController::inputSeen);
    m_controller->handleTrace(trace({physical("key_65", 0, 1, 0, 1)}));
    m_controller->handleTrace({{"type", "held"}, {"consistent", true}, {"physical", QJsonArray{"key_65"}}});
    EXPECT_EQ(seen.count(), 0);
    EXPECT_TRUE(m_controller->lastInput().isEmpty());
    EXPECT_EQ(m_controller->property("live").toMap().value("physical").toStringList(), QStringList{"key_65"});
}

struct RecordingCase {
    const char* name;
    std::vector<QJsonObject> inputs;
    QList<QVariantMap> steps;
};

QVariantMap step(const char* type, const char* id, int ms)
{
    return {{"type", type}, {"input", id}, {"ms", ms}};
}

TEST_F(LiveFeed, RecordingTurnsPressesIntoSteps)
{
    m_controller->setSettingsWindow(1);
    m_controller->setRecordingControl(10, 10, 20, 20); // (115, 215) to (145, 245) on the screen
    const std::vector<RecordingCase> cases = {
        {"press and release", {input("key_65", true, 1000), input("key_65", false, 1100)},
            {step("down", "key_65", 0), step("wait", "", 100), step("up", "key_65", 0)}},
        {"two half notches are one tap", {input("wheel_up", true, 1000, 60), input("wheel_up", true, 1000, 60)},
            {step("tap", "wheel_up", 10)}},
        {"three notches at once", {input("wheel_down", true, 1000, -360)},
            {step("tap", "wheel_down", 10), step("tap", "wheel_down", 10), step("tap", "wheel_down", 10)}},
        {"a long pause waits a minute", {input("key_65", true, 1000), input("key_66", true, 1000 + 120000)},
            {step("down", "key_65", 0), step("wait", "", 60000), step("down", "key_66", 0)}},
        {"auto-repeat is not recorded", {input("key_65", true, 1000, 0, 0, 0, true)}, {}},
        {"F12 is never recorded", {input("key_123", true, 1000)}, {}},
        {"a click on the record button is not recorded",
            {input("mouse_left", true, 1000, 0, 120, 220), input("mouse_left", false, 1050, 0, 120, 220)}, {}},
        {"a click elsewhere is", {input("mouse_left", true, 1000, 0, 50, 50)}, {step("down", "mouse_left", 0)}},
    };
    for (const RecordingCase& c : cases) {
        SCOPED_TRACE(c.name);
        const std::unique_ptr<AppController> window = makeSteppedController();
        window->setSettingsWindow(1);
        window->setRecordingControl(10, 10, 20, 20); // (115, 215) to (145, 245) on the screen
        window->setProperty("recording", true);
        for (const QJsonObject& event : c.inputs)
            window->handleInputEvent(event);
        QList<QVariantMap> recorded;
        for (const QVariant& entry : window->property("macroSteps").toList()) {
            QVariantMap recordedStep = entry.toMap();
            recordedStep.remove("label"); // the editor's display text, not part of the step
            recorded.append(recordedStep);
        }
        EXPECT_EQ(recorded, c.steps);
    }
}

TEST_F(LiveFeed, RecordButtonKeepsItsRectangleWhenTheWindowIsGone)
{
    m_controller->setProperty("recording", true);
    m_controller->setSettingsWindow(1);
    m_controller->setRecordingControl(10, 10, 20, 20);
    m_controller->setSettingsWindow(2); // not a live window
    m_controller->setRecordingControl(500, 500, 20, 20);
    m_controller->handleInputEvent(input("mouse_left", true, 1000, 0, 144, 244));
    EXPECT_TRUE(m_controller->property("macroSteps").toList().isEmpty());
}

TEST_F(LiveFeed, PressCaptureTakesTheFirstPressAfterItSettles)
{
    connectCompatibleAgent();
    m_controller->setCaptureMode(true);
    ASSERT_TRUE(m_controller->captureMode());
    m_now += 250;
    m_controller->handleInputEvent(input("mouse_back", true, 1000));
    EXPECT_TRUE(m_controller->captureMode()) << "a press within 250 ms is ignored";
    m_now += 1;
    m_controller->handleInputEvent(input("mouse_back", true, 1000, 0, 0, 0, true));
    EXPECT_TRUE(m_controller->captureMode()) << "auto-repeat is ignored";
    m_controller->handleInputEvent(input("mouse_back", false, 1000));
    EXPECT_TRUE(m_controller->captureMode()) << "a release is ignored";
    m_controller->handleInputEvent(input("mouse_back", true, 1000));
    EXPECT_FALSE(m_controller->captureMode());
}

TEST_F(LiveFeed, PressCaptureEndsTenSecondsAfterItsOwnStart)
{
    connectCompatibleAgent();
    m_controller->setCaptureMode(true);
    m_now += 3000;
    m_controller->setCaptureMode(true); // restarted
    m_now += 7000;                      // the first capture's time-out
    QMetaObject::invokeMethod(m_controller.get(), "onCaptureTimeout");
    EXPECT_TRUE(m_controller->captureMode());
    m_now += 2899; // 9899 ms after the restart
    QMetaObject::invokeMethod(m_controller.get(), "onCaptureTimeout");
    EXPECT_TRUE(m_controller->captureMode());
    m_now += 1;
    QMetaObject::invokeMethod(m_controller.get(), "onCaptureTimeout");
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->notice(), QStringLiteral("За 10 секунд нажатие не определено. Попробуйте ещё раз."));
}

TEST_F(LiveFeed, CaptureWithoutAnAgentExplainsWhy)
{
    m_controller->setSettingsWindow(1);
    m_controller->setCaptureMode(true);
    EXPECT_FALSE(m_controller->captureMode());
    EXPECT_EQ(m_controller->notice(), m_controller->engineIssue());
    EXPECT_FALSE(m_controller->notice().isEmpty());

    m_controller->beginOutputCapture();
    const QVariantMap capture = m_controller->property("outputCapture").toMap();
    EXPECT_EQ(capture, (QVariantMap{{"active", false}, {"message", m_controller->engineIssue()}}));
}

TEST_F(LiveFeed, ShortcutCaptureRoundTrip)
{
    connectCompatibleAgent();
    m_controller->beginOutputCapture();
    EXPECT_EQ(m_controller->property("outputCapture").toMap().value("message").toString(),
        QStringLiteral("Для записи откройте окно настройки")) << "no window to capture for";

    m_controller->setSettingsWindow(77);
    m_controller->beginOutputCapture();
    m_controller->beginOutputCapture(); // the first request's replies no longer count
    m_agent.syncWith(*m_controller);
    const QList<QJsonObject> requests = m_agent.requests("captureKeys");
    ASSERT_EQ(requests.size(), 2);
    EXPECT_EQ(requests.last().value("window").toString(), "77");
    const QString request = requests.last().value("request").toString();
    EXPECT_EQ(request.toULongLong(), requests.first().value("request").toString().toULongLong() + 2);
    // The refusal without a window and the first request each left a capture to cancel.
    EXPECT_EQ(m_agent.requests("cancelCaptureKeys").size(), 2);

    auto capture = [&] { return m_controller->property("outputCapture").toMap(); };
    auto keyCapture = [&](const QString& id, int status, const QJsonArray& keys, bool held) {
        sendLine({{"type", "keyCapture"}, {"request", id}, {"status", status}, {"keys", keys}, {"held", held}});
    };
    keyCapture(requests.first().value("request").toString(), 3, {"key_65"}, false);
    EXPECT_FALSE(capture().value("ready").toBool()) << "a stale reply is ignored";

    keyCapture(request, 2, {"key_162"}, true);
    EXPECT_TRUE(capture().value("active").toBool());
    EXPECT_EQ(capture().value("message").toString(), QStringLiteral("Нажмите и отпустите сочетание · Esc отменяет запись"));

    keyCapture(request, 3, {"key_162", "key_160", "key_65"}, true);
    EXPECT_FALSE(capture().value("ready").toBool());
    EXPECT_TRUE(capture().value("message").toString().endsWith(QStringLiteral(" · Отпустите все клавиши")));

    keyCapture(request, 3, {"key_162", "key_160", "key_65", "key_66", "key_67"}, false);
    keyCapture(request, 3, {"key_162", "mouse_left"}, false);
    keyCapture(request, 3, {"key_162", "key_162"}, false);
    EXPECT_FALSE(capture().value("ready").toBool()) << "malformed key lists are ignored whole";

    keyCapture(request, 3, {"key_162", "key_160", "key_65"}, false);
    EXPECT_TRUE(capture().value("ready").toBool());
    EXPECT_EQ(capture().value("keys").toStringList(), (QStringList{"key_162", "key_160", "key_65"}));
    EXPECT_TRUE(m_controller->useOutputCapture());
    EXPECT_EQ(m_controller->targetId(), QStringLiteral("chord:key_162+key_160+key_65"));
}

TEST_F(LiveFeed, SilentAgentEndsTheShortcutCaptureAfterTwelveSeconds)
{
    connectCompatibleAgent();
    m_controller->setSettingsWindow(77);
    m_controller->beginOutputCapture();
    m_agent.syncWith(*m_controller);
    const quint64 request = m_agent.requests("captureKeys").last().value("request").toString().toULongLong();
    QMetaObject::invokeMethod(m_controller.get(), "onCaptureReplyTimeout", Q_ARG(quint64, request - 1));
    EXPECT_TRUE(m_controller->property("outputCapture").toMap().value("active").toBool()) << "an older request's time-out";
    QMetaObject::invokeMethod(m_controller.get(), "onCaptureReplyTimeout", Q_ARG(quint64, request));
    EXPECT_EQ(m_controller->property("outputCapture").toMap(),
        (QVariantMap{{"message", QStringLiteral("Нет ответа движка. Попробуйте ещё раз")}}));
    m_agent.syncWith(*m_controller);
    EXPECT_EQ(m_agent.requests("cancelCaptureKeys").size(), 1);
}

} // namespace
