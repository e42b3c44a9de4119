// Profiles and layers on a library on disk: creating, duplicating, changing and deleting
// profiles, renaming layers and the starter profiles, with the file, the undo history and the
// notice checked after every success and refusal.

#include "tests/editor/editor_fixture.h"

#include "core/library_document.h"
#include "editor/starter_profiles.h"

#include <QRegularExpression>

namespace {

using vorna::test::rule;

class Profiles : public vorna::test::EditorSandbox {
protected:
    QJsonArray profiles() const { return library().value("profiles").toArray(); }
    QJsonObject profile(int index) const { return profiles().at(index).toObject(); }
    static bool isNewId(const QString& id)
    {
        static const QRegularExpression hex(QRegularExpression::anchoredPattern("[0-9a-f]{32}"));
        return hex.match(id).hasMatch();
    }
};

TEST_F(Profiles, NewProfileIsEmptyNamedAndSelected)
{
    struct Case {
        const char* language;
        QString name;
        QString stored;
    };
    const Case cases[] = {
        {"ru", "  Work  ", "Work"},
        {"ru", "   ", "Новый профиль"},
        {"en", "", "New profile"},
    };
    for (const Case& c : cases) {
        m_controller->setLanguage(c.language);
        const auto was = before();
        m_controller->addProfile(c.name);
        expectCommitted(was);
        const QJsonObject added = profiles().last().toObject();
        EXPECT_EQ(m_controller->profileIndex(), profiles().size() - 1);
        EXPECT_EQ(m_controller->layerIndex(), 1); // the layer stays selected
        EXPECT_EQ(added.value("name").toString(), c.stored);
        EXPECT_TRUE(isNewId(added.value("id").toString()));
        const QJsonObject expected = vorna::core::defaultProfile(c.stored, added.value("id").toString());
        EXPECT_EQ(added, expected);
    }
}

TEST_F(Profiles, DuplicateCopiesEverythingButIdAndApplication)
{
    const auto was = before();
    m_controller->addProfile("Game — copy", true);
    expectCommitted(was);
    QJsonObject copy = profiles().last().toObject();
    QJsonObject original = profile(1);
    EXPECT_TRUE(isNewId(copy.value("id").toString()));
    EXPECT_NE(copy.value("id"), original.value("id"));
    EXPECT_EQ(copy.value("application").toString(), QString());
    EXPECT_EQ(copy.value("priority").toInt(), 5);
    EXPECT_EQ(copy.value("name").toString(), QStringLiteral("Game — copy"));
    // Rule identities, motion and everything else come along unchanged.
    for (const char* key : {"id", "application", "name"}) {
        copy.remove(key);
        original.remove(key);
    }
    EXPECT_EQ(copy, original);
    expectUndoneTo(was);
}

TEST_F(Profiles, ASeventeenthProfileIsRefusedByTheStore)
{
    start(vorna::test::libraryWithProfiles(16));
    const auto was = before();
    m_controller->addProfile("One more");
    expectRefused(was, QStringLiteral("Profile count must be 1..16"));
    EXPECT_EQ(m_controller->profiles().size(), 16);
}

TEST_F(Profiles, UpdateTable)
{
    struct Case {
        int profile;
        QString name;
        QString application;
        int priority;
        const char* notice; // empty: stored
        QString storedApplication;
    };
    const Case cases[] = {
        {1, " Renamed ", " notepad.exe ", -1000, "", "notepad.exe"},
        {0, "Global", "notepad.exe", 1000, "", ""}, // the global profile never targets one
        {1, "  ", "game.exe", 0, "Invalid profile name or application", ""},
        {1, QString(81, 'n'), "game.exe", 0, "Invalid profile name or application", ""},
        {1, "Game", QString("a") + QChar(0) + "b", 0, "Invalid profile name or application", ""},
        {1, "Game", "game.exe", 1001, "Invalid priority", ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name.toStdString());
        m_controller->setProfileIndex(c.profile);
        m_controller->setProperty("notice", QString());
        const auto was = before();
        m_controller->updateProfile(c.name, c.application, c.priority);
        if (*c.notice != '\0') {
            expectRefused(was, QString::fromUtf8(c.notice));
            continue;
        }
        EXPECT_EQ(file(), vorna::test::compact(library()));
        EXPECT_EQ(profile(c.profile).value("name").toString(), c.name.trimmed());
        EXPECT_EQ(profile(c.profile).value("application").toString(), c.storedApplication);
        EXPECT_EQ(profile(c.profile).value("priority").toInt(), c.priority);
        EXPECT_EQ(profile(c.profile).value("layers"), was.library["profiles"][c.profile]["layers"]);
    }
}

TEST_F(Profiles, DeleteSelectsTheGlobalProfileAndKeepsTheLayer)
{
    QJsonObject library = vorna::test::withRules(vorna::test::libraryWithProfiles(5), 4, 2,
        {rule("mouse_back", "key_9", 4), rule("mouse_back", "key_27")});
    library = vorna::test::withRules(library, 3, 0, {rule("mouse_forward", "blocked")});
    start(vorna::test::edited(vorna::test::edited(library, {"selectedProfile"}, 3), {"selectedLayer"}, 4));
    const QJsonValue removedId = profile(3).value("id");
    const auto was = before();
    m_controller->deleteProfile();
    expectCommitted(was);
    EXPECT_EQ(profiles().size(), 4);
    EXPECT_EQ(m_controller->profileIndex(), 0);
    EXPECT_EQ(m_controller->layerIndex(), 4);
    // The other profiles, their rules and their identities, are exactly as they were.
    QJsonArray expected = was.library.value("profiles").toArray();
    expected.removeAt(3);
    EXPECT_EQ(profiles(), expected);
    for (const QJsonValue& left : profiles())
        EXPECT_NE(left.toObject().value("id"), removedId);
    expectUndoneTo(was);
}

TEST_F(Profiles, TheGlobalProfileCannotBeDeleted)
{
    m_controller->setProfileIndex(0);
    m_controller->setProperty("notice", QString());
    const auto was = before();
    m_controller->deleteProfile();
    expectRefused(was, QString());
}

TEST_F(Profiles, RenameLayerTable)
{
    struct Case {
        QString name;
        const char* notice;
    };
    const Case cases[] = {{" Вторая ", ""}, {"   ", "Invalid layer"}, {QString(81, 'x'), "Invalid layer"}};
    for (const Case& c : cases) {
        m_controller->setProperty("notice", QString());
        const auto was = before();
        m_controller->renameLayer(c.name);
        if (*c.notice != '\0') {
            expectRefused(was, QString::fromUtf8(c.notice));
            continue;
        }
        expectCommitted(was);
        EXPECT_EQ(layer(1, 1).value("name").toString(), c.name.trimmed());
        EXPECT_EQ(layer(1, 1).value("rules"), was.library["profiles"][1]["layers"][1]["rules"]);
    }
}

TEST_F(Profiles, StarterProfilesHaveTheirExactRulesAndPassTheLibraryCheck)
{
    struct Expected {
        const char* kind;
        const char* ru;
        const char* en;
        const char* back;
        const char* forward;
    };
    const Expected table[] = {
        {"work", "Работа", "Work", "chord:key_162+key_67", "chord:key_162+key_86"},
        {"browser", "Браузер", "Browser", "chord:key_162+key_160+key_9", "chord:key_162+key_9"},
        {"editing", "Редактирование", "Editing", "chord:key_162+key_90", "chord:key_162+key_89"},
        {"3d", "3D · камера", "3D · camera", "mouse_middle", "key_160"},
        {"fps", "FPS · связь и слой", "FPS · voice and layer", "key_86", "layer:hold:2"},
        {"strategy", "Стратегия · модификаторы", "Strategy · modifiers", "key_160", "key_162"},
        {"rpg", "RPG · инвентарь и карта", "RPG · inventory and map", "key_73", "key_77"},
    };
    ASSERT_EQ(editor::starterProfiles().size(), std::size(table));
    const auto presetRule = [](const char* source, const char* target) {
        return QJsonObject{{"source", source}, {"target", QString::fromUtf8(target)}, {"keepOriginal", false},
                           {"modifiers", 0}};
    };
    for (const char* language : {"ru", "en"}) {
        start(vorna::core::defaultLibrary());
        m_controller->setLanguage(language);
        for (const Expected& row : table) {
            SCOPED_TRACE(row.kind);
            const auto was = before();
            m_controller->addGamePreset(row.kind);
            expectCommitted(was);
            QString error;
            EXPECT_TRUE(vorna::core::validateLibrary(library(), error)) << error.toStdString();
            const QJsonObject added = profiles().last().toObject();
            EXPECT_EQ(m_controller->profileIndex(), profiles().size() - 1);
            EXPECT_EQ(m_controller->layerIndex(), 0);
            EXPECT_TRUE(isNewId(added.value("id").toString()));
            EXPECT_EQ(added.value("name").toString(), QString::fromUtf8(QByteArray(language) == "en" ? row.en : row.ru));
            QJsonObject expected = vorna::core::defaultProfile(added.value("name").toString(), added.value("id").toString());
            expected = vorna::test::edited(expected, {"layers", 0, "rules"},
                QJsonArray{presetRule("mouse_back", row.back), presetRule("mouse_forward", row.forward)});
            if (QByteArray(row.kind) == "fps")
                expected = vorna::test::edited(expected, {"layers", 1, "rules"}, QJsonArray{presetRule("mouse_back", "key_9")});
            EXPECT_EQ(added, expected);
            EXPECT_EQ(m_controller->notice(), QByteArray(language) == "en"
                ? QStringLiteral("Editable starter profile created. Check its keys in your application, then apply explicitly.")
                : QStringLiteral("Создан редактируемый шаблон. Сверьте клавиши с вашим приложением, затем примените набор."));
        }
    }
}

TEST_F(Profiles, UnknownStarterKindDoesNothing)
{
    const auto was = before();
    for (const char* kind : {"FPS", "", "fps "})
        m_controller->addGamePreset(kind);
    expectRefused(was, QString());
}

TEST_F(Profiles, StarterProfileBeyondSixteenKeepsTheStoresNotice)
{
    start(vorna::test::libraryWithProfiles(16));
    const auto was = before();
    m_controller->addGamePreset("work");
    expectRefused(was, QStringLiteral("Profile count must be 1..16"));
}

TEST_F(Profiles, EditsDuringAMacroRecordingAreRefusedSilently)
{
    record();
    const auto was = before();
    m_controller->addProfile("New");
    m_controller->addProfile("Copy", true);
    m_controller->updateProfile("Changed", "x.exe", 3);
    m_controller->deleteProfile();
    m_controller->renameLayer("Changed");
    m_controller->addGamePreset("work");
    expectRefused(was, QString());
}

} // namespace
