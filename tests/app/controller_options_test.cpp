// The controller's option tables: built in the interface language, rebuilt after commits with
// rows for the ids rules use, and favorites kept in the settings across a restart.

#include "tests/support/settings_fixture.h"

#include <QJsonArray>
#include <QSignalSpy>

namespace {

using vorna::core::defaultLibrary;

QString rowLabel(const QVariantList& rows, const QString& id)
{
    for (const QVariant& row : rows) {
        if (row.toMap().value(QStringLiteral("id")).toString() == id)
            return row.toMap().value(QStringLiteral("label")).toString();
    }
    return QStringLiteral("<none>");
}

QVariantMap rowOf(const QVariantList& rows, const QString& id)
{
    for (const QVariant& row : rows) {
        if (row.toMap().value(QStringLiteral("id")).toString() == id)
            return row.toMap();
    }
    return {};
}

QJsonObject withTargets(const QStringList& targets)
{
    QJsonObject library = defaultLibrary();
    QJsonArray rules;
    const char* sources[] = {"mouse_back", "mouse_forward"};
    for (qsizetype i = 0; i < targets.size(); ++i)
        rules.append(QJsonObject{{"source", sources[i]}, {"target", targets.at(i)}});
    AppController::setLayerRules(library, 0, 0, rules);
    return library;
}

class ControllerOptions : public vorna::test::SettingsSandbox {};

TEST_F(ControllerOptions, TablesFollowTheInterfaceLanguage)
{
    auto controller = makeController();
    EXPECT_EQ(controller->inputOptions().size(), 121);
    // The default library is not empty: 266 fixed rows and the 42 layer rows.
    EXPECT_EQ(controller->outputOptions().size(), 308);
    EXPECT_EQ(rowLabel(controller->inputOptions(), QStringLiteral("mouse_left")), QString::fromUtf8("Левая кнопка"));

    QSignalSpy changes(controller.get(), &AppController::optionsChanged);
    controller->setLanguage(QStringLiteral("en"));
    EXPECT_EQ(changes.size(), 1);
    EXPECT_EQ(rowLabel(controller->inputOptions(), QStringLiteral("mouse_left")), QStringLiteral("Left button"));
    EXPECT_EQ(controller->describeInput(QStringLiteral("chord:key_162+key_67")), QStringLiteral("Copy · Ctrl+C"));
    EXPECT_EQ(controller->property("actionCategories").toList().first().toMap().value(QStringLiteral("label")).toString(),
              QStringLiteral("All actions"));
}

TEST_F(ControllerOptions, IdsUsedByRulesGetRowsAtTheNextRebuildAndLoseThemAfter)
{
    auto controller = makeController();
    ASSERT_TRUE(controller->commitLibrary(
        withTargets({QStringLiteral("key_178"), QStringLiteral("chord:key_162+key_160+key_65")}), false));
    const QVariantList rows = controller->outputOptions();
    const QVariantMap media = rowOf(rows, QStringLiteral("key_178"));
    EXPECT_EQ(media.value(QStringLiteral("label")).toString(), QString::fromUtf8("Клавиша 178"));
    EXPECT_EQ(media.value(QStringLiteral("category")).toString(), QStringLiteral("media"));
    const QVariantMap chord = rowOf(rows, QStringLiteral("chord:key_162+key_160+key_65"));
    EXPECT_EQ(chord.value(QStringLiteral("label")).toString(), QString::fromUtf8("Левый Ctrl + Левый Shift + A"));
    EXPECT_EQ(chord.value(QStringLiteral("category")).toString(), QStringLiteral("editing"));
    EXPECT_EQ(rows.size(), 308 + 2);
    EXPECT_EQ(controller->describeInput(QStringLiteral("chord:key_162+key_999")), QString::fromUtf8("Левый Ctrl + key_999"));

    ASSERT_TRUE(controller->commitLibrary(defaultLibrary(), false));
    EXPECT_TRUE(rowOf(controller->outputOptions(), QStringLiteral("key_178")).isEmpty());
}

TEST_F(ControllerOptions, FavoritesToggleRebuildAndSurviveARestart)
{
    const QString copy = QStringLiteral("chord:key_162+key_67");
    {
        auto controller = makeController();
        QSignalSpy changes(controller.get(), &AppController::optionsChanged);
        controller->toggleFavorite(QStringLiteral("no-such-output"));
        EXPECT_EQ(changes.size(), 0);
        EXPECT_FALSE(QSettings().contains(QStringLiteral("ui/favorites")));

        controller->toggleFavorite(copy);
        EXPECT_EQ(changes.size(), 1);
        EXPECT_TRUE(controller->favorite(copy));
        EXPECT_TRUE(rowOf(controller->outputOptions(), copy).value(QStringLiteral("favorite")).toBool());
    }
    auto restarted = makeController();
    EXPECT_TRUE(restarted->favorite(copy));
    EXPECT_TRUE(rowOf(restarted->outputOptions(), copy).value(QStringLiteral("favorite")).toBool());
    EXPECT_FALSE(rowOf(restarted->outputOptions(), QStringLiteral("key_86")).value(QStringLiteral("favorite")).toBool());
}

TEST_F(ControllerOptions, TogglingRemovesEveryCopyAndAppendsOnceAtTheEnd)
{
    QSettings().setValue(QStringLiteral("ui/favorites"), QStringList{"key_65", "blocked", "key_65", "key_66"});
    auto controller = makeController();
    controller->toggleFavorite(QStringLiteral("key_65"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/favorites")).toStringList(), (QStringList{"blocked", "key_66"}));
    controller->toggleFavorite(QStringLiteral("key_65"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/favorites")).toStringList(), (QStringList{"blocked", "key_66", "key_65"}));
    controller->toggleFavorite(QStringLiteral("key_67"));
    controller->toggleFavorite(QStringLiteral("key_67"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/favorites")).toStringList(), (QStringList{"blocked", "key_66", "key_65"}));
}

TEST_F(ControllerOptions, AFavoritesValueThatIsNotAListCountsAsEmpty)
{
    QSettings().setValue(QStringLiteral("ui/favorites"), 42);
    auto controller = makeController();
    EXPECT_FALSE(controller->favorite(QStringLiteral("42")));
    controller->toggleFavorite(QStringLiteral("blocked"));
    EXPECT_EQ(QSettings().value(QStringLiteral("ui/favorites")).toStringList(), QStringList{"blocked"});
}

} // namespace
