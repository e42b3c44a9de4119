// The profiles page in the real settings window: its cards and handles, starter profiles,
// duplicating, the delete confirmation that remembers its profile, layer names edited in place,
// an import preview of a crafted package, and screenshots in both languages.

#include "tests/editor/editor_view.h"

#include "editor/packages.h"
#include "tests/core/library_fixture.h"
#include "tests/editor/package_fixture.h"

#include <QTemporaryDir>

namespace {

using vorna::test::SettingsShell;
using vorna::test::typeInto;

constexpr int kProfilesPage = 2;

class ProfilesPage : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        ASSERT_TRUE(controller().commitLibrary(vorna::test::libraryWithProfiles(3), false));
        m_shell.window()->setProperty("page", kProfilesPage);
        m_shell.settle();
    }

    AppController& controller() { return m_shell.controller(); }
    QQuickItem* item(const QString& name) { return m_shell.find<QQuickItem>(name); }

    SettingsShell m_shell;
};

TEST_F(ProfilesPage, CardsAndHandlesAreThere)
{
    for (const char* name : {"profileIdentityCard", "profileConditionsCard", "profileLayersCard", "profileTemplatesCard",
                             "profileTransferCard", "profileName", "duplicateProfileAction", "deleteProfileAction",
                             "presetwork", "presetbrowser", "presetediting", "preset3d", "presetfps", "presetstrategy",
                             "presetrpg", "profileLayer_0", "profileLayer_9", "layerName_0", "layerName_9"})
        EXPECT_NE(item(QLatin1String(name)), nullptr) << name;
    // The window reaches the name field through the page.
    EXPECT_EQ(m_shell.window()->property("profileName").value<QObject*>(), item("profileName"));
    EXPECT_FALSE(item("deleteProfileAction")->isEnabled()); // the global profile is selected
    EXPECT_EQ(item("layerName_1")->property("text").toString(), QStringLiteral("Слой 2"));
}

TEST_F(ProfilesPage, ScreenshotsInBothLanguages)
{
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("profiles-page"));
    m_shell.window()->resize(1100, 900); // one column below 1280 pixels
    m_shell.settle();
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("profiles-page-narrow"));
}

TEST_F(ProfilesPage, StarterAndDuplicateCreateAndSelectTheNewProfile)
{
    controller().setLanguage("en");
    m_shell.click(item("presetfps"));
    ASSERT_EQ(controller().profiles().size(), 4);
    EXPECT_EQ(controller().profileIndex(), 3);
    EXPECT_EQ(controller().profiles().at(3).toMap().value("name").toString(), QStringLiteral("FPS · voice and layer"));
    // The window refilled the name field from the new selection.
    EXPECT_EQ(item("profileName")->property("text").toString(), QStringLiteral("FPS · voice and layer"));

    m_shell.click(item("duplicateProfileAction"));
    ASSERT_EQ(controller().profiles().size(), 5);
    EXPECT_EQ(controller().profiles().at(4).toMap().value("name").toString(), QStringLiteral("FPS · voice and layer — copy"));
    EXPECT_EQ(controller().library()["profiles"][4]["layers"], controller().library()["profiles"][3]["layers"]);
}

TEST_F(ProfilesPage, DeletionAsksAndDeletesOnlyTheProfileItAskedAbout)
{
    controller().setProfileIndex(2);
    m_shell.settle();
    auto* dialog = m_shell.find<QObject>(QStringLiteral("deleteProfileConfirmation"));
    ASSERT_NE(dialog, nullptr);

    // The selection changes while the dialog is open: Yes deletes nothing.
    m_shell.click(item("deleteProfileAction"));
    ASSERT_TRUE(dialog->property("visible").toBool());
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("profiles-delete-confirmation"));
    controller().setProfileIndex(1);
    m_shell.click(item("confirmDeleteProfile"));
    EXPECT_FALSE(dialog->property("visible").toBool());
    EXPECT_EQ(controller().profiles().size(), 3);

    m_shell.click(item("deleteProfileAction"));
    m_shell.click(item("confirmDeleteProfile"));
    EXPECT_EQ(controller().profiles().size(), 2);
    EXPECT_EQ(controller().profileIndex(), 0);
}

TEST_F(ProfilesPage, ALayerNameIsWrittenOnlyToTheLayerItWasTypedFor)
{
    auto* third = item("layerName_2");
    typeInto(m_shell, third, QStringLiteral(" Бег"));
    EXPECT_EQ(controller().layerIndex(), 2); // focusing the row selected its layer
    QTest::keyClick(m_shell.window(), Qt::Key_Return);
    m_shell.settle();
    EXPECT_EQ(controller().layers().at(2).toMap().value("name").toString(), QStringLiteral("Слой 3 Бег"));

    // The selection moves elsewhere during the edit: finishing it writes nothing.
    typeInto(m_shell, item("layerName_4"), QStringLiteral("x"));
    controller().setLayerIndex(0);
    QTest::keyClick(m_shell.window(), Qt::Key_Return);
    m_shell.settle();
    EXPECT_EQ(controller().layers().at(4).toMap().value("name").toString(), QStringLiteral("Слой 5"));
    EXPECT_EQ(item("layerName_4")->property("text").toString(), QStringLiteral("Слой 5"));
}

// A package whose action name holds line breaks and 24 blank lines, to fake a harmless block and
// push the command it runs out of sight: in the window the crafted name takes the few lines its
// escapes wrap onto, not 26, and the command shows under it.
TEST_F(ProfilesPage, ACraftedImportShowsWhatItRunsInSight)
{
    controller().setLanguage("en");
    QTemporaryDir folder;
    auto* preview = item("importPreviewText");
    ASSERT_NE(preview, nullptr);
    const auto showImport = [&](const QString& actionName) {
        QJsonObject source = vorna::test::richLibrary();
        source = vorna::test::edited(source, {"actions", 1, "name"}, actionName);
        source = vorna::test::edited(source, {"actions", 1, "value"}, "C:\\Windows\\System32\\cmd.exe");
        source = vorna::test::edited(source, {"actions", 1, "arguments"},
                                     QJsonArray{"/c", "del /s /q %USERPROFILE%\\Documents"});
        source = vorna::test::edited(source, {"profiles", 1, "name"}, "Editor \u202Egpj.exe");
        const QString file = folder.filePath(QStringLiteral("package.json"));
        QString error;
        EXPECT_TRUE(library::exportPackage(file, source, QStringLiteral("profile"), error)) << error.toStdString();
        controller().previewImport(QUrl::fromLocalFile(file));
        QMetaObject::invokeMethod(m_shell.window(), "scrollBodyEnd");
        m_shell.settle();
        return preview->property("lineCount").toInt();
    };
    const int plainLines = showImport(QStringLiteral("Notes"));
    const int craftedLines =
        showImport("Notes · application\nnotepad.exe" + QString(24, QLatin1Char('\n')) + "Cleanup\x07\x1b[8m");

    ASSERT_TRUE(preview->isVisible());
    const QString shown = preview->property("text").toString();
    EXPECT_EQ(shown, controller().importPreview());
    EXPECT_TRUE(shown.contains("Cleanup⟨U+0007⟩⟨U+001B⟩[8m · application\nC:\\Windows\\System32\\cmd.exe\n"));
    EXPECT_TRUE(shown.contains("Editor ⟨U+202E⟩gpj.exe / 1"));
    ASSERT_GT(plainLines, 10);
    EXPECT_GT(craftedLines, plainLines); // the escapes wrap
    EXPECT_LE(craftedLines, plainLines + 4);

    const QImage window = m_shell.grab();
    ASSERT_FALSE(window.isNull());
    const QRect area = preview->mapRectToScene(QRectF(0, 0, preview->width(), preview->height())).toAlignedRect();
    EXPECT_TRUE(QRect(QPoint(0, 0), window.size()).contains(area)); // the whole summary is in sight
    const QImage text = window.copy(area);
    const QRgb background = text.pixel(0, 0);
    int inked = 0;
    for (int y = 0; y < text.height(); ++y) {
        for (int x = 0; x < text.width(); ++x)
            inked += text.pixel(x, y) != background ? 1 : 0;
    }
    EXPECT_GT(inked, text.width() * text.height() / 50); // text was drawn, not a blank area
    const QString shots = vorna::test::screenshotFolder();
    ASSERT_FALSE(shots.isEmpty());
    EXPECT_TRUE(window.save(shots + QStringLiteral("/profiles-crafted-import-en.png")));
}

} // namespace
