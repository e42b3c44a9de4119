#pragma once

// Libraries for the package tests: a rich source whose selected profile and layer reach actions
// and macros in every way a reference can (rule target, trigger fallback, a macro's command step,
// inherited from the global profile), with entries nothing reaches; a destination that already
// holds one of those actions; and what a layer "does", with every slot number replaced by the
// entry it names, so that two libraries can be compared across renumbering.

#include "core/library_files.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"
#include "tests/core/library_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>
#include <QStringList>

namespace vorna::test {

inline QJsonObject textAction(const QString& name, const QString& value)
{
    return QJsonObject{{"type", "text"}, {"name", name}, {"value", value}, {"clipboard", false}};
}

inline QJsonObject macroStep(const char* type, const char* input, int ms = 0)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

inline QJsonObject tapMacro(const char* name, const QJsonArray& extraSteps = {})
{
    QJsonArray steps{macroStep("down", "key_65"), macroStep("up", "key_65")};
    for (const QJsonValue& step : extraSteps)
        steps.append(step);
    return QJsonObject{{"name", name}, {"mode", "once"}, {"repeat", 1}, {"steps", steps}};
}

inline QJsonObject ruleWithFallback(const char* source, const char* target, const char* fallback)
{
    QJsonObject r = rule(source, target);
    r["trigger"] = QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", fallback}};
    return r;
}

// Profile 1 ("Editor", a full application path) selected at layer 2. Reached from there:
// actions 2 (rule), 4 (command step of macro 1), 5 (inherited global rule) and 6 (fallback),
// macros 1 (rule) and 3 (fallback). Never reached: actions 1 and 3, macro 2 (which calls 3).
inline QJsonObject richLibrary()
{
    QJsonObject library = libraryWithProfiles(3);
    library["modelId"] = "vorna-b1";
    library["actions"] = QJsonArray{
        textAction("Unused", "one"),
        QJsonObject{{"type", "application"}, {"name", "Terminal"}, {"value", "C:\\Tools\\term.exe"},
                    {"arguments", QJsonArray{"--new-tab", "-d C:\\Work"}}},
        QJsonObject{{"type", "website"}, {"name", "Docs"}, {"value", "https://example.com/docs"}},
        textAction("Signature", "Best regards"),
        QJsonObject{{"type", "folder"}, {"name", "Downloads"}, {"value", "C:\\Users\\me\\Downloads"}},
        textAction("Greeting", "Hello"),
    };
    library["macros"] = QJsonArray{
        tapMacro("Sign", {macroStep("command", "action:4")}),
        tapMacro("Docs", {macroStep("command", "action:3")}),
        tapMacro("Fallback"),
    };
    library = withRules(library, 0, 0, {rule("mouse_back", "action:5"), rule("key_66", "blocked")});
    library = withRules(library, 1, 0,
                        {rule("wheel_up", "macro:1"), ruleWithFallback("mouse_forward", "action:2", "macro:3")});
    library = withRules(library, 1, 2,
                        {ruleWithFallback("key_65", "key_66", "action:6"), rule("key_66", "chord:key_162+key_67", 1)});
    library = edited(library, {"profiles", 1, "layers", 2, "motion"}, motionSettings({{"wheelVertical", 150}}));
    library = edited(library, {"profiles", 1, "layers", 0, "motion"}, motionSettings({{"invertX", true}}));
    library = withRules(library, 2, 0, {rule("key_67", "macro:2")});
    library = edited(library, {"profiles", 1, "name"}, "Editor");
    library = edited(library, {"profiles", 1, "application"}, "C:\\Program Files\\Editor\\editor.exe");
    library["selectedProfile"] = 1;
    library["selectedLayer"] = 2;
    return library;
}

// Two profiles whose global base layer is empty (so nothing is inherited into what is imported)
// and whose profile 1 is selected at layer 4; its actions hold "Greeting" at slot 2.
inline QJsonObject destinationLibrary()
{
    QJsonObject library = libraryWithProfiles(2);
    library["actions"] = QJsonArray{textAction("Mine", "mine"), textAction("Greeting", "Hello")};
    library["macros"] = QJsonArray{tapMacro("Mine")};
    library = withRules(library, 1, 1, {rule("key_70", "action:1"), rule("key_71", "macro:1")});
    library["selectedProfile"] = 1;
    library["selectedLayer"] = 4;
    return library;
}

// The entry a slot names, with a macro's command steps replaced by the actions they call.
inline QJsonValue slotEntry(const QJsonObject& library, const char* list, int slot)
{
    QJsonValue entry = library.value(QLatin1String(list)).toArray().at(slot - 1);
    if (QLatin1String(list) != QLatin1String("macros"))
        return entry;
    QJsonObject macro = entry.toObject();
    QJsonArray steps = macro["steps"].toArray();
    for (qsizetype i = 0; i < steps.size(); ++i) {
        QJsonObject step = steps[i].toObject();
        if (step["type"] == "command")
            step["input"] = slotEntry(library, "actions", step["input"].toString().mid(7).toInt());
        steps[i] = step;
    }
    macro["steps"] = steps;
    return macro;
}

// What (profile, layer) does: the compiled rules in force with their slot numbers cleared, the
// entries those slots named, and the motion in force.
struct LayerBehaviour {
    core::RulesSnapshot snapshot;
    QJsonArray entries;
    QJsonObject motion;
    bool operator==(const LayerBehaviour&) const = default;
};

inline LayerBehaviour behaviour(const QJsonObject& library, int profile, int layer)
{
    LayerBehaviour result;
    QString error;
    if (!core::parseRules(core::effectiveRules(library, profile, layer), result.snapshot, error))
        result.entries.append(error);
    auto resolve = [&](std::uint16_t& slot, const char* list) {
        if (slot != 0)
            result.entries.append(slotEntry(library, list, slot));
        slot = 0;
    };
    for (std::uint64_t i = 0; i < result.snapshot.count; ++i) {
        core::CompiledRule& compiled = result.snapshot.rules[i];
        resolve(compiled.actionSlot, "actions");
        resolve(compiled.macroSlot, "macros");
        resolve(compiled.fallback.actionSlot, "actions");
        resolve(compiled.fallback.macroSlot, "macros");
    }
    result.motion = core::effectiveMotion(library, profile, layer);
    return result;
}

// Every "action:" and "macro:" text of the library's rules and command steps, in document order.
inline QStringList references(const QJsonObject& library)
{
    QStringList found;
    auto note = [&found](const QJsonValue& value) {
        const QString text = value.toString();
        if (text.startsWith("action:") || text.startsWith("macro:"))
            found.append(text);
    };
    for (const QJsonValue& profile : library["profiles"].toArray()) {
        for (const QJsonValue& layer : profile["layers"].toArray()) {
            for (const QJsonValue& r : layer["rules"].toArray()) {
                note(r["target"]);
                note(r["trigger"]["fallback"]);
            }
        }
    }
    for (const QJsonValue& macro : library["macros"].toArray()) {
        for (const QJsonValue& step : macro["steps"].toArray())
            note(step["input"]);
    }
    return found;
}

} // namespace vorna::test
