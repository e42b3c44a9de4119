#include "core/profile_choice.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

namespace {

using vorna::core::resolveAutomaticProfile;
using vorna::test::edited;
using vorna::test::libraryWithProfiles;

struct Profile {
    const char* application;
    int priority = 0;
    QJsonObject condition = {};
};

QJsonObject automaticLibrary(std::initializer_list<Profile> profiles)
{
    QJsonObject library = libraryWithProfiles(static_cast<int>(profiles.size()) + 1);
    library["automatic"] = true;
    int index = 1;
    for (const Profile& p : profiles) {
        library = edited(library, {"profiles", index, "application"}, p.application);
        library = edited(library, {"profiles", index, "priority"}, p.priority);
        if (!p.condition.isEmpty())
            library = edited(library, {"profiles", index, "condition"}, p.condition);
        ++index;
    }
    return library;
}

QJsonObject window(const char* executable, const char* title = "", const char* windowClass = "")
{
    return QJsonObject{{"executable", executable}, {"title", title}, {"class", windowClass}};
}

QJsonObject condition(const char* mode, const char* title, const char* windowClass)
{
    return QJsonObject{{"mode", mode}, {"title", title}, {"class", windowClass}};
}

TEST(ProfileChoice, StoredSelectionWhenAutomaticIsOff)
{
    QJsonObject library = automaticLibrary({{"notepad.exe"}});
    library["automatic"] = false;
    library["selectedProfile"] = 3; // not range-checked here
    EXPECT_EQ(resolveAutomaticProfile(library, window("D:\\notepad.exe"), {}), 3);
    library["automatic"] = "true"; // not a boolean: off
    EXPECT_EQ(resolveAutomaticProfile(library, window("D:\\notepad.exe"), {}), 3);
}

TEST(ProfileChoice, ApplicationMatching)
{
    struct Case {
        const char* what;
        const char* application;
        const char* executable;
        int expected;
    } const cases[] = {
        {"file name, backslashes", "notepad.exe", "D:\\Tools\\notepad.exe", 1},
        {"file name, other case and slashes", "notepad.exe", "D:/TOOLS/NOTEPAD.EXE", 1},
        {"file name, mixed separators", "notepad.exe", "D:\\Tools/notepad.exe", 1},
        {"full path in any case", "D:\\Tools\\notepad.exe", "d:/tools/NOTEPAD.exe", 1},
        {"full path with forward slashes", "D:/Tools/notepad.exe", "D:\\Tools\\notepad.exe", 1},
        {"full path, other folder", "D:\\Tools\\notepad.exe", "C:\\Windows\\notepad.exe", 0},
        {"surrounding blanks", "  notepad.exe\t", "C:\\Windows\\notepad.exe", 1},
        {"file name is not a suffix match", "pad.exe", "C:\\Windows\\notepad.exe", 0},
        {"another program", "notepad.exe", "C:\\Windows\\write.exe", 0},
        {"no executable", "notepad.exe", "", 0},
        {"empty application", "", "C:\\Windows\\notepad.exe", 0},
        {"blank application", "   ", "C:\\Windows\\notepad.exe", 0},
    };
    for (const Case& c : cases) {
        const QJsonObject library = automaticLibrary({{c.application}});
        EXPECT_EQ(resolveAutomaticProfile(library, window(c.executable), {}), c.expected) << c.what;
    }
}

TEST(ProfileChoice, PriorityThenScoreThenOrder)
{
    const QJsonObject titleAndClass = condition("foreground", "report", "Editor");
    const QJsonObject win = window("D:\\Tools\\notepad.exe", "Monthly REPORT - Editor", "EDITOR");
    struct Case {
        const char* what;
        std::initializer_list<Profile> profiles;
        int expected;
    } const cases[] = {
        {"higher priority beats a better score", {{"notepad.exe", 7}, {"notepad.exe", 5, titleAndClass}}, 1},
        {"higher priority later in the list", {{"notepad.exe", 5, titleAndClass}, {"notepad.exe", 7}}, 2},
        {"full path beats title and class", {{"notepad.exe", 0, titleAndClass}, {"D:/Tools/notepad.exe", 0}}, 2},
        {"title and class beat nothing", {{"notepad.exe", 0}, {"notepad.exe", 0, titleAndClass}}, 2},
        {"equal score keeps the lower index", {{"notepad.exe", 3}, {"NOTEPAD.EXE", 3}}, 1},
        {"negative priorities still match", {{"notepad.exe", -1000}}, 1},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resolveAutomaticProfile(automaticLibrary(c.profiles), win, {}), c.expected) << c.what;
}

TEST(ProfileChoice, WindowConditions)
{
    const QJsonObject foreground = window("C:\\a\\notepad.exe", "Monthly REPORT - Editor", "Notepad");
    const QJsonObject underCursor = window("C:\\b\\paint.exe", "Canvas", "MSPaintApp");
    struct Case {
        const char* what;
        Profile profile;
        int expected;
    } const cases[] = {
        {"title contained, any case", {"notepad.exe", 0, condition("foreground", "report", "")}, 1},
        {"title not contained", {"notepad.exe", 0, condition("foreground", "invoice", "")}, 0},
        {"class equal, any case", {"notepad.exe", 0, condition("foreground", "", "NOTEPAD")}, 1},
        {"class only a part", {"notepad.exe", 0, condition("foreground", "", "Note")}, 0},
        {"under the cursor judged by that window", {"paint.exe", 0, condition("underCursor", "canvas", "mspaintapp")}, 1},
        {"under the cursor ignores the foreground", {"notepad.exe", 0, condition("underCursor", "", "")}, 0},
        {"mode in other case means foreground", {"notepad.exe", 0, condition("UnderCursor", "", "")}, 1},
        {"title condition without application", {"", 0, condition("foreground", "report", "")}, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(resolveAutomaticProfile(automaticLibrary({c.profile}), foreground, underCursor), c.expected) << c.what;
}

TEST(ProfileChoice, GlobalProfileIsNeverACandidate)
{
    QJsonObject library = automaticLibrary({{"write.exe"}});
    library = edited(library, {"profiles", 0, "application"}, "notepad.exe");
    EXPECT_EQ(resolveAutomaticProfile(library, window("C:\\notepad.exe"), {}), 0);
}

} // namespace
