// A client drives a real agent: configure and apply with their trials, input typed through the
// session and what reached the system, observation, key capture, automatic and macro profile
// switching.
#include "core/library_document.h"
#include "platform/win32.h"
#include "tests/core/library_fixture.h"
#include "tests/support/agent_harness.h"

#include <QCryptographicHash>
#include <QJsonArray>

#include <gtest/gtest.h>

#include <algorithm>
#include <csignal>
#include <functional>
#include <thread>

using namespace std::chrono_literals;
using vorna::sim::FailPoint;
using vorna::sim::Failure;
using vorna::sim::SinkEvent;
using vorna::sim::WindowRecord;
using vorna::test::AgentHarness;
using vorna::test::edited;
using vorna::test::keysReached;
using vorna::test::libraryWithProfiles;
using vorna::test::RawClient;
using vorna::test::rule;

namespace {

const QJsonObject kState{{"command", "state"}, {"version", 1}};
const QString kTrialText = "Пробное назначение отменено по таймеру.";

QJsonObject configure(const QJsonObject& library)
{
    return {{"command", "configure"}, {"version", 1}, {"library", library}};
}

QJsonObject apply(const char* source, const char* target)
{
    return {{"command", "apply"}, {"version", 1}, {"source", source}, {"target", target}};
}

QJsonObject observe(const QJsonValue& enabled)
{
    return {{"command", "observe"}, {"version", 1}, {"enabled", enabled}};
}

QJsonObject withRules(const QJsonObject& library, int profile, int layer, const QJsonArray& rules)
{
    return edited(library, {"profiles", profile, "layers", layer, "rules"}, rules);
}

QString sha256(const QJsonObject& library)
{
    return QString::fromLatin1(QCryptographicHash::hash(vorna::test::compact(library), QCryptographicHash::Sha256).toHex());
}

// Asks for the state until `condition` holds; the last state read.
QJsonObject stateWhen(RawClient& client, const std::function<bool(const QJsonObject&)>& condition,
                      std::chrono::milliseconds limit = vorna::test::kConditionLimit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QJsonObject state;
    while (std::chrono::steady_clock::now() < deadline) {
        if (const std::optional<QJsonObject> reply = client.ask(kState))
            state = *reply;
        if (condition(state))
            break;
        std::this_thread::sleep_for(20ms);
    }
    return state;
}

bool notPending(const QJsonObject& state)
{
    return !state["pending"].toBool(true);
}

class AgentCommands : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
        client = harness.connectGreeted();
        ASSERT_TRUE(client);
    }

    HWND foregroundWindowOf(DWORD pid, const wchar_t* title = L"Window") { return harness.showForegroundWindow(pid, title); }

    AgentHarness harness;
    std::unique_ptr<RawClient> client;
};

} // namespace

TEST_F(AgentCommands, ConfigureTable)
{
    const QJsonObject ordinary = withRules(vorna::core::defaultLibrary(), 0, 0, {rule("key_65", "key_66")});
    QJsonObject invalid = ordinary;
    invalid["schemaVersion"] = 99;
    QString invalidText;
    ASSERT_FALSE(vorna::core::validateLibrary(invalid, invalidText));
    const QJsonObject cursorInverted =
        edited(libraryWithProfiles(4), {"profiles", 3, "layers", 6, "motion"}, vorna::test::motionSettings({{"invertX", true}}));

    const struct {
        const char* name;
        QJsonObject library;
        QString error;
        QString hash; // empty: the previous one stays
        int trialSeconds;
    } rows[] = {
        {"an ordinary key", ordinary, "", sha256(ordinary), 0},
        {"an invalid library", invalid, invalidText, "", 0},
        {"the cursor inverted in layer 7 of profile 3", cursorInverted, "", sha256(cursorInverted), 15},
    };
    QString lastHash;
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString expectedHash = row.hash.isEmpty() ? lastHash : row.hash;
        const QJsonObject state = client->askUntil(configure(row.library), [&](const QJsonObject& s) {
            return s["error"].toString() == row.error && s["documentHash"].toString() == expectedHash;
        });
        EXPECT_EQ(state["error"].toString(), row.error);
        EXPECT_TRUE(state["configured"].toBool());
        EXPECT_EQ(state["documentHash"].toString(), expectedHash);
        EXPECT_EQ(state["trialSeconds"].toInt(-1), row.trialSeconds);
        lastHash = expectedHash;
    }
    // The same library twice gives the same hash.
    const QJsonObject again = client->askUntil(configure(ordinary), [&](const QJsonObject& st) {
        return st["documentHash"].toString() == sha256(ordinary);
    });
    EXPECT_EQ(again["documentHash"].toString(), sha256(ordinary));
}

TEST_F(AgentCommands, ApplyTrialTable)
{
    const struct {
        const char* source;
        const char* target;
        int trialSeconds;
    } rows[] = {{"mouse_left", "mouse_left", 0}, {"mouse_left", "blocked", 15}, {"key_65", "key_66", 0}};
    for (const auto& row : rows) {
        SCOPED_TRACE(std::string(row.source) + " to " + row.target);
        const QJsonObject state = client->askUntil(apply(row.source, row.target), [&](const QJsonObject& s) {
            return s["source"].toString() == row.source && s["target"].toString() == row.target;
        });
        EXPECT_EQ(state["error"].toString(), "");
        EXPECT_EQ(state["trialSeconds"].toInt(-1), row.trialSeconds);
        EXPECT_EQ(state["source"].toString(), row.source);
    }
}

TEST_F(AgentCommands, AConfirmedTrialStaysAndAnUnconfirmedOneIsStoppedWithTheTrialText)
{
    // Confirmed before the limit: the mapping outlives the trial period.
    std::uint64_t start = harness.sessionNowMs();
    const auto inForce = [](const char* source) {
        return [source](const QJsonObject& s) { return s["source"].toString() == source && notPending(s); };
    };
    ASSERT_TRUE(inForce("mouse_left")(client->askUntil(apply("mouse_left", "blocked"), inForce("mouse_left"))));
    // The session clock also runs on in real time: the confirm lands seconds before the limit,
    // so that a loaded machine's delay before the agent reads it cannot carry it past.
    harness.advanceClockTo(start + 10000);
    ASSERT_TRUE(client->ask(QJsonObject{{"command", "confirm"}, {"version", 1}}));
    QJsonObject state = stateWhen(*client, [](const QJsonObject& s) { return s["trialSeconds"].toInt(-1) == 0; });
    EXPECT_EQ(state["trialSeconds"].toInt(-1), 0);
    harness.advanceClockTo(start + 20000);
    // A tick after the step has judged the trial on the new time.
    state = client->stateAfterNextTick().value_or(QJsonObject());
    EXPECT_TRUE(state["active"].toBool());
    EXPECT_EQ(state["error"].toString(), "");

    // Not confirmed: the first tick past the limit stops it.
    start = harness.sessionNowMs();
    ASSERT_TRUE(inForce("mouse_right")(client->askUntil(apply("mouse_right", "blocked"), inForce("mouse_right"))));
    harness.advanceClockTo(start + 15000);
    state = stateWhen(*client, [](const QJsonObject& s) { return s["error"].toString() == kTrialText; });
    EXPECT_EQ(state["error"].toString(), kTrialText);
    EXPECT_FALSE(state["active"].toBool(true));
    EXPECT_EQ(state["trialSeconds"].toInt(-1), 0);
}

TEST_F(AgentCommands, ARemappedKeyTypedInTheSessionReachesTheSystemAsItsTargetAndIsTraced)
{
    auto observer = harness.connectGreeted();
    ASSERT_TRUE(observer);
    ASSERT_TRUE(observer->askUntil(observe(true), [](const QJsonObject& s) { return s["observing"].toBool(); })["observing"].toBool());
    const QJsonObject library = withRules(vorna::core::defaultLibrary(), 0, 0, {rule("key_65", "key_66")});
    ASSERT_TRUE(client->ask(configure(library)));
    const QJsonObject state = stateWhen(*client, [](const QJsonObject& s) { return s["active"].toBool(); });
    ASSERT_TRUE(state["active"].toBool());
    harness.driver().takeSink();

    harness.driver().tap('A');
    EXPECT_EQ(keysReached(harness.driver(), 2), (std::vector<std::string>{"+key_66/i", "-key_66/i"}));

    bool traced = false;
    for (int i = 0; i < 200 && !traced; ++i) {
        const std::optional<QJsonObject> trace = observer->readMessageOfType("trace", 10s);
        ASSERT_TRUE(trace);
        for (const QJsonValue& event : (*trace)["events"].toArray()) {
            const QJsonObject e = event.toObject();
            if (e["id"].toString() == "key_65" && e["suppressed"].toBool()) {
                traced = true;
                EXPECT_EQ(e["profile"].toString(), "Глобальный");
                EXPECT_EQ(e["matchedRule"].toObject()["target"].toString(), "key_66");
            }
        }
    }
    EXPECT_TRUE(traced);
    EXPECT_TRUE(observer->readMessageOfType("held", 2s));
}

// The trace names the rules of the generation a record came from: after a configure that
// changes the rule, the event carries the new target, never one cached for the old library.
TEST_F(AgentCommands, TheTraceAfterAReconfigureNamesTheNewRule)
{
    auto observer = harness.connectGreeted();
    ASSERT_TRUE(observer);
    ASSERT_TRUE(observer->askUntil(observe(true), [](const QJsonObject& s) { return s["observing"].toBool(); })["observing"].toBool());
    // The target of the first traced rule match on key_65 of a generation other than `earlier`.
    const auto traced = [&](const QString& earlier) -> std::pair<QString, QString> {
        for (int i = 0; i < 200; ++i) {
            const std::optional<QJsonObject> trace = observer->readMessageOfType("trace", 10s);
            if (!trace)
                return {};
            for (const QJsonValue& event : (*trace)["events"].toArray()) {
                const QJsonObject e = event.toObject();
                if (e["id"].toString() == "key_65" && e.contains("ruleContext") && e["revision"].toString() != earlier)
                    return {e["matchedRule"].toObject()["target"].toString(), e["revision"].toString()};
            }
        }
        return {};
    };
    QString revision;
    for (const char* target : {"key_66", "key_67"}) {
        const QJsonObject library = withRules(vorna::core::defaultLibrary(), 0, 0, {rule("key_65", target)});
        ASSERT_TRUE(client->ask(configure(library)));
        const QJsonObject state = stateWhen(*client, [](const QJsonObject& s) { return s["active"].toBool() && notPending(s); });
        ASSERT_TRUE(state["active"].toBool());
        harness.driver().tap('A');
        const auto [tracedTarget, tracedRevision] = traced(revision);
        EXPECT_EQ(tracedTarget, QString::fromLatin1(target));
        revision = tracedRevision;
    }
}

TEST_F(AgentCommands, ObserveRefusals)
{
    QJsonObject state = client->askUntil(observe("true"), [](const QJsonObject& s) { return !s["error"].toString().isEmpty(); });
    EXPECT_EQ(state["error"].toString(), "Invalid observation flag");
    EXPECT_FALSE(state["observing"].toBool(true));

    const QString gone = "Сторожевой процесс недоступен. Перезапустите программу.";
    ::kill(pid_t(state["watchdogPid"].toInt()), SIGKILL);
    state = stateWhen(*client, [&](const QJsonObject& s) { return s["error"].toString() == gone; });
    ASSERT_EQ(state["error"].toString(), gone);
    // Refused: it never observes, in its answer or the tick after it.
    state = client->ask(observe(true)).value_or(QJsonObject());
    EXPECT_EQ(state["error"].toString(), gone);
    EXPECT_FALSE(state["observing"].toBool(true));
    state = client->stateAfterNextTick().value_or(QJsonObject());
    EXPECT_EQ(state["error"].toString(), gone);
    EXPECT_FALSE(state["observing"].toBool(true));
}

TEST_F(AgentCommands, CaptureIsRefusedUnlessTheClientsOwnWindowIsInFront)
{
    const HWND other = foregroundWindowOf(4000001, L"Other program");
    const auto number = [](HWND w) { return QString::number(quintptr(w)); };
    const struct {
        const char* name;
        QString window;
        QString request;
    } rows[] = {
        {"no window", "0", "5"},
        {"not a number", "abc", "5"},
        {"request 0", number(other), "0"},
        {"another process's window", number(other), "5"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(client->request({{"command", "captureKeys"}, {"version", 1}, {"window", row.window}, {"request", row.request}}));
        // The tick's periodic state may come first.
        const std::optional<QJsonObject> reply = client->readMessageOfType("keyCapture");
        ASSERT_TRUE(reply);
        EXPECT_EQ(*reply, (QJsonObject{{"type", "keyCapture"}, {"request", row.request}, {"status", 4},
                                       {"error", "Откройте окно настройки перед записью сочетания"}}));
    }
}

TEST_F(AgentCommands, CtrlShiftACapturedThroughTheSession)
{
    const HWND own = foregroundWindowOf(DWORD(::getpid()), L"Settings");
    ASSERT_TRUE(client->request(
        {{"command", "captureKeys"}, {"version", 1}, {"window", QString::number(quintptr(own))}, {"request", "42"}}));
    // The backend is capturing once it says so.
    std::optional<QJsonObject> progress = client->readMessageOfType("keyCapture");
    ASSERT_TRUE(progress);
    while ((*progress)["status"].toInt() != 2) {
        progress = client->readMessageOfType("keyCapture");
        ASSERT_TRUE(progress);
    }
    harness.driver().keyDown(VK_LCONTROL);
    harness.driver().keyDown(VK_LSHIFT);
    harness.driver().keyDown('A');
    harness.driver().keyUp('A');
    harness.driver().keyUp(VK_LSHIFT);
    harness.driver().keyUp(VK_LCONTROL);
    QJsonObject last;
    for (int i = 0; i < 20; ++i) {
        const std::optional<QJsonObject> next = client->readMessageOfType("keyCapture");
        ASSERT_TRUE(next);
        last = *next;
        if (last["status"].toInt() != 2 && !last["held"].toBool())
            break;
    }
    EXPECT_EQ(last["request"].toString(), "42");
    EXPECT_EQ(last["status"].toInt(), 3);
    EXPECT_EQ(last["keys"].toArray(), (QJsonArray{"key_162", "key_160", "key_65"}));
    EXPECT_FALSE(last["held"].toBool(true));
    // Nothing of it reached the system: a key typed afterwards does, and A never came before it.
    harness.driver().keyDown('Z');
    harness.driver().keyUp('Z');
    const auto isMarker = [](const std::string& key) { return key.rfind("-key_90", 0) == 0; };
    std::vector<std::string> reached;
    while (std::none_of(reached.begin(), reached.end(), isMarker)) {
        const std::vector<std::string> more = keysReached(harness.driver(), 1);
        if (more.empty())
            break;
        reached.insert(reached.end(), more.begin(), more.end());
    }
    ASSERT_TRUE(std::any_of(reached.begin(), reached.end(), isMarker)) << "the key typed after the capture never arrived";
    for (const std::string& key : reached)
        EXPECT_NE(key.substr(1, 2), "65") << key;
}

TEST_F(AgentCommands, TheForegroundApplicationChoosesTheProfile)
{
    QJsonObject library = libraryWithProfiles(2);
    library["automatic"] = true;
    library = edited(library, {"profiles", 1, "application"}, "C:\\Apps\\editor.exe");
    harness.session().addProcess({4100001, L"C:\\Apps\\editor.exe"});
    harness.session().addProcess({4100002, L"C:\\Apps\\other.exe"});
    const QJsonObject configured = client->askUntil(configure(library), [](const QJsonObject& s) { return s["configured"].toBool(); });
    ASSERT_EQ(configured["error"].toString(), "");
    EXPECT_EQ(configured["contextReason"].toString(), "Автоматический выбор по приложению");

    foregroundWindowOf(4100001, L"Document");
    QJsonObject state = stateWhen(*client, [](const QJsonObject& s) { return s["profileName"].toString() == "Profile 1"; });
    EXPECT_EQ(state["profileName"].toString(), "Profile 1");
    EXPECT_EQ(state["contextReason"].toString(), "Активное окно: C:\\Apps\\editor.exe");

    foregroundWindowOf(4100002, L"Other");
    state = stateWhen(*client, [](const QJsonObject& s) { return s["profileName"].toString() == "Глобальный"; });
    EXPECT_EQ(state["profileName"].toString(), "Глобальный");
    EXPECT_EQ(state["contextReason"].toString(), "Глобальный профиль: условия приложения/окна не совпали");
}

TEST_F(AgentCommands, AMacrosPreviousProfileStepFromTheFirstOfThreeLandsOnTheLast)
{
    QJsonObject library = libraryWithProfiles(3);
    library["macros"] = QJsonArray{QJsonObject{
        {"name", "Back"}, {"mode", "once"}, {"repeat", 1},
        {"steps", QJsonArray{QJsonObject{{"type", "profile"}, {"input", "previous"}, {"ms", 0}}}}}};
    library = withRules(library, 0, 0, {rule("key_65", "macro:1")});
    ASSERT_TRUE(client->askUntil(observe(true), [](const QJsonObject& s) { return s["observing"].toBool(); })["observing"].toBool());
    const QJsonObject configured = client->askUntil(configure(library), [](const QJsonObject& s) { return s["configured"].toBool(); });
    ASSERT_EQ(configured["error"].toString(), "");
    ASSERT_TRUE(stateWhen(*client, [](const QJsonObject& s) { return s["active"].toBool(); })["active"].toBool());

    harness.driver().tap('A');
    bool announced = false;
    for (int i = 0; i < 500 && !announced; ++i) {
        const std::optional<QJsonObject> trace = client->readMessageOfType("trace", 10s);
        ASSERT_TRUE(trace);
        for (const QJsonValue& event : (*trace)["events"].toArray())
            announced = announced || (event.toObject()["kind"].toInt() == 4 && event.toObject()["result"].toInt() == 12);
    }
    EXPECT_TRUE(announced);
    const QJsonObject state = stateWhen(*client, [](const QJsonObject& s) { return s["profileName"].toString() == "Profile 2"; });
    EXPECT_EQ(state["profileName"].toString(), "Profile 2");
    EXPECT_EQ(state["contextReason"].toString(), "Макрос закрепил профиль. Применение набора вернёт выбранный режим.");
}

TEST(AgentWithoutForegroundTracking, AutomaticProfilesAreRefused)
{
    AgentHarness harness;
    harness.session().setFailure(FailPoint::SetWinEventHook, Failure{ERROR_ACCESS_DENIED, -1, 0});
    ASSERT_TRUE(harness.startAgent()) << harness.agentErrors();
    QJsonObject greeting;
    auto client = harness.connectGreeted(&greeting);
    ASSERT_TRUE(client);
    EXPECT_FALSE(greeting["contextAvailable"].toBool(true));
    QJsonObject library = vorna::core::defaultLibrary();
    library["automatic"] = true;
    const QJsonObject state = client->askUntil(configure(library), [](const QJsonObject& s) { return !s["error"].toString().isEmpty(); });
    EXPECT_EQ(state["error"].toString(), "Недоступно определение активного приложения");
    EXPECT_FALSE(state["configured"].toBool(true));
}

// A desktop without an active window is a state like any other: the context's refreshes every
// 100 ms do not count as focus changes, which would reset the engine and let go of what it holds.
TEST_F(AgentCommands, WithNoWindowInFrontAToggledOutputAndAHoldMacroStayDown)
{
    QJsonObject library = vorna::core::defaultLibrary();
    library["macros"] = QJsonArray{QJsonObject{{"name", "Hold F"}, {"mode", "hold"}, {"repeat", 1},
        {"steps", QJsonArray{QJsonObject{{"type", "down"}, {"input", "key_70"}, {"ms", 20}},
                             QJsonObject{{"type", "wait"}, {"input", ""}, {"ms", 60000}},
                             QJsonObject{{"type", "up"}, {"input", "key_70"}, {"ms", 20}}}}}};
    library = withRules(library, 0, 0, {rule("key_84", "toggle:key_75"), rule("key_68", "macro:1")});
    harness.session().setForeground(nullptr);
    ASSERT_EQ(stateWhen(*client, [](const QJsonObject& s) { return s["foregroundExecutable"].toString().isEmpty(); })
                  ["foregroundExecutable"].toString(), "");
    const QJsonObject configured = client->askUntil(configure(library), [](const QJsonObject& s) { return s["active"].toBool(); });
    ASSERT_TRUE(configured["active"].toBool()) << configured["error"].toString().toStdString();

    harness.driver().tap('T');
    harness.driver().keyDown('D');
    ASSERT_TRUE(vorna::test::waitFor([&] { return harness.driver().isDown('K') && harness.driver().isDown('F'); }))
        << "K " << harness.driver().isDown('K') << ", F " << harness.driver().isDown('F');
    // Several context refreshes later (a state is pushed every tenth tick of 20 ms, a refresh
    // runs every fifth) both are still down.
    for (int push = 0; push < 3; ++push)
        ASSERT_TRUE(client->stateAfterNextTick());
    harness.session().waitIdle();
    EXPECT_TRUE(harness.driver().isDown('K')) << "the toggled output was let go";
    EXPECT_TRUE(harness.driver().isDown('F')) << "the hold macro's output was let go";

    harness.driver().keyUp('D');
    harness.driver().tap('T');
    EXPECT_TRUE(vorna::test::waitFor([&] { return !harness.driver().isDown('K') && !harness.driver().isDown('F'); }));
}

// The agent says it observes only when an input event is recorded from then on: a key typed at
// once after that is in the trace, every time.
TEST_F(AgentCommands, AKeyTypedRightAfterObservingIsSaidIsRecorded)
{
    foregroundWindowOf(4200001, L"Editor");
    for (int round = 0; round < 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const QJsonObject on = client->askUntil(observe(true), [](const QJsonObject& s) { return s["observing"].toBool(); });
        ASSERT_TRUE(on["observing"].toBool());
        harness.driver().tap('Q');
        bool traced = false;
        while (!traced) {
            const std::optional<QJsonObject> trace = client->readMessageOfType("trace", vorna::test::kConditionLimit);
            ASSERT_TRUE(trace) << "the key was not recorded";
            for (const QJsonValue& event : (*trace)["events"].toArray())
                traced = traced || event.toObject()["id"].toString() == "key_81";
        }
        const QJsonObject off = client->askUntil(observe(false), [](const QJsonObject& s) { return !s["observing"].toBool(true); });
        ASSERT_FALSE(off["observing"].toBool(true));
    }
}
