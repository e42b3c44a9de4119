#include "editor/library_state.h"

#include "core/library_files.h"
#include "tests/core/library_fixture.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

namespace {

using editor::HistoryFollowUp;
using vorna::core::defaultLibrary;
using vorna::test::compact;
using vorna::test::edited;
using vorna::test::rule;
using vorna::test::withRules;

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QJsonObject named(const QJsonObject& library, const char* name)
{
    return withRules(library, 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", name}}});
}

struct SourceCase {
    bool current, older, testData;
    int chosen; // 0 current, 1 older, 2 legacy
};

class SourceChoice : public testing::TestWithParam<SourceCase> {};

TEST_P(SourceChoice, CurrentThenOlderThenLegacyOutsideTests)
{
    const editor::LibraryPaths paths{"/d/profiles-v3.json", "/d/profiles-v2.json", "/a/profile-p0.json"};
    const QString expected[] = {paths.current, paths.older, paths.legacy};
    const SourceCase& c = GetParam();
    EXPECT_EQ(editor::chooseLibrarySource(paths, c.current, c.older, c.testData), expected[c.chosen]);
}

INSTANTIATE_TEST_SUITE_P(Table, SourceChoice, testing::Values(
    SourceCase{true, true, false, 0}, SourceCase{true, false, true, 0}, SourceCase{false, true, false, 1},
    SourceCase{false, true, true, 1}, SourceCase{false, false, false, 2}, SourceCase{false, false, true, 0}));

TEST(LibraryPaths, OlderFileLivesBesideTheCurrentOne)
{
    QTemporaryDir root;
    vorna::test::ScopedEnv instance("VORNA_TEST_INSTANCE", QByteArray("test-0123456789abcdef0123456789abcdef"));
    vorna::test::ScopedEnv data("VORNA_TEST_DATA", root.filePath("data").toUtf8());
    vorna::test::ScopedEnv dataHome("XDG_DATA_HOME", root.filePath("share").toUtf8());
    const editor::LibraryPaths paths = editor::libraryPaths();
    EXPECT_EQ(paths.current, root.filePath("data/profiles-v3.json"));
    EXPECT_EQ(paths.older, root.filePath("data/profiles-v2.json"));
    EXPECT_TRUE(paths.legacy.endsWith("/profile-p0.json"));
}

// Each kind of file the load may meet, with what the window then edits and tells the user.
struct LoadCase {
    const char* name;
    QByteArray current, older, legacy; // empty: no such file
    bool testData;
    QByteArray expected; // the library loaded; empty: the default library
    const char* problem;
    int damaged;         // the file the notice names: 0 current, 1 older, 2 legacy; -1 no notice
    bool currentWritten; // a converted copy was written to the current file
};

const QByteArray kMapped = compact(withRules(defaultLibrary(), 0, 0, {rule("mouse_back", "key_27")}));
const QByteArray kSchema2 = [] {
    QJsonObject library = withRules(defaultLibrary(), 0, 0, {rule("mouse_back", "key_27")});
    library["schemaVersion"] = 2;
    library.remove("actions");
    return compact(library);
}();
// The single mapping of the legacy file says explicitly that the input is not kept.
const QByteArray kLegacyMapped = compact(
    withRules(defaultLibrary(), 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"keepOriginal", false}}}));
const QByteArray kLegacy = R"({"schemaVersion":1,"modelId":"vorna-b1","source":"mouse_back","target":"key_27"})";

class StartupLoad : public testing::TestWithParam<LoadCase> {
protected:
    QTemporaryDir root_;
    editor::LibraryPaths paths_{root_.filePath("data/profiles-v3.json"), root_.filePath("data/profiles-v2.json"),
                                root_.filePath("appdata/profile-p0.json")};
};

TEST_P(StartupLoad, ChoosesConvertsAndReports)
{
    const LoadCase& c = GetParam();
    const std::pair<const QByteArray*, QString> files[] = {{&c.current, paths_.current}, {&c.older, paths_.older},
                                                           {&c.legacy, paths_.legacy}};
    for (const auto& [bytes, path] : files) {
        if (!bytes->isEmpty())
            writeFile(path, *bytes);
    }

    const editor::StartupLibrary loaded = editor::loadStartupLibrary(paths_, c.testData, false);

    EXPECT_EQ(compact(loaded.library), c.expected.isEmpty() ? compact(defaultLibrary()) : c.expected);
    EXPECT_EQ(loaded.loadProblem, QString::fromUtf8(c.problem));
    if (c.damaged >= 0)
        EXPECT_EQ(loaded.notice, editor::damagedLibraryNotice(files[c.damaged].second, loaded.loadProblem, false, false));
    else
        EXPECT_TRUE(loaded.notice.isEmpty());
    // The files read are never changed; the current one only receives a converted copy.
    for (const auto& [bytes, path] : files) {
        if (path == paths_.current && c.currentWritten)
            EXPECT_EQ(readFile(path), c.expected);
        else
            EXPECT_EQ(readFile(path), bytes->isEmpty() ? QByteArray("<missing>") : *bytes) << qPrintable(path);
    }
}

INSTANTIATE_TEST_SUITE_P(Files, StartupLoad, testing::Values(
    LoadCase{"NothingInATestInstance", "", "", kLegacy, true, "", "", -1, false},
    LoadCase{"Current", kMapped, kSchema2, kLegacy, false, kMapped, "", -1, false},
    LoadCase{"OlderMigrated", "", kSchema2, kLegacy, false, kMapped, "", -1, true},
    LoadCase{"LegacyConverted", "", "", kLegacy, false, kLegacyMapped, "", -1, true},
    LoadCase{"CurrentNotJson", "{\"schemaVersion\":", kSchema2, "", false, "", "Invalid library JSON", 0, false},
    LoadCase{"CurrentNotAnObject", "[]", "", "", false, "", "Invalid library JSON", 0, false},
    LoadCase{"CurrentTooLarge", QByteArray(262145, ' '), "", "", false, "", "Cannot read library or file too large", 0,
             false},
    LoadCase{"CurrentFailsTheCheck", compact(edited(defaultLibrary(), {"profiles"}, QJsonArray())), "", "", false, "",
             "Profile count must be 1..16", 0, false},
    LoadCase{"OlderBroken", "", "{}", kLegacy, false, "", "Unsupported library schema", 1, false},
    LoadCase{"LegacyBroken", "", "", R"({"schemaVersion":1})", false, "", "Unexpected profile fields", 2, false}),
    [](const testing::TestParamInfo<LoadCase>& info) { return std::string(info.param.name); });

// The notice for a library that does not load names the file and the problem, and offers the
// way out there is: the backup when it loads, otherwise moving the file away.
TEST(StartupLoadNotice, NamesTheFileAndTheWayOut)
{
    QTemporaryDir root;
    const editor::LibraryPaths paths{root.filePath("profiles-v3.json"), root.filePath("profiles-v2.json"), ""};
    writeFile(paths.current, "{broken");
    const QString file = QDir::toNativeSeparators(paths.current);
    struct Case {
        const char* what;
        QByteArray backup; // empty: none
        bool english;
        QString notice;
    } const cases[] = {
        {"a backup that loads", kMapped, false,
         "Настройки не загружены: файл «" + file + "» не удаётся использовать как набор (Invalid library JSON). "
         "Восстановите резервную копию в разделе профилей или перенесите этот файл в другую папку."},
        {"a backup that loads", kMapped, true,
         "Settings not loaded: the file \"" + file + "\" cannot be used as a library (Invalid library JSON). "
         "Restore the backup on the Profiles page, or move this file to another folder."},
        {"a backup that does not load", "{}", false,
         "Настройки не загружены: файл «" + file + "» не удаётся использовать как набор (Invalid library JSON). "
         "Резервной копии нет: перенесите этот файл в другую папку, чтобы начать с пустого набора."},
        {"no backup", "", true,
         "Settings not loaded: the file \"" + file + "\" cannot be used as a library (Invalid library JSON). "
         "There is no backup to restore: move this file to another folder to start from an empty library."},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.what) + (c.english ? " (English)" : " (Russian)"));
        QFile::remove(paths.current + ".bak");
        if (!c.backup.isEmpty())
            writeFile(paths.current + ".bak", c.backup);
        const editor::StartupLibrary loaded = editor::loadStartupLibrary(paths, true, c.english);
        EXPECT_EQ(loaded.notice.toStdString(), c.notice.toStdString());
        EXPECT_EQ(loaded.loadProblem, QStringLiteral("Invalid library JSON"));
    }
}

TEST(StartupLoadWriteFailure, OlderFileStaysAndTheUserIsTold)
{
    QTemporaryDir root;
    // The current file's folder cannot be created: a plain file stands in its way.
    writeFile(root.filePath("blocked"), "x");
    const editor::LibraryPaths paths{root.filePath("blocked/profiles-v3.json"), root.filePath("profiles-v2.json"), ""};
    writeFile(paths.older, kSchema2);
    const editor::StartupLibrary loaded = editor::loadStartupLibrary(paths, true, false);
    EXPECT_EQ(loaded.library, QJsonDocument::fromJson(kMapped).object());
    EXPECT_EQ(loaded.loadProblem, QStringLiteral("Cannot create settings folder"));
    EXPECT_EQ(loaded.notice,
              QStringLiteral("Старый файл сохранён, но новая копия настроек не записана: Cannot create settings folder"));
    EXPECT_EQ(editor::loadStartupLibrary(paths, true, true).notice,
              QStringLiteral("The old file is kept, but the new copy of the settings was not written: "
                             "Cannot create settings folder"));
    EXPECT_EQ(readFile(paths.older), kSchema2);
}

TEST(StoreLibrary, SameDocumentWritesNothingAndKeepsTheBackup)
{
    QTemporaryDir root;
    const QString path = root.filePath("profiles-v3.json");
    const QJsonObject first = defaultLibrary();
    const QJsonObject second = named(first, "Back");
    QString error;
    ASSERT_TRUE(editor::storeLibrary(path, first, error));
    ASSERT_TRUE(editor::storeLibrary(path, second, error));
    EXPECT_EQ(readFile(path), compact(second));
    EXPECT_EQ(readFile(path + ".bak"), compact(first));

    ASSERT_TRUE(editor::storeLibrary(path, second, error)) << qPrintable(error);
    EXPECT_EQ(readFile(path), compact(second));
    EXPECT_EQ(readFile(path + ".bak"), compact(first));
}

TEST(StoreLibrary, UnreadableFileIsNeverOverwritten)
{
    QTemporaryDir root;
    const QString path = root.filePath("profiles-v3.json");
    writeFile(path, "{broken");
    QString error;
    EXPECT_FALSE(editor::storeLibrary(path, defaultLibrary(), error));
    EXPECT_EQ(error, QStringLiteral("Invalid library JSON"));
    EXPECT_EQ(readFile(path), QByteArray("{broken"));
    EXPECT_FALSE(QFileInfo::exists(path + ".bak"));
}

TEST(CommitShape, SelectionAndEquality)
{
    const QJsonObject library = vorna::test::libraryWithProfiles(2);
    EXPECT_TRUE(editor::commitShape(library, library).unchanged);
    EXPECT_FALSE(editor::commitShape(library, library).selectionMoved);
    EXPECT_TRUE(editor::commitShape(library, edited(library, {"selectedProfile"}, QJsonValue(1))).selectionMoved);
    EXPECT_TRUE(editor::commitShape(library, edited(library, {"selectedLayer"}, QJsonValue(3))).selectionMoved);
    const editor::CommitShape renamed = editor::commitShape(library, named(library, "x"));
    EXPECT_FALSE(renamed.unchanged);
    EXPECT_FALSE(renamed.selectionMoved);
}

TEST(UndoSteps, ThirtyAtMostAndACommitForgetsTheRedone)
{
    QList<QJsonObject> undo;
    QList<QJsonObject> redo{defaultLibrary()};
    for (int i = 0; i < 31; ++i)
        editor::pushUndoStep(undo, redo, edited(defaultLibrary(), {"modelId"}, QJsonValue(QString::number(i))));
    ASSERT_EQ(undo.size(), 30);
    EXPECT_EQ(undo.first().value("modelId").toString(), QStringLiteral("1"));
    EXPECT_EQ(undo.last().value("modelId").toString(), QStringLiteral("30"));
    EXPECT_TRUE(redo.isEmpty());
}

TEST(HistoryFollowUp, ModelThenNamesThenApply)
{
    const QJsonObject base = named(defaultLibrary(), "A");
    EXPECT_EQ(editor::historyFollowUp(base, edited(named(base, "B"), {"modelId"}, QJsonValue("vorna-x"))),
              HistoryFollowUp::SuspendAutoApply);
    EXPECT_EQ(editor::historyFollowUp(base, named(base, "B")), HistoryFollowUp::RestoreDirty);
    EXPECT_EQ(editor::historyFollowUp(base, edited(base, {"selectedLayer"}, QJsonValue(1))), HistoryFollowUp::AutoApply);
}

struct AutoApplyCase {
    editor::AutoApplyFacts facts;
    bool wanted;
};

class AutoApply : public testing::TestWithParam<AutoApplyCase> {};

TEST_P(AutoApply, OnlyWhileMappingsRunOrAnApplyIsAwaited)
{
    EXPECT_EQ(editor::autoApplyWanted(GetParam().facts), GetParam().wanted);
}

// active, armed, suspended, pendingApply, connected, agentVersion
INSTANTIATE_TEST_SUITE_P(Table, AutoApply, testing::Values(
    AutoApplyCase{{true, false, false, false, true, 10}, true},
    AutoApplyCase{{true, false, true, false, true, 10}, false},
    AutoApplyCase{{true, false, false, false, false, 10}, false},
    AutoApplyCase{{true, false, false, false, true, 9}, false},
    AutoApplyCase{{false, true, false, true, true, 10}, true},
    AutoApplyCase{{false, false, false, true, true, 10}, false},
    AutoApplyCase{{false, true, false, false, true, 10}, false},
    AutoApplyCase{{false, true, true, true, true, 10}, false}));

} // namespace
