// The option tables as plain rows: their order and counts, captions in both languages, the
// categories and texts of the decoration pass, and the rows added for ids a rule uses.

#include "app/option_tables.h"
#include "core/library_files.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

QString id(const QVariant& row) { return row.toMap().value(QStringLiteral("id")).toString(); }

QVariantMap find(const QVariantList& rows, const QString& wanted)
{
    for (const QVariant& row : rows) {
        if (id(row) == wanted)
            return row.toMap();
    }
    return {};
}

QVariantList decorated(const QVariantList& rows, const QJsonArray& actions = {}, const QStringList& favorites = {},
                       bool english = true)
{
    QVariantList result;
    for (const QVariant& row : rows)
        result.append(app::decorateOutputRow(row.toMap(), actions, favorites, english));
    return result;
}

QVariantList allOutputRows(bool english, const QJsonObject& library, const QVariantList& layers = {})
{
    QVariantList rows = app::fixedOutputRows(english, app::inputOptionRows(english));
    rows.append(app::libraryOutputRows(english, library, layers));
    return decorated(rows, library.value(QStringLiteral("actions")).toArray(), {}, english);
}

struct SampleRow {
    const char* id;
    const char* ru;
    const char* en;
    const char* category;
};

// Rows from every group of both tables, with the category the picker files them under.
const SampleRow kSamples[] = {
    {"unchanged", "Не менять", "Keep original", "basic"},
    {"blocked", "Заблокировать", "Block", "basic"},
    {"mouse_left", "Левая кнопка", "Left button", "mouse"},
    {"mouse_forward", "Боковая · Вперед (Mouse5)", "Forward (Mouse5)", "mouse"},
    {"key_32", "Пробел", "Space", "keys"},
    {"key_179", "Воспроизведение / пауза", "Play / pause", "media"},
    {"key_65", "A", "A", "keys"},
    {"key_123", "F12", "F12", "keys"},
    {"key_105", "NumPad 9", "NumPad 9", "keys"},
    {"key_numpad_enter", "NumPad Enter", "NumPad Enter", "keys"},
    {"key_109", "NumPad −", "NumPad −", "keys"},
    {"key_220", "\\", "\\", "keys"},
    {"key_226", "ISO \\", "ISO \\", "keys"},
    {"wheel_right", "Колесо вправо", "Wheel right", "mouse"},
    {"chord:key_162+key_67", "Копировать · Ctrl+C", "Copy · Ctrl+C", "editing"},
    {"chord:key_164+key_9", "Alt+Tab", "Alt+Tab", "windows"},
    {"chord:key_162+key_84", "Браузер: новая вкладка", "Browser: new tab", "browser"},
    {"chord:key_91+key_76", "Windows: заблокировать сеанс", "Windows: lock session", "windows"},
    {"toggle:mouse_left", "Удержание вкл/выкл: Левая кнопка", "Toggle hold: Left button", "holds"},
    {"toggle:key_174", "Удержание вкл/выкл: Тише", "Toggle hold: Volume down", "holds"},
    {"pointer:axis-y", "Пока держу: только вертикально", "Hold: vertical movement only", "mouse"},
    {"layer:hold:1", "Пока держу — слой: ", "Hold layer: ", "layers"},
    {"layer:timed:3:1000", "Слой на 1 секунду: ", "Layer for 1 second: ", "layers"},
    {"layer:previous", "Предыдущий слой", "Previous layer", "layers"},
};

TEST(OptionTables, SampleRowsHaveTheirCaptionsInBothLanguagesAndTheirCategory)
{
    const QJsonObject library = vorna::core::defaultLibrary();
    for (const bool english : {false, true}) {
        const QVariantList rows = allOutputRows(english, library);
        for (const SampleRow& sample : kSamples) {
            SCOPED_TRACE(std::string(sample.id) + (english ? " en" : " ru"));
            const QVariantMap row = find(rows, QString::fromUtf8(sample.id));
            EXPECT_EQ(row.value(QStringLiteral("label")).toString(),
                      QString::fromUtf8(english ? sample.en : sample.ru));
            EXPECT_EQ(row.value(QStringLiteral("category")).toString(), QLatin1String(sample.category));
        }
    }
}

TEST(OptionTables, InputListHasItsCountAndOrder)
{
    const QVariantList inputs = app::inputOptionRows(true);
    ASSERT_EQ(inputs.size(), 121);
    EXPECT_EQ(inputs.first().toMap(),
              (QVariantMap{{QStringLiteral("id"), QStringLiteral("mouse_left")}, {QStringLiteral("label"), QStringLiteral("Left button")}}));
    EXPECT_EQ(app::inputOptionRows(false).first().toMap().value(QStringLiteral("label")).toString(),
              QString::fromUtf8("Левая кнопка"));
    for (qsizetype i = 0; i < inputs.size(); ++i) {
        EXPECT_EQ(inputs.at(i).toMap().size(), 2);
        if (id(inputs.at(i)) == QLatin1String("key_48")) {
            EXPECT_EQ(id(inputs.value(i + 1)), QStringLiteral("key_96"));
        }
    }
    EXPECT_EQ(id(inputs.last()), QStringLiteral("wheel_right"));
}

TEST(OptionTables, EmptyLibraryHasNoLayerRowsAndNonEmptyAddsExactlyFortyTwo)
{
    const QVariantList empty = allOutputRows(true, {});
    EXPECT_EQ(empty.size(), 266);
    for (const QVariant& row : empty)
        EXPECT_FALSE(id(row).startsWith(QLatin1String("layer:"))) << id(row).toStdString();

    const QVariantList layers = vorna::core::defaultLibrary()
                                    .value(QStringLiteral("profiles")).toArray().first().toObject()
                                    .value(QStringLiteral("layers")).toArray().toVariantList();
    const QVariantList library = app::libraryOutputRows(false, vorna::core::defaultLibrary(), layers);
    ASSERT_EQ(library.size(), 42);
    for (const QVariant& row : library) {
        if (id(row).startsWith(QLatin1String("layer:timed:"))) {
            EXPECT_TRUE(id(row).endsWith(QLatin1String(":1000"))) << id(row).toStdString();
        }
    }
    const QString thirdName = layers.value(2).toMap().value(QStringLiteral("name")).toString();
    EXPECT_EQ(find(library, QStringLiteral("layer:once:3")).value(QStringLiteral("label")).toString(),
              QString::fromUtf8("Слой на одно нажатие: ") + thirdName);
}

TEST(OptionTables, NoHoldToggleForAWheelDirection)
{
    const QVariantList rows = app::fixedOutputRows(true, app::inputOptionRows(true));
    int toggles = 0;
    for (const QVariant& row : rows)
        toggles += id(row).startsWith(QLatin1String("toggle:")) ? 1 : 0;
    EXPECT_EQ(toggles, 117);
    EXPECT_TRUE(find(rows, QStringLiteral("toggle:wheel_up")).isEmpty());
}

TEST(OptionTables, ActionsAndMacrosTakeTheirNamesAndActionTypesPickTheCategory)
{
    const QJsonObject library{
        {"actions", QJsonArray{QJsonObject{{"name", "Run"}, {"type", "launch"}}, QJsonObject{{"name", "Sign"}, {"type", "text"}},
                               QJsonObject{{"type", "window"}}}},
        {"macros", QJsonArray{QJsonObject{{"name", "Greet"}}}},
    };
    const QVariantList rows = decorated(app::libraryOutputRows(true, library, {}), library.value("actions").toArray());
    const struct {
        const char* id;
        const char* label;
        const char* category;
    } expected[] = {
        {"action:1", "Run", "applications"},
        {"action:2", "Sign", "text"},
        {"action:3", "", "windows"},
        {"macro:1", "\u25B6 Greet", "macros"},
    };
    for (const auto& want : expected) {
        const QVariantMap row = find(rows, QLatin1String(want.id));
        EXPECT_EQ(row.value(QStringLiteral("label")).toString(), QString::fromUtf8(want.label)) << want.id;
        EXPECT_EQ(row.value(QStringLiteral("category")).toString(), QLatin1String(want.category)) << want.id;
    }
    // An action number past the list, or no number at all, finds no action.
    for (const char* orphan : {"action:9", "action:x"}) {
        const QVariantMap row = app::decorateOutputRow({{QStringLiteral("id"), QLatin1String(orphan)}},
                                                       library.value("actions").toArray(), {}, true);
        EXPECT_EQ(row.value(QStringLiteral("category")).toString(), QStringLiteral("applications")) << orphan;
    }
}

TEST(OptionTables, DecorationFillsFavoriteDescriptionAndKeywords)
{
    const QStringList favorites{QStringLiteral("chord:key_162+key_67")};
    const QVariantMap copy = app::decorateOutputRow(
        {{QStringLiteral("id"), QStringLiteral("chord:key_162+key_67")}, {QStringLiteral("label"), QStringLiteral("Copy")}}, {},
        favorites, true);
    EXPECT_EQ(copy.size(), 6);
    EXPECT_TRUE(copy.value(QStringLiteral("favorite")).toBool());
    EXPECT_EQ(copy.value(QStringLiteral("keywords")).toString(), QString::fromUtf8("копировать копия copy clipboard"));
    EXPECT_EQ(copy.value(QStringLiteral("description")).toString(),
              QStringLiteral("Sends this shortcut to Windows; target app support may vary."));

    const QVariantList rows = allOutputRows(false, vorna::core::defaultLibrary());
    const QVariantMap media = find(rows, QStringLiteral("key_173"));
    EXPECT_FALSE(media.value(QStringLiteral("favorite")).toBool());
    EXPECT_EQ(media.value(QStringLiteral("keywords")).toString(), QString::fromUtf8("звук громкость музыка audio volume music media"));
    EXPECT_EQ(find(rows, QStringLiteral("toggle:key_9")).value(QStringLiteral("description")).toString(),
              QString::fromUtf8("Первое нажатие удерживает, следующее отпускает."));
    EXPECT_EQ(find(rows, QStringLiteral("layer:next")).value(QStringLiteral("keywords")).toString(),
              QString::fromUtf8("слой режим переключить layer mode shift"));
    const QVariantMap pointer = find(rows, QStringLiteral("pointer:speed"));
    EXPECT_TRUE(pointer.value(QStringLiteral("description")).toString().startsWith(QString::fromUtf8("Режим курсора Windows")));
    EXPECT_TRUE(pointer.value(QStringLiteral("keywords")).toString().endsWith(QLatin1String("axis hold")));
}

TEST(OptionTables, ExtraRowsForUnlistedIds)
{
    const QVariantList rows = app::fixedOutputRows(false, app::inputOptionRows(false));
    const struct {
        const char* id;
        bool english;
        const char* label; // empty: no row
        const char* category;
    } cases[] = {
        {"key_178", true, "Key 178", "media"},
        {"key_178", false, "Клавиша 178", "media"},
        {"key_124", true, "Key 124", "keys"},
        {"key_200", true, "", ""},
        {"chord:key_162+key_999", true, "", ""},
        {"chord:key_162+key_160+key_65", false, "Левый Ctrl + Левый Shift + A", "editing"},
        {"toggle:key_124", true, "", ""},
        {"nonsense", true, "", ""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.id);
        const QVariantMap row = app::extraOutputRow(rows, QLatin1String(c.id), c.english);
        EXPECT_EQ(row.value(QStringLiteral("label")).toString(), QString::fromUtf8(c.label));
        if (!row.isEmpty()) {
            EXPECT_EQ(app::decorateOutputRow(row, {}, {}, c.english).value(QStringLiteral("category")).toString(),
                      QLatin1String(c.category));
        }
    }
}

TEST(OptionTables, DescribeFindsRowsThenSplitsChordsThenEchoes)
{
    const QVariantList rows = app::fixedOutputRows(false, app::inputOptionRows(false));
    const struct {
        const char* id;
        const char* label;
    } cases[] = {
        {"chord:key_162+key_67", "Копировать · Ctrl+C"},
        {"chord:key_162+key_999", "Левый Ctrl + key_999"},
        {"chord:key_162++key_65", "Левый Ctrl +  + A"},
        {"cursor_move", "Движение курсора"},
        {"key_20", "CapsLock"},
        {"whatever", "whatever"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(app::describeOption(rows, QLatin1String(c.id), false), QString::fromUtf8(c.label)) << c.id;
    EXPECT_EQ(app::describeOption(rows, QStringLiteral("cursor_move"), true), QStringLiteral("Cursor movement"));
}

TEST(OptionTables, CategoriesInPickerOrder)
{
    const QVariantList categories = app::actionCategoryRows(false);
    ASSERT_EQ(categories.size(), 14);
    EXPECT_EQ(id(categories.first()), QStringLiteral("all"));
    EXPECT_EQ(categories.at(1).toMap().value(QStringLiteral("label")).toString(), QString::fromUtf8("Избранное"));
    EXPECT_EQ(id(categories.last()), QStringLiteral("applications"));
    EXPECT_EQ(app::actionCategoryRows(true).at(10).toMap().value(QStringLiteral("label")).toString(),
              QStringLiteral("Profiles and layers"));
}

} // namespace
