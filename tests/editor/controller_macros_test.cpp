// The macro editor through the controller: the working copy's step operations, saving as one
// commit with undo, deleting with the renumbering of the references above, and re-opening after
// undo and redo. Ends with random edit sequences after which every reference must still hold.

#include "tests/support/settings_fixture.h"

#include "core/library_document.h"
#include "editor/slot_references.h"
#include "tests/editor/editor_fixture.h"

#include <QJsonArray>
#include <QRandomGenerator>
#include <QSignalSpy>

namespace {

using vorna::core::defaultLibrary;
using vorna::test::edited;
using vorna::test::macro;
using vorna::test::rule;
using vorna::test::step;
using vorna::test::textActions;
using vorna::test::valueAt;
using vorna::test::withFallback;
using vorna::test::withRules;

class ControllerMacros : public vorna::test::SeededController {
protected:
    QJsonArray steps() const { return vorna::test::workingSteps(*m_controller); }
    QJsonArray macros() const { return m_controller->library()["macros"].toArray(); }
    QString ruleTarget(int profile, int layer, int index) const
    {
        return valueAt(m_controller->library(), {"profiles", profile, "layers", layer, "rules", index, "target"}).toString();
    }
};

TEST_F(ControllerMacros, ANewWorkingCopyFollowsTheLanguageButTheFirstIsRussian)
{
    EXPECT_EQ(m_controller->macroName(), QStringLiteral("Новый макрос"));
    seed(edited(defaultLibrary(), {"macros"}, QJsonArray{macro("m", {step("tap", "key_65", 10)})}));
    for (const int index : {-1, 1}) {
        m_controller->editMacro(0);
        m_controller->editMacro(index);
        EXPECT_EQ(m_controller->macroIndex(), -1);
        EXPECT_EQ(m_controller->macroName(), "New macro");
        EXPECT_EQ(m_controller->macroMode(), "once");
        EXPECT_EQ(m_controller->macroRepeat(), 1);
        EXPECT_TRUE(m_controller->macroSteps().isEmpty());
    }
}

// One operation on a working copy of three steps and the steps after it.
struct StepCase {
    const char* name;
    std::function<void(AppController&)> operation;
    QJsonArray expected;
};

TEST_F(ControllerMacros, StepOperationTable)
{
    const QJsonObject a = step("tap", "key_65", 100), b = step("down", "key_66"), c = step("up", "key_66");
    const StepCase cases[] = {
        {"add", [](AppController& w) { w.addMacroStep("tap", "key_67", 50); }, {a, b, c, step("tap", "key_67", 50)}},
        {"a wait drops its input", [](AppController& w) { w.addMacroStep("wait", "key_65", 500); },
            {a, b, c, step("wait", "", 500)}},
        {"unknown type", [](AppController& w) { w.addMacroStep("Wait", "", 5); }, {a, b, c}},
        {"another unknown type", [](AppController& w) { w.addMacroStep("macro", "", 5); }, {a, b, c}},
        {"update", [](AppController& w) { w.updateMacroStep(1, "chord", "chord:key_162+key_65", 20); },
            {a, step("chord", "chord:key_162+key_65", 20), c}},
        {"update out of range", [](AppController& w) { w.updateMacroStep(3, "tap", "key_65", 1); }, {a, b, c}},
        {"remove", [](AppController& w) { w.removeMacroStep(0); }, {b, c}},
        {"remove out of range", [](AppController& w) { w.removeMacroStep(-1); }, {a, b, c}},
        {"move exchanges with the target", [](AppController& w) { w.moveMacroStep(0, 2); }, {c, b, a}},
        {"move past the end", [](AppController& w) { w.moveMacroStep(2, 1); }, {a, b, c}},
        {"move up", [](AppController& w) { w.moveMacroStep(1, -1); }, {b, a, c}},
        {"duplicate", [](AppController& w) { w.duplicateMacroStep(0); }, {a, a, b, c}},
        {"duplicate out of range", [](AppController& w) { w.duplicateMacroStep(3); }, {a, b, c}},
        {"nothing while recording",
            [](AppController& w) {
                w.setProperty("recording", true);
                w.addMacroStep("tap", "key_65", 1);
                w.removeMacroStep(0);
                w.moveMacroStep(0, 1);
                w.duplicateMacroStep(0);
                w.updateMacroStep(0, "wait", "", 1);
                w.setProperty("recording", false);
            },
            {a, b, c}},
    };
    for (const StepCase& t : cases) {
        SCOPED_TRACE(t.name);
        m_controller->editMacro(-1);
        for (const QJsonObject& s : {a, b, c})
            m_controller->addMacroStep(s["type"].toString(), s["input"].toString(), s["ms"].toInt());
        const QJsonObject library = m_controller->library();
        t.operation(*m_controller);
        EXPECT_EQ(steps(), t.expected);
        EXPECT_EQ(m_controller->library(), library); // step edits never write the library
    }
}

TEST_F(ControllerMacros, SixtyFourStepsStopAddAndDuplicateOnly)
{
    for (int i = 0; i < 70; ++i)
        m_controller->addMacroStep("tap", "key_65", i);
    ASSERT_EQ(m_controller->macroSteps().size(), 64);
    m_controller->duplicateMacroStep(0);
    EXPECT_EQ(m_controller->macroSteps().size(), 64);
    m_controller->updateMacroStep(63, "wait", "", 7);
    m_controller->moveMacroStep(63, -1);
    EXPECT_EQ(steps().at(62).toObject(), step("wait", "", 7));
    m_controller->removeMacroStep(0);
    EXPECT_EQ(m_controller->macroSteps().size(), 63);
}

TEST_F(ControllerMacros, LabelsAndDuration)
{
    m_controller->addMacroStep("layer", "layer:3", 0);
    m_controller->addMacroStep("profile", "previous", 0);
    m_controller->addMacroStep("profile", "next", 0);
    m_controller->addMacroStep("profile", "anything", 0);
    m_controller->addMacroStep("move", "20,-5", 100);
    m_controller->addMacroStep("tap", "key_65", 250);
    const QVariantList list = m_controller->macroSteps();
    const QStringList labels{"Base layer 3", "Previous profile", "Next profile", "Previous profile", "ΔX / ΔY: 20,-5",
        m_controller->describeInput("key_65")};
    for (int i = 0; i < labels.size(); ++i)
        EXPECT_EQ(list.at(i).toMap().value("label").toString(), labels.at(i));
    EXPECT_EQ(m_controller->macroDuration(), "Delays: 0.35 s");
}

TEST_F(ControllerMacros, SavingANewCopyAppendsItThenReplacesIt)
{
    m_controller->setProperty("macroName", "  Fast  ");
    m_controller->addMacroStep("tap", "key_65", 10);
    QSignalSpy macroChanged(m_controller.get(), &AppController::macroChanged);
    m_controller->saveMacro();
    ASSERT_EQ(macros().size(), 1);
    EXPECT_EQ(macros().at(0).toObject(), macro("Fast", {step("tap", "key_65", 10)}));
    EXPECT_EQ(m_controller->macroIndex(), 0);
    EXPECT_EQ(m_controller->notice(), "Macro saved. Assign it to a button and save the mapping; enable mappings if paused.");
    EXPECT_EQ(macroChanged.count(), 1);
    EXPECT_EQ(stored(), m_controller->library());

    m_controller->addMacroStep("wait", "", 20);
    m_controller->saveMacro();
    ASSERT_EQ(macros().size(), 1);
    EXPECT_EQ(macros().at(0).toObject()["steps"].toArray().size(), 2);

    m_controller->undo(); // the open macro re-opens as it was stored
    EXPECT_EQ(steps(), (QJsonArray{step("tap", "key_65", 10)}));
    m_controller->undo(); // the appended macro is gone: a new working copy
    EXPECT_EQ(m_controller->macroIndex(), -1);
    EXPECT_TRUE(macros().isEmpty());
    EXPECT_EQ(stored(), m_controller->library());
}

TEST_F(ControllerMacros, AMacroTheCheckRefusesIsNotSavedAndTheCopyStays)
{
    for (int i = 0; i < 16; ++i) {
        m_controller->editMacro(-1);
        m_controller->addMacroStep("tap", "key_65", 10);
        m_controller->saveMacro();
    }
    ASSERT_EQ(macros().size(), 16);
    m_controller->editMacro(-1);
    m_controller->addMacroStep("tap", "key_66", 10);
    m_controller->saveMacro();
    EXPECT_EQ(m_controller->notice(), "Macro count limit exceeded");
    EXPECT_EQ(macros().size(), 16);
    EXPECT_EQ(m_controller->macroIndex(), -1);
    EXPECT_EQ(steps(), (QJsonArray{step("tap", "key_66", 10)}));
}

TEST_F(ControllerMacros, UndoOfARenameReopensTheMacroWithItsOldName)
{
    seed(edited(defaultLibrary(), {"macros"}, QJsonArray{macro("old", {step("tap", "key_65", 10)})}));
    m_controller->editMacro(0);
    m_controller->setProperty("macroName", "new");
    m_controller->saveMacro();
    m_controller->undo();
    EXPECT_EQ(m_controller->macroIndex(), 0);
    EXPECT_EQ(m_controller->macroName(), "old");
    m_controller->redo();
    EXPECT_EQ(m_controller->macroName(), "new");
}

QJsonObject threeMacros()
{
    QJsonObject library = vorna::test::libraryWithProfiles(2);
    library["macros"] = QJsonArray{macro("one", {step("tap", "key_65", 10)}), macro("two", {step("tap", "key_66", 10)}),
        macro("three", {step("tap", "key_67", 10)})};
    return library;
}

TEST_F(ControllerMacros, DeletingRenumbersTheMacrosAbove)
{
    QJsonObject library = withRules(threeMacros(), 0, 0, {rule("mouse_back", "macro:1"), rule("mouse_forward", "macro:3")});
    library = withRules(library, 1, 4, {withFallback(rule("key_65", "key_27"), "macro:3")});
    seed(library);
    m_controller->editMacro(1);
    m_controller->deleteMacro();
    EXPECT_EQ(macros().size(), 2);
    EXPECT_EQ(ruleTarget(0, 0, 0), "macro:1");
    EXPECT_EQ(ruleTarget(0, 0, 1), "macro:2");
    EXPECT_EQ(valueAt(m_controller->library(), {"profiles", 1, "layers", 4, "rules", 0, "trigger", "fallback"}).toString(),
        "macro:2");
    EXPECT_EQ(m_controller->macroIndex(), -1);
    EXPECT_EQ(stored(), m_controller->library());
    m_controller->undo();
    EXPECT_EQ(m_controller->library(), library);
}

TEST_F(ControllerMacros, DeletingAnAssignedMacroIsRefused)
{
    for (const QJsonObject& r : {rule("key_65", "macro:2"), withFallback(rule("key_65", "key_27"), "macro:2")}) {
        const QJsonObject library = withRules(threeMacros(), 1, 9, {r});
        seed(library);
        m_controller->editMacro(1);
        QSignalSpy changed(m_controller.get(), &AppController::libraryChanged);
        m_controller->deleteMacro();
        EXPECT_EQ(m_controller->notice(), "Remove this macro's button assignments before deleting it.");
        EXPECT_EQ(changed.count(), 1);
        EXPECT_EQ(m_controller->library(), library);
        EXPECT_EQ(m_controller->macroIndex(), 1);
    }
}

TEST_F(ControllerMacros, DeletingNothingOpenOrWhileRecordingIsSilent)
{
    seed(threeMacros());
    QSignalSpy changed(m_controller.get(), &AppController::libraryChanged);
    m_controller->editMacro(-1);
    m_controller->deleteMacro();
    m_controller->editMacro(0);
    m_controller->setProperty("recording", true);
    m_controller->deleteMacro();
    m_controller->setProperty("recording", false);
    EXPECT_EQ(changed.count(), 0);
    EXPECT_EQ(macros().size(), 3);
}

// The open rule editor's target names macros by slot too: deleting one must not leave it
// pointing at the macro that moved into the slot.
TEST_F(ControllerMacros, TheOpenTargetFollowsTheDeletion)
{
    struct Case {
        const char* target;
        int deleted;
        const char* expected;
    };
    for (const Case c : {Case{"macro:3", 1, "macro:2"}, Case{"macro:2", 1, "unchanged"}, Case{"macro:1", 1, "macro:1"},
             Case{"key_27", 0, "key_27"}, Case{"action:2", 0, "action:2"}}) {
        SCOPED_TRACE(c.target);
        QJsonObject library = threeMacros();
        library["actions"] = textActions(2);
        seed(library);
        m_controller->setTargetId(c.target);
        ASSERT_EQ(m_controller->targetId(), c.target);
        m_controller->editMacro(c.deleted);
        m_controller->deleteMacro();
        ASSERT_EQ(macros().size(), 2);
        EXPECT_EQ(m_controller->targetId(), c.expected);
    }
}

TEST_F(ControllerMacros, TheOpenTriggerBlocksItsMacroAndFollowsTheRenumbering)
{
    seed(threeMacros());
    if (!m_controller->configureTrigger("holdTap", 300, "macro:3", {}))
        GTEST_SKIP() << "the trigger editor is not available";
    m_controller->editMacro(2);
    m_controller->deleteMacro();
    EXPECT_EQ(m_controller->notice(), "Remove this macro from the open trigger first.");
    m_controller->editMacro(0);
    m_controller->deleteMacro();
    EXPECT_EQ(m_controller->trigger().value("fallback").toString(), "macro:2");
}

// ---- property: random edits keep every reference whole ----

// Every reference names an existing entry of the right list, and the library passes the check.
void expectReferencesHold(const QJsonObject& library)
{
    QString error;
    EXPECT_TRUE(vorna::core::validateLibrary(library, error)) << error.toStdString();
    const qsizetype actions = library["actions"].toArray().size();
    const qsizetype macros = library["macros"].toArray().size();
    auto check = [&](const QString& text) {
        if (text.startsWith(library::kActionPrefix)) {
            const int slot = library::referenceSlot(text, library::kActionPrefix);
            EXPECT_TRUE(slot >= 1 && slot <= actions) << text.toStdString();
        } else if (text.startsWith(library::kMacroPrefix)) {
            const int slot = library::referenceSlot(text, library::kMacroPrefix);
            EXPECT_TRUE(slot >= 1 && slot <= macros) << text.toStdString();
        }
    };
    for (const QJsonValue& profile : library["profiles"].toArray())
        for (const QJsonValue& layer : profile["layers"].toArray())
            for (const QJsonValue& r : layer["rules"].toArray()) {
                check(r["target"].toString());
                check(r["trigger"]["fallback"].toString());
            }
    for (const QJsonValue& m : library["macros"].toArray())
        for (const QJsonValue& s : m["steps"].toArray())
            if (s["type"].toString() == "command")
                check(s["input"].toString());
}

// Names entries by content so that a renumbering that picks the wrong neighbour shows.
QString nameOf(const QJsonObject& library, const QString& reference)
{
    const bool action = reference.startsWith(library::kActionPrefix);
    const QString key = action ? "actions" : "macros";
    const int slot = library::referenceSlot(reference, action ? library::kActionPrefix : library::kMacroPrefix);
    return library[key].toArray().at(slot - 1)["name"].toString();
}

TEST_F(ControllerMacros, RandomEditSequencesKeepEveryReferencePointingAtItsEntry)
{
    for (const quint32 seed : {1u, 7u, 42u, 2024u}) {
        SCOPED_TRACE(seed);
        SetUp();
        QRandomGenerator random(seed);
        int named = 0;
        // Rules in two layers of two profiles; each remembers the name of what it targets.
        struct Assignment {
            int profile, layer;
            QString source;
            QString name; // of the action or macro it must keep naming
        };
        QList<Assignment> assignments;
        for (int operation = 0; operation < 60; ++operation) {
            const QJsonObject before = m_controller->library();
            const int actions = int(before["actions"].toArray().size());
            const int macroCount = int(before["macros"].toArray().size());
            switch (random.bounded(6)) {
            case 0:
                m_controller->saveAction(-1, "text", QStringLiteral("action %1").arg(++named), "x", "", false);
                break;
            case 1:
                if (actions > 0)
                    m_controller->deleteAction(random.bounded(actions));
                break;
            case 2: {
                m_controller->editMacro(-1);
                m_controller->setProperty("macroName", QStringLiteral("macro %1").arg(++named));
                m_controller->addMacroStep("tap", "key_65", 10);
                if (actions > 0)
                    m_controller->addMacroStep("command", qPrintable(QStringLiteral("action:%1").arg(random.bounded(actions) + 1)), 0);
                m_controller->saveMacro();
                break;
            }
            case 3:
                if (macroCount > 0) {
                    m_controller->editMacro(random.bounded(macroCount));
                    m_controller->deleteMacro();
                }
                break;
            case 4: {
                // Assign a random action or macro to a new rule somewhere.
                const bool action = random.bounded(2) == 0;
                const int count = action ? actions : macroCount;
                if (count == 0)
                    break;
                const QString reference = (action ? QStringLiteral("action:%1") : QStringLiteral("macro:%1"))
                                              .arg(random.bounded(count) + 1);
                const int profile = random.bounded(2);
                const int layer = random.bounded(2) * 5;
                const QString source = QStringLiteral("key_%1").arg(65 + assignments.size());
                QJsonObject next = before;
                QJsonArray rules = valueAt(next, {"profiles", profile, "layers", layer, "rules"}).toArray();
                rules.append(random.bounded(2) == 0
                        ? QJsonObject{{"source", source}, {"target", reference}}
                        : withFallback(QJsonObject{{"source", source}, {"target", "key_27"}}, qPrintable(reference)));
                AppController::setLayerRules(next, profile, layer, rules);
                if (m_controller->commitLibrary(next, true))
                    assignments.append({profile, layer, source, nameOf(next, reference)});
                break;
            }
            case 5:
                if (random.bounded(2) == 0)
                    m_controller->undo();
                else
                    m_controller->redo();
                break;
            }
            const QJsonObject library = m_controller->library();
            expectReferencesHold(library);
            if (QFile::exists(libraryFile())) // nothing is written until a first edit is stored
                EXPECT_EQ(stored(), library);
            if (operation == 0)
                continue;
            // Every stored rule that names an entry still names the entry it was given, unless an
            // undo or redo took the rule away.
            for (const Assignment& a : assignments) {
                for (const QJsonValue& r : valueAt(library, {"profiles", a.profile, "layers", a.layer, "rules"}).toArray()) {
                    if (r["source"].toString() != a.source)
                        continue;
                    const QString target = r["target"].toString();
                    const QString reference = target == "key_27" ? r["trigger"]["fallback"].toString() : target;
                    EXPECT_EQ(nameOf(library, reference), a.name) << reference.toStdString();
                }
            }
        }
    }
}

} // namespace
