// The settings page, the profile conditions card and the running-applications dialog in the
// real settings window, offscreen, in both languages, with no QML warning.

#include "tests/support/settings_shell.h"

#include "core/library_files.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/sim/session/session_api.h"
#include "platform/win32.h"
#include "tests/core/library_fixture.h"
#include "tests/support/screenshot_folder.h"
#include "tests/support/unwritable_path.h"

#include <QQmlComponent>
#include <QQmlContext>
#include <QQmlEngine>
#include <QSettings>
#include <QSignalSpy>

namespace {

using vorna::test::SettingsShell;

constexpr int kProfilesPage = 2;
constexpr int kSettingsPage = 5;

class SettingsPages : public testing::Test {
protected:
    SettingsPages() : m_session(vorna::sim::processSession()) { m_session.reset(); }
    ~SettingsPages() override { m_session.reset(); }

    void openSettings()
    {
        m_shell.window()->setProperty("page", kSettingsPage);
        m_shell.settle();
    }

    // Chooses the picker's entry as a click in its list would.
    void choose(const char* pickerName, int index)
    {
        QObject* picker = m_shell.find(QString::fromLatin1(pickerName));
        ASSERT_NE(picker, nullptr) << pickerName;
        picker->setProperty("currentIndex", index);
        ASSERT_TRUE(QMetaObject::invokeMethod(picker, "activated", Q_ARG(int, index)));
        m_shell.settle();
    }

    vorna::sim::SessionApi& m_session;
    SettingsShell m_shell;
};

TEST_F(SettingsPages, SettingsPageShowsAndWritesThePreferences)
{
    ASSERT_NE(m_shell.window(), nullptr);
    openSettings();
    for (const char* name : {"themePicker", "languagePicker", "startupToggle", "settingsCopyReport", "settingsReportProblem",
             "thirdPartyNoticesAction", "aboutQuitAction"}) {
        auto* item = m_shell.find<QQuickItem>(QString::fromLatin1(name));
        ASSERT_NE(item, nullptr) << name;
        EXPECT_TRUE(item->isVisible()) << name;
        EXPECT_GT(item->width(), 0) << name;
    }
    AppController& app = m_shell.controller();
    auto* themePicker = m_shell.find(QStringLiteral("themePicker"));
    EXPECT_EQ(themePicker->property("currentIndex").toInt(), 2); // "dark" when nothing is stored

    choose("themePicker", 1);
    EXPECT_EQ(app.theme(), "light");
    app.setTheme("contrast");
    m_shell.settle();
    EXPECT_EQ(themePicker->property("currentIndex").toInt(), 3);
    app.setTheme("dark"); // early, so its colour animations have ended by the screenshots

    choose("languagePicker", 1);
    EXPECT_EQ(app.language(), "en");
    EXPECT_EQ(m_shell.find<QQuickItem>(QStringLiteral("startupToggle"))->property("text").toString(),
        "Start engine on Windows sign-in");

    auto* startup = m_shell.find<QQuickItem>(QStringLiteral("startupToggle"));
    m_shell.click(startup);
    EXPECT_TRUE(app.startup());
    EXPECT_TRUE(startup->property("checked").toBool());
    m_shell.click(startup);
    EXPECT_FALSE(app.startup());

    m_shell.click(m_shell.find<QQuickItem>(QStringLiteral("settingsCopyReport")));
    EXPECT_EQ(app.notice(), "Support report copied");
    EXPECT_FALSE(vorna::sim::DesktopClient(m_session).clipboard().entries.empty());
    // The report names the look the window has, not the stored preference.
    EXPECT_TRUE(app.supportReport("contrast", 1.0).contains("\"theme\": \"contrast\""));

    // No notices file beside the test program: the user is told, nothing is opened.
    m_shell.click(m_shell.find<QQuickItem>(QStringLiteral("thirdPartyNoticesAction")));
    EXPECT_EQ(app.notice(), "Could not open the third-party notices");

    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("settings-page"));
}

TEST_F(SettingsPages, StartupCheckBoxShowsAFailedChangeAsNotDone)
{
    openSettings();
    QTemporaryDir folder;
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, vorna::test::unwritablePath(folder.path()));
    auto* startup = m_shell.find<QQuickItem>(QStringLiteral("startupToggle"));
    m_shell.click(startup);
    EXPECT_EQ(m_shell.controller().notice(), "Не удалось изменить автозапуск");
    EXPECT_FALSE(startup->property("checked").toBool());
}

TEST(SettingsPage, ThemeStoredByOtherMeansLeavesThePickerEmpty)
{
    SettingsShell shell({}, false, [] { QSettings().setValue(QStringLiteral("ui/theme"), QStringLiteral("blue")); });
    ASSERT_NE(shell.window(), nullptr);
    shell.window()->setProperty("page", kSettingsPage);
    shell.settle();
    EXPECT_EQ(shell.controller().theme(), "blue");
    EXPECT_EQ(shell.find(QStringLiteral("themePicker"))->property("currentIndex").toInt(), -1);
}

// The card as the profiles page places it, with the second profile selected.
class ConditionsCard : public SettingsPages {
protected:
    void SetUp() override
    {
        ASSERT_NE(m_shell.window(), nullptr);
        QJsonObject library = vorna::test::libraryWithProfiles(2);
        library = vorna::test::edited(library, {"profiles", 1, "application"}, "notepad.exe");
        library = vorna::test::edited(library, {"profiles", 1, "priority"}, 7);
        library = vorna::test::edited(library, {"profiles", 1, "condition"},
            QJsonObject{{"mode", "underCursor"}, {"title", "Report"}, {"class", "Notepad"}});
        library = vorna::test::edited(library, {"selectedProfile"}, 1);
        ASSERT_TRUE(m_shell.controller().commitLibrary(library, false)) << m_shell.controller().notice().toStdString();
        m_shell.window()->setProperty("page", kProfilesPage);

        QQmlComponent component(qmlEngine(m_shell.window()), QUrl(QStringLiteral("qrc:/ui/qml/pages/profiles/ProfileConditionsCard.qml")));
        m_card.reset(qobject_cast<QQuickItem*>(component.createWithInitialProperties(
            {{"windowRoot", QVariant::fromValue<QObject*>(m_shell.window())}}, qmlContext(m_shell.window()))));
        ASSERT_NE(m_card, nullptr) << component.errorString().toStdString();
        m_card->setParentItem(m_shell.window()->contentItem());
        m_card->setPosition(QPointF(Theme_left, 72));
        m_card->setWidth(720);
        m_shell.settle();
    }

    void TearDown() override { m_card.reset(); }

    QQuickItem* item(const char* name) const
    {
        for (QQuickItem* found : m_card->findChildren<QQuickItem*>(QString::fromLatin1(name)))
            return found;
        return nullptr;
    }

    static constexpr double Theme_left = 120;
    std::unique_ptr<QQuickItem> m_card;
};

TEST_F(ConditionsCard, ShowsTheStoredProfileAndSavesItsCondition)
{
    EXPECT_EQ(item("appPath")->property("text").toString(), "notepad.exe");
    EXPECT_EQ(item("priority")->property("value").toInt(), 7);
    EXPECT_FALSE(item("windowConditionBlock")->isVisible());
    m_shell.click(item("advancedContext"));
    ASSERT_TRUE(item("windowConditionBlock")->isVisible());
    EXPECT_EQ(item("windowMode")->property("currentIndex").toInt(), 1);
    EXPECT_EQ(item("windowTitle")->property("text").toString(), "Report");
    EXPECT_EQ(item("windowClass")->property("text").toString(), "Notepad");

    item("windowTitle")->setProperty("text", "Invoice");
    m_shell.click(item("saveWindowCondition"));
    const QJsonObject stored = m_shell.controller().library()["profiles"][1]["condition"].toObject();
    EXPECT_EQ(stored, (QJsonObject{{"mode", "underCursor"}, {"title", "Invoice"}, {"class", "Notepad"}}));

    for (const char* language : {"ru", "en"}) {
        m_shell.controller().setLanguage(QString::fromLatin1(language));
        const QString folder = vorna::test::screenshotFolder();
        ASSERT_FALSE(folder.isEmpty());
        EXPECT_TRUE(m_shell.grab().save(folder + QStringLiteral("/profile-conditions-%1.png").arg(language)));
    }
}

TEST_F(ConditionsCard, GlobalProfileDisablesTheApplicationControls)
{
    m_shell.controller().setProfileIndex(0);
    m_shell.settle();
    for (const char* name : {"appPath", "advancedContext", "runningApplicationsAction"})
        EXPECT_FALSE(item(name)->isEnabled()) << name;
    EXPECT_FALSE(item("windowConditionBlock")->isVisible());
}

TEST_F(ConditionsCard, RunningProgramsArePickedIntoTheApplicationField)
{
    vorna::sim::ProcessRecord process;
    process.processId = 0x40000000 + 7001; // above any Linux process id
    process.imagePath = L"C:\\Program Files\\Editor\\editor.exe";
    m_session.addProcess(process);
    vorna::sim::WindowRecord window;
    window.processId = process.processId;
    window.threadId = 7002;
    window.visible = true;
    window.simulated = true;
    window.title = L"Notes — Editor";
    window.className = L"EditorFrame";
    m_session.addWindow(window);

    m_shell.click(item("runningApplicationsAction"));
    QObject* picker = m_shell.find(QStringLiteral("runningPicker"));
    ASSERT_NE(picker, nullptr);
    EXPECT_TRUE(picker->property("opened").toBool() || picker->property("visible").toBool());
    auto* row = m_shell.find<QQuickItem>(QStringLiteral("runningApp_0"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->property("text").toString(), QStringLiteral("editor.exe · Notes — Editor"));

    for (const char* language : {"ru", "en"}) {
        m_shell.controller().setLanguage(QString::fromLatin1(language));
        const QString folder = vorna::test::screenshotFolder();
        ASSERT_FALSE(folder.isEmpty());
        EXPECT_TRUE(m_shell.grab().save(folder + QStringLiteral("/running-picker-%1.png").arg(language)));
    }

    QSignalSpy picked(picker, SIGNAL(picked(QString)));
    m_shell.click(row);
    ASSERT_EQ(picked.count(), 1);
    EXPECT_EQ(picked.first().first().toString(), "C:\\Program Files\\Editor\\editor.exe");
    EXPECT_FALSE(picker->property("visible").toBool());
}

TEST_F(SettingsPages, RunningPickerDemoOpensAndCloses)
{
    ASSERT_TRUE(QMetaObject::invokeMethod(m_shell.window(), "showRunningPickerDemo"));
    m_shell.settle();
    auto* row = m_shell.find<QQuickItem>(QStringLiteral("runningApp_0"));
    ASSERT_NE(row, nullptr);
    EXPECT_EQ(row->property("text").toString(), "notepad.exe · Example document");
    ASSERT_TRUE(QMetaObject::invokeMethod(m_shell.window(), "closeRunningPicker"));
    m_shell.settle();
    EXPECT_FALSE(m_shell.find(QStringLiteral("runningPicker"))->property("visible").toBool());
}

} // namespace
