// From the rule editor to the keyboard: in the real settings window, a rule A → B is made and
// saved through the rule editor's card while mappings run; the real agent on a simulated
// session receives it by itself, the window reports "Saved and applied", and a physical A typed
// into the session reaches the system as B.

#include "tests/editor/editor_view.h"
#include "tests/support/agent_harness.h"
#include "tests/support/settings_fixture.h"

#include "tests/core/library_fixture.h"

namespace {

using vorna::test::placePanel;
using vorna::test::spinUntil;

constexpr int kKeyboardPage = 1;

TEST(RuleEditorEndToEnd, ARuleSavedInTheEditorTurnsATypedAIntoB)
{
    vorna::test::guiApplication();
    vorna::test::adoptOrphans();
    vorna::test::AgentHarness harness; // gives this process the agent's environment
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();

    int starts = 0;
    ControllerSeams seams = ControllerSeams::system();
    seams.startDetached = [&starts](const QString&, const QStringList&, const QString&) { return ++starts, true; };
    // The window's own isolation picks a new test instance; the agent's is put back so that the
    // window finds the agent's pipe.
    vorna::test::SettingsShell shell(seams, true, [&harness] {
        for (const auto& [name, value] : harness.environment())
            qputenv(name.c_str(), QByteArray::fromStdString(value));
    });
    ASSERT_NE(shell.window(), nullptr);
    AppController& controller = shell.controller();
    controller.setLanguage("en");
    ASSERT_TRUE(spinUntil([&] { return controller.engineCompatible(); })) << controller.status().toStdString();
    EXPECT_EQ(starts, 0);

    // One unrelated mapping, then mappings on from the header: from now on every edit is
    // applied by itself.
    ASSERT_TRUE(controller.commitLibrary(vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0,
        {vorna::test::rule("mouse_back", "key_27")}), false));
    QQuickItem* applyAction = shell.find<QQuickItem>(QStringLiteral("applyAction"));
    ASSERT_TRUE(spinUntil([&] { return applyAction->isEnabled(); })) << controller.status().toStdString();
    shell.settle();
    shell.click(applyAction);
    ASSERT_TRUE(spinUntil([&] { return controller.armed() && controller.active() && !controller.applying(); }))
        << controller.status().toStdString() << " · armed " << controller.armed() << " active "
        << controller.active() << " applying " << controller.applying() << " · button "
        << applyAction->property("text").toString().toStdString();

    shell.window()->setProperty("page", kKeyboardPage);
    shell.settle();
    QQuickItem* panel = placePanel(shell, "panels/MouseActionPanel.qml", QRectF(120, 70, 460, 672));
    ASSERT_NE(panel, nullptr);

    auto* source = vorna::test::findIn(panel, QStringLiteral("sourcePicker"));
    const QVariantList sources = source->property("model").toList();
    int keyA = -1;
    for (int i = 0; i < sources.size() && keyA < 0; ++i)
        keyA = sources.at(i).toMap().value("id") == QLatin1String("key_65") ? i : -1;
    ASSERT_GE(keyA, 0);
    QMetaObject::invokeMethod(source, "activated", Q_ARG(int, keyA));
    vorna::test::typeInto(shell, vorna::test::findIn(panel, QStringLiteral("search")), QStringLiteral("key_66"));
    auto* targets = vorna::test::findIn(panel, QStringLiteral("targetPicker"));
    QVariant first;
    QMetaObject::invokeMethod(targets, "valueAt", Q_RETURN_ARG(QVariant, first), Q_ARG(QVariant, 0));
    ASSERT_EQ(first.toString(), QStringLiteral("key_66"));
    QMetaObject::invokeMethod(targets, "activated", Q_ARG(int, 0));
    shell.settle();
    ASSERT_EQ(controller.sourceId(), QStringLiteral("key_65"));
    ASSERT_EQ(controller.targetId(), QStringLiteral("key_66"));

    shell.click(vorna::test::findIn(panel, QStringLiteral("saveRuleAction")));
    ASSERT_TRUE(spinUntil([&] { return controller.notice() == QStringLiteral("Saved and applied"); }))
        << "notice \"" << controller.notice().toStdString() << "\" · " << controller.status().toStdString()
        << " · dirty " << controller.dirty() << " applying " << controller.applying() << " active "
        << controller.active();
    EXPECT_FALSE(controller.dirty());

    // The window's report follows the agent's; the hook thread takes the rules a moment later.
    auto client = harness.connectGreeted();
    ASSERT_TRUE(client);
    const QJsonObject state = client->askUntil({{"command", "state"}, {"version", 1}},
        [](const QJsonObject& s) { return s["active"].toBool() && !s["pending"].toBool(true); }, std::chrono::seconds(10));
    ASSERT_FALSE(state["pending"].toBool(true)) << QJsonDocument(state).toJson().toStdString();

    harness.driver().takeSink();
    harness.driver().tap('A');
    EXPECT_EQ(vorna::test::keysReached(harness.driver(), 2), (std::vector<std::string>{"+key_66/i", "-key_66/i"}))
        << harness.agentErrors() << controller.status().toStdString();

    vorna::test::finishCreating(shell);
}

} // namespace
