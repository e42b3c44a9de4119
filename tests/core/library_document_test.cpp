#include "core/library_document.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"
#include "core/rules_snapshot.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

#include <QJsonDocument>

#include <functional>
#include <memory>

namespace {

using namespace vorna::core;
using vorna::test::compact;
using vorna::test::edited;
using vorna::test::largestLibrary;
using vorna::test::libraryWithProfiles;
using vorna::test::numberedRules;
using vorna::test::padded;
using vorna::test::rule;
using vorna::test::withRules;

QJsonObject schema2()
{
    QJsonObject library = defaultLibrary();
    library["schemaVersion"] = 2;
    library.remove("actions");
    return library;
}

QJsonObject textAction()
{
    return QJsonObject{{"type", "text"}, {"name", "Hello"}, {"value", "hello"}};
}

QJsonObject macroOf(const char* mode, const QJsonArray& steps)
{
    return QJsonObject{{"name", "M"}, {"mode", mode}, {"repeat", 1}, {"steps", steps}};
}

QJsonObject tapMacro(const char* mode = "once")
{
    return macroOf(mode, {QJsonObject{{"type", "tap"}, {"input", "key_65"}, {"ms", 50}}});
}

QJsonObject holdTap(const char* source, const char* target, const char* fallback)
{
    return QJsonObject{{"source", source},
                       {"target", target},
                       {"trigger", QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", fallback}}}};
}

QJsonArray copies(const QJsonValue& value, int count)
{
    QJsonArray array;
    for (int i = 0; i < count; ++i)
        array.append(value);
    return array;
}

QJsonObject condition(const QJsonValue& title = "", const QJsonValue& windowClass = "")
{
    return QJsonObject{{"mode", "foreground"}, {"title", title}, {"class", windowClass}};
}

const QJsonObject kMotion{
    {"wheelVertical", 100}, {"wheelHorizontal", 100}, {"invertVertical", false}, {"invertHorizontal", false},
    {"pages", false},       {"verticalToHorizontal", false}, {"cursorX", 100},   {"cursorY", 100},
    {"invertX", false},     {"invertY", false},      {"axis", 0},               {"temporarySpeed", 25},
    {"scrollPixels", 40},
};

struct Mutation {
    const char* what;
    QJsonObject library;
    const char* error; // nullptr: valid
};

void expectMutations(const std::vector<Mutation>& rows)
{
    for (const Mutation& row : rows) {
        const QByteArray before = compact(row.library);
        QString error = "stale";
        const bool ok = validateLibrary(row.library, error);
        EXPECT_EQ(ok, row.error == nullptr) << row.what << ": " << error.toStdString();
        EXPECT_EQ(error.toStdString(), row.error ? row.error : "") << row.what;
        EXPECT_EQ(compact(row.library), before) << row.what << ": the check changed the document";
    }
}

// One edit of the default library per row, in the order the check runs, with the text the
// first failing check gives.
TEST(LibraryDocument, DocumentLevelMutations)
{
    const QJsonObject base = defaultLibrary();
    QJsonObject withoutMacros = base;
    withoutMacros.remove("macros");
    QJsonObject schema2WithoutMacros = schema2();
    schema2WithoutMacros.remove("macros");
    QJsonObject schema2Five = schema2WithoutMacros;
    schema2Five.remove("automatic");
    QJsonObject withoutSelection = schema2(); // schema 2 may miss a key without failing earlier
    withoutSelection.remove("selectedProfile");

    expectMutations({
        {"the default library", base, nullptr},
        {"an unknown root key", edited(base, {"comment"}, "x"), "Unsupported library schema"},
        {"a root key in other case", edited(base, {"ModelId"}, "vorna-b1"), "Unsupported library schema"},
        {"version as a string", edited(base, {"schemaVersion"}, "3"), "Unsupported library schema"},
        {"version 4", edited(base, {"schemaVersion"}, 4), "Unsupported library schema"},
        {"version 2.5", edited(base, {"schemaVersion"}, 2.5), "Unsupported library schema"},
        {"version missing", edited(base, {"schemaVersion"}, std::nullopt), "Unsupported library schema"},
        {"schema 2 with actions", edited(schema2(), {"actions"}, QJsonArray()), "Invalid legacy library fields"},
        {"schema 2 with five keys", schema2Five, "Invalid legacy library fields"},
        {"schema 2 without macros", schema2WithoutMacros, nullptr},
        {"schema 2 with macros", schema2(), nullptr},
        {"schema 3 without macros", withoutMacros, "Invalid action collection"},
        {"actions an object", edited(base, {"actions"}, QJsonObject()), "Invalid action collection"},
        {"33 actions", edited(base, {"actions"}, copies(textAction(), 33)), "Action count limit exceeded"},
        {"32 actions", edited(base, {"actions"}, copies(textAction(), 32)), nullptr},
        {"an action that is no object", edited(base, {"actions"}, QJsonArray{1}), "Expected action object"},
        {"a bad action", edited(base, {"actions", 0}, edited(textAction(), {"type"}, "shell")), "Unknown action type"},
        {"macros an object", edited(base, {"macros"}, QJsonObject()), "Invalid macro collection"},
        {"17 macros", edited(base, {"macros"}, copies(tapMacro(), 17)), "Macro count limit exceeded"},
        {"16 macros", edited(base, {"macros"}, copies(tapMacro(), 16)), nullptr},
        {"a macro that is no object", edited(base, {"macros"}, QJsonArray{"macro"}), "Expected macro object"},
        {"a bad macro", edited(base, {"macros", 0}, edited(tapMacro(), {"name"}, "")), "Invalid macro object"},
        {"a macro command without actions",
         edited(base, {"macros", 0}, macroOf("once", {QJsonObject{{"type", "command"}, {"input", "action:1"}, {"ms", 0}}})),
         "Macro references a missing action"},
        {"a macro command with its action",
         edited(edited(base, {"actions", 0}, textAction()), {"macros", 0},
                macroOf("once", {QJsonObject{{"type", "command"}, {"input", "action:1"}, {"ms", 0}}})),
         nullptr},
        {"model in capitals", edited(base, {"modelId"}, "VORNA-B1"), "Invalid library settings"},
        {"automatic a string", edited(base, {"automatic"}, "false"), "Invalid library settings"},
        {"profiles an object", edited(base, {"profiles"}, QJsonObject()), "Invalid library settings"},
        {"no profile", edited(base, {"profiles"}, QJsonArray()), "Profile count must be 1..16"},
        {"17 profiles", libraryWithProfiles(17), "Profile count must be 1..16"},
        {"16 profiles", libraryWithProfiles(16), nullptr},
        {"selected profile 1.5", edited(libraryWithProfiles(3), {"selectedProfile"}, 1.5), "Invalid selection"},
        {"selected profile past the end", edited(libraryWithProfiles(3), {"selectedProfile"}, 3), "Invalid selection"},
        {"selected profile last", edited(libraryWithProfiles(3), {"selectedProfile"}, 2), nullptr},
        {"selected profile -1", edited(base, {"selectedProfile"}, -1), "Invalid selection"},
        {"selected profile missing", withoutSelection, "Invalid selection"},
        {"selected layer 10", edited(base, {"selectedLayer"}, 10), "Invalid selection"},
        {"selected layer 9", edited(base, {"selectedLayer"}, 9), nullptr},
        {"selected layer as a string", edited(base, {"selectedLayer"}, "0"), "Invalid selection"},
    });
}

TEST(LibraryDocument, ProfileMutations)
{
    const QJsonObject base = libraryWithProfiles(2);
    QJsonObject fourKeys = base;
    fourKeys = edited(fourKeys, {"profiles", 1, "priority"}, std::nullopt);
    fourKeys = edited(fourKeys, {"profiles", 1, "application"}, std::nullopt);

    expectMutations({
        {"a profile that is no object", edited(base, {"profiles", 1}, "p1"), "Expected profile object"},
        {"an unknown profile key", edited(base, {"profiles", 1, "comment"}, ""), "Unknown profile field"},
        {"four profile keys", fourKeys, "Unknown profile field"},
        {"a condition in schema 2", edited(edited(schema2(), {"profiles", 0, "condition"}, condition()), {"x"}, std::nullopt),
         "Window conditions require schema v3"},
        {"a condition on the global profile", edited(base, {"profiles", 0, "condition"}, condition()), "Invalid window condition"},
        {"a condition that is no object", edited(base, {"profiles", 1, "condition"}, "foreground"), "Invalid window condition"},
        {"a condition with an extra key", edited(base, {"profiles", 1, "condition", "process"}, ""), "Invalid window condition"},
        {"a condition without class", edited(base, {"profiles", 1, "condition"}, QJsonObject{{"mode", "foreground"}, {"title", ""}}),
         "Invalid window condition"},
        {"a condition mode in other case", edited(base, {"profiles", 1, "condition"}, edited(condition(), {"mode"}, "UnderCursor")),
         "Invalid window condition"},
        {"an under-cursor condition", edited(base, {"profiles", 1, "condition"}, edited(condition(), {"mode"}, "underCursor")), nullptr},
        {"a title of 257", edited(base, {"profiles", 1, "condition"}, condition(QString(257, 't'))), "Invalid window condition text"},
        {"a title of 256", edited(base, {"profiles", 1, "condition"}, condition(QString(256, 't'))), nullptr},
        {"a class that is a number", edited(base, {"profiles", 1, "condition"}, condition("", 3)), "Invalid window condition text"},
        {"a class with NUL", edited(base, {"profiles", 1, "condition"}, condition("", QString("a") + QChar(0))),
         "Invalid window condition text"},
        {"global id in other case", edited(base, {"profiles", 0, "id"}, "Global"), "Invalid profile identity"},
        {"a later profile called global", edited(base, {"profiles", 1, "id"}, "global"), "Invalid profile identity"},
        {"a repeated id", edited(libraryWithProfiles(3), {"profiles", 2, "id"}, "p1"), "Invalid profile identity"},
        {"an id with a blank", edited(base, {"profiles", 1, "id"}, "p 1"), "Invalid profile identity"},
        {"an id with a line break", edited(base, {"profiles", 1, "id"}, "p1\n"), "Invalid profile identity"},
        {"an id of 65", edited(base, {"profiles", 1, "id"}, QString(65, 'i')), "Invalid profile identity"},
        {"an id of 64", edited(base, {"profiles", 1, "id"}, QString(64, 'i')), nullptr},
        {"an id that is a number", edited(base, {"profiles", 1, "id"}, 1), "Invalid profile identity"},
        {"a blank name", edited(base, {"profiles", 1, "name"}, "   "), "Invalid profile name or application"},
        {"an application of 1025", edited(base, {"profiles", 1, "application"}, QString(1025, 'a')),
         "Invalid profile name or application"},
        {"an application of 1024", edited(base, {"profiles", 1, "application"}, QString(1024, 'a')), nullptr},
        {"an application with NUL", edited(base, {"profiles", 1, "application"}, QString("a") + QChar(0)),
         "Invalid profile name or application"},
        {"priority 1001", edited(base, {"profiles", 1, "priority"}, 1001), "Invalid priority"},
        {"priority 2.5", edited(base, {"profiles", 1, "priority"}, 2.5), "Invalid priority"},
        {"priority a string", edited(base, {"profiles", 1, "priority"}, "5"), "Invalid priority"},
        {"priority missing", edited(edited(base, {"profiles", 1, "priority"}, std::nullopt), {"profiles", 1, "condition"}, condition()),
         "Invalid priority"},
        {"priority 1000 and -1000",
         edited(edited(libraryWithProfiles(3), {"profiles", 1, "priority"}, 1000), {"profiles", 2, "priority"}, -1000), nullptr},
        {"the global profile with an application", edited(base, {"profiles", 0, "application"}, "a.exe"),
         "Global profile cannot target an application"},
        {"nine layers", edited(base, {"profiles", 1, "layers", 9}, std::nullopt), "Exactly ten layers required"},
        {"layers an object", edited(base, {"profiles", 1, "layers"}, QJsonObject()), "Exactly ten layers required"},
        {"a layer that is no object", edited(base, {"profiles", 1, "layers", 3}, 3), "Expected layer object"},
        {"an unknown layer key", edited(base, {"profiles", 1, "layers", 3, "x"}, 1), "Invalid layer"},
        {"a layer without rules", edited(base, {"profiles", 1, "layers", 3, "rules"}, std::nullopt), "Invalid layer"},
        {"a blank layer name", edited(base, {"profiles", 1, "layers", 3, "name"}, ""), "Invalid layer"},
        {"a layer name of 81", edited(base, {"profiles", 1, "layers", 3, "name"}, QString(81, 'n')), "Invalid layer"},
        {"rules an object", edited(base, {"profiles", 1, "layers", 3, "rules"}, QJsonObject()), "Invalid layer"},
        {"motion settings", edited(base, {"profiles", 1, "layers", 3, "motion"}, kMotion), nullptr},
        {"incomplete motion", edited(base, {"profiles", 1, "layers", 3, "motion", "axis"}, std::nullopt),
         "Invalid motion settings"},
        {"motion out of range", edited(edited(base, {"profiles", 1, "layers", 3, "motion"}, kMotion),
                                       {"profiles", 1, "layers", 3, "motion", "axis"}, 3),
         "Invalid motion settings"},
        {"motion that is no object", edited(base, {"profiles", 1, "layers", 3, "motion"}, 1), "Invalid motion settings"},
        {"motion in schema 2", edited(schema2(), {"profiles", 0, "layers", 3, "motion"}, kMotion), "Invalid motion settings"},
    });
}

TEST(LibraryDocument, RuleMutations)
{
    const QJsonObject base = libraryWithProfiles(2);
    const QJsonObject withMacro = edited(base, {"macros", 0}, tapMacro());
    const QJsonObject withAction = edited(base, {"actions", 0}, textAction());
    auto rules = [](const QJsonObject& library, const QJsonArray& list) { return withRules(library, 1, 2, list); };
    QJsonObject spread = base; // 1025 rules, no layer above its own limit
    for (int layer = 0; layer < 5; ++layer)
        spread = withRules(spread, 1, layer, numberedRules(0, 205, "blocked"));
    QJsonObject limit = spread; // 1024
    limit = withRules(limit, 1, 4, numberedRules(0, 204, "blocked"));
    QJsonObject namedRule = rule("key_65", "blocked");
    namedRule["name"] = "A";

    expectMutations({
        {"1025 rules in the document", spread, "Library rule limit exceeded"},
        {"1024 rules in the document", limit, nullptr},
        {"a trigger in schema 2", withRules(schema2(), 0, 2, {holdTap("key_65", "key_66", "key_67")}),
         "Advanced triggers require schema v3"},
        {"a rule name in schema 2", withRules(schema2(), 0, 2, {namedRule}), "Rule names require schema v3"},
        {"a rule name in schema 3", rules(base, {namedRule}), nullptr},
        {"a rule list fault", rules(base, {rule("key_65", "blocked"), rule("key_65", "key_66")}), "Duplicate source in layer"},
        {"an unknown output", rules(base, {rule("key_65", "sideways")}), "Unknown output"},
        {"a fallback macro that is missing", rules(base, {holdTap("key_65", "key_66", "macro:1")}),
         "Fallback references a missing macro"},
        {"a fallback action that is missing", rules(base, {holdTap("key_65", "key_66", "action:1")}),
         "Fallback references a missing action"},
        {"a fallback macro that exists", rules(withMacro, {holdTap("key_65", "key_66", "macro:1")}), nullptr},
        // The passes run in order: a missing fallback wins over a missing target of an earlier rule.
        {"fallback pass before target pass",
         rules(base, {rule("key_66", "macro:1"), holdTap("key_65", "key_66", "action:1")}),
         "Fallback references a missing action"},
        {"a macro that is missing", rules(base, {rule("key_65", "macro:1")}), "Rule references a missing macro"},
        {"macro pass before action pass", rules(base, {rule("key_65", "action:1"), rule("key_66", "macro:1")}),
         "Rule references a missing macro"},
        {"an action that is missing", rules(withMacro, {rule("key_65", "action:1")}), "Rule references a missing action"},
        {"an action that exists", rules(withAction, {rule("key_65", "action:1")}), nullptr},
        {"macro 2 of 1", rules(withMacro, {rule("key_65", "macro:2")}), "Rule references a missing macro"},
        {"an action in schema 2", withRules(schema2(), 0, 0, {rule("key_65", "action:1")}), "Rule references a missing action"},
        {"the wheel starting a hold macro", rules(edited(base, {"macros", 0}, tapMacro("hold")), {rule("wheel_up", "macro:1")}),
         "Wheel cannot hold a macro trigger"},
        {"the wheel starting a toggle macro", rules(edited(base, {"macros", 0}, tapMacro("toggle")), {rule("wheel_up", "macro:1")}),
         nullptr},
        {"a key starting a hold macro", rules(edited(base, {"macros", 0}, tapMacro("hold")), {rule("key_65", "macro:1")}), nullptr},
    });
}

// Rules in force combine three layers: each may be within its own limit while the list in force
// is not.
TEST(LibraryDocument, RulesInForceAreCheckedAsOneList)
{
    const QJsonObject base = libraryWithProfiles(3);
    const QJsonObject global200 = withRules(base, 0, 0, numberedRules(0, 200, "blocked"));
    expectMutations({
        {"256 in force", withRules(global200, 2, 0, numberedRules(200, 56, "blocked")), nullptr},
        {"257 in force on a profile's base", withRules(global200, 2, 0, numberedRules(200, 57, "blocked")), "Too many rules"},
        {"257 in force on a profile's layer", withRules(global200, 2, 7, numberedRules(200, 57, "blocked")), "Too many rules"},
        {"overrides do not add", withRules(withRules(global200, 2, 0, numberedRules(150, 106, "key_65")), 2, 4,
                                           numberedRules(100, 156, "key_66")),
         nullptr},
        {"the global layer 4 is not in force for profile 2",
         withRules(withRules(global200, 0, 4, numberedRules(200, 56, "blocked")), 2, 4, numberedRules(256, 1, "blocked")),
         nullptr},
        {"257 in force on a global layer", withRules(global200, 0, 4, numberedRules(200, 57, "blocked")), "Too many rules"},
    });
}

// The rules-in-force step gives exactly what running the rule-list check over every list in
// force would give.
TEST(LibraryDocument, RulesInForceAgreeWithCheckingEveryListInForce)
{
    auto literal = [](const QJsonObject& library) {
        auto snapshot = std::make_unique<RulesSnapshot>();
        const int profiles = static_cast<int>(library["profiles"].toArray().size());
        for (int p = 0; p < profiles; ++p)
            for (int l = 0; l < kLayersPerProfile; ++l)
                if (QString error; !parseRules(effectiveRules(library, p, l), *snapshot, error))
                    return error;
        return QString();
    };
    QJsonObject crowded = withRules(libraryWithProfiles(4), 0, 0, numberedRules(0, 230, "blocked"));
    crowded = withRules(crowded, 1, 0, numberedRules(220, 20, "key_65"));
    crowded = withRules(crowded, 1, 9, numberedRules(236, 20, "key_66"));
    crowded = withRules(crowded, 3, 3, numberedRules(10, 40, "key_67"));
    crowded = withRules(crowded, 0, 6, numberedRules(230, 26, "key_68"));
    QJsonArray globalRules = numberedRules(0, 230, "blocked");
    globalRules[5] = edited(globalRules[5].toObject(), {"modifiers"}, 15); // a new identity in the middle
    crowded = withRules(crowded, 0, 0, globalRules);
    const QJsonObject libraries[] = {
        crowded,
        withRules(crowded, 3, 3, numberedRules(200, 30, "key_67")),
        withRules(crowded, 2, 8, numberedRules(255, 2, "blocked")),
        withRules(crowded, 1, 9, numberedRules(236, 27, "key_66")),
    };
    for (const QJsonObject& library : libraries) {
        QString error;
        // Steps before the rules in force pass for each of these documents: the difference is
        // only in the lists in force.
        const QString expected = literal(library);
        EXPECT_EQ(validateLibrary(library, error), expected.isEmpty());
        EXPECT_EQ(error.toStdString(), expected.toStdString());
    }
}

TEST(LibraryDocument, SizeLimitOfTheCompactDocument)
{
    const QJsonObject atLimit =
        padded(edited(defaultLibrary(), {"actions", 0}, edited(textAction(), {"value"}, "x")), kMaxLibraryJsonBytes);
    ASSERT_EQ(compact(atLimit).size(), kMaxLibraryJsonBytes);
    const QJsonObject overLimit = edited(atLimit, {"actions", 0, "value"}, "xx");
    ASSERT_EQ(compact(overLimit).size(), kMaxLibraryJsonBytes + 1);
    expectMutations({
        {"261120 bytes", atLimit, nullptr},
        {"261121 bytes", overLimit, "Library too large"},
    });
}

TEST(LibraryDocument, SuccessClearsAnEarlierError)
{
    QString error = "Invalid selection";
    EXPECT_TRUE(validateLibrary(defaultLibrary(), error));
    EXPECT_TRUE(error.isEmpty());
    EXPECT_TRUE(migrateLibrary(defaultLibrary(), error));
}

TEST(LibraryDocument, LargestLibraryIsValid)
{
    const QJsonObject library = largestLibrary();
    QString error;
    EXPECT_TRUE(validateLibrary(library, error)) << error.toStdString();
    int total = 0;
    for (const QJsonValue& profile : library["profiles"].toArray())
        for (const QJsonValue& layer : profile["layers"].toArray())
            total += layer["rules"].toArray().size();
    EXPECT_EQ(total, kMaxLibraryRules);
    for (int p = 0; p < kMaxProfiles; ++p)
        for (int l = 0; l < kLayersPerProfile; ++l)
            EXPECT_EQ(effectiveRules(library, p, l).size(), 256) << p << "/" << l;
    const qsizetype size = compact(library).size();
    EXPECT_LE(size, kMaxLibraryJsonBytes);
    EXPECT_GT(size, kMaxLibraryJsonBytes - 200);
}

} // namespace
