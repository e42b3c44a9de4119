// Custom actions in the real agent: a rule whose target is an action, its source pressed on the
// session's keyboard, and what the action did: a text typed into the foreground window, a site
// handed to the shell by a worker process the agent started.
#include "core/library_document.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/win32.h"
#include "tests/core/library_fixture.h"
#include "tests/support/agent_harness.h"

#include <QJsonArray>

#include <gtest/gtest.h>

#include <thread>

using namespace std::chrono_literals;

namespace vorna::test {
namespace {

QJsonObject configure(const QJsonObject& library)
{
    return {{"command", "configure"}, {"version", 1}, {"library", library}};
}

class AgentActions : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
        client = harness.connectGreeted();
        ASSERT_TRUE(client);
        sim::WindowRecord window;
        window.processId = 5150;
        window.visible = true;
        window.simulated = true;
        window.title = L"Notes";
        harness.session().setForeground(harness.session().addWindow(window));
    }

    // Configures "A pressed" to run the action and waits until the agent applies it.
    void configureAction(const QJsonObject& action)
    {
        QJsonObject library = edited(core::defaultLibrary(), {"profiles", 0, "layers", 0, "rules"},
                                     QJsonArray{rule("key_65", "action:1")});
        library["actions"] = QJsonArray{action};
        const QJsonObject state = client->askUntil(configure(library), [](const QJsonObject& s) {
            return s["active"].toBool() || !s["error"].toString().isEmpty();
        });
        ASSERT_EQ(state["error"].toString(), QString());
        ASSERT_TRUE(state["active"].toBool());
        harness.driver().takeSink();
    }

    AgentHarness harness;
    std::unique_ptr<RawClient> client;
};

TEST_F(AgentActions, ATextActionTypesItsTextWhenItsSourceIsPressed)
{
    configureAction({{"type", "text"}, {"name", "Greeting"}, {"value", "hi\r\nyo"}});
    harness.driver().tap('A');

    // What reached the system: the text's units as Unicode key events, and not the A itself.
    std::string typed;
    std::vector<DWORD> otherKeys;
    const auto deadline = std::chrono::steady_clock::now() + kConditionLimit;
    const std::string expected = "+h-h+i-i+\r-\r+y-y+o-o";
    while (typed.size() < expected.size() && std::chrono::steady_clock::now() < deadline) {
        for (const sim::SinkEvent& e : harness.driver().takeSink()) {
            if (e.kind != sim::HookKind::Keyboard)
                continue;
            if (e.key.vkCode != VK_PACKET) {
                otherKeys.push_back(e.key.vkCode);
                continue;
            }
            EXPECT_TRUE(e.key.flags & LLKHF_INJECTED);
            typed += (e.key.flags & LLKHF_UP) ? '-' : '+';
            typed += static_cast<char>(e.key.scanCode);
        }
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(typed, expected);
    EXPECT_TRUE(otherKeys.empty());
}

TEST_F(AgentActions, AWebsiteActionIsOpenedByAWorkerProcess)
{
    configureAction({{"type", "website"}, {"name", "Docs"}, {"value", "https://example.com/docs"}});
    sim::DesktopClient desktop(harness.session());
    desktop.shellLog(true);
    harness.driver().tap('A');
    std::vector<sim::ShellRecord> log;
    waitFor([&] { return !(log = desktop.shellLog(true)).empty(); });
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].file, L"https://example.com/docs");
    EXPECT_EQ(log[0].verb, L"open");
    EXPECT_NE(log[0].processId, 0u);
    EXPECT_EQ(log[0].error, 0u);
}

} // namespace
} // namespace vorna::test
