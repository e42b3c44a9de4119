// The profiles page in the real settings window: its cards and handles, starter profiles,
// duplicating, the delete confirmation that remembers its profile, layer names edited in place,
// and screenshots in both languages.

#include "tests/editor/editor_view.h"

#include "tests/core/library_fixture.h"

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

} // namespace
