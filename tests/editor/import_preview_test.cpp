// The summary shown before an import: its headline by scope, the motion lines of every layer
// that has its own motion, the custom actions with their arguments, in both languages, and
// names from the file kept literally, except for what would act as layout.

#include "editor/import_preview.h"

#include "tests/editor/package_fixture.h"

#include <gtest/gtest.h>

namespace {

using namespace vorna::test;

QJsonObject withMotion(const QJsonObject& motion)
{
    return edited(edited(libraryWithProfiles(1), {"profiles", 0, "name"}, "Work"),
                  {"profiles", 0, "layers", 1, "motion"}, motion);
}

QJsonObject withActions(const QJsonArray& actions)
{
    QJsonObject library = libraryWithProfiles(1);
    library["actions"] = actions;
    return library;
}

TEST(ImportPreview, ReadsAsTheUserShouldSeeIt)
{
    const QJsonObject twoProfilesThreeRules =
        withRules(withRules(libraryWithProfiles(2), 0, 0, {rule("key_65", "blocked")}), 1, 3,
                  {rule("key_66", "blocked"), rule("key_67", "blocked")});
    QJsonObject actions = libraryWithProfiles(1);
    actions["actions"] = QJsonArray{
        QJsonObject{{"type", "application"}, {"name", "Terminal"}, {"value", "C:\\Tools\\term.exe"},
                    {"arguments", QJsonArray{"--new-tab", "-d C:\\Work"}}},
        QJsonObject{{"type", "text"}, {"name", "Sign"}, {"value", "Best"}, {"clipboard", true}},
    };
    const struct {
        const char* name;
        QJsonObject pending;
        const char* scope;
        bool english;
        QString preview;
    } cases[] = {
        {"collection", twoProfilesThreeRules, "collection", true,
         "Profiles: 2. Rules: 3. Import replaces this collection and pauses all mappings. Undo is available."},
        {"collection ru", twoProfilesThreeRules, "collection", false,
         "Профилей: 2. Правил: 3. Импорт заменит набор и остановит назначения. Замену можно отменить."},
        {"profile", libraryWithProfiles(1), "profile", true,
         "Import adds one profile. Existing profiles remain. Mappings will be paused; Undo is available."},
        {"layer ru", libraryWithProfiles(1), "layer", false,
         "Импорт заменит выбранный слой. Остальные слои сохранятся. Назначения будут на паузе, доступна отмена."},
        {"motion, Y only", withMotion(motionSettings({{"axis", 2}, {"wheelVertical", 150}})), "layer", true,
         "Import replaces the selected layer. Other layers remain. Mappings will be paused; Undo is available.\n\n"
         "Work / 2 · Слой 2\nWheel V/H: 150% / 100%. Cursor X/Y: 100% / 100%.\nY only\n"
         "While held: speed 25%; 40 pixels per scroll notch."},
        {"motion, no flag line", withMotion(motionSettings({{"scrollPixels", 80}})), "layer", true,
         "Import replaces the selected layer. Other layers remain. Mappings will be paused; Undo is available.\n\n"
         "Work / 2 · Слой 2\nWheel V/H: 100% / 100%. Cursor X/Y: 100% / 100%.\n"
         "While held: speed 25%; 80 pixels per scroll notch."},
        {"motion flags ru", withMotion(motionSettings({{"invertY", true}, {"pages", true}, {"verticalToHorizontal", true}, {"axis", 1}})),
         "layer", false,
         "Импорт заменит выбранный слой. Остальные слои сохранятся. Назначения будут на паузе, доступна отмена.\n\n"
         "Work / 2 · Слой 2\nКолесо V/H: 100% / 100%. Курсор X/Y: 100% / 100%.\n"
         "инверсия курсора Y, Page Up/Down, прокрутка V → H, X only\n"
         "При удержании: скорость 25%; 40 пикселей на шаг прокрутки."},
        {"a name with placeholders stays literal", edited(withMotion(motionSettings()), {"profiles", 0, "name"}, "%2 <b>%1</b>"),
         "layer", true,
         "Import replaces the selected layer. Other layers remain. Mappings will be paused; Undo is available.\n\n"
         "%2 <b>%1</b> / 2 · Слой 2\nWheel V/H: 100% / 100%. Cursor X/Y: 100% / 100%.\n"
         "While held: speed 25%; 40 pixels per scroll notch."},
        {"a name's line breaks cannot fake a block or push the command out of sight",
         withActions({QJsonObject{{"type", "application"},
                                  {"name", "Notes · application\nnotepad.exe" + QString(24, QLatin1Char('\n')) + "Cleanup"},
                                  {"value", "C:\\Windows\\System32\\cmd.exe"},
                                  {"arguments", QJsonArray{"/c del /s /q C:\\Users\\me\\Documents"}}}}),
         "profile", true,
         "Import adds one profile. Existing profiles remain. Mappings will be paused; Undo is available.\n\n"
         "Notes · application⟨U+000A⟩notepad.exe" + QString("⟨U+000A⟩").repeated(24)
             + "Cleanup · application\nC:\\Windows\\System32\\cmd.exe\n  /c del /s /q C:\\Users\\me\\Documents"},
        {"BEL, ESC and a right-to-left override in names, values and arguments",
         withActions({QJsonObject{{"type", "application"},
                                  {"name", "Beep\x07\x1b[8m"},
                                  {"value", "C:\\Tools\\\u202Etxt.exe"},
                                  {"arguments", QJsonArray{"\u202E-x \u2066y\u2069"}}}}),
         "profile", true,
         "Import adds one profile. Existing profiles remain. Mappings will be paused; Undo is available.\n\n"
         "Beep⟨U+0007⟩⟨U+001B⟩[8m · application\nC:\\Tools\\⟨U+202E⟩txt.exe\n  ⟨U+202E⟩-x ⟨U+2066⟩y⟨U+2069⟩"},
        {"profile and layer names of a motion block",
         edited(edited(withMotion(motionSettings()), {"profiles", 0, "name"}, "W\u202Eork\r"),
                {"profiles", 0, "layers", 1, "name"}, "L\u2029x"),
         "layer", true,
         "Import replaces the selected layer. Other layers remain. Mappings will be paused; Undo is available.\n\n"
         "W⟨U+202E⟩ork⟨U+000D⟩ / 2 · L⟨U+2029⟩x\nWheel V/H: 100% / 100%. Cursor X/Y: 100% / 100%.\n"
         "While held: speed 25%; 40 pixels per scroll notch."},
        {"actions", actions, "profile", true,
         "Import adds one profile. Existing profiles remain. Mappings will be paused; Undo is available.\n\n"
         "Terminal · application\nC:\\Tools\\term.exe\n  --new-tab\n  -d C:\\Work\n\n"
         "Sign · text\nBest\nUses clipboard"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(editor::importPreviewText(c.pending, QLatin1String(c.scope), c.english), c.preview)
            << c.name;
    }
}

} // namespace
