// The live view's model: held lists, flashes and movement on a stepped clock, execution records
// (a failed output survives the release), eviction that keeps a running macro, the history.

#include "app/live_input_model.h"
#include "tests/support/settings_shell.h"

#include <gtest/gtest.h>

#include <QJsonArray>
#include <QSignalSpy>

namespace {

struct Ev {
    int kind = 0;
    QString id;
    int phase = 0;
    QString execution = QStringLiteral("0");
    int result = 0;
    int origin = 0;
    bool suppressed = false;
    int macro = 0;
    int delta = 0;
    int dy = 0;
    QString target;
};

QJsonObject event(const Ev& e)
{
    QJsonObject out{{"kind", e.kind}, {"id", e.id}, {"phase", e.phase}, {"execution", e.execution},
        {"result", e.result}, {"origin", e.origin}, {"suppressed", e.suppressed}, {"macro", e.macro},
        {"delta", e.delta}, {"dy", e.dy}, {"rule", 3}};
    if (!e.target.isEmpty())
        out.insert("matchedRule", QJsonObject{{"target", e.target}});
    return out;
}

QJsonObject trace(std::initializer_list<Ev> events)
{
    QJsonArray array;
    for (const Ev& e : events)
        array.append(event(e));
    return {{"type", "trace"}, {"events", array}};
}

QStringList list(const QVariantMap& state, const char* key)
{
    return state.value(QLatin1String(key)).toStringList();
}

class LiveModel : public testing::Test {
protected:
    LiveModel() { vorna::test::guiApplication(); }

    QVariantMap last() const { return model.state().value("last").toMap(); }

    qint64 now = 5000;
    LiveInputModel model{nullptr, [this] { return now; }};
};

struct SequenceCase {
    const char* name;
    std::vector<Ev> events;
    QStringList physical;
    QStringList outputHeld;
    QStringList flash;
    int result;
    QStringList outputs;
    QStringList failed;
    bool forwarded;
};

TEST_F(LiveModel, SequencesGiveTheirState)
{
    const std::vector<SequenceCase> cases = {
        {"key down holds and flashes", {{.id = "key_65"}}, {"key_65"}, {}, {"key_65"}, 0, {}, {}, true},
        {"up releases without flashing", {{.id = "key_65"}, {.id = "key_65", .phase = 1}}, {}, {}, {"key_65"}, 0, {},
            {}, true},
        {"repeat flashes without a second hold", {{.id = "key_65"}, {.id = "key_65", .phase = 2}}, {"key_65"}, {},
            {"key_65"}, 0, {}, {}, true},
        {"held in press order", {{.id = "key_66"}, {.id = "key_65"}}, {"key_66", "key_65"}, {}, {"key_65", "key_66"},
            0, {}, {}, true},
        {"wheel flashes but is never held", {{.id = "wheel_up", .delta = 120}}, {}, {}, {"wheel_up"}, 0, {}, {},
            true},
        {"program's own input is ignored", {{.id = "key_65", .origin = 1}}, {}, {}, {}, 0, {}, {}, false},
        {"suppressed remap shows no new output",
            {{.id = "mouse_back", .execution = "7", .suppressed = true, .target = "key_27"}}, {"mouse_back"}, {},
            {"mouse_back"}, 8, {}, {}, false},
        {"suppressed block keeps its own result",
            {{.id = "mouse_back", .execution = "7", .result = 1, .suppressed = true, .target = "blocked"}},
            {"mouse_back"}, {}, {"mouse_back"}, 1, {}, {}, false},
        {"sent output is held by the program",
            {{.id = "mouse_back", .execution = "7", .suppressed = true},
                {.kind = 1, .id = "key_27", .execution = "7", .result = 2}},
            {"mouse_back"}, {"key_27"}, {"mouse_back"}, 2, {"key_27"}, {}, false},
        {"released output leaves the program's holds",
            {{.kind = 1, .id = "key_27", .execution = "7", .result = 2},
                {.kind = 1, .id = "key_27", .phase = 1, .execution = "7", .result = 2}},
            {}, {}, {}, 2, {"key_27"}, {}, false},
        {"failed output is listed as failed and not held",
            {{.id = "mouse_back", .execution = "7", .suppressed = true},
                {.kind = 1, .id = "key_27", .execution = "7", .result = 3}},
            {"mouse_back"}, {}, {"mouse_back"}, 3, {}, {"key_27"}, false},
        // A failure is never shown as a success once the key is up.
        {"failed output survives the release",
            {{.id = "mouse_back", .execution = "7", .suppressed = true},
                {.kind = 1, .id = "key_27", .execution = "7", .result = 3},
                {.id = "mouse_back", .phase = 1, .execution = "7", .suppressed = true}},
            {}, {}, {"mouse_back"}, 8, {}, {"key_27"}, false},
        {"wheel output is never held", {{.kind = 1, .id = "wheel_down", .execution = "9", .result = 2, .delta = -120}},
            {}, {}, {}, 2, {"wheel_down"}, {}, false},
        {"pointer output adds the cursor",
            {{.kind = 5, .id = "cursor_move", .execution = "4", .result = 2, .delta = 5, .dy = -3}}, {}, {}, {}, 2,
            {"cursor_move"}, {}, false},
        {"pointer output without new output adds nothing",
            {{.kind = 5, .id = "cursor_move", .execution = "4", .result = 8}}, {}, {}, {}, 8, {}, {}, false},
    };
    for (const SequenceCase& c : cases) {
        SCOPED_TRACE(c.name);
        model.clear();
        QJsonArray array;
        for (const Ev& e : c.events)
            array.append(event(e));
        model.applyTrace({{"type", "trace"}, {"events", array}});
        const QVariantMap state = model.state();
        EXPECT_EQ(list(state, "physical"), c.physical);
        EXPECT_EQ(list(state, "outputHeld"), c.outputHeld);
        EXPECT_EQ(list(state, "flash"), c.flash);
        const QVariantMap record = state.value("last").toMap();
        EXPECT_EQ(record.value("result").toInt(), c.result);
        EXPECT_EQ(record.value("outputs").toStringList(), c.outputs);
        EXPECT_EQ(record.value("failed").toStringList(), c.failed);
        EXPECT_EQ(record.value("forwarded").toBool(), c.forwarded);
    }
}

TEST_F(LiveModel, ProgramInputChangesNothingAndSaysNothing)
{
    QSignalSpy changed(&model, &LiveInputModel::changed);
    const QVariantMap before = model.state();
    model.applyTrace(trace({{.id = "key_65", .origin = 1}}));
    EXPECT_EQ(model.state(), before);
    EXPECT_EQ(changed.count(), 0);
    model.applyTrace({{"type", "unknown"}});
    EXPECT_EQ(changed.count(), 0);
}

TEST_F(LiveModel, OneMessageOfManyEventsIsOneChange)
{
    QSignalSpy changed(&model, &LiveInputModel::changed);
    model.applyTrace(trace({{.id = "key_65"}, {.id = "key_66"}, {.id = "key_65", .phase = 1}}));
    EXPECT_EQ(changed.count(), 1);
}

TEST_F(LiveModel, RecordCarriesTheEventAndLaterSteps)
{
    model.applyTrace(trace({{.id = "mouse_back", .execution = "7", .suppressed = true, .target = "key_27"}}));
    QJsonObject step = event({.kind = 4, .id = "", .execution = "7", .result = 4});
    step.insert("destinationLayer", "Games");
    step.insert("detail", "x");
    model.applyTrace({{"type", "trace"}, {"events", QJsonArray{step}}});
    const QVariantMap record = last();
    EXPECT_EQ(record.value("input").toString(), "mouse_back");
    EXPECT_EQ(record.value("execution").toString(), "7");
    EXPECT_EQ(record.value("rule").toInt(), 3);
    EXPECT_EQ(record.value("result").toInt(), 4);
    EXPECT_EQ(record.value("destinationLayer").toString(), "Games");
    EXPECT_EQ(record.value("matchedRule").toMap().value("target").toString(), "key_27");
}

TEST_F(LiveModel, WheelUnitsAddUpPerOutput)
{
    model.applyTrace(trace({{.kind = 1, .id = "wheel_down", .execution = "9", .result = 2, .delta = -120},
        {.kind = 1, .id = "wheel_down", .execution = "9", .result = 2, .delta = -240}}));
    EXPECT_EQ(last().value("wheelUnits").toMap().value("wheel_down").toInt(), -360);
}

TEST_F(LiveModel, MovementReadsDeltaAndDyAndRecordsOnlyWithAnExecution)
{
    model.applyTrace(trace({{.kind = 3, .id = "cursor_move", .delta = 4, .dy = -2}}));
    QVariantMap movement = model.state().value("movement").toMap();
    EXPECT_EQ(movement.value("dx").toInt(), 4);
    EXPECT_EQ(movement.value("dy").toInt(), -2);
    EXPECT_EQ(movement.value("until").toLongLong(), now + 180);
    EXPECT_TRUE(last().isEmpty());

    model.applyTrace(trace({{.kind = 3, .id = "cursor_move", .execution = "12", .delta = 7, .dy = 1}}));
    EXPECT_EQ(last().value("input").toString(), "cursor_move");
    EXPECT_EQ(last().value("inputDx").toInt(), 7);
    EXPECT_EQ(last().value("inputDy").toInt(), 1);
}

TEST_F(LiveModel, FlashAndMovementExpireAtTheirExactTimes)
{
    model.applyTrace(trace({{.id = "key_65"}, {.kind = 3, .delta = 1}}));
    EXPECT_TRUE(model.tickRunning());
    QSignalSpy changed(&model, &LiveInputModel::changed);

    now += 139;
    model.onTick();
    EXPECT_EQ(list(model.state(), "flash"), QStringList{"key_65"});
    EXPECT_EQ(changed.count(), 0);

    now += 1; // 140
    model.onTick();
    EXPECT_TRUE(list(model.state(), "flash").isEmpty());
    EXPECT_FALSE(model.state().value("movement").toMap().isEmpty());
    EXPECT_EQ(changed.count(), 1);
    EXPECT_TRUE(model.tickRunning());

    now += 39; // 179
    model.onTick();
    EXPECT_FALSE(model.state().value("movement").toMap().isEmpty());
    now += 1; // 180
    model.onTick();
    EXPECT_TRUE(model.state().value("movement").toMap().isEmpty());
    EXPECT_EQ(changed.count(), 2);
    EXPECT_FALSE(model.tickRunning());
}

TEST_F(LiveModel, HeldMessageVouchesOrEmpties)
{
    model.applyTrace({{"type", "held"}, {"consistent", true}, {"physical", QJsonArray{"key_65", 3}},
        {"output", QJsonArray{"key_27"}}, {"inferred", QJsonArray{"key_160"}}, {"dropped", "2"}});
    QVariantMap state = model.state();
    EXPECT_EQ(list(state, "physical"), (QStringList{"key_65", ""}));
    EXPECT_EQ(list(state, "outputHeld"), QStringList{"key_27"});
    EXPECT_EQ(list(state, "inferred"), QStringList{"key_160"});
    EXPECT_TRUE(state.value("consistent").toBool());

    // A press of an inferred key confirms it as physical.
    model.applyTrace(trace({{.id = "key_160"}}));
    EXPECT_TRUE(list(model.state(), "inferred").isEmpty());

    model.applyTrace({{"type", "held"}, {"consistent", false}, {"physical", QJsonArray{"key_65"}}, {"dropped", "5"}});
    state = model.state();
    EXPECT_TRUE(list(state, "physical").isEmpty());
    EXPECT_TRUE(list(state, "outputHeld").isEmpty());
    EXPECT_EQ(state.value("dropped").toString(), "5");

    model.applyTrace({{"type", "held"}, {"dropped", 5}});
    EXPECT_EQ(model.state().value("dropped").toString(), "0");
}

// Evicted records are recreated bare by a later step, which is how eviction shows: the record's
// "input" is lost.
bool kept(LiveInputModel& model, const QString& execution)
{
    model.applyTrace(trace({{.kind = 9, .execution = execution, .result = 9}}));
    return model.state().value("last").toMap().value("input").toString() == QStringLiteral("key_65");
}

TEST_F(LiveModel, ThirtyThirdExecutionEvictsTheOldestButNotARunningMacro)
{
    // Execution 1 starts a macro, 2 is a plain press; then 31 more.
    model.applyTrace(trace({{.id = "key_65", .execution = "1"}, {.kind = 6, .execution = "1", .result = 5, .macro = 2},
        {.id = "key_65", .execution = "2"}}));
    for (int i = 3; i <= 33; ++i)
        model.applyTrace(trace({{.id = "key_65", .execution = QString::number(i)}}));
    EXPECT_TRUE(kept(model, "1")) << "the running macro's record is kept";
    EXPECT_FALSE(kept(model, "2")) << "the oldest other record is evicted";
    EXPECT_TRUE(kept(model, "4"));
}

TEST_F(LiveModel, FinishedMacroIsEvictedLikeAnyOther)
{
    model.applyTrace(trace({{.id = "key_65", .execution = "1"}, {.kind = 6, .execution = "1", .result = 5, .macro = 2},
        {.kind = 6, .execution = "1", .result = 7, .macro = 2}}));
    for (int i = 2; i <= 33; ++i)
        model.applyTrace(trace({{.id = "key_65", .execution = QString::number(i)}}));
    EXPECT_FALSE(kept(model, "1"));
}

TEST_F(LiveModel, ThirtyTwoExecutionsAllStay)
{
    for (int i = 1; i <= 32; ++i)
        model.applyTrace(trace({{.id = "key_65", .execution = QString::number(i)}}));
    EXPECT_TRUE(kept(model, "1"));
}

TEST_F(LiveModel, HistoryKeepsTwentyNewestFirst)
{
    model.setHistoryEnabled(true);
    for (int i = 1; i <= 21; ++i)
        model.applyTrace(trace({{.id = "key_65", .execution = QString::number(i)}}));
    const QVariantList history = model.state().value("history").toList();
    ASSERT_EQ(history.size(), 20);
    EXPECT_EQ(history.first().toMap().value("execution").toString(), "21");
    EXPECT_EQ(history.last().toMap().value("execution").toString(), "2");
}

TEST_F(LiveModel, HistoryReplacesItsHeadForStepsOfOneExecution)
{
    model.setHistoryEnabled(true);
    model.applyTrace(trace({{.id = "key_65", .execution = "1"}, {.kind = 1, .id = "key_27", .execution = "1", .result = 2},
        {.id = "key_66", .execution = "2"}, {.kind = 1, .id = "key_28", .execution = "1", .result = 2}}));
    const QVariantList history = model.state().value("history").toList();
    ASSERT_EQ(history.size(), 3);
    EXPECT_EQ(history[0].toMap().value("outputs").toStringList(), (QStringList{"key_27", "key_28"}));
    EXPECT_EQ(history[1].toMap().value("execution").toString(), "2");
}

TEST_F(LiveModel, HistoryOnlyWhileSwitchedOnAndEmptiedBySwitching)
{
    model.applyTrace(trace({{.id = "key_65", .execution = "1"}}));
    EXPECT_TRUE(model.state().value("history").toList().isEmpty());
    EXPECT_EQ(last().value("execution").toString(), "1");

    model.setHistoryEnabled(true);
    model.applyTrace(trace({{.id = "key_65", .execution = "2"}}));
    model.setHistoryEnabled(true);
    EXPECT_TRUE(model.state().value("history").toList().isEmpty());

    model.clear();
    EXPECT_TRUE(model.state().value("historyEnabled").toBool());
    EXPECT_TRUE(last().isEmpty());
    EXPECT_FALSE(model.tickRunning());
}

} // namespace
