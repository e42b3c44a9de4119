// Preferences and the start at sign-in: every write persists into a new window, the stand-in
// of the Run key round-trips, and a store that cannot be written keeps the old value and says
// so.

#include "tests/support/settings_fixture.h"

#include "editor/autostart_store.h"
#include "editor/settings_write.h"
#include "tests/support/unwritable_path.h"

#include <QSignalSpy>

namespace {

class Preferences : public vorna::test::SettingsSandbox {
protected:
    void SetUp() override { restart(); }
    void restart() { m_controller = makeController(); }

    void blockStore(QSettings::Format format)
    {
        QSettings::setPath(format, QSettings::UserScope, vorna::test::unwritablePath(m_root.path()));
    }

    QString runValue() const
    {
        return editor::openAutostartStore()->value(QString::fromLatin1(editor::kAutostartValue)).toString();
    }

    std::unique_ptr<AppController> m_controller;
};

TEST_F(Preferences, FreshStoreReadsTheDefaults)
{
    EXPECT_EQ(m_controller->language(), "ru");
    EXPECT_EQ(m_controller->theme(), "dark");
    EXPECT_FALSE(m_controller->mouseLiveExpanded());
    EXPECT_FALSE(m_controller->startup());
}

TEST_F(Preferences, EveryWritePersistsIntoANewWindow)
{
    m_controller->setProperty("language", "en");
    m_controller->setProperty("theme", "contrast");
    m_controller->setProperty("mouseLiveExpanded", true);
    m_controller->setProperty("startup", true);
    restart();
    EXPECT_EQ(m_controller->language(), "en");
    EXPECT_EQ(m_controller->theme(), "contrast");
    EXPECT_TRUE(m_controller->mouseLiveExpanded());
    EXPECT_TRUE(m_controller->startup());
    EXPECT_TRUE(m_controller->notice().isEmpty());
}

TEST_F(Preferences, ValuesOutsideTheListsAreIgnoredWithoutASignal)
{
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    for (const char* language : {"EN", "de", ""})
        m_controller->setLanguage(QString::fromLatin1(language));
    for (const char* theme : {"Dark", "blue"})
        m_controller->setTheme(QString::fromLatin1(theme));
    EXPECT_EQ(preferences.count(), 0);
    EXPECT_FALSE(QSettings().contains("ui/language"));
    EXPECT_FALSE(QSettings().contains("ui/theme"));

    // Stored by other means: read back unchanged.
    QSettings().setValue("ui/theme", "blue");
    QSettings().setValue("ui/language", "de");
    EXPECT_EQ(m_controller->theme(), "blue");
    EXPECT_EQ(m_controller->language(), "de");
}

TEST_F(Preferences, LanguageWriteRebuildsEveryTextAndTheDisconnectedStatus)
{
    m_controller->setProperty("notice", "old notice");
    QSignalSpy state(m_controller.get(), &AppController::stateChanged);
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    QSignalSpy library(m_controller.get(), &AppController::libraryChanged);
    QSignalSpy macro(m_controller.get(), &AppController::macroChanged);
    QSignalSpy options(m_controller.get(), &AppController::optionsChanged);
    m_controller->setLanguage("en");
    m_controller->setLanguage("en");
    for (QSignalSpy* spy : {&state, &preferences, &library, &macro, &options})
        EXPECT_EQ(spy->count(), 2);
    EXPECT_EQ(m_controller->status(), "Engine not connected");
    EXPECT_TRUE(m_controller->notice().isEmpty());
    EXPECT_EQ(m_controller->describeInput("cursor_move"), "Cursor movement");
    m_controller->setLanguage("ru");
    EXPECT_EQ(m_controller->status(), "Движок не подключён");
}

TEST_F(Preferences, PanelStateWrittenOnlyWhenItChanges)
{
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    m_controller->setMouseLiveExpanded(false);
    EXPECT_EQ(preferences.count(), 0);
    EXPECT_FALSE(QSettings().contains("ui/mouseLiveExpanded"));
    m_controller->setMouseLiveExpanded(true);
    EXPECT_EQ(preferences.count(), 1);
}

TEST_F(Preferences, AutostartRoundTripInTheRunKeyStandIn)
{
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    m_controller->setStartup(false); // nothing there: still a signal, still no value
    EXPECT_EQ(preferences.count(), 1);
    EXPECT_FALSE(m_controller->startup());

    m_controller->setStartup(true);
    EXPECT_TRUE(m_controller->startup());
    EXPECT_EQ(runValue(), editor::autostartCommand(QCoreApplication::applicationFilePath()));
    // The stand-in is an INI file in the user's configuration folder, not in the current one.
    EXPECT_TRUE(QFileInfo::exists(m_root.filePath("home/config/Microsoft/Windows/CurrentVersion/Run.ini")));
    EXPECT_FALSE(QFileInfo::exists(QDir::current().filePath("HKEY_CURRENT_USER")));

    restart();
    EXPECT_TRUE(m_controller->startup());
    m_controller->setStartup(false);
    EXPECT_FALSE(m_controller->startup());
    restart();
    EXPECT_FALSE(m_controller->startup());
    EXPECT_FALSE(editor::openAutostartStore()->contains(QString::fromLatin1(editor::kAutostartValue)));
}

TEST_F(Preferences, AnyNonEmptyRunValueCountsAsOn)
{
    editor::openAutostartStore()->setValue(QString::fromLatin1(editor::kAutostartValue), "\"C:\\Other\\tool.exe\"");
    EXPECT_TRUE(m_controller->startup());
    editor::openAutostartStore()->setValue(QString::fromLatin1(editor::kAutostartValue), "");
    EXPECT_FALSE(m_controller->startup());
}

TEST(AutostartCommand, QuotedWindowsPathThenTheAgentRole)
{
    EXPECT_EQ(editor::autostartCommand("D:\\Tools\\vorna-input-trellan.exe"), "\"D:\\Tools\\vorna-input-trellan.exe\" --agent");
    EXPECT_EQ(editor::autostartCommand("D:/Tools/vorna-input-trellan.exe"), "\"D:\\Tools\\vorna-input-trellan.exe\" --agent");
}

TEST_F(Preferences, FailedAutostartChangeIsReportedAndChangesNothing)
{
    blockStore(QSettings::IniFormat);
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    QSettings().setValue("ui/language", "en"); // the notice is Russian in every language
    m_controller->setStartup(true);
    EXPECT_EQ(m_controller->notice(), "Не удалось изменить автозапуск");
    EXPECT_FALSE(m_controller->startup());
    EXPECT_EQ(preferences.count(), 1);
}

struct FailedWrite {
    const char* name;
    std::function<void(AppController&)> write;
    std::function<bool(const AppController&)> unchanged;
    const char* notice;
};

class FailedPreference : public Preferences, public testing::WithParamInterface<FailedWrite> {};

TEST_P(FailedPreference, OldValueKeptAndTheFailureReported)
{
    blockStore(QSettings::NativeFormat);
    restart();
    QSignalSpy preferences(m_controller.get(), &AppController::preferencesChanged);
    GetParam().write(*m_controller);
    EXPECT_EQ(m_controller->notice(), QString::fromUtf8(GetParam().notice));
    EXPECT_TRUE(GetParam().unchanged(*m_controller));
    EXPECT_EQ(preferences.count(), 1);
    restart();
    EXPECT_TRUE(GetParam().unchanged(*m_controller));
}

INSTANTIATE_TEST_SUITE_P(Table, FailedPreference, testing::Values(
    FailedWrite{"PanelState", [](AppController& c) { c.setMouseLiveExpanded(true); },
        [](const AppController& c) { return !c.mouseLiveExpanded(); }, "Не удалось сохранить состояние панели ввода."},
    FailedWrite{"Theme", [](AppController& c) { c.setTheme("light"); },
        [](const AppController& c) { return c.theme() == "dark"; }, "Не удалось сохранить оформление."},
    FailedWrite{"Language", [](AppController& c) { c.setLanguage("en"); },
        [](const AppController& c) { return c.language() == "ru"; }, "Не удалось сохранить язык интерфейса."}),
    [](const testing::TestParamInfo<FailedWrite>& info) { return std::string(info.param.name); });

// Qt keeps unsaved values in memory for every settings object of the process; a failed write
// must not linger there as if it had been saved.
TEST_F(Preferences, FailedWriteLeavesTheOldValuesInMemory)
{
    const QString path = vorna::test::unwritablePath(m_root.path(), "store.ini");
    QSettings store(path, QSettings::IniFormat);
    store.setValue("kept", "old");
    EXPECT_FALSE(editor::writeSettings(store, {{"kept", "new"}, {"added", 1}, {"kept", "newer"}}));
    EXPECT_EQ(store.value("kept").toString(), "old");
    EXPECT_FALSE(store.contains("added"));
    EXPECT_FALSE(QSettings(path, QSettings::IniFormat).contains("added"));

    QSettings good(m_root.filePath("good.ini"), QSettings::IniFormat);
    EXPECT_TRUE(editor::writeSettings(good, {{"a", 1}, {"b", QVariant()}}));
    EXPECT_EQ(QSettings(m_root.filePath("good.ini"), QSettings::IniFormat).value("a").toInt(), 1);
}

} // namespace
