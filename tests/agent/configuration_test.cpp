// What "configure" and "apply" compute before anything reaches the backend.
#include "agent/configuration.h"
#include "core/library_document.h"
#include "tests/core/library_fixture.h"

#include <QCryptographicHash>

#include <gtest/gtest.h>

#include <memory>

using namespace vorna::ipc;
using vorna::test::edited;
using vorna::test::libraryWithProfiles;
using vorna::test::rule;

namespace {

QJsonObject withRules(QJsonObject library, int profile, int layer, const QJsonArray& rules)
{
    return edited(library, {"profiles", profile, "layers", layer, "rules"}, rules);
}

} // namespace

TEST(Configuration, ATrialRunsOnlyWhenACriticalInputOrTheCursorIsTouched)
{
    const QJsonObject three = libraryWithProfiles(4);
    const struct {
        const char* name;
        QJsonObject library;
        bool critical;
    } cases[] = {
        {"an ordinary key", withRules(three, 0, 0, {rule("key_65", "key_66")}), false},
        {"a critical input to itself", withRules(three, 1, 2, {rule("mouse_left", "mouse_left")}), false},
        {"a critical input passed on", withRules(three, 1, 2, {rule("key_13", "unchanged")}), false},
        {"a critical input blocked", withRules(three, 2, 5, {rule("mouse_left", "blocked")}), true},
        {"a critical input in a chord", withRules(three, 0, 0, {rule("key_162", "chord:key_162+key_65")}), true},
        {"cursor X inverted in layer 7 of profile 3",
         edited(three, {"profiles", 3, "layers", 6, "motion"}, vorna::test::motionSettings({{"invertX", true}})), true},
        {"cursor slowed", edited(three, {"profiles", 0, "layers", 9, "motion"}, vorna::test::motionSettings({{"cursorY", 50}})), true},
        {"only the wheel inverted", edited(three, {"profiles", 0, "layers", 0, "motion"}, vorna::test::motionSettings({{"invertVertical", true}})),
         false},
        {"only the temporary speed", edited(three, {"profiles", 0, "layers", 0, "motion"}, vorna::test::motionSettings({{"temporarySpeed", 50}})),
         false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        QString error;
        ASSERT_TRUE(vorna::core::validateLibrary(c.library, error)) << error.toStdString();
        auto compiled = std::make_unique<CompiledLibrary>();
        ASSERT_TRUE(compileLibrary(c.library, *compiled, error)) << error.toStdString();
        EXPECT_EQ(compiled->touchesCritical, c.critical);
    }
}

TEST(Configuration, EveryProfileGetsAProgramAndItsSelectedLayersRules)
{
    QJsonObject library = libraryWithProfiles(3);
    library["selectedLayer"] = 2;
    library["actions"] = QJsonArray{QJsonObject{{"name", "Site"}, {"type", "website"}, {"value", "https://example.org"}}};
    library = withRules(library, 1, 2, {rule("key_65", "key_66"), rule("key_67", "blocked")});
    library = withRules(library, 2, 4, {rule("key_68", "blocked")});
    auto compiled = std::make_unique<CompiledLibrary>();
    QString error;
    ASSERT_TRUE(compileLibrary(library, *compiled, error)) << error.toStdString();
    ASSERT_EQ(compiled->programs.size(), 3u);
    ASSERT_EQ(compiled->snapshots.size(), 3u);
    EXPECT_EQ(compiled->selectedLayer, 2);
    for (std::uint8_t p = 0; p < 3; ++p) {
        EXPECT_EQ(compiled->programs[p].initialLayer, 2);
        EXPECT_EQ(compiled->programs[p].enabled, 1);
        EXPECT_EQ(compiled->programs[p].profileIndex, p);
        EXPECT_EQ(compiled->programs[p].actionCount, 1);
    }
    EXPECT_EQ(compiled->snapshots[0].count, 0u);
    EXPECT_EQ(compiled->snapshots[1].count, 2u);
    EXPECT_EQ(compiled->snapshots[2].count, 0u); // its rule is in layer 5, not the selected layer 3
    EXPECT_EQ(compiled->programs[2].layers[4].count, 1u);
}

TEST(Configuration, AMacroRefusalIsTheMacroChecksText)
{
    QJsonObject library = vorna::core::defaultLibrary();
    library["macros"] = QJsonArray{QJsonObject{{"name", "m"}, {"steps", "not steps"}}};
    auto compiled = std::make_unique<CompiledLibrary>();
    QString error;
    EXPECT_FALSE(compileLibrary(library, *compiled, error));
    EXPECT_FALSE(error.isEmpty());
}

TEST(Configuration, AProgramIsActiveWithRulesOrAMotionChangeOfItsInitialLayer)
{
    auto program = std::make_unique<vorna::windows::LayerProgram>();
    const vorna::core::RulesSnapshot none{};
    EXPECT_FALSE(programIsActive(none, *program));
    program->motion[0].temporarySpeed = 50;
    program->motion[0].scrollPixels = 10;
    EXPECT_FALSE(programIsActive(none, *program));
    program->motion[3].invertVertical = true; // not the initial layer
    EXPECT_FALSE(programIsActive(none, *program));
    program->initialLayer = 3;
    EXPECT_TRUE(programIsActive(none, *program));
    vorna::core::RulesSnapshot one{};
    one.count = 1;
    EXPECT_TRUE(programIsActive(one, vorna::windows::LayerProgram{}));
}

TEST(Configuration, ApplyTrialTable)
{
    EXPECT_FALSE(applyNeedsTrial(true, "mouse_left", "mouse_left"));
    EXPECT_TRUE(applyNeedsTrial(true, "mouse_left", "blocked"));
    EXPECT_FALSE(applyNeedsTrial(true, "key_65", "key_66"));
    EXPECT_FALSE(applyNeedsTrial(false, "mouse_left", "blocked"));
}

TEST(Configuration, TheDocumentHashIsLowerCaseSha256OfTheCompactJson)
{
    const QJsonObject library = vorna::core::defaultLibrary();
    const QString hash = documentHash(library);
    EXPECT_EQ(hash.size(), 64);
    EXPECT_EQ(hash, hash.toLower());
    EXPECT_EQ(hash, QString::fromLatin1(QCryptographicHash::hash(vorna::test::compact(library), QCryptographicHash::Sha256).toHex()));
    EXPECT_NE(hash, documentHash(edited(library, {"selectedLayer"}, 1)));
}
