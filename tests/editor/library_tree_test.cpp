// The library tree helpers: slot references after a deletion, a layer's rules replaced in
// place, and rule names stripped, as tables of documents in and out.

#include "app/app_controller.h"
#include "core/library_files.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using vorna::test::compact;

QJsonObject rule(const char* target, const char* fallback = nullptr)
{
    QJsonObject rule{{"source", "mouse_back"}, {"target", target}};
    if (fallback != nullptr)
        rule.insert("trigger", QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", fallback}});
    return rule;
}

struct SlotCase {
    QJsonObject rule;
    const char* prefix;
    int slot;
    bool kept; // the result: false when the rule still uses the slot
    QJsonObject after;
};

class SlotReferences : public testing::TestWithParam<SlotCase> {};

TEST_P(SlotReferences, DeletedSlotIsFoundAndHigherSlotsMoveDown)
{
    const SlotCase& c = GetParam();
    QJsonObject changed = c.rule;
    EXPECT_EQ(AppController::triggerSlotReference(changed, QString::fromLatin1(c.prefix), c.slot), c.kept);
    EXPECT_EQ(compact(changed), compact(c.after));
}

INSTANTIATE_TEST_SUITE_P(Table, SlotReferences, testing::Values(
    SlotCase{rule("action:3"), "action:", 3, false, rule("action:3")},
    SlotCase{rule("action:3"), "action:", 2, true, rule("action:2")},
    SlotCase{rule("action:3"), "action:", 5, true, rule("action:3")},
    SlotCase{rule("macro:5", "action:4"), "action:", 2, true, rule("macro:5", "action:3")},
    SlotCase{rule("macro:5", "action:4"), "macro:", 5, false, rule("macro:5", "action:4")},
    SlotCase{rule("macro:5", "action:4"), "action:", 4, false, rule("macro:5", "action:4")},
    // Not a number after the prefix: slot 0, never matched, never renumbered.
    SlotCase{rule("action:1x"), "action:", 1, true, rule("action:1x")},
    SlotCase{rule("action:99999999999"), "action:", 1, true, rule("action:99999999999")},
    SlotCase{rule("action:7"), "macro:", 1, true, rule("action:7")},
    SlotCase{rule("macro:16"), "macro:", 1, true, rule("macro:15")},
    // A trigger without a fallback is left exactly as it was; a rule without one gains none.
    SlotCase{QJsonObject{{"source", "mouse_back"}, {"target", "macro:3"},
                 {"trigger", QJsonObject{{"kind", "chord"}, {"intervalMs", 300}, {"keys", QJsonArray{"key_65"}}}}},
        "macro:", 1, true,
        QJsonObject{{"source", "mouse_back"}, {"target", "macro:2"},
            {"trigger", QJsonObject{{"kind", "chord"}, {"intervalMs", 300}, {"keys", QJsonArray{"key_65"}}}}}},
    SlotCase{QJsonObject{{"source", "mouse_back"}}, "action:", 1, true, QJsonObject{{"source", "mouse_back"}}}));

QJsonObject withLayer(int profile, int layer, const QJsonObject& content)
{
    return vorna::test::edited(vorna::core::defaultLibrary(), {"profiles", profile, "layers", layer}, content);
}

TEST(LayerRules, ReplacesOnlyTheRulesOfThatLayer)
{
    const QJsonObject layer{{"name", "Games"}, {"rules", QJsonArray{rule("key_27")}},
        {"motion", QJsonObject{{"cursorX", 150}}}};
    QJsonObject library = withLayer(0, 3, layer);
    const QJsonObject before = library;
    AppController::setLayerRules(library, 0, 3, QJsonArray());

    QJsonObject expectedLayer = layer;
    expectedLayer.insert("rules", QJsonArray());
    EXPECT_EQ(compact(library), compact(vorna::test::edited(before, {"profiles", 0, "layers", 3}, expectedLayer)));

    AppController::setLayerRules(library, 0, 3, QJsonArray{rule("key_13")});
    EXPECT_EQ(library["profiles"][0]["layers"][3]["rules"].toArray(), QJsonArray{rule("key_13")});
}

TEST(LayerRules, IndicesOutsideTheTreeChangeNothing)
{
    QJsonObject library = vorna::core::defaultLibrary();
    const QJsonObject before = library;
    for (const auto& [profile, layer] : {std::pair{1, 0}, {-1, 0}, {0, 10}, {0, -1}})
        AppController::setLayerRules(library, profile, layer, QJsonArray{rule("key_13")});
    EXPECT_EQ(library, before);
}

TEST(RuleNames, LibrariesThatDifferOnlyInNamesStripEqual)
{
    QJsonObject named = rule("key_27");
    named.insert("name", "Escape");
    QJsonObject renamed = named;
    renamed.insert("name", "Other");
    const QJsonObject a = withLayer(0, 0, {{"name", "Base"}, {"rules", QJsonArray{named}}});
    const QJsonObject b = withLayer(0, 0, {{"name", "Base"}, {"rules", QJsonArray{renamed}}});
    const QJsonObject plain = withLayer(0, 0, {{"name", "Base"}, {"rules", QJsonArray{rule("key_27")}}});
    EXPECT_EQ(AppController::stripRuleNames(a), AppController::stripRuleNames(b));
    EXPECT_EQ(AppController::stripRuleNames(a), plain);
    EXPECT_EQ(AppController::stripRuleNames(plain), plain);
}

} // namespace
