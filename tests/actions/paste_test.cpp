// Text actions pasted through the clipboard: the shortcut that reaches the system, what the
// clipboard holds meanwhile, and that the user's clipboard comes back (or stays with another
// program that wrote it in between).
#include "agent/actions/action_texts.h"
#include "engine/mapping/injection_marker.h"
#include "engine/safety/safety_journal.h"
#include "tests/actions/executor_fixture.h"
#include "tests/support/output_notation.h"

namespace vorna::test {
namespace {

using core::ActionType;
using sim::ClipboardEntry;
using sim::DesktopFail;

std::vector<std::uint8_t> bytes(const std::string& text)
{
    return std::vector<std::uint8_t>(text.begin(), text.end());
}

class PasteTest : public ExecutorTest {
protected:
    void SetUp() override
    {
        ExecutorTest::SetUp();
        html = desktop.registerName(L"HTML Format");
        users = {{CF_UNICODETEXT, sim::utf16Bytes(L"the user's text")}, {html, bytes("<b>bold</b>")}};
        ASSERT_EQ(desktop.writeClipboard(users), 0u);
    }

    std::vector<ClipboardEntry> clipboard() { return desktop.clipboard().entries; }

    int resultOf(std::size_t index) const { return events.at(index).value("result").toInt(); }

    // The keys that reached the system, as "+key_162" (down) and "-key_86" (up).
    std::vector<std::string> keys()
    {
        session.waitIdle();
        std::vector<std::string> seen;
        for (const sim::SinkEvent& e : session.readSink(true)) {
            EXPECT_EQ(e.key.dwExtraInfo, static_cast<ULONG_PTR>(windows::kInjectionMarker));
            seen.push_back(vorna::test::keyText((e.key.flags & LLKHF_UP) ? '-' : '+', e.key.vkCode));
        }
        return seen;
    }

    UINT html = 0;
    std::vector<ClipboardEntry> users;
};

bool sameEntries(const std::vector<ClipboardEntry>& a, const std::vector<ClipboardEntry>& b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].format != b[i].format || a[i].data != b[i].data)
            return false;
    }
    return true;
}

TEST_F(PasteTest, PastesWithLeftCtrlVAndPutsTheUsersClipboardBack)
{
    executor->execute(action(ActionType::Text, QStringLiteral("one\ntwo"), true), trigger());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(resultOf(0), 11);
    EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kPasteSubmitted));
    EXPECT_EQ(events[0].value("final"), QJsonValue(false));
    EXPECT_EQ(keys(), (std::vector<std::string>{"+key_162", "+key_86", "-key_86", "-key_162"}));

    // Meanwhile the clipboard holds the text unchanged, in three encodings, with its locale and
    // the marks that keep it out of history, the cloud and clipboard monitors.
    const auto during = clipboard();
    ASSERT_EQ(during.size(), 7u);
    EXPECT_EQ(during[0].format, static_cast<UINT>(CF_UNICODETEXT));
    EXPECT_EQ(sim::fromUtf16Bytes(during[0].data), L"one\ntwo");
    EXPECT_EQ(during[1].format, static_cast<UINT>(CF_TEXT));
    EXPECT_EQ(during[1].data, bytes(std::string("one\ntwo") + '\0'));
    EXPECT_EQ(during[2].format, static_cast<UINT>(CF_OEMTEXT));
    EXPECT_EQ(during[3].format, static_cast<UINT>(CF_LOCALE));
    EXPECT_EQ(desktop.nameOf(during[4].format), L"ExcludeClipboardContentFromMonitorProcessing");
    EXPECT_EQ(desktop.nameOf(during[5].format), L"CanIncludeInClipboardHistory");
    EXPECT_EQ(desktop.nameOf(during[6].format), L"CanUploadToCloudClipboard");
    EXPECT_EQ(during[6].data, (std::vector<std::uint8_t>{0, 0, 0, 0}));

    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(resultOf(1), 7);
    EXPECT_EQ(events[1].value("detail").toString(), QString::fromUtf8(actions::texts::kPasteCompleted));
    EXPECT_TRUE(sameEntries(clipboard(), users));
    EXPECT_FALSE(desktop.clipboard().open);
}

TEST_F(PasteTest, LeavesTheClipboardToAProgramThatWroteItDuringThePaste)
{
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(resultOf(0), 11);
    ASSERT_EQ(desktop.writeClipboardText(L"another program's text"), 0u);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(resultOf(1), 7);
    const auto now = clipboard();
    ASSERT_EQ(now.size(), 1u);
    EXPECT_EQ(sim::fromUtf16Bytes(now[0].data), L"another program's text");
}

TEST_F(PasteTest, RetriesTheRestoreWhileTheClipboardCannotBeOpened)
{
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(resultOf(0), 11);
    desktop.setFailure(DesktopFail::ClipboardOpen, ERROR_ACCESS_DENIED, 3);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(resultOf(1), 7);
    EXPECT_TRUE(sameEntries(clipboard(), users));
}

TEST_F(PasteTest, RetriesWhileAnotherProgramHoldsTheClipboardOpen)
{
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(desktop.holdClipboard(true), 0u);
    processEventsUntil([] { return false; }, std::chrono::milliseconds(600));
    EXPECT_EQ(events.size(), 1u); // still waiting to put the user's clipboard back
    ASSERT_EQ(desktop.holdClipboard(false), 0u);
    ASSERT_TRUE(waitForEvents(2));
    EXPECT_EQ(resultOf(1), 7);
    EXPECT_TRUE(sameEntries(clipboard(), users));
}

TEST_F(PasteTest, FailsWithoutTouchingAClipboardThatHoldsAFormatItCannotSave)
{
    const std::vector<ClipboardEntry> bitmap = {{CF_BITMAP, bytes("handle")}};
    ASSERT_EQ(desktop.writeClipboard(bitmap), 0u);
    const DWORD sequence = desktop.clipboard().sequence;
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(resultOf(0), 3);
    EXPECT_EQ(events[0].value("detail").toString(), QString::fromUtf8(actions::texts::kPasteFailed));
    EXPECT_EQ(desktop.clipboard().sequence, sequence);
    EXPECT_TRUE(sameEntries(clipboard(), bitmap));
    EXPECT_TRUE(keys().empty());
}

TEST_F(PasteTest, PutsTheUsersClipboardBackWhenTheShortcutIsRefused)
{
    auto journal = std::make_unique<windows::SafetyJournalView>();
    journal->clear();
    executor->setSafetyJournal(journal.get());
    // Both downs go out, then SendInput refuses: each up is sent on its own.
    session.setFailure(sim::FailPoint::SendInput, {ERROR_ACCESS_DENIED, 1, 2});
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(events.size(), 1u);
    EXPECT_EQ(resultOf(0), 3);
    EXPECT_EQ(keys(), (std::vector<std::string>{"+key_162", "+key_86", "-key_86", "-key_162"}));
    EXPECT_EQ(journal->textHeldKey(VK_LCONTROL), 0u);
    EXPECT_EQ(journal->textHeldKey('V'), 0u);
    EXPECT_TRUE(sameEntries(clipboard(), users));
    executor->setSafetyJournal(nullptr);
}

TEST_F(PasteTest, AFocusChangeCancelsThePendingPasteAndRestoresAtOnce)
{
    executor->execute(action(ActionType::Text, QStringLiteral("pasted"), true), trigger());
    ASSERT_EQ(resultOf(0), 11);
    // A second text action waits for the first paste's restore.
    executor->execute(action(ActionType::Text, QStringLiteral("again"), true), trigger());
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[1].value("detail").toString(), QString::fromUtf8(actions::texts::kTextBusy));
    executor->finishText(false);
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(resultOf(2), 6);
    EXPECT_TRUE(sameEntries(clipboard(), users));
    // The paste's timer finds nothing more to do.
    processEventsUntil([] { return false; }, std::chrono::milliseconds(500));
    EXPECT_EQ(events.size(), 3u);
}

} // namespace
} // namespace vorna::test
