// What "configure" and "apply" compute before anything reaches the backend.
#include "agent/configuration.h"
#include "core/library_document.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"

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

// The library passes the check and compiles; null (with the failure recorded) otherwise.
std::unique_ptr<CompiledLibrary> checkedAndCompiled(const QJsonObject& library)
{
    QString error;
    auto compiled = std::make_unique<CompiledLibrary>();
    if (!vorna::core::validateLibrary(library, error) || !compileLibrary(library, *compiled, error)) {
        ADD_FAILURE() << error.toStdString();
        return nullptr;
    }
    return compiled;
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
        const auto compiled = checkedAndCompiled(c.library);
        ASSERT_TRUE(compiled);
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

// The rules in force are put together from each layer's own compiled records; they must be
// exactly what compiling each list in force from its JSON gives, ids and match order included.
TEST(Configuration, EveryLayersRulesAreThoseOfItsListInForce)
{
    QJsonObject overriding = libraryWithProfiles(3);
    QJsonObject holdTap = rule("key_70", "key_71");
    holdTap["trigger"] = QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", "key_72"}};
    QJsonObject kept = rule("key_80", "key_81");
    kept["keepOriginal"] = true;
    overriding = withRules(overriding, 0, 0, {rule("key_65", "key_66"), rule("key_67", "key_68", 2), holdTap, kept});
    overriding = withRules(overriding, 0, 4, {rule("key_67", "blocked", 2), rule("key_90", "key_91")});
    overriding = withRules(overriding, 1, 0, {rule("key_73", "blocked"), rule("key_65", "key_69")});
    overriding = withRules(overriding, 1, 3, {rule("key_73", "key_74"), rule("key_65", "key_75", 1), rule("key_70", "unchanged")});
    overriding = withRules(overriding, 2, 5, {rule("key_67", "key_76", 2), rule("key_67", "key_77", 3)});
    const struct {
        const char* name;
        QJsonObject library;
    } cases[] = {
        {"the default library", vorna::core::defaultLibrary()},
        {"overrides at every level", overriding},
        {"the largest library", vorna::test::largestLibrary()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const auto compiled = checkedAndCompiled(c.library);
        ASSERT_TRUE(compiled);
        QString error;
        const int profiles = int(c.library["profiles"].toArray().size());
        ASSERT_EQ(compiled->programs.size(), std::size_t(profiles));
        auto expected = std::make_unique<vorna::core::RulesSnapshot>();
        for (int p = 0; p < profiles; ++p) {
            for (int layer = 0; layer < 10; ++layer) {
                ASSERT_TRUE(vorna::core::parseRules(vorna::core::effectiveRules(c.library, p, layer), *expected, error));
                EXPECT_TRUE(compiled->programs[std::size_t(p)].layers[std::size_t(layer)] == *expected)
                    << "profile " << p << " layer " << layer;
            }
        }
    }
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
