// The program's settings-window role when the module beside it cannot be used: it names the file,
// says what is wrong and exits 2 instead of starting without a window.

#include "tests/support/built_programs.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

constexpr const char* kModuleFile = "vorna-settings-window.so";

enum class ModuleBeside { None, NotALibrary, WithoutEntry };

struct ModuleCase {
    const char* name;
    ModuleBeside module;
    const char* says;
};

class BrokenSettingsModule : public testing::TestWithParam<ModuleCase> {};

// A copy of the program in a folder of its own, with what the case puts beside it.
bool prepareProgram(const QTemporaryDir& folder, ModuleBeside module)
{
    if (!QFile::copy(QString::fromStdString(vorna::test::mainProgram()), folder.filePath("vorna-input-trellan")))
        return false;
    const QString modulePath = folder.filePath(kModuleFile);
    switch (module) {
    case ModuleBeside::None:
        return true;
    case ModuleBeside::NotALibrary: {
        QFile file(modulePath);
        return file.open(QIODevice::WriteOnly) && file.write("not a library\n") > 0;
    }
    case ModuleBeside::WithoutEntry:
        return QFile::copy(QString::fromStdString(vorna::test::besideThisProgram("module_without_entry.so")), modulePath);
    }
    return false;
}

TEST_P(BrokenSettingsModule, TheProgramNamesTheFileAndExitsTwo)
{
    QTemporaryDir folder;
    ASSERT_TRUE(prepareProgram(folder, GetParam().module));

    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", folder.path());
    env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
    env.insert("XDG_DATA_HOME", folder.filePath("data"));
    program.setProcessEnvironment(env);
    program.start(folder.filePath("vorna-input-trellan"), {"--screenshot", "shot.png"});
    ASSERT_TRUE(program.waitForFinished(60'000));
    const QString errors = QString::fromUtf8(program.readAllStandardError());

    EXPECT_EQ(program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(program.exitCode(), 2) << errors.toStdString();
    EXPECT_TRUE(errors.startsWith("Settings window: ")) << errors.toStdString();
    EXPECT_TRUE(errors.contains(folder.filePath(kModuleFile))) << errors.toStdString();
    EXPECT_TRUE(errors.contains(QLatin1String(GetParam().says))) << errors.toStdString();
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenSettingsModule,
    testing::Values(ModuleCase{"Missing", ModuleBeside::None, "is missing"},
                    ModuleCase{"NotALibrary", ModuleBeside::NotALibrary, "cannot load"},
                    ModuleCase{"WithoutEntry", ModuleBeside::WithoutEntry, "has no entry vornaRunSettingsWindow"}),
    [](const testing::TestParamInfo<ModuleCase>& info) { return std::string(info.param.name); });

} // namespace
