// The real settings window with a damaged library and on a full disk: the start notice names the
// file, the profiles page's restore brings the backup back and says where the damaged file went,
// and a change the disk refuses shows as an error with the system's reason while the window
// keeps showing what is saved.

#include "tests/support/settings_shell.h"

#include "core/library_files.h"
#include "editor/library_state.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"
#include "tests/support/file_faults.h"
#include "tests/support/scoped_env.h"

#include <QFileInfo>
#include <QSettings>

namespace {

using vorna::test::compact;
using vorna::test::SettingsShell;

constexpr int kProfilesPage = 2;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(out.write(bytes), bytes.size());
}

QByteArray readFile(const QString& path)
{
    QFile in(path);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

// The message of the newest notice card, and whether it stays until closed (an error).
struct Toast {
    QString message;
    bool persistent = false;
};

Toast newestToast(const SettingsShell& shell)
{
    Toast newest;
    for (int id = 1; id < 100; ++id) {
        if (QObject* card = shell.find(QStringLiteral("toast_%1").arg(id)))
            newest = {card->property("message").toString(), card->property("persistent").toBool()};
    }
    return newest;
}

// Scrolls the window's body until `item` is in the middle of it, and clicks it.
void clickInBody(const SettingsShell& shell, QQuickItem* item)
{
    ASSERT_NE(item, nullptr);
    auto* body = shell.find<QQuickItem>(QStringLiteral("bodyViewport"));
    ASSERT_NE(body, nullptr);
    auto* view = body->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(view, nullptr);
    const qreal offset = item->mapToItem(body, QPointF(0, item->height() / 2)).y() - body->height() / 2;
    view->setProperty("contentY", std::max(0.0, view->property("contentY").toDouble() + offset));
    shell.settle();
    shell.click(item);
}

const QJsonObject kBackup = vorna::test::libraryWithNumberedRules(2);

TEST(LibraryFaultsWindow, ADamagedLibraryIsNamedAndTheProfilesPageRestoresTheBackup)
{
    QString library;
    SettingsShell shell({}, false, [&library] {
        library = vorna::core::libraryPath();
        writeFile(library + "/inside.txt", "a folder where the library belongs");
        writeFile(library + ".bak", compact(kBackup));
        QSettings().setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
    });
    ASSERT_NE(shell.window(), nullptr);
    shell.settle();
    const Toast start = newestToast(shell);
    EXPECT_EQ(start.message,
        editor::damagedLibraryNotice(library, QStringLiteral("Cannot read library or file too large"), true, true));
    EXPECT_TRUE(start.persistent);
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(shell.grab().save(folder + QStringLiteral("/damaged-library-notice-en.png")));

    shell.window()->setProperty("page", kProfilesPage);
    shell.settle();
    clickInBody(shell, shell.find<QQuickItem>(QStringLiteral("restoreBackupAction")));
    const QString moved = shell.controller().notice().section('"', 1, 1);
    EXPECT_TRUE(moved.startsWith(library + ".damaged-")) << shell.controller().notice().toStdString();
    EXPECT_EQ(readFile(moved + "/inside.txt"), "a folder where the library belongs");
    const Toast restored = newestToast(shell);
    EXPECT_EQ(restored.message,
        QStringLiteral("Restored. The damaged file was moved to \"%1\". Mappings remain paused.").arg(moved));
    EXPECT_FALSE(restored.persistent);
    EXPECT_EQ(shell.controller().library(), kBackup);
    EXPECT_EQ(readFile(library), compact(kBackup));
}

TEST(LibraryFaultsWindow, AChangeTheFullDiskRefusesIsAnErrorAndShowsAsNotMade)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.controller().setLanguage(QStringLiteral("en"));
    QTemporaryDir root;
    vorna::test::SmallDisk disk(root.filePath(QStringLiteral("data")));
    if (!disk.mounted())
        GTEST_SKIP() << disk.problem().toStdString();
    vorna::test::ScopedEnv data("VORNA_TEST_DATA", root.filePath(QStringLiteral("data")).toUtf8());
    const QString library = vorna::core::libraryPath();
    ASSERT_TRUE(library.startsWith(root.path()));
    ASSERT_TRUE(shell.controller().commitLibrary(kBackup, false));
    shell.settle();
    ASSERT_TRUE(disk.leaveFree(0));

    auto* automatic = shell.find<QQuickItem>(QStringLiteral("automaticPick"));
    ASSERT_NE(automatic, nullptr);
    ASSERT_FALSE(automatic->property("checked").toBool());
    shell.click(automatic);
    shell.settle();

    const Toast refused = newestToast(shell);
    EXPECT_EQ(refused.message, QStringLiteral("Cannot write %1: No space left on device").arg(library));
    EXPECT_TRUE(refused.persistent);
    EXPECT_FALSE(shell.controller().automatic());
    EXPECT_FALSE(automatic->property("checked").toBool());
    EXPECT_EQ(readFile(library), compact(kBackup));
}

} // namespace
