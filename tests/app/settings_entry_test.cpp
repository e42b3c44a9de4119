// The settings window's entry: which check mode a command line asks for, the isolation of a
// check run, and the exit codes of a main file that does not give a window.

#include "app/check_run.h"
#include "tests/support/scoped_env.h"
#include "tests/support/settings_shell.h"

#include <QFile>
#include <QSettings>

namespace {

using app::CheckMode;

struct ChoiceCase {
    const char* name;
    QStringList arguments;
    CheckMode mode;
    bool isolated;
    const char* argument;
};

class CheckModeChoice : public testing::TestWithParam<ChoiceCase> {};

TEST_P(CheckModeChoice, FirstMatchWins)
{
    const ChoiceCase& c = GetParam();
    const app::CheckChoice choice = app::chooseCheckMode(QStringList{"vorna-input-trellan"} + c.arguments);
    EXPECT_EQ(choice.mode, c.mode);
    EXPECT_EQ(choice.isolated, c.isolated);
    EXPECT_EQ(choice.argument, QString::fromLatin1(c.argument));
}

INSTANTIATE_TEST_SUITE_P(Table, CheckModeChoice,
    testing::Values(ChoiceCase{"normal", {}, CheckMode::None, false, ""},
        ChoiceCase{"noLive", {"--no-live"}, CheckMode::None, false, ""},
        ChoiceCase{"qaSession", {"--qa-session"}, CheckMode::QaSession, true, ""},
        ChoiceCase{"smokeLast", {"--smoke"}, CheckMode::Smoke, true, ""},
        ChoiceCase{"smokeFolder", {"--smoke", "out"}, CheckMode::Smoke, true, "out"},
        ChoiceCase{"uiVerifyOverSmoke", {"--smoke", "--ui-verify"}, CheckMode::UiVerify, true, ""},
        ChoiceCase{"benchmarkOverAll", {"--ui-verify", "a", "--observation-benchmark", "--smoke"},
            CheckMode::ObservationBenchmark, true, "--smoke"},
        ChoiceCase{"screenshotWithFile", {"--screenshot", "shot.png"}, CheckMode::Screenshot, true, "shot.png"},
        ChoiceCase{"screenshotWithoutFile", {"--screenshot"}, CheckMode::QaSession, true, ""},
        ChoiceCase{"caseSensitive", {"--QA-SESSION"}, CheckMode::None, false, ""}),
    [](const testing::TestParamInfo<ChoiceCase>& info) { return std::string(info.param.name); });

TEST(CheckRun, IsolationGivesAFreshInstanceTheTestDataFolderAndIniSettingsThere)
{
    vorna::test::guiApplication();
    const vorna::test::ScopedEnv instance("VORNA_TEST_INSTANCE", std::nullopt);
    const vorna::test::ScopedEnv data("VORNA_TEST_DATA", std::nullopt);
    QTemporaryDir folder;
    app::isolateCheckRun(folder.path());
    const QString first = qEnvironmentVariable("VORNA_TEST_INSTANCE");
    EXPECT_TRUE(first.startsWith(QStringLiteral("test-")));
    EXPECT_EQ(first.size(), 5 + 32);
    EXPECT_EQ(qEnvironmentVariable("VORNA_TEST_DATA"), folder.path());
    {
        QSettings settings;
        settings.setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
        settings.sync();
        EXPECT_TRUE(settings.fileName().startsWith(folder.path())) << settings.fileName().toStdString();
    }
    app::isolateCheckRun(folder.path());
    EXPECT_NE(qEnvironmentVariable("VORNA_TEST_INSTANCE"), first);
}

struct MainFileCase {
    const char* name;
    const char* qml;
    int result;
};

class MainFileExitCodes : public testing::TestWithParam<MainFileCase> {};

TEST_P(MainFileExitCodes, NoRootIsThreeAndANonWindowRootIsFour)
{
    const MainFileCase& c = GetParam();
    vorna::test::guiApplication();
    QTemporaryDir folder;
    const QString path = folder.filePath(QStringLiteral("Main.qml"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(c.qml);
    file.close();
    QQmlApplicationEngine engine;
    engine.setOutputWarningsToStandardError(false);
    QQuickWindow* window = nullptr;
    EXPECT_EQ(app::loadMainWindow(engine, QUrl::fromLocalFile(path), window), c.result);
    EXPECT_EQ(window != nullptr, c.result == 0);
}

INSTANTIATE_TEST_SUITE_P(Table, MainFileExitCodes,
    testing::Values(MainFileCase{"window", "import QtQuick\nWindow {}\n", 0},
        MainFileCase{"brokenFile", "import QtQuick\nWindow {\n", 3},
        MainFileCase{"itemRoot", "import QtQuick\nItem {}\n", 4}),
    [](const testing::TestParamInfo<MainFileCase>& info) { return std::string(info.param.name); });

} // namespace
