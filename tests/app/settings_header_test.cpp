// The header against a fake agent: the status caption and the main command's caption follow
// the agent's state in their order of precedence, and the connected shell is photographed.

#include "core/agent_pipe_name.h"
#include "tests/support/screenshot_folder.h"
#include "tests/support/settings_fixture.h"
#include "tests/support/settings_shell.h"

#include <QDir>

namespace {

using vorna::test::FakeAgent;
using vorna::test::SettingsShell;

struct HeaderCase {
    const char* name;
    const char* state; // the agent's state message, or nullptr for no agent at all
    bool dirty;
    const char* status;
    const char* apply;
};

class HeaderCaptions : public testing::TestWithParam<HeaderCase> {};

ControllerSeams countingSeams(int& starts)
{
    ControllerSeams seams;
    seams.startDetached = [&starts](const QString&, const QStringList&, const QString&) {
        ++starts;
        return true;
    };
    return seams;
}

TEST_P(HeaderCaptions, FollowTheAgentsStateInOrder)
{
    const HeaderCase& c = GetParam();
    vorna::test::guiApplication();
    int starts = 0;
    FakeAgent agent;
    bool listening = c.state == nullptr;
    auto shell = std::make_unique<SettingsShell>(countingSeams(starts), c.state != nullptr,
        [&] { listening = listening || agent.listen(vorna::core::agentPipeName()); });
    ASSERT_TRUE(listening);
    ASSERT_NE(shell->window(), nullptr);
    if (c.state != nullptr) {
        ASSERT_TRUE(vorna::test::spinUntil([&] { return agent.connected() && shell->controller().connected(); }));
        agent.send(QByteArray(c.state) + '\n');
        ASSERT_TRUE(vorna::test::spinUntil([&] { return shell->controller().property("status").toString()
            != QStringLiteral("На паузе · назначение включается вручную"); }));
    }
    shell->controller().setProperty("dirty", c.dirty);
    shell->settle();
    EXPECT_EQ(shell->find(QStringLiteral("headerStatus"))->property("text").toString(), QString::fromUtf8(c.status));
    EXPECT_EQ(shell->find(QStringLiteral("applyAction"))->property("text").toString(), QString::fromUtf8(c.apply));
    EXPECT_EQ(starts, 0);
}

INSTANTIATE_TEST_SUITE_P(Table, HeaderCaptions,
    testing::Values(HeaderCase{"noAgent", nullptr, false, "Нет связи с движком", "Включить"},
        HeaderCase{"olderEngine", R"({"type":"state","agentVersion":9,"active":true})", false, "Старый движок", "Пауза"},
        HeaderCase{"elevatedForeground", R"({"type":"state","agentVersion":10,"active":true,"foregroundElevated":true})",
            false, "Окно администратора — назначения не действуют", "Пауза"},
        HeaderCase{"elevatedAgentToo",
            R"({"type":"state","agentVersion":10,"active":true,"foregroundElevated":true,"agentElevated":true})", false,
            "Работает", "Пауза"},
        HeaderCase{"applying", R"({"type":"state","agentVersion":10,"pending":true})", false, "Применение…", "Применение…"},
        HeaderCase{"working", R"({"type":"state","agentVersion":10,"active":true,"configured":true})", false, "Работает",
            "Пауза"},
        HeaderCase{"workingWithEdits", R"({"type":"state","agentVersion":10,"active":true,"configured":true})", true,
            "Работает", "Применить правки"},
        HeaderCase{"armed", R"({"type":"state","agentVersion":10,"configured":true})", false, "Набор включён", "Пауза"},
        HeaderCase{"paused", R"({"type":"state","agentVersion":10})", false, "На паузе", "Включить"}),
    [](const testing::TestParamInfo<HeaderCase>& info) { return std::string(info.param.name); });

TEST(SettingsShellConnected, ScreenshotsWithTheAgentWorking)
{
    vorna::test::guiApplication();
    int starts = 0;
    FakeAgent agent;
    bool listening = false;
    SettingsShell shell(countingSeams(starts), true, [&] { listening = agent.listen(vorna::core::agentPipeName()); });
    ASSERT_TRUE(listening);
    ASSERT_TRUE(vorna::test::spinUntil([&] { return agent.connected() && shell.controller().connected(); }));
    agent.send(R"({"type":"state","agentVersion":10,"active":true,"configured":true,"ruleCount":3,)"
               R"("profileName":"Глобальный","layerName":"Основной","contextReason":"manual"})"
               "\n");
    ASSERT_TRUE(vorna::test::spinUntil([&] { return shell.controller().active(); }));
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    for (const char* language : {"ru", "en"}) {
        shell.controller().setLanguage(QString::fromLatin1(language));
        shell.controller().setTheme(QStringLiteral("light"));
        const QImage image = shell.grab();
        const QString path = folder + QStringLiteral("/settings-shell-connected-%1.png").arg(QString::fromLatin1(language));
        EXPECT_TRUE(image.save(path)) << path.toStdString();
    }
}

} // namespace
