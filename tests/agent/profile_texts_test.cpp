// Context reasons, device entries and action results.
#include "agent/profile_texts.h"

#include <gtest/gtest.h>

using namespace vorna::ipc;

TEST(ProfileTexts, ContextReasonNamesTheMatchedWindowAndConditions)
{
    const QJsonObject foreground{{"executable", "C:\\Tools\\editor.exe"}};
    const QJsonObject underCursor{{"executable", "C:\\Games\\game.exe"}};
    const struct {
        const char* name;
        int index;
        QJsonObject condition;
        const char* reason;
    } cases[] = {
        {"global", 0, {}, "Глобальный профиль: условия приложения/окна не совпали"},
        {"foreground", 2, {{"mode", "foreground"}}, "Активное окно: C:\\Tools\\editor.exe"},
        {"under the cursor with title", 1, {{"mode", "underCursor"}, {"title", "Doc"}},
         "Окно под курсором: C:\\Games\\game.exe · заголовок совпал"},
        {"title and class", 1, {{"title", "Doc"}, {"class", "Edit"}},
         "Активное окно: C:\\Tools\\editor.exe · заголовок совпал · класс совпал"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(automaticSwitchReason(c.index, QJsonObject{{"condition", c.condition}}, foreground, underCursor), c.reason)
            << c.name;
}

TEST(ProfileTexts, DevicesAreNumberedByTheirPlaceInTheList)
{
    std::vector<vorna::windows::RawInputDevice> devices(3);
    devices[0].kind = 1;
    devices[1].kind = 0;
    devices[1].buttons = 5;
    devices[2].kind = 2;
    const QJsonArray entries = deviceEntries(devices);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0].toObject(), (QJsonObject{{"kind", "Клавиатура"}, {"label", "Клавиатура · устройство 1"}, {"buttons", 0}}));
    EXPECT_EQ(entries[1].toObject(), (QJsonObject{{"kind", "Мышь"}, {"label", "Мышь · устройство 2"}, {"buttons", 5}}));
    EXPECT_EQ(entries[2].toObject()["label"].toString(), "HID · устройство 3");
}

TEST(ProfileTexts, ActionResultsTable)
{
    const struct {
        const char* name;
        QJsonObject event;
        bool notify, ok, setError;
    } cases[] = {
        {"failure with detail", {{"result", 3}, {"operation", "9"}, {"detail", "boom"}}, true, false, true},
        {"failure without detail keeps the error", {{"result", 3}, {"operation", "9"}}, true, false, false},
        {"refused", {{"result", 6}, {"operation", "9"}}, true, false, false},
        {"done", {{"result", 7}, {"operation", "9"}}, true, true, false},
        {"finished", {{"result", 10}, {"operation", "9"}}, true, true, false},
        {"progress complete", {{"result", 11}, {"operation", "9"}, {"progress", 5}, {"total", 5}}, true, true, false},
        {"progress partial", {{"result", 11}, {"operation", "9"}, {"progress", 4}, {"total", 5}}, false, true, false},
        {"not final", {{"result", 7}, {"operation", "9"}, {"final", false}}, false, true, false},
        {"no operation", {{"result", 7}}, false, true, false},
        {"operation not a number", {{"result", 7}, {"operation", "x9"}}, false, true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const ActionResultDecision d = decideActionResult(c.event);
        EXPECT_EQ(d.notify, c.notify);
        if (d.notify) {
            EXPECT_EQ(d.operation, 9u);
            EXPECT_EQ(d.ok, c.ok);
        }
        EXPECT_EQ(d.setError, c.setError);
    }
}
