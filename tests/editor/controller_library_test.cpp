// The controller's library: the load at start-up, commits with the file and its ".bak" checked
// after every step, undo and redo, and automatic apply towards a fake agent.

#include "tests/support/settings_fixture.h"

#include "editor/library_state.h"
#include "tests/core/library_fixture.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>

namespace {

using vorna::core::defaultLibrary;
using vorna::test::compact;
using vorna::test::edited;
using vorna::test::spinUntil;
using vorna::test::withRules;

QJsonObject named(const QJsonObject& library, const char* name)
{
    return withRules(library, 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", name}}});
}

class LibraryState : public vorna::test::SettingsSandbox {
protected:
    void SetUp() override { start(); }

    void start()
    {
        m_controller = makeController();
        QObject::connect(m_controller.get(), &AppController::libraryChanged, [this] { ++m_libraryChanges; });
    }

    void writeLibraryFile(const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(libraryFile()).absolutePath());
        QFile file(libraryFile());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(bytes);
    }

    QByteArray file() const { return readFile(libraryFile()); }
    QByteArray backup() const { return readFile(libraryFile() + ".bak"); }

    std::unique_ptr<AppController> m_controller;
    int m_libraryChanges = 0;
};

TEST_F(LibraryState, FreshTestInstanceEditsTheDefaultLibraryAndWritesNothing)
{
    EXPECT_EQ(m_controller->library(), defaultLibrary());
    EXPECT_FALSE(QFileInfo::exists(libraryFile()));
    EXPECT_TRUE(m_controller->notice().isEmpty());
    EXPECT_FALSE(m_controller->dirty());
}

TEST_F(LibraryState, BrokenFileIsKeptAndEveryEditFailsWithItsError)
{
    writeLibraryFile("{\"schemaVersion\":");
    start();
    EXPECT_EQ(m_controller->library(), defaultLibrary());
    // No ".bak" to offer: the notice names the file and says to move it away.
    EXPECT_EQ(m_controller->notice(),
        editor::damagedLibraryNotice(libraryFile(), QStringLiteral("Invalid library JSON"), false, false));

    EXPECT_FALSE(m_controller->commitLibrary(named(defaultLibrary(), "A"), true));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Invalid library JSON"));
    EXPECT_EQ(file(), QByteArray("{\"schemaVersion\":"));
    EXPECT_EQ(m_controller->library(), defaultLibrary());
    EXPECT_FALSE(m_controller->canUndo());
    // Not even a commit of the document the window shows may overwrite it.
    EXPECT_FALSE(m_controller->commitLibrary(defaultLibrary(), true));
    EXPECT_EQ(file(), QByteArray("{\"schemaVersion\":"));
}

// One step of an editing session and what must hold after it.
struct Step {
    enum Kind { Commit, Undo, Redo } kind;
    int document;     // the document committed (Commit only)
    int inMemory;     // the document the window edits afterwards
    int onDisk;       // the file's document
    int backedUp;     // the ".bak" document; -1: no ".bak"
    bool canUndo, canRedo;
};

TEST_F(LibraryState, CommitUndoRedoKeepFileBackupAndMemoryInStep)
{
    const QJsonObject documents[] = {defaultLibrary(), named(defaultLibrary(), "A"), named(defaultLibrary(), "B"),
                                     edited(defaultLibrary(), {"selectedLayer"}, QJsonValue(4))};
    const Step steps[] = {
        {Step::Commit, 0, 0, 0, -1, false, false}, // unchanged: only written because no file exists yet
        {Step::Commit, 1, 1, 1, 0, true, false},
        {Step::Commit, 2, 2, 2, 1, true, false},
        {Step::Undo, 0, 1, 1, 2, true, true},
        {Step::Undo, 0, 0, 0, 1, false, true},
        {Step::Undo, 0, 0, 0, 1, false, true},  // nothing left: nothing happens
        {Step::Redo, 0, 1, 1, 0, true, true},
        {Step::Redo, 0, 2, 2, 1, true, false},
        {Step::Redo, 0, 2, 2, 1, true, false},
        {Step::Undo, 0, 1, 1, 2, true, true},
        {Step::Commit, 3, 3, 3, 1, true, false}, // a new commit forgets what was undone
        {Step::Undo, 0, 1, 1, 3, true, true},
    };
    int index = 0;
    for (const Step& step : steps) {
        SCOPED_TRACE(testing::Message() << "step " << index++);
        switch (step.kind) {
        case Step::Commit:
            ASSERT_TRUE(m_controller->commitLibrary(documents[step.document], false));
            break;
        case Step::Undo:
            m_controller->undo();
            break;
        case Step::Redo:
            m_controller->redo();
            break;
        }
        EXPECT_EQ(m_controller->library(), documents[step.inMemory]);
        EXPECT_EQ(file(), compact(documents[step.onDisk]));
        EXPECT_EQ(backup(), step.backedUp < 0 ? QByteArray("<missing>") : compact(documents[step.backedUp]));
        EXPECT_EQ(m_controller->canUndo(), step.canUndo);
        EXPECT_EQ(m_controller->canRedo(), step.canRedo);
    }
}

TEST_F(LibraryState, UnchangedCommitWritesNothingAndAddsNoStep)
{
    const QJsonObject a = named(defaultLibrary(), "A");
    const QJsonObject b = named(defaultLibrary(), "B");
    ASSERT_TRUE(m_controller->commitLibrary(a, false));
    ASSERT_TRUE(m_controller->commitLibrary(b, false));
    m_controller->setProperty("notice", "Something earlier");
    m_controller->setProperty("dirty", false);
    const int changes = m_libraryChanges;

    ASSERT_TRUE(m_controller->commitLibrary(b, true));
    EXPECT_EQ(file(), compact(b));
    EXPECT_EQ(backup(), compact(a)); // the version before stays restorable
    EXPECT_TRUE(m_controller->notice().isEmpty());
    EXPECT_EQ(m_libraryChanges, changes + 1);
    EXPECT_FALSE(m_controller->dirty());
    m_controller->undo();
    EXPECT_EQ(m_controller->library(), a); // one undo reaches the previous document
}

TEST_F(LibraryState, RefusedDocumentChangesNothing)
{
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), false));
    m_controller->setProperty("dirty", false);
    const QJsonObject refused = edited(defaultLibrary(), {"profiles"}, QJsonArray());
    EXPECT_FALSE(m_controller->commitLibrary(refused, true));
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Profile count must be 1..16"));
    EXPECT_EQ(m_controller->library(), named(defaultLibrary(), "A"));
    EXPECT_FALSE(m_controller->dirty());
    EXPECT_TRUE(m_controller->canUndo());
}

TEST_F(LibraryState, FailedUndoKeepsEverythingForARetry)
{
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), false));
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "B"), false));
    writeLibraryFile("broken by someone else");
    m_controller->undo();
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Invalid library JSON"));
    EXPECT_EQ(m_controller->library(), named(defaultLibrary(), "B"));
    EXPECT_TRUE(m_controller->canUndo());
    EXPECT_FALSE(m_controller->canRedo());
}

TEST_F(LibraryState, ThirtyStepsAreKept)
{
    for (int i = 0; i < 31; ++i)
        ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), QByteArray::number(i).constData()), false));
    for (int i = 0; i < 30; ++i)
        m_controller->undo();
    EXPECT_FALSE(m_controller->canUndo());
    // The state before the second commit; the default library before the first is gone.
    EXPECT_EQ(m_controller->library(), named(defaultLibrary(), "0"));
    for (int i = 0; i < 30; ++i)
        m_controller->redo();
    EXPECT_EQ(m_controller->library(), named(defaultLibrary(), "30"));
    EXPECT_FALSE(m_controller->canRedo());
}

TEST_F(LibraryState, UndoAndRedoDiscardAPendingImport)
{
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), false));
    for (const bool undo : {true, false}) {
        m_controller->setProperty("importPreview", "2 profiles from a package");
        undo ? m_controller->undo() : m_controller->redo();
        EXPECT_TRUE(m_controller->importPreview().isEmpty());
    }
}

TEST_F(LibraryState, UndoOfARenameKeepsDirtyAsItWas)
{
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), false));
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "B"), false));
    m_controller->setProperty("dirty", false);
    m_controller->undo();
    EXPECT_FALSE(m_controller->dirty());
    m_controller->redo();
    EXPECT_FALSE(m_controller->dirty());
    // A real change is unapplied after the step.
    ASSERT_TRUE(m_controller->commitLibrary(edited(named(defaultLibrary(), "B"), {"selectedLayer"}, QJsonValue(1)), false));
    m_controller->setProperty("dirty", false);
    m_controller->undo();
    EXPECT_TRUE(m_controller->dirty());
}

TEST_F(LibraryState, SelectionSettersIgnoreIndicesOutOfRange)
{
    ASSERT_TRUE(m_controller->commitLibrary(vorna::test::libraryWithProfiles(2), false));
    const QJsonObject before = m_controller->library();
    m_controller->setLayerIndex(10);
    m_controller->setLayerIndex(-1);
    m_controller->setProfileIndex(2);
    m_controller->setProfileIndex(-1);
    EXPECT_EQ(m_controller->library(), before);
    m_controller->setProfileIndex(1);
    m_controller->setLayerIndex(9);
    m_controller->setAutomatic(true);
    EXPECT_EQ(m_controller->profileIndex(), 1);
    EXPECT_EQ(m_controller->layerIndex(), 9);
    EXPECT_TRUE(m_controller->automatic());
    EXPECT_EQ(file(), compact(m_controller->library()));
}

// Automatic apply against a fake agent: what each edit sends.
class AutoApplyLink : public LibraryState {
protected:
    void SetUp() override
    {
        LibraryState::SetUp();
        ASSERT_TRUE(m_agent.listen(vorna::core::agentPipeName()));
        m_controller->connectAgent();
        ASSERT_TRUE(m_agent.waitForRequests(1));
    }

    void state(const QJsonObject& message) { m_agent.sendStateTo(*m_controller, message); }
    qsizetype configures() { return m_agent.configuresFrom(*m_controller); }

    vorna::test::FakeAgent m_agent;
};

TEST_F(AutoApplyLink, ActiveMappingsApplyEachChangeAtOnce)
{
    state({{"active", true}, {"configured", true}});
    m_controller->setLayerIndex(2);
    ASSERT_TRUE(spinUntil([&] { return m_agent.requests("configure").size() == 1; }));
    EXPECT_EQ(m_agent.requests("configure").first().value("library").toObject().value("selectedLayer").toInt(), 2);
    // An unchanged commit applies nothing.
    m_controller->setLayerIndex(2);
    EXPECT_EQ(configures(), 1);
}

TEST_F(AutoApplyLink, InactiveAgentOnlyMarksTheLibraryDirty)
{
    state({{"active", false}, {"configured", true}});
    m_controller->setLayerIndex(2);
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_EQ(configures(), 0);
}

TEST_F(AutoApplyLink, EditsWithoutApplyAreOnlySaved)
{
    state({{"active", true}, {"configured", true}});
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), false));
    EXPECT_TRUE(m_controller->dirty());
    EXPECT_EQ(configures(), 0);
}

TEST_F(AutoApplyLink, UndoOfTheDeviceModelWaitsForAnExplicitApply)
{
    state({{"active", true}, {"configured", true}});
    ASSERT_TRUE(m_controller->commitLibrary(edited(defaultLibrary(), {"modelId"}, QJsonValue("generic-pc")), false));
    m_controller->undo();
    m_controller->setLayerIndex(3); // suspended: saved, not applied
    EXPECT_EQ(configures(), 0);
    EXPECT_TRUE(m_controller->dirty());
}

TEST_F(AutoApplyLink, UndoOfARenameSendsNothing)
{
    state({{"active", true}, {"configured", true}});
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "A"), true));
    ASSERT_TRUE(spinUntil([&] { return m_agent.requests("configure").size() == 1; }));
    ASSERT_TRUE(m_controller->commitLibrary(named(defaultLibrary(), "B"), false));
    m_controller->undo();
    EXPECT_EQ(configures(), 1);
    m_controller->redo();
    EXPECT_EQ(configures(), 1);
}

TEST_F(AutoApplyLink, AwaitedApplyOfAnArmedAgentIsFollowedUp)
{
    state({{"active", true}, {"configured", true}});
    m_controller->setLayerIndex(1);
    ASSERT_TRUE(spinUntil([&] { return m_agent.requests("configure").size() == 1; }));
    // Mappings went inactive while the apply is unconfirmed: the next edit follows it up.
    state({{"active", false}, {"configured", true}, {"pending", true}});
    m_controller->setLayerIndex(2);
    ASSERT_TRUE(spinUntil([&] { return m_agent.requests("configure").size() == 2; }));
    // Confirmed: the next edit while inactive is only saved.
    state({{"active", false}, {"configured", true}, {"documentHash", m_controller->documentHash()}});
    EXPECT_FALSE(m_controller->dirty());
    EXPECT_EQ(m_controller->notice(), QStringLiteral("Сохранено и применено"));
    m_controller->setLayerIndex(3);
    EXPECT_EQ(configures(), 2);
}

} // namespace
