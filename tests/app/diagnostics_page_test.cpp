// The diagnostics page against a fake agent: the health rows as the agent's state message
// decides them, the technical figures with every counter, the device list, and screenshots of
// the page in both languages.

#include "core/agent_pipe_name.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include <QJsonArray>
#include <QJsonDocument>

namespace {

using vorna::test::FakeAgent;
using vorna::test::SettingsShell;

// Every figure the technical section shows, with values that tell the rows apart.
QJsonObject figures()
{
    return {{"inputEvents", 1200}, {"suppressed", 300}, {"outputEvents", 310}, {"outputFailures", 2}, {"win32Error", 5},
        {"hookRecoveries", 1}, {"lastHookRecoveryMs", 123456}, {"hookRecoveryError", 0}, {"hookThreadPriority", 15},
        {"hookPriorityError", 0}, {"preciseTimerError", 6}, {"agentPowerPolicyError", 87}, {"watchdogPowerPolicyError", 0},
        {"observationDrops", 4}, {"timedEvents", 900}, {"deviceEnumerationError", 0}, {"preciseTimer", true},
        {"p50us", 12}, {"p95us", 40}, {"p99us", 95}, {"maxus", 310}};
}

// A working agent whose watchdog is this very process, so that it counts as running.
QJsonObject state(const QJsonObject& diagnostics, const QJsonObject& changes = {})
{
    QJsonObject message{{"type", "state"}, {"agentVersion", 10}, {"active", true}, {"configured", true},
        {"watchdogPid", double(QCoreApplication::applicationPid())}, {"contextAvailable", true},
        {"devices", QJsonArray{QJsonObject{{"kind", "mouse"}, {"label", "USB <Optical> Mouse"}, {"buttons", 5}},
                        QJsonObject{{"kind", "keyboard"}, {"label", "Keyboard"}}}},
        {"diagnostics", diagnostics}};
    for (auto it = changes.begin(); it != changes.end(); ++it)
        message.insert(it.key(), it.value());
    return message;
}

class DiagnosticsPage : public testing::Test {
protected:
    void open(const QJsonObject& message)
    {
        bool listening = false;
        // A window that misses its agent must not start one (that would run this program).
        ControllerSeams seams;
        seams.startDetached = [](const QString&, const QStringList&, const QString&) { return false; };
        shell.reset();
        agent = std::make_unique<FakeAgent>();
        shell = std::make_unique<SettingsShell>(seams, true, [&] { listening = agent->listen(vorna::core::agentPipeName()); });
        ASSERT_TRUE(listening);
        ASSERT_TRUE(vorna::test::spinUntil([&] { return agent->connected() && shell->controller().connected(); }));
        agent->send(QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n');
        ASSERT_TRUE(vorna::test::spinUntil([&] { return shell->controller().engineCompatible(); }));
        shell->controller().setLanguage(QStringLiteral("en"));
        shell->window()->setProperty("page", 4);
        shell->settle();
    }

    QString text(const QString& name) const
    {
        QObject* item = shell->find(name);
        return item != nullptr && item->property("visible").toBool() ? item->property("text").toString() : QStringLiteral("<none>");
    }

    std::unique_ptr<FakeAgent> agent;
    std::unique_ptr<SettingsShell> shell;
};

struct HealthCase {
    const char* name;
    QJsonObject diagnostics;
    QJsonObject changes;
    // Row texts in the order engine, watchdog, hooks, ordinaryWindow, sending; empty when all is well.
    std::vector<const char*> rows;
};

TEST_F(DiagnosticsPage, HealthRowsFollowTheAgentsState)
{
    QJsonObject allWell = figures();
    allWell.insert("win32Error", 0);
    QJsonObject noError = figures();
    noError.remove("win32Error");
    const HealthCase cases[] = {
        {"errorCode", figures(), {},
            {"Engine · Connected", "Watchdog · Process is running", "Input capture · Active · self-check has no error",
                "Foreground window · Ordinary privileges", "Input submission · No data or error code: 5"}},
        {"allWell", allWell, {}, {}},
        {"unknownWindow", noError, {{"contextAvailable", false}},
            {"Engine · Connected", "Watchdog · Process is running", "Input capture · Active · self-check has no error",
                "Foreground window · Privileges unknown", "Input submission · No data or error code: 0"}},
        {"administratorWindow", allWell, {{"foregroundElevated", true}},
            {"Engine · Connected", "Watchdog · Process is running", "Input capture · Active · self-check has no error",
                "Foreground window · Administrator window", "Input submission · No last error"}},
        {"pausedWithoutWatchdog", allWell, {{"active", false}, {"watchdogPid", 0}},
            {"Engine · Connected", "Watchdog · Operation not confirmed", "Input capture · Paused, disconnected or self-check error",
                "Foreground window · Ordinary privileges", "Input submission · No last error"}},
    };
    for (const HealthCase& c : cases) {
        SCOPED_TRACE(c.name);
        open(state(c.diagnostics, c.changes));
        const char* keys[] = {"engine", "watchdog", "hooks", "ordinaryWindow", "sending"};
        for (std::size_t i = 0; i < std::size(keys); ++i)
            EXPECT_EQ(text(QStringLiteral("diagnosticsCheckText_") + QLatin1String(keys[i])),
                c.rows.empty() ? QStringLiteral("<none>") : QString::fromUtf8(c.rows[i]));
        EXPECT_EQ(text(QStringLiteral("diagnosticsAllGood")),
            c.rows.empty() ? QStringLiteral("● Everything works") : QStringLiteral("<none>"));
        EXPECT_NE(shell->find(QStringLiteral("diagnosticsCopyReport")), nullptr);
        EXPECT_NE(shell->find(QStringLiteral("diagnosticsReportProblem")), nullptr);
        shell.reset();
    }
}

// The live view keeps the hooks running while the mappings are paused: the checks are healthy,
// but the page must not say "everything works" while the header says paused.
TEST_F(DiagnosticsPage, HealthyChecksWhileMappingsArePausedSayPaused)
{
    QJsonObject allWell = figures();
    allWell.insert("win32Error", 0);
    const QJsonObject paused = state(allWell, {{"active", false}, {"configured", false}, {"observing", true}});
    open(paused);
    // Sent again now that the page asked to observe, so that observing counts.
    agent->send(QJsonDocument(paused).toJson(QJsonDocument::Compact) + '\n');
    ASSERT_TRUE(vorna::test::spinUntil([&] { return text(QStringLiteral("diagnosticsAllGood")) != QStringLiteral("<none>"); }));
    EXPECT_EQ(text(QStringLiteral("headerStatus")), "Paused");
    EXPECT_EQ(text(QStringLiteral("diagnosticsAllGood")), "● Everything is healthy · mappings paused");
    EXPECT_EQ(shell->find(QStringLiteral("diagnosticsAllGood"))->property("color").value<QColor>(),
        shell->window()->property("warning").value<QColor>());
    shell->controller().setLanguage(QStringLiteral("ru"));
    shell->settle();
    EXPECT_EQ(text(QStringLiteral("diagnosticsAllGood")), "● Всё исправно · назначения на паузе");
    shell->saveScreenshotsInBothLanguages(QStringLiteral("diagnostics-paused"));

    agent->send(QJsonDocument(state(allWell)).toJson(QJsonDocument::Compact) + '\n');
    ASSERT_TRUE(vorna::test::spinUntil([&] { return shell->controller().active(); }));
    shell->controller().setLanguage(QStringLiteral("en"));
    shell->settle();
    EXPECT_EQ(text(QStringLiteral("diagnosticsAllGood")), "● Everything works");
}

TEST_F(DiagnosticsPage, TechnicalDetailsShowEveryFigureAndDevice)
{
    QJsonObject diagnostics = figures();
    diagnostics.insert("deviceEnumerationError", 1167);
    diagnostics.remove("hookPriorityError"); // a missing figure reads 0
    open(state(diagnostics));
    auto* toggle = shell->find<QQuickItem>(QStringLiteral("diagnosticsTechnicalToggle"));
    ASSERT_NE(toggle, nullptr);
    EXPECT_EQ(toggle->property("text").toString(), QStringLiteral("Technical details ▾"));
    EXPECT_FALSE(shell->find(QStringLiteral("diagnosticDetails"))->property("visible").toBool());
    shell->click(toggle);
    EXPECT_EQ(toggle->property("text").toString(), QStringLiteral("Technical details ▴"));
    ASSERT_TRUE(shell->find(QStringLiteral("diagnosticDetails"))->property("visible").toBool());

    const std::pair<const char*, const char*> values[] = {{"inputEvents", "1200"}, {"suppressed", "300"},
        {"outputEvents", "310"}, {"outputFailures", "2"}, {"win32Error", "5"}, {"hookRecoveries", "1"},
        {"lastHookRecoveryMs", "123456"}, {"hookRecoveryError", "0"}, {"hookThreadPriority", "15"},
        {"hookPriorityError", "0"}, {"preciseTimerError", "6"}, {"agentPowerPolicyError", "87"},
        {"watchdogPowerPolicyError", "0"}, {"observationDrops", "4"}, {"timedEvents", "900"},
        {"deviceEnumerationError", "1167"}, {"preciseTimer", "Yes"}, {"percentiles", "12 / 40 / 95 µs"}, {"maximum", "310 µs"}};
    for (const auto& [name, value] : values)
        EXPECT_EQ(text(QStringLiteral("diagnosticValue_") + QLatin1String(name)), QString::fromUtf8(value)) << name;
    EXPECT_EQ(text(QStringLiteral("diagnosticDevice_0")), QStringLiteral("USB <Optical> Mouse · buttons: 5"));
    EXPECT_EQ(shell->find(QStringLiteral("diagnosticDevice_0"))->property("textFormat").toInt(), Qt::PlainText);
    EXPECT_EQ(text(QStringLiteral("diagnosticDevice_1")), QStringLiteral("Keyboard · buttons: 0"));
    EXPECT_EQ(text(QStringLiteral("diagnosticDevicesStale")), QStringLiteral("The list could not be refreshed. Retrying automatically"));

    shell->controller().setLanguage(QStringLiteral("ru"));
    shell->settle();
    EXPECT_EQ(text(QStringLiteral("diagnosticValue_preciseTimer")), QStringLiteral("Да"));
    EXPECT_EQ(text(QStringLiteral("diagnosticDevice_1")), QStringLiteral("Keyboard · кнопок: 0"));
}

TEST_F(DiagnosticsPage, NoTimingsWithoutTimedEventsAndNoDevicesListed)
{
    QJsonObject diagnostics = figures();
    diagnostics.insert("timedEvents", 0);
    diagnostics.insert("preciseTimer", false);
    QJsonObject message = state(diagnostics);
    message.insert("devices", QJsonArray{});
    open(message);
    shell->click(shell->find<QQuickItem>(QStringLiteral("diagnosticsTechnicalToggle")));
    EXPECT_EQ(text(QStringLiteral("diagnosticValue_percentiles")), QStringLiteral("No measurements"));
    EXPECT_EQ(text(QStringLiteral("diagnosticValue_maximum")), QStringLiteral("—"));
    EXPECT_EQ(text(QStringLiteral("diagnosticValue_preciseTimer")), QStringLiteral("No"));
    EXPECT_EQ(shell->find(QStringLiteral("diagnosticDevice_0")), nullptr);
    EXPECT_EQ(text(QStringLiteral("diagnosticDevicesStale")), QStringLiteral("<none>"));
}

TEST_F(DiagnosticsPage, ScreenshotsInBothLanguages)
{
    open(state(figures()));
    shell->click(shell->find<QQuickItem>(QStringLiteral("diagnosticsTechnicalToggle")));
    shell->saveScreenshotsInBothLanguages(QStringLiteral("diagnostics-page"));
    QMetaObject::invokeMethod(shell->window(), "scrollBodyEnd");
    shell->saveScreenshotsInBothLanguages(QStringLiteral("diagnostics-page-details"));
}

} // namespace
