// Text actions typed into the foreground window: what reaches the system through the session,
// the step sizes, the modifier wait, partial sends and the journal's Unicode slots.
#include "agent/actions/action_texts.h"
#include "agent/actions/text_transfer.h"
#include "engine/mapping/injection_marker.h"
#include "engine/safety/safety_journal.h"
#include "platform/sim/driver/driver.h"
#include "tests/actions/executor_fixture.h"

#include <QJsonArray>

namespace vorna::test {
namespace {

using core::ActionType;

// A typed unit as the system saw it: "+a" down, "-a" up; units below 32 as "+#13".
std::vector<std::string> typedUnits(const std::vector<sim::SinkEvent>& sink)
{
    std::vector<std::string> units;
    for (const sim::SinkEvent& e : sink) {
        if (e.kind != sim::HookKind::Keyboard)
            continue;
        EXPECT_EQ(e.key.vkCode, static_cast<DWORD>(VK_PACKET));
        EXPECT_EQ(e.key.dwExtraInfo, static_cast<ULONG_PTR>(windows::kInjectionMarker));
        EXPECT_TRUE(e.key.flags & LLKHF_INJECTED);
        const bool up = (e.key.flags & LLKHF_UP) != 0;
        const DWORD unit = e.key.scanCode;
        units.push_back(std::string(up ? "-" : "+") +
                        (unit >= 32 && unit < 127 ? std::string(1, static_cast<char>(unit)) : "#" + std::to_string(unit)));
    }
    return units;
}

std::vector<std::string> downsAndUps(const std::string& units)
{
    std::vector<std::string> out;
    for (char c : units) {
        const std::string name = c >= 32 ? std::string(1, c) : "#" + std::to_string(int(c));
        out.push_back("+" + name);
        out.push_back("-" + name);
    }
    return out;
}

class TypingTest : public ExecutorTest {
protected:
    std::vector<std::string> sink()
    {
        session.waitIdle();
        return typedUnits(session.readSink(true));
    }
    std::vector<QJsonObject> steps() const
    {
        std::vector<QJsonObject> found;
        for (const QJsonObject& e : events) {
            if (e.value("result").toInt() == 11)
                found.push_back(e);
        }
        return found;
    }
};

TEST(TextTransfer, TypesEachLineBreakAsOneCarriageReturn)
{
    EXPECT_EQ(actions::toWindowsText(QStringLiteral("a\r\nb\nc")), QStringLiteral("a\rb\rc"));
    EXPECT_EQ(actions::toWindowsText(QStringLiteral("\n\n\r\r\n")), QStringLiteral("\r\r\r\r"));
    EXPECT_EQ(actions::toWindowsText(QStringLiteral("tab\there")), QStringLiteral("tab\there"));
}

TEST(TextTransfer, StepsAreSixteenUnitsAndNeverSplitASurrogatePair)
{
    const QString pairAt16 = QString(15, QLatin1Char('x')) + QString::fromUtf8("😀") + QStringLiteral("y");
    EXPECT_EQ(actions::typingStepLength(pairAt16, 0), 15);
    EXPECT_EQ(actions::typingStepLength(pairAt16, 15), 3);
    EXPECT_EQ(actions::typingStepLength(QString(40, QLatin1Char('a')), 32), 8);
    EXPECT_EQ(actions::typingStepLength(QString(16, QLatin1Char('a')), 0), 16);
    EXPECT_EQ(actions::typingStepLength(QString(16, QLatin1Char('a')), 16), 0);
}

TEST_F(TypingTest, TypesTheTextIntoTheForegroundWindow)
{
    executor->execute(action(ActionType::Text, QStringLiteral("a\r\nb\nc")), trigger());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value("result").toInt(), 11);
    EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kUnicodeSent));
    EXPECT_EQ(events[0].value("progress").toInt(), 5);
    EXPECT_EQ(events[0].value("total").toInteger(), 5);
    EXPECT_EQ(sink(), downsAndUps("a\rb\rc"));
}

TEST_F(TypingTest, SendsAFortyUnitTextInThreeStepsAndASurrogatePairWhole)
{
    executor->execute(action(ActionType::Text, QString(40, QLatin1Char('k'))), trigger());
    ASSERT_TRUE(processEventsUntil([&] { return steps().size() == 3; }));
    std::vector<int> progress;
    for (const QJsonObject& e : steps())
        progress.push_back(e.value("progress").toInt());
    EXPECT_EQ(progress, (std::vector<int>{16, 32, 40}));
    EXPECT_EQ(sink().size(), 80u);

    events.clear();
    const QString text = QString(15, QLatin1Char('x')) + QString::fromUtf8("😀") + QStringLiteral("y");
    executor->execute(action(ActionType::Text, text), trigger());
    ASSERT_TRUE(processEventsUntil([&] { return steps().size() == 2; }));
    EXPECT_EQ(steps()[0].value("progress").toInt(), 15);
    EXPECT_EQ(steps()[1].value("progress").toInt(), 18);
    const auto units = sink();
    ASSERT_EQ(units.size(), 36u);
    EXPECT_EQ(units[30], "+#55357"); // the pair, together in the second step
    EXPECT_EQ(units[32], "+#56832");
}

TEST_F(TypingTest, WaitsForModifiersToBeReleasedAtMostTwoSeconds)
{
    sim::Driver driver;
    ASSERT_TRUE(driver.keyDown(VK_LSHIFT));
    executor->execute(action(ActionType::Text, QStringLiteral("hi")), trigger());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value("result").toInt(), 9);
    EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kReleaseModifiers));
    ASSERT_TRUE(driver.keyUp(VK_LSHIFT));
    session.readSink(true);
    ASSERT_TRUE(processEventsUntil([&] { return steps().size() == 1; }));
    EXPECT_EQ(sink(), downsAndUps("hi"));

    // Held past 2 s (on the session clock): the action gives up with result 6.
    events.clear();
    ASSERT_TRUE(driver.keyDown(VK_RCONTROL));
    executor->execute(action(ActionType::Text, QStringLiteral("hi")), trigger());
    session.stepClock(2000);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(events[1].value("result").toInt(), 6);
    EXPECT_EQ(events[1].value("detail").toString(), QString::fromUtf8(actions::texts::kTargetChanged));
    ASSERT_TRUE(driver.keyUp(VK_RCONTROL));
    session.readSink(true);
}

TEST_F(TypingTest, StopsWhenTheFocusMovesOrAModifierIsPressedBetweenSteps)
{
    executor->execute(action(ActionType::Text, QString(40, QLatin1Char('k'))), trigger());
    sim::WindowRecord other;
    session.setForeground(session.addWindow(other));
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(events[1].value("result").toInt(), 6);
    EXPECT_EQ(sink().size(), 32u); // the first step stays typed

    session.setForeground(window);
    events.clear();
    executor->execute(action(ActionType::Text, QString(40, QLatin1Char('k'))), trigger());
    sim::Driver driver;
    ASSERT_TRUE(driver.keyDown(VK_LMENU));
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(events[1].value("result").toInt(), 6);
    ASSERT_TRUE(driver.keyUp(VK_LMENU));
}

TEST_F(TypingTest, RefusesASecondTextActionWhileOneIsTyping)
{
    executor->execute(action(ActionType::Text, QString(40, QLatin1Char('k'))), trigger());
    executor->execute(action(ActionType::Text, QStringLiteral("x")), trigger());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].value("result").toInt(), 3);
    EXPECT_EQ(events[1].value("detail").toString(), QString::fromUtf8(actions::texts::kTextBusy));
    // finishText ends the transfer as cancelled.
    executor->finishText(false);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[2].value("result").toInt(), 6);
    EXPECT_EQ(events[2].value("detail").toString(), QString());
}

struct PartialCase {
    std::uint32_t accepted; // records SendInput takes of the step's six
    std::int32_t failingCalls;
    const char* reached; // what the system saw
};

class PartialSendTest : public TypingTest, public testing::WithParamInterface<PartialCase> {};

TEST_P(PartialSendTest, ReleasesAKeyLeftDownOrLeavesItToTheWatchdog)
{
    const PartialCase& c = GetParam();
    auto journal = std::make_unique<windows::SafetyJournalView>();
    journal->clear();
    executor->setSafetyJournal(journal.get());
    session.setFailure(sim::FailPoint::SendInput, {ERROR_ACCESS_DENIED, c.failingCalls, c.accepted});
    executor->execute(action(ActionType::Text, QStringLiteral("abc")), trigger());
    session.setFailure(sim::FailPoint::SendInput, {});
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(events[0].value("result").toInt(), 3);
    EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kPartiallySent));
    EXPECT_EQ(events[0].value("error").toInteger(), ERROR_ACCESS_DENIED);
    std::vector<std::string> expected;
    for (const char* at = c.reached; *at != 0; at += 2)
        expected.push_back(std::string(at, 2));
    EXPECT_EQ(sink(), expected);
    // A down sent without its up got its up at once: no key is left for the watchdog.
    for (std::uint32_t slot = 0; slot < 16; ++slot)
        EXPECT_EQ(journal->unicodeSlot(slot), 0u) << slot;
    executor->setSafetyJournal(nullptr);
}

INSTANTIATE_TEST_SUITE_P(Partial, PartialSendTest,
                         testing::Values(PartialCase{2, 1, "+a-a"}, PartialCase{3, 1, "+a-a+b-b"}, PartialCase{1, 1, "+a-a"},
                                         PartialCase{0, 1, ""}));

// A unit whose up could not be sent stays in its slot for the watchdog until an up goes out.
TEST_F(TypingTest, FinishingReleasesUnitsTheJournalStillHolds)
{
    auto journal = std::make_unique<windows::SafetyJournalView>();
    journal->clear();
    executor->setSafetyJournal(journal.get());
    journal->exchangeUnicodeSlot(5, 'q');
    session.setFailure(sim::FailPoint::SendInput, {ERROR_ACCESS_DENIED, 1, 0});
    executor->finishText(false);
    EXPECT_EQ(journal->unicodeSlot(5), static_cast<std::uint32_t>('q'));
    EXPECT_TRUE(sink().empty());
    executor->finishText(false);
    EXPECT_EQ(journal->unicodeSlot(5), 0u);
    EXPECT_EQ(sink(), (std::vector<std::string>{"-q"}));
    executor->setSafetyJournal(nullptr);
}

} // namespace
} // namespace vorna::test
