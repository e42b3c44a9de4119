#include "editor/slot_references.h"

#include "core/library_document.h"
#include "core/library_files.h"
#include "tests/editor/editor_fixture.h"

#include <gtest/gtest.h>

#include <QJsonArray>

namespace {

using library::SlotMap;
using vorna::core::defaultLibrary;
using vorna::test::edited;
using vorna::test::rule;
using vorna::test::withRules;
using vorna::test::macro;
using vorna::test::step;
using vorna::test::withFallback;

QJsonArray actions(std::initializer_list<const char*> names)
{
    QJsonArray list;
    for (const char* name : names)
        list.append(vorna::test::textAction(QString::fromUtf8(name)));
    return list;
}

QJsonValue at(const QJsonObject& library, std::initializer_list<vorna::test::JsonStep> path)
{
    return vorna::test::valueAt(library, path);
}

bool passesCheck(const QJsonObject& library)
{
    QString error;
    const bool ok = vorna::core::migrateLibrary(library, error);
    EXPECT_TRUE(ok) << error.toStdString();
    return ok;
}

// ---- renumberReference ----

struct ReferenceCase {
    const char* text;
    const char* expected;
};

class RenumberReference : public testing::TestWithParam<ReferenceCase> {};

TEST_P(RenumberReference, RewritesOnlyActionAndMacroReferences)
{
    const SlotMap actionMap{{7, 2}, {1, 1}};
    const SlotMap macroMap{{3, 1}};
    EXPECT_EQ(library::renumberReference(QString::fromUtf8(GetParam().text), actionMap, macroMap),
              QString::fromUtf8(GetParam().expected));
}

INSTANTIATE_TEST_SUITE_P(Texts, RenumberReference, testing::Values(
    ReferenceCase{"action:7", "action:2"},
    ReferenceCase{"macro:3", "macro:1"},
    ReferenceCase{"action:007", "action:2"},
    ReferenceCase{"Action:7", "Action:7"},
    ReferenceCase{"unchanged", "unchanged"},
    ReferenceCase{"key_27", "key_27"},
    ReferenceCase{"layer:hold:2", "layer:hold:2"},
    ReferenceCase{"", ""},
    ReferenceCase{"action:x", "action:0"},
    ReferenceCase{"action:5", "action:0"},
    ReferenceCase{"action:99999999999", "action:0"},
    ReferenceCase{"macro:7", "macro:0"},
    ReferenceCase{"macro:", "macro:0"}));

TEST(ReferenceSlot, ReadsOnlyPastTheCheckedPrefix)
{
    EXPECT_EQ(library::referenceSlot(u"action:12", library::kActionPrefix), 12);
    EXPECT_EQ(library::referenceSlot(u"macro:12", library::kActionPrefix), 0);
    EXPECT_EQ(library::referenceSlot(u"action:1x", library::kActionPrefix), 0);
    EXPECT_EQ(library::referenceSlot(u"macro:4", library::kMacroPrefix), 4);
    EXPECT_EQ(library::referenceSlot(u"key_123", library::kMacroPrefix), 0);
}

// ---- rules and command steps through maps ----

TEST(RenumberRuleReferences, RewritesTargetsAndFallbacksOfEveryProfileAndLayer)
{
    QJsonObject chord = rule("key_65", "action:3");
    chord["trigger"] = QJsonObject{{"kind", "chord"}, {"intervalMs", 50}, {"keys", QJsonArray{"key_66"}}};
    QJsonObject lib = vorna::test::libraryWithProfiles(2);
    lib = withRules(lib, 0, 0, {rule("mouse_back", "action:3"), withFallback(rule("mouse_forward", "macro:2"), "action:1")});
    lib = withRules(lib, 1, 9, {chord, rule("key_66", "layer:hold:3"), rule("key_67", "macro:1")});

    library::renumberRuleReferences(lib, SlotMap{{1, 2}, {3, 1}}, SlotMap{{1, 2}, {2, 1}});

    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 0, "target"}).toString(), "action:1");
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 1, "target"}).toString(), "macro:1");
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 1, "trigger", "fallback"}).toString(), "action:2");
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 1, "trigger", "intervalMs"}).toInt(), 300);
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 9, "rules", 0, "target"}).toString(), "action:1");
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 9, "rules", 0, "trigger"}).toObject(), chord["trigger"].toObject());
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 9, "rules", 1}).toObject(), rule("key_66", "layer:hold:3"));
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 9, "rules", 2, "target"}).toString(), "macro:2");
    EXPECT_FALSE(at(lib, {"profiles", 0, "layers", 0, "rules", 0}).toObject().contains("trigger"));
}

TEST(RenumberMacroReferences, RewritesCommandStepsOnly)
{
    QJsonObject lib = defaultLibrary();
    lib["macros"] = QJsonArray{macro("m", {step("command", "action:4"), step("tap", "key_65", 10),
                                           step("wait", "", 100), step("layer", "2")})};
    const QJsonObject before = lib;
    library::renumberMacroReferences(lib, SlotMap{{4, 1}});
    const QJsonArray steps = at(lib, {"macros", 0, "steps"}).toArray();
    EXPECT_EQ(steps.at(0).toObject(), step("command", "action:1"));
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(steps.at(i), at(before, {"macros", 0, "steps", i}));
}

// ---- appendPackageSlots ----

struct AppendCase {
    const char* name;
    std::initializer_list<const char*> destination;
    std::initializer_list<const char*> package;
    SlotMap expected;
    std::initializer_list<const char*> result;
};

TEST(AppendPackageSlots, ReusesEqualEntriesAndAppendsTheRest)
{
    const AppendCase cases[] = {
        {"equal to destination slot 3", {"a", "b", "c"}, {"c"}, {{1, 3}}, {"a", "b", "c"}},
        {"two equal package entries", {"a"}, {"x", "x"}, {{1, 2}, {2, 2}}, {"a", "x"}},
        {"empty destination", {}, {"x", "y", "z"}, {{1, 1}, {2, 2}, {3, 3}}, {"x", "y", "z"}},
        {"mixed", {"a", "b"}, {"b", "n", "a", "n"}, {{1, 2}, {2, 3}, {3, 1}, {4, 3}}, {"a", "b", "n"}},
        {"empty package", {"a"}, {}, {}, {"a"}},
    };
    for (const AppendCase& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject destination = defaultLibrary();
        destination["actions"] = actions(c.destination);
        QJsonObject package = defaultLibrary();
        package["actions"] = actions(c.package);
        EXPECT_EQ(library::appendPackageSlots(destination, package, "actions"), c.expected);
        EXPECT_EQ(destination["actions"].toArray(), actions(c.result));
    }
}

TEST(AppendPackageSlots, ComparesNumbersByValueAndObjectsByEveryKey)
{
    QJsonObject destination = defaultLibrary();
    destination["macros"] = QJsonArray{macro("m", {step("wait", "", 100)})};
    QJsonObject package = defaultLibrary();
    QJsonObject sameByValue = macro("m", {QJsonObject{{"type", "wait"}, {"input", ""}, {"ms", 100.0}}});
    QJsonObject otherMode = macro("m", {step("wait", "", 100)});
    otherMode["mode"] = "hold";
    package["macros"] = QJsonArray{sameByValue, otherMode};
    EXPECT_EQ(library::appendPackageSlots(destination, package, "macros"), (SlotMap{{1, 1}, {2, 2}}));
    EXPECT_EQ(destination["macros"].toArray().size(), 2);
}

// ---- keepUsedSlots and compactLibrary ----

TEST(KeepUsedSlots, KeepsUsedEntriesInOrderWithoutGaps)
{
    QJsonObject lib = defaultLibrary();
    lib["actions"] = actions({"1", "2", "3", "4", "5", "6", "7", "8", "9"});
    const SlotMap map = library::keepUsedSlots(lib, "actions", library::SlotSet{9, 2, 5, 2});
    EXPECT_EQ(map, (SlotMap{{2, 1}, {5, 2}, {9, 3}}));
    EXPECT_EQ(lib["actions"].toArray(), actions({"2", "5", "9"}));
}

QJsonObject compactFixture()
{
    QJsonObject lib = vorna::test::libraryWithProfiles(2);
    lib["actions"] = actions({"1", "2", "3", "4", "5", "6", "7", "8", "9"});
    lib["macros"] = QJsonArray{
        macro("unused", {step("command", "action:6")}),
        macro("used", {step("command", "action:4"), step("tap", "key_65", 10)}),
    };
    lib = withRules(lib, 0, 0, {rule("mouse_back", "action:5"), withFallback(rule("mouse_forward", "key_27"), "action:2")});
    lib = withRules(lib, 1, 3, {rule("key_65", "action:9"), withFallback(rule("key_66", "action:5"), "macro:2")});
    return lib;
}

TEST(CompactLibrary, KeepsWhatRulesReachAndRenumbersEveryReference)
{
    QJsonObject lib = compactFixture();
    ASSERT_TRUE(passesCheck(lib));
    library::compactLibrary(lib);

    // Actions 2, 5, 9 are used by rules, 4 by the surviving macro; 6 only by a dropped macro.
    EXPECT_EQ(lib["actions"].toArray(), actions({"2", "4", "5", "9"}));
    EXPECT_EQ(lib["macros"].toArray(), (QJsonArray{macro("used", {step("command", "action:2"), step("tap", "key_65", 10)})}));
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 0, "target"}).toString(), "action:3");
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 1, "trigger", "fallback"}).toString(), "action:1");
    EXPECT_EQ(at(lib, {"profiles", 0, "layers", 0, "rules", 1, "target"}).toString(), "key_27");
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 3, "rules", 0, "target"}).toString(), "action:4");
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 3, "rules", 1, "target"}).toString(), "action:3");
    EXPECT_EQ(at(lib, {"profiles", 1, "layers", 3, "rules", 1, "trigger", "fallback"}).toString(), "macro:1");
    EXPECT_TRUE(passesCheck(lib));
}

TEST(CompactLibrary, RulesUsingActionsFiveTwoNineKeepThoseThreeInOrder)
{
    QJsonObject lib = defaultLibrary();
    lib["actions"] = actions({"1", "2", "3", "4", "5", "6", "7", "8", "9"});
    lib = withRules(lib, 0, 0, {rule("mouse_back", "action:5"), rule("mouse_forward", "action:2"), rule("key_65", "action:9")});
    library::compactLibrary(lib);
    EXPECT_EQ(lib["actions"].toArray(), actions({"2", "5", "9"}));
    const QJsonArray rules = at(lib, {"profiles", 0, "layers", 0, "rules"}).toArray();
    EXPECT_EQ(rules.at(0)["target"].toString(), "action:2");
    EXPECT_EQ(rules.at(1)["target"].toString(), "action:1");
    EXPECT_EQ(rules.at(2)["target"].toString(), "action:3");
}

TEST(CompactLibrary, AnActionUsedOnlyByAnUnusedMacroGoesWithIt)
{
    QJsonObject lib = defaultLibrary();
    lib["actions"] = actions({"1", "2", "3", "4"});
    lib["macros"] = QJsonArray{macro("m", {step("command", "action:4")})};
    QJsonObject kept = withRules(lib, 0, 0, {rule("mouse_back", "macro:1")});
    library::compactLibrary(kept);
    EXPECT_EQ(kept["actions"].toArray(), actions({"4"}));
    EXPECT_EQ(at(kept, {"macros", 0, "steps", 0, "input"}).toString(), "action:1");

    library::compactLibrary(lib);
    EXPECT_EQ(lib["actions"].toArray(), QJsonArray());
    EXPECT_EQ(lib["macros"].toArray(), QJsonArray());
    EXPECT_TRUE(passesCheck(lib));
}

TEST(CompactLibrary, ChangesNothingElse)
{
    QJsonObject lib = compactFixture();
    QJsonObject expected = lib;
    library::compactLibrary(lib);
    for (const char* key : {"actions", "macros", "profiles"}) {
        lib.remove(key);
        expected.remove(key);
    }
    EXPECT_EQ(lib, expected);
}

// ---- merge order used by imports ----

TEST(MergePackage, AMacroEqualActionForActionIsRecognised)
{
    // The destination already has the package's action (at another slot) and a macro calling it.
    QJsonObject destination = defaultLibrary();
    destination["actions"] = actions({"other", "shared"});
    destination["macros"] = QJsonArray{macro("m", {step("command", "action:2")})};
    QJsonObject package = defaultLibrary();
    package["actions"] = actions({"shared", "new"});
    package["macros"] = QJsonArray{macro("m", {step("command", "action:1")}), macro("n", {step("command", "action:2")})};
    package = withRules(package, 0, 0, {rule("mouse_back", "macro:2"), withFallback(rule("mouse_forward", "action:2"), "macro:1")});

    const SlotMap actionMap = library::appendPackageSlots(destination, package, "actions");
    library::renumberMacroReferences(package, actionMap);
    const SlotMap macroMap = library::appendPackageSlots(destination, package, "macros");
    library::renumberRuleReferences(package, actionMap, macroMap);

    EXPECT_EQ(actionMap, (SlotMap{{1, 2}, {2, 3}}));
    EXPECT_EQ(macroMap, (SlotMap{{1, 1}, {2, 2}}));
    EXPECT_EQ(destination["macros"].toArray().size(), 2);
    EXPECT_EQ(at(destination, {"macros", 1, "steps", 0, "input"}).toString(), "action:3");
    EXPECT_EQ(at(package, {"profiles", 0, "layers", 0, "rules", 0, "target"}).toString(), "macro:2");
    EXPECT_EQ(at(package, {"profiles", 0, "layers", 0, "rules", 1, "target"}).toString(), "action:3");
    EXPECT_EQ(at(package, {"profiles", 0, "layers", 0, "rules", 1, "trigger", "fallback"}).toString(), "macro:1");
}

TEST(SetError, ReplacesTheTextAndReturnsFalse)
{
    QString error = "old";
    EXPECT_FALSE(library::setError(error, "Package is empty"));
    EXPECT_EQ(error, "Package is empty");
}

// ---- deleting one slot ----

struct ShiftCase {
    const char* name;
    QJsonObject rule;
    QStringView prefix;
    int slot;
    bool kept;
    QJsonObject expected;
};

TEST(ShiftRuleReferences, RefusesTheDeletedSlotAndMovesHigherOnesDown)
{
    const QJsonObject holdTap = withFallback(rule("mouse_back", "macro:5"), "action:4");
    const ShiftCase cases[] = {
        {"target is the slot", rule("mouse_back", "action:3"), library::kActionPrefix, 3, false, rule("mouse_back", "action:3")},
        {"target above", rule("mouse_back", "action:3"), library::kActionPrefix, 2, true, rule("mouse_back", "action:2")},
        {"target below", rule("mouse_back", "action:3"), library::kActionPrefix, 5, true, rule("mouse_back", "action:3")},
        {"fallback above", holdTap, library::kActionPrefix, 2, true, withFallback(rule("mouse_back", "macro:5"), "action:3")},
        {"macro target is the slot", holdTap, library::kMacroPrefix, 5, false, holdTap},
        {"fallback is the slot", holdTap, library::kActionPrefix, 4, false, holdTap},
        {"not a number", rule("mouse_back", "action:1x"), library::kActionPrefix, 1, true, rule("mouse_back", "action:1x")},
        {"other list", rule("mouse_back", "action:7"), library::kMacroPrefix, 1, true, rule("mouse_back", "action:7")},
        {"macro above", rule("mouse_back", "macro:16"), library::kMacroPrefix, 1, true, rule("mouse_back", "macro:15")},
    };
    for (const ShiftCase& c : cases) {
        SCOPED_TRACE(c.name);
        QJsonObject r = c.rule;
        EXPECT_EQ(library::shiftRuleReferences(r, c.prefix, c.slot), c.kept);
        EXPECT_EQ(r, c.expected);
    }
}

TEST(ShiftLibraryRuleReferences, LeavesTheLibraryUntouchedWhenAnyRuleUsesTheSlot)
{
    QJsonObject lib = vorna::test::libraryWithProfiles(2);
    lib = withRules(lib, 0, 0, {rule("mouse_back", "action:5")});
    lib = withRules(lib, 1, 2, {rule("key_65", "action:2")});
    QJsonObject copy = lib;
    EXPECT_FALSE(library::shiftLibraryRuleReferences(copy, library::kActionPrefix, 2));
    EXPECT_EQ(copy, lib);
    EXPECT_TRUE(library::shiftLibraryRuleReferences(copy, library::kActionPrefix, 3));
    EXPECT_EQ(at(copy, {"profiles", 0, "layers", 0, "rules", 0, "target"}).toString(), "action:4");
    EXPECT_EQ(at(copy, {"profiles", 1, "layers", 2, "rules", 0, "target"}).toString(), "action:2");
}

TEST(ShiftCommandSteps, RefusesACallOfTheSlotAndIgnoresOtherSteps)
{
    QJsonArray steps{step("command", "action:4"), step("command", "text"), step("tap", "action:9"), step("command", "action:1")};
    QJsonArray copy = steps;
    EXPECT_FALSE(library::shiftCommandSteps(copy, 4));
    EXPECT_EQ(copy, steps);
    EXPECT_TRUE(library::shiftCommandSteps(copy, 2));
    EXPECT_EQ(copy, (QJsonArray{step("command", "action:3"), step("command", "text"), step("tap", "action:9"), step("command", "action:1")}));
}

} // namespace
