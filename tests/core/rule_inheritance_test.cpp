#include "core/rule_inheritance.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

namespace {

using vorna::core::annotatedRules;
using vorna::core::effectiveMotion;
using vorna::core::effectiveRules;
using vorna::test::edited;
using vorna::test::libraryWithProfiles;
using vorna::test::rule;
using vorna::test::withRules;

std::string text(const QJsonValue& value)
{
    return (value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject()))
        .toJson(QJsonDocument::Compact)
        .toStdString();
}

// The worked example: global base, profile 2's base and profile 2's layer 3 all name
// mouse_back; the global layer 3 must play no part for profile 2.
QJsonObject workedExample()
{
    QJsonObject library = libraryWithProfiles(3);
    library = withRules(library, 0, 0, {rule("mouse_back", "key_27"), rule("key_65", "key_66")});
    library = withRules(library, 0, 3, {rule("key_67", "blocked")});
    library = withRules(library, 0, 4, {rule("key_65", "key_90", 0), rule("key_70", "blocked")});
    library = withRules(library, 2, 0, {rule("mouse_back", "key_13", 0), rule("mouse_forward", "key_9")});
    library = withRules(library, 2, 3, {rule("mouse_back", "key_32", 2)});
    return library;
}

TEST(RuleInheritance, EffectiveRulesAlongTheChain)
{
    const QJsonObject library = workedExample();
    struct Case {
        int profile;
        int layer;
        QJsonArray expected;
    } const cases[] = {
        {0, 0, {rule("mouse_back", "key_27"), rule("key_65", "key_66")}},
        // Layer 4 replaces key_65 in place ("modifiers": 0 is the same entry as none) and appends key_70.
        {0, 4, {rule("mouse_back", "key_27"), rule("key_65", "key_90", 0), rule("key_70", "blocked")}},
        {2, 3,
         {rule("mouse_back", "key_13", 0), rule("key_65", "key_66"), rule("mouse_forward", "key_9"),
          rule("mouse_back", "key_32", 2)}},
        {2, 0, {rule("mouse_back", "key_13", 0), rule("key_65", "key_66"), rule("mouse_forward", "key_9")}},
        {1, 3, {rule("mouse_back", "key_27"), rule("key_65", "key_66")}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(text(effectiveRules(library, c.profile, c.layer)), text(c.expected)) << c.profile << "/" << c.layer;
}

TEST(RuleInheritance, OutOfRangeIndicesGiveEmptyResults)
{
    QJsonObject library = workedExample();
    library = edited(library, {"profiles", 0, "layers", 0, "motion"}, QJsonObject{{"axis", 1}});
    const QJsonObject defaults = effectiveMotion(libraryWithProfiles(1), 0, 0);
    const std::pair<int, int> outside[] = {{0, 10}, {0, -1}, {3, 0}, {-1, 0}};
    for (const auto& [profile, layer] : outside) {
        EXPECT_TRUE(effectiveRules(library, profile, layer).isEmpty()) << profile << "/" << layer;
        EXPECT_EQ(effectiveMotion(library, profile, layer), defaults) << profile << "/" << layer;
        EXPECT_TRUE(annotatedRules(library, profile, layer, 1).isEmpty()) << profile << "/" << layer;
    }
}

TEST(RuleInheritance, MotionIsTakenWholeFromTheMostSpecificLayer)
{
    const QJsonObject globalMotion{{"axis", 1}};
    const QJsonObject layerMotion{{"cursorX", 50}}; // incomplete on purpose: taken as it is
    QJsonObject library = libraryWithProfiles(2);
    library = edited(library, {"profiles", 0, "layers", 0, "motion"}, globalMotion);
    library = edited(library, {"profiles", 0, "layers", 5, "motion"}, QJsonObject{{"axis", 2}});
    library = edited(library, {"profiles", 1, "layers", 3, "motion"}, layerMotion);

    EXPECT_EQ(effectiveMotion(library, 1, 3), layerMotion);
    EXPECT_EQ(effectiveMotion(library, 1, 0), globalMotion);
    EXPECT_EQ(effectiveMotion(library, 1, 5), globalMotion); // the global layer 5 is not in profile 1's chain
    EXPECT_EQ(effectiveMotion(library, 0, 5), QJsonObject({{"axis", 2}}));

    const QJsonObject defaults = effectiveMotion(libraryWithProfiles(1), 0, 0);
    EXPECT_EQ(text(defaults),
              R"({"axis":0,"cursorX":100,"cursorY":100,"invertHorizontal":false,"invertVertical":false,)"
              R"("invertX":false,"invertY":false,"pages":false,"scrollPixels":40,"temporarySpeed":25,)"
              R"("verticalToHorizontal":false,"wheelHorizontal":100,"wheelVertical":100})");
}

TEST(RuleInheritance, AnnotationNamesWhereTheRuleInForceComesFrom)
{
    QJsonObject library = workedExample();
    library = edited(library, {"profiles", 2, "priority"}, 7);
    library = edited(library, {"profiles", 2, "application"}, "notepad.exe");
    library = edited(library, {"profiles", 2, "condition"}, QJsonObject{{"mode", "underCursor"}, {"title", "T"}, {"class", ""}});

    // Profile 2, layer 3: mouse_back (profile 2 base), key_65 (global), mouse_forward, mouse_back+Ctrl (layer 3).
    const QJsonObject fromProfileBase = annotatedRules(library, 2, 3, 1);
    EXPECT_EQ(text(fromProfileBase),
              R"({"configuredCondition":{"application":"notepad.exe","class":"","mode":"underCursor","title":"T"},)"
              R"("inherited":true,"originLayerIndex":0,"originLayerName":"Основной","originProfileIndex":2,)"
              R"("originProfileName":"Profile 2","priority":0,"profilePriority":7})");
    const QJsonObject fromGlobal = annotatedRules(library, 2, 3, 2);
    EXPECT_EQ(fromGlobal["originProfileIndex"], 0);
    EXPECT_EQ(fromGlobal["originLayerIndex"], 0);
    EXPECT_EQ(fromGlobal["originProfileName"], "Глобальный");
    EXPECT_EQ(fromGlobal["inherited"], true);
    const QJsonObject own = annotatedRules(library, 2, 3, 4);
    EXPECT_EQ(own["inherited"], false);
    EXPECT_EQ(own["originLayerName"], "Слой 4");
    EXPECT_EQ(own["priority"], 1);

    EXPECT_TRUE(annotatedRules(library, 2, 3, 0).isEmpty());
    EXPECT_TRUE(annotatedRules(library, 2, 3, 5).isEmpty());

    // A profile without application or condition reports the defaults.
    EXPECT_EQ(text(annotatedRules(library, 0, 0, 1)["configuredCondition"]),
              R"({"application":"","class":"","mode":"foreground","title":""})");
    EXPECT_EQ(annotatedRules(library, 0, 0, 1)["inherited"], false);
}

} // namespace
