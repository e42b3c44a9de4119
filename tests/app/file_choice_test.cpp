// What a picker's folder and typed name, or a dialog's URL, stand for on this machine.

#include "app/file_choice.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QTemporaryDir>

namespace {

TEST(FileChoice, ADialogsUrlBecomesALocalPathWhateverItsForm)
{
    EXPECT_EQ(app::localFilePath(QUrl::fromLocalFile("/home/u/a b.json")), "/home/u/a b.json");
    // Qt 6.4's built-in save dialog gives a typed name this way: an absolute path, no scheme.
    EXPECT_EQ(app::localFilePath(QUrl("/home/u/export.json")), "/home/u/export.json");
    EXPECT_EQ(app::localFilePath(QUrl("/home/u/../u/export.json")), "/home/u/export.json");
    EXPECT_EQ(app::localFilePath(QUrl("export.json")), "");
    EXPECT_EQ(app::localFilePath(QUrl("https://example.com/export.json")), "");
    EXPECT_EQ(app::localFilePath(QUrl()), "");
}

TEST(FileChoice, ATypedNameIsResolvedInTheFolderAndGetsTheSuffix)
{
    QTemporaryDir root;
    ASSERT_TRUE(QDir(root.path()).mkdir("sub"));
    ASSERT_TRUE(QDir(root.path()).mkdir("plain.d"));
    const QString r = root.path();
    struct Case {
        QString typed;
        QString suffix;
        QString expected;
    };
    const Case cases[] = {
        {"profiles", "json", r + "/profiles.json"},
        {"  profiles  ", "json", r + "/profiles.json"},
        {"profiles.json", "json", r + "/profiles.json"},
        {"profiles.txt", "json", r + "/profiles.txt"},
        {"profiles", "", r + "/profiles"},
        {"sub/x", "json", r + "/sub/x.json"},
        {"./sub/../y", "json", r + "/y.json"},
        {"sub", "json", r + "/sub"},          // an existing folder stays a folder
        {"plain.d", "json", r + "/plain.d"},
        {"/elsewhere/z", "json", "/elsewhere/z.json"},
        {"", "json", ""},
        {"   ", "json", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(app::pickedFilePath(r, c.typed, c.suffix), c.expected) << c.typed.toStdString();
    EXPECT_EQ(app::pickedFilePath("", "profiles", "json"), "");
}

} // namespace
