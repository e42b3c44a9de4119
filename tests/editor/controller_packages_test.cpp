// The controller's export, import and restore: files written and refused, the pending import
// that changes nothing until it is accepted, acceptance that commits whole after a pause, the
// bad files that must cost the user nothing, and restoring the backup.

#include "tests/support/settings_fixture.h"

#include "editor/packages.h"
#include "tests/editor/package_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QSignalSpy>

#include <functional>

namespace {

using namespace vorna::test;

class ControllerPackages : public SettingsSandbox {
protected:
    void SetUp() override
    {
        m_controller = makeController();
        m_controller->setLanguage(QStringLiteral("en"));
        QDir().mkpath(m_root.filePath(QStringLiteral("files")));
    }

    QString path(const QString& name) const { return m_root.filePath(QStringLiteral("files/") + name); }
    static QUrl url(const QString& file) { return QUrl::fromLocalFile(file); }

    void write(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    void commit(const QJsonObject& library) { ASSERT_TRUE(m_controller->commitLibrary(library, false)) << m_controller->notice().toStdString(); }

    // A package of `scope` exported from `source`, as bytes.
    QByteArray package(const QJsonObject& source, const char* scope)
    {
        QString error;
        EXPECT_TRUE(library::exportPackage(path("made.json"), source, QLatin1String(scope), error)) << error.toStdString();
        return readFile(path("made.json"));
    }

    // The envelope of the rich library's package of `scope` with `change` applied to it.
    QByteArray changedEnvelope(const std::function<void(QJsonObject&)>& change, const char* scope = "profile")
    {
        QJsonObject envelope = QJsonDocument::fromJson(package(richLibrary(), scope)).object();
        change(envelope);
        return compact(envelope);
    }

    void connectAgent()
    {
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
    }

    qsizetype panics()
    {
        m_agent.syncWith(*m_controller);
        return m_agent.requests(QStringLiteral("panic")).size();
    }

    std::unique_ptr<AppController> m_controller;
    FakeAgent m_agent;
};

TEST_F(ControllerPackages, CollectionExportCutsApplicationsAndLeavesTheLibraryAlone)
{
    QJsonObject library = richLibrary();
    library["automatic"] = true;
    commit(library);
    QSignalSpy changes(m_controller.get(), &AppController::libraryChanged);
    m_controller->exportProfiles(url(path("all.json")));
    EXPECT_EQ(m_controller->notice(), "Exported. Profile matching uses application names; launch paths and templates remain.");
    EXPECT_EQ(changes.size(), 1);

    const QJsonObject written = QJsonDocument::fromJson(readFile(path("all.json"))).object();
    EXPECT_EQ(written["profiles"][1]["application"], "editor.exe");
    EXPECT_EQ(written["automatic"], false);
    EXPECT_EQ(m_controller->library(), library);
    EXPECT_EQ(readFile(libraryFile()), compact(library));
    EXPECT_EQ(m_controller->canUndo(), true); // the commit above, nothing more
    m_controller->undo();
    EXPECT_FALSE(m_controller->canUndo());

    // Over an existing library the old file stays beside the new one.
    m_controller->exportProfiles(url(path("all.json")));
    EXPECT_EQ(readFile(path("all.json.bak")), compact(written));
}

TEST_F(ControllerPackages, ExportsThatMustNotWriteLeaveEveryFileAsItWas)
{
    commit(richLibrary());
    write(path("notes.json"), "my notes");
    QDir().mkpath(QFileInfo(libraryFile()).absolutePath() + QStringLiteral("/sub"));
    const QString liveNotice = "An export cannot replace the library file in use or its backup. Choose another file.";
    // No file on this computer is never a silent no-op: the user is told nothing was written.
    const QString noFile = "Nothing was exported: no file on this computer was chosen. Choose a folder and type a file name.";
    const struct {
        QUrl target;
        const char* scope;
        QString notice;
    } cases[] = {
        {QUrl("https://example.com/all.json"), "collection", noFile},
        {QUrl(), "profile", noFile},
        {url(libraryFile()), "collection", liveNotice},
        {url(libraryFile()), "profile", liveNotice},
        {url(QFileInfo(libraryFile()).absolutePath() + "/sub/../profiles-v3.json"), "layer", liveNotice},
        {url(libraryFile() + ".bak"), "collection", liveNotice},
        {url(path("notes.json")), "collection", "Invalid library JSON"},
        {url(path("any.json")), "everything", "Unknown export scope"},
    };
    commit(edited(richLibrary(), {"profiles", 2, "name"}, "Second"));
    const QByteArray live = readFile(libraryFile());
    const QByteArray backup = readFile(libraryFile() + ".bak");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.target.toString().toStdString());
        m_controller->setProperty("notice", QStringLiteral("before"));
        QSignalSpy changes(m_controller.get(), &AppController::libraryChanged);
        m_controller->exportProfiles(c.target, QLatin1String(c.scope));
        EXPECT_EQ(m_controller->notice(), c.notice);
        EXPECT_EQ(changes.size(), 1);
        EXPECT_EQ(readFile(libraryFile()), live);
        EXPECT_EQ(readFile(libraryFile() + ".bak"), backup);
        EXPECT_EQ(readFile(path("notes.json")), "my notes");
        EXPECT_FALSE(QFileInfo::exists(path("any.json")));
    }
}

TEST_F(ControllerPackages, AnImportChangesNothingUntilAcceptedThenCommitsWholeAfterAPause)
{
    commit(destinationLibrary());
    connectAgent();
    write(path("profile.json"), package(richLibrary(), "profile"));
    const QByteArray live = readFile(libraryFile());

    m_controller->previewImport(url(path("profile.json")));
    EXPECT_TRUE(m_controller->importPreview().startsWith("Import adds one profile."));
    EXPECT_TRUE(m_controller->importPreview().contains("Terminal · application\nC:\\Tools\\term.exe\n  --new-tab"));
    EXPECT_EQ(m_controller->library(), destinationLibrary());
    EXPECT_EQ(readFile(libraryFile()), live);
    EXPECT_EQ(panics(), 0);

    m_controller->acceptImport();
    EXPECT_EQ(panics(), 1);
    EXPECT_TRUE(m_controller->importPreview().isEmpty());
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_EQ(m_controller->library()["profiles"].toArray().size(), 3);
    EXPECT_EQ(m_controller->profileIndex(), 2);
    EXPECT_EQ(m_controller->library()["automatic"], false);
    EXPECT_EQ(readFile(libraryFile()), compact(m_controller->library()));
    EXPECT_EQ(readFile(libraryFile() + ".bak"), live);
    // The rule editor starts over on the imported profile: the rule in force for its source, or
    // a new rule with the target "unchanged".
    QString inForce = QStringLiteral("unchanged");
    for (const QVariant& item : m_controller->rules()) {
        const QVariantMap rule = item.toMap();
        if (rule.value("identity").toString() == m_controller->sourceId() + "#" + QString::number(m_controller->sourceModifiers()))
            inForce = rule.value("target").toString();
    }
    EXPECT_EQ(m_controller->targetId(), inForce);
    EXPECT_TRUE(m_controller->canUndo());
    // Nothing was applied: the agent got the pause only.
    EXPECT_EQ(m_agent.requests(QStringLiteral("configure")).size(), 0);

    m_controller->undo();
    EXPECT_EQ(m_controller->library(), destinationLibrary());

    // Accepting without a pending import does nothing at all.
    QSignalSpy changes(m_controller.get(), &AppController::libraryChanged);
    m_controller->acceptImport();
    EXPECT_EQ(changes.size(), 0);
    EXPECT_EQ(panics(), 1);
}

TEST_F(ControllerPackages, ACollectionImportReplacesTheLibraryWithAutomaticOff)
{
    commit(destinationLibrary());
    QJsonObject whole = richLibrary();
    whole["automatic"] = true;
    write(path("whole.json"), compact(whole));
    m_controller->previewImport(url(path("whole.json")));
    EXPECT_TRUE(m_controller->importPreview().startsWith(
        "Profiles: 3. Rules: 7. Import replaces this collection and pauses all mappings. Undo is available."));
    m_controller->acceptImport();
    whole["automatic"] = false;
    EXPECT_EQ(m_controller->library(), whole);
}

TEST_F(ControllerPackages, AFailedCommitKeepsTheImportPendingAndTheLibraryWhole)
{
    commit(destinationLibrary());
    write(path("layer.json"), package(richLibrary(), "layer"));
    m_controller->previewImport(url(path("layer.json")));
    const QString preview = m_controller->importPreview();
    ASSERT_FALSE(preview.isEmpty());

    // Someone broke the library file meanwhile: the store refuses to overwrite it.
    write(libraryFile(), "{\"schemaVersion\":");
    m_controller->acceptImport();
    EXPECT_EQ(m_controller->notice(), "Invalid library JSON");
    EXPECT_EQ(readFile(libraryFile()), "{\"schemaVersion\":");
    EXPECT_EQ(m_controller->library(), destinationLibrary());
    EXPECT_EQ(m_controller->importPreview(), preview);

    write(libraryFile(), compact(destinationLibrary()));
    m_controller->acceptImport();
    EXPECT_TRUE(m_controller->importPreview().isEmpty());
    EXPECT_EQ(behaviour(m_controller->library(), 1, 4), behaviour(richLibrary(), 1, 2));
}

TEST_F(ControllerPackages, UndoAndRedoDiscardAPendingImport)
{
    commit(destinationLibrary());
    commit(edited(destinationLibrary(), {"profiles", 1, "name"}, "Renamed"));
    write(path("profile.json"), package(richLibrary(), "profile"));
    for (const bool useUndo : {true, false}) {
        m_controller->previewImport(url(path("profile.json")));
        ASSERT_FALSE(m_controller->importPreview().isEmpty());
        useUndo ? m_controller->undo() : m_controller->redo();
        EXPECT_TRUE(m_controller->importPreview().isEmpty());
        m_controller->acceptImport();
        EXPECT_EQ(m_controller->library()["profiles"].toArray().size(), 2);
    }
}

TEST_F(ControllerPackages, BadFilesAreRefusedWithTheirErrorAndCostNothing)
{
    QJsonObject sixteen = libraryWithProfiles(16);
    QJsonObject fullActions = destinationLibrary();
    QJsonArray actions;
    for (int i = 0; i < 31; ++i)
        actions.append(textAction(QStringLiteral("Own %1").arg(i), QStringLiteral("own")));
    fullActions["actions"] = actions;
    fullActions = withRules(fullActions, 1, 1, {});
    QJsonObject fullMacros = destinationLibrary();
    QJsonArray macros;
    for (int i = 0; i < 15; ++i)
        macros.append(tapMacro(QByteArray::number(i).constData()));
    fullMacros["macros"] = macros;

    QJsonObject brokenPackage = QJsonDocument::fromJson(package(richLibrary(), "profile")).object();
    brokenPackage = edited(brokenPackage, {"library", "profiles", 1, "layers", 3, "rules"}, QJsonArray{rule("key_65", "action:9")});
    QByteArray oversized = package(richLibrary(), "layer");
    oversized.append(QByteArray(library::kMaxPackageBytes + 1 - oversized.size(), ' '));
    const QByteArray good = package(richLibrary(), "profile");
    // A library of schema 2 passes the check, but no package is ever written in it.
    QJsonObject schemaTwoEnvelope = QJsonDocument::fromJson(package(withRules(vorna::core::defaultLibrary(), 0, 0, {rule("key_65", "blocked")}), "layer")).object();
    schemaTwoEnvelope = edited(edited(schemaTwoEnvelope, {"library", "schemaVersion"}, 2), {"library", "actions"}, std::nullopt);
    schemaTwoEnvelope = edited(schemaTwoEnvelope, {"library", "profiles", 0, "layers", 0, "motion"}, std::nullopt);
    const QByteArray schemaTwo = compact(schemaTwoEnvelope);

    const struct {
        const char* name;
        QByteArray bytes;
        QJsonObject current;
        const char* error;
    } cases[] = {
        {"not JSON", "profiles, please", destinationLibrary(), "Invalid package JSON"},
        {"empty", "", destinationLibrary(), "Invalid package JSON"},
        {"array", "[1,2]", destinationLibrary(), "Invalid package JSON"},
        {"truncated", good.left(good.size() / 2), destinationLibrary(), "Invalid package JSON"},
        {"one byte over the limit", oversized, destinationLibrary(), "Cannot read package or file too large"},
        {"fourth key", changedEnvelope([](QJsonObject& e) { e["extra"] = 1; }), destinationLibrary(), "Invalid package envelope"},
        {"version 2", changedEnvelope([](QJsonObject& e) { e["packageVersion"] = 2; }), destinationLibrary(), "Invalid package envelope"},
        {"version as text", changedEnvelope([](QJsonObject& e) { e["packageVersion"] = "1"; }), destinationLibrary(), "Invalid package envelope"},
        {"scope collection", changedEnvelope([](QJsonObject& e) { e["scope"] = "collection"; }), destinationLibrary(), "Invalid package envelope"},
        {"library not an object", changedEnvelope([](QJsonObject& e) { e["library"] = QJsonArray(); }), destinationLibrary(), "Invalid package envelope"},
        {"library fails the check", compact(brokenPackage), destinationLibrary(), "Rule references a missing action"},
        {"layer scope around two profiles", changedEnvelope([](QJsonObject& e) { e["scope"] = "layer"; }), destinationLibrary(), "Invalid scoped library"},
        {"rules in the global profile",
         changedEnvelope([](QJsonObject& e) { e = edited(e, {"library", "profiles", 0, "layers", 2, "rules"}, QJsonArray{rule("key_65", "blocked")}); }),
         destinationLibrary(), "Unexpected global settings in profile package"},
        {"motion in a layer package's fifth layer",
         changedEnvelope([](QJsonObject& e) { e = edited(e, {"library", "profiles", 0, "layers", 4, "motion"}, motionSettings()); }, "layer"),
         destinationLibrary(), "Unexpected extra layers in layer package"},
        {"schema 2 inside the envelope", schemaTwo, destinationLibrary(), "Invalid scoped library"},
        {"whole library that fails the check", "{\"schemaVersion\":7}", destinationLibrary(), "Unsupported library schema"},
        {"seventeenth profile", good, sixteen, "Profile count must be 1..16"},
        {"thirty-third action", good, fullActions, "Action count limit exceeded"},
        {"seventeenth macro", good, fullMacros, "Macro count limit exceeded"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        commit(c.current);
        write(path("bad.json"), c.bytes);
        const QByteArray live = readFile(libraryFile());
        const QByteArray backup = readFile(libraryFile() + ".bak");

        m_controller->previewImport(url(path("bad.json")));
        EXPECT_EQ(m_controller->notice(), QLatin1String(c.error));
        EXPECT_TRUE(m_controller->importPreview().isEmpty());
        m_controller->acceptImport();
        EXPECT_EQ(m_controller->library(), c.current);
        EXPECT_EQ(readFile(libraryFile()), live);
        EXPECT_EQ(readFile(libraryFile() + ".bak"), backup);
    }

    // A failing preview after a good one leaves nothing pending.
    write(path("good.json"), good);
    commit(destinationLibrary());
    m_controller->previewImport(url(path("good.json")));
    ASSERT_FALSE(m_controller->importPreview().isEmpty());
    m_controller->previewImport(url(path("missing.json")));
    EXPECT_EQ(m_controller->notice(), "Cannot read package or file too large");
    EXPECT_TRUE(m_controller->importPreview().isEmpty());
    m_controller->acceptImport();
    EXPECT_EQ(m_controller->library(), destinationLibrary());
}

TEST_F(ControllerPackages, NamesWithMarkupArriveAsPlainText)
{
    commit(destinationLibrary());
    QJsonObject source = edited(richLibrary(), {"profiles", 1, "name"}, "<b>Bold</b> &amp; <img src=x>");
    source = edited(source, {"actions", 1, "name"}, "<a href=\"https://evil\">click</a>");
    write(path("markup.json"), package(source, "profile"));
    m_controller->previewImport(url(path("markup.json")));
    EXPECT_TRUE(m_controller->importPreview().contains("\n\n<b>Bold</b> &amp; <img src=x> / 1 · Основной\n"));
    EXPECT_TRUE(m_controller->importPreview().contains("\n\n<a href=\"https://evil\">click</a> · application\n"));
    m_controller->acceptImport();
    EXPECT_EQ(m_controller->library()["profiles"][2]["name"], "<b>Bold</b> &amp; <img src=x>");
}

// Crafted packages: whatever a name, path or argument holds, the preview has exactly the lines
// the summary itself makes, and the file's layout characters show as escapes.
TEST_F(ControllerPackages, CraftedTextsCannotReshapeThePreview)
{
    commit(destinationLibrary());
    const QString hidden = "Notes · application\nnotepad.exe" + QString(24, QLatin1Char('\n')) + "Cleanup";
    using Craft = std::function<QJsonObject(const QJsonObject&)>;
    const struct {
        const char* name;
        Craft craft;
        QString shown;
    } cases[] = {
        {"24 blank lines in an action's name hide the command it runs",
         [&](const QJsonObject& s) {
             const QJsonObject named = edited(s, {"actions", 1, "name"}, hidden);
             return edited(edited(named, {"actions", 1, "value"}, "C:\\Windows\\System32\\cmd.exe"),
                           {"actions", 1, "arguments"}, QJsonArray{"/c", "del /s /q %USERPROFILE%\\Documents"});
         },
         "\n\nNotes · application⟨U+000A⟩notepad.exe" + QString("⟨U+000A⟩").repeated(24)
             + "Cleanup · application\nC:\\Windows\\System32\\cmd.exe\n  /c\n  del /s /q %USERPROFILE%\\Documents\n"},
        {"BEL and ESC in an action's name",
         [](const QJsonObject& s) { return edited(s, {"actions", 1, "name"}, "Term\x07\x1b]0;ok\x07"); },
         "\n\nTerm⟨U+0007⟩⟨U+001B⟩]0;ok⟨U+0007⟩ · application\nC:\\Tools\\term.exe\n"},
        {"a right-to-left override in a profile's name",
         [](const QJsonObject& s) { return edited(s, {"profiles", 1, "name"}, "Editor \u202Egpj.exe"); },
         "\n\nEditor ⟨U+202E⟩gpj.exe / 1 · Основной\n"},
        {"a right-to-left override in a launch path",
         [](const QJsonObject& s) { return edited(s, {"actions", 1, "value"}, "C:\\Tools\\term\u202Efdp.exe"); },
         "\n\nTerminal · application\nC:\\Tools\\term⟨U+202E⟩fdp.exe\n  --new-tab\n"},
    };
    write(path("plain.json"), package(richLibrary(), "profile"));
    m_controller->previewImport(url(path("plain.json")));
    const qsizetype summaryLines = m_controller->importPreview().count(QLatin1Char('\n'));
    ASSERT_GT(summaryLines, 10);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const QJsonObject source = c.craft(richLibrary());
        write(path("crafted.json"), package(source, "profile"));
        m_controller->previewImport(url(path("crafted.json")));
        const QString preview = m_controller->importPreview();
        EXPECT_TRUE(preview.contains(c.shown)) << preview.toStdString();
        EXPECT_EQ(preview.count(QLatin1Char('\n')), summaryLines);
        for (const QChar unit : preview) {
            EXPECT_TRUE(unit == QLatin1Char('\n') || (unit.category() != QChar::Other_Control
                                                     && unit.category() != QChar::Other_Format))
                << "U+" << QString::number(unit.unicode(), 16).toStdString();
        }
        // What is accepted is the file's text itself: the escapes are for showing only.
        m_controller->acceptImport();
        const QJsonObject imported = m_controller->library();
        EXPECT_EQ(imported["profiles"].toArray().last()["name"], source["profiles"][1]["name"]);
        EXPECT_TRUE(imported["actions"].toArray().contains(source["actions"][1])) << c.name;
        commit(destinationLibrary());
    }
}

class ControllerRestore : public ControllerPackages {
protected:
    const QJsonObject m_first = destinationLibrary();
    const QJsonObject m_second = edited(destinationLibrary(), {"profiles", 1, "name"}, "Second");
    const QJsonObject m_third = edited(destinationLibrary(), {"profiles", 1, "name"}, "Third");
};

TEST_F(ControllerRestore, AfterTwoCommitsRestoreGivesThePreviousDocumentAndForgetsHistory)
{
    commit(m_first);
    commit(m_second);
    commit(m_third);
    connectAgent();
    write(path("profile.json"), package(richLibrary(), "profile"));
    m_controller->previewImport(url(path("profile.json")));

    m_controller->restoreBackup();
    EXPECT_EQ(panics(), 1);
    EXPECT_EQ(m_controller->notice(), "Restored. Mappings remain paused.");
    EXPECT_EQ(m_controller->library(), m_second);
    EXPECT_EQ(readFile(libraryFile()), compact(m_second));
    EXPECT_EQ(readFile(libraryFile() + ".before-restore"), compact(m_third));
    EXPECT_FALSE(m_controller->canUndo());
    EXPECT_FALSE(m_controller->canRedo());
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_TRUE(m_controller->importPreview().isEmpty());
    EXPECT_EQ(m_controller->targetId(), "unchanged");

    // The ".bak" now equals the file: a second restore changes nothing.
    m_controller->restoreBackup();
    EXPECT_EQ(m_controller->library(), m_second);
    EXPECT_EQ(readFile(libraryFile()), compact(m_second));
    EXPECT_EQ(readFile(libraryFile() + ".before-restore"), compact(m_third));
}

TEST_F(ControllerRestore, ABackupEqualToTheFileKeepsTheHistory)
{
    commit(m_first);
    commit(m_second);
    write(libraryFile() + ".bak", readFile(libraryFile()));
    m_controller->restoreBackup();
    EXPECT_EQ(m_controller->library(), m_second);
    EXPECT_TRUE(m_controller->canUndo());
    EXPECT_FALSE(QFileInfo::exists(libraryFile() + ".before-restore"));
    m_controller->undo();
    EXPECT_EQ(m_controller->library(), m_first);
}

TEST_F(ControllerRestore, WithoutABackupNothingButThePauseHappens)
{
    commit(m_first);
    commit(m_second);
    QFile::remove(libraryFile() + ".bak");
    connectAgent();
    m_controller->restoreBackup();
    EXPECT_EQ(panics(), 1);
    EXPECT_EQ(m_controller->notice(), "Cannot read library or file too large");
    EXPECT_EQ(m_controller->library(), m_second);
    EXPECT_TRUE(m_controller->canUndo());
    EXPECT_EQ(readFile(libraryFile()), compact(m_second));
}

} // namespace
