// The macro recorder without the controller: event sequences and the steps they leave, the
// record button's own click, F12 and the step limit, movement and wheel notches gathered.

#include "app/macro_recorder.h"
#include "tests/editor/editor_fixture.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

using vorna::test::step;

// One event on the controller's clock `now` (the recording starts at 0 and settles after 350 ms)
// at agent time `ts`; a movement carries dx in `delta`.
struct Ev {
    enum What { Down, Up, Repeat, Move } what;
    const char* id = "";
    double ts = 0;
    int delta = 0;
    int dy = 0;
    double x = 0;
    double y = 0;
    qint64 now = 1000;
};

Ev down(const char* id, double ts) { return {.what = Ev::Down, .id = id, .ts = ts}; }
Ev up(const char* id, double ts) { return {.what = Ev::Up, .id = id, .ts = ts}; }
Ev wheel(const char* id, int delta, double ts) { return {.what = Ev::Down, .id = id, .ts = ts, .delta = delta}; }
Ev click(bool pressed, double x, double y, double ts)
{
    return {.what = pressed ? Ev::Down : Ev::Up, .id = "mouse_left", .ts = ts, .x = x, .y = y};
}
Ev move(int dx, int dy, double ts) { return {.what = Ev::Move, .ts = ts, .delta = dx, .dy = dy}; }

MacroRecorder::Fed feed(MacroRecorder& recorder, const Ev& e, MacroRecorder::Kinds kinds = {})
{
    if (e.what == Ev::Move)
        return recorder.feedMovement(e.delta, e.dy, e.ts, e.now, kinds);
    return recorder.feed({e.id, e.what != Ev::Up, e.what == Ev::Repeat, e.delta, e.ts, e.x, e.y}, e.now, kinds);
}

struct SequenceCase {
    const char* name;
    std::vector<Ev> events;
    QJsonArray steps;
    MacroRecorder::Kinds kinds = {};
};

TEST(MacroRecorder, SequencesLeaveTheirSteps)
{
    Ev early = down("key_66", 900);
    early.now = 350;
    const std::vector<SequenceCase> cases = {
        {"a press and its release with the wait between", {down("key_65", 1000), up("key_65", 1050)},
            {step("down", "key_65"), step("wait", "", 50), step("up", "key_65")}},
        {"key repeats are not recorded", {down("key_65", 1000), {.what = Ev::Repeat, .id = "key_65", .ts = 1030}},
            {step("down", "key_65")}},
        {"nothing is recorded while the starting click settles", {early, down("key_65", 1000)},
            {step("down", "key_65")}},
        {"a kind left out is not recorded", {down("key_65", 1000), down("mouse_right", 1010)},
            {step("down", "mouse_right")}, {.keyboard = false}},
        {"a wait is never longer than a minute", {down("key_65", 1000), up("key_65", 100000)},
            {step("down", "key_65"), step("wait", "", 60000), step("up", "key_65")}},
        {"wheel deltas add up to whole notches", {wheel("wheel_up", 60, 1000), wheel("wheel_up", 60, 1010),
            wheel("wheel_up", 250, 1100)},
            {step("tap", "wheel_up", 10), step("wait", "", 90), step("tap", "wheel_up", 10), step("tap", "wheel_up", 10)}},
        {"vertical and horizontal wheels keep their own rest", {wheel("wheel_up", 60, 1000), wheel("wheel_right", 60, 1010)},
            {}},
        {"the record button's own click is skipped", {click(true, 110, 110, 1000), click(false, 300, 300, 1010),
            click(true, 0, 0, 1020)},
            {step("down", "mouse_left")}},
        {"movement becomes a step once 100 ms have gathered", {move(5, 0, 1000), move(7, -2, 1050), move(1, 1, 1100)},
            {step("move", "13,-1")}, {.movement = true}},
        {"movement is not recorded unless chosen", {move(5, 0, 1000), move(7, -2, 1100)}, {}},
    };
    for (const SequenceCase& c : cases) {
        MacroRecorder recorder;
        recorder.setControl(QRectF(100, 100, 20, 20));
        recorder.start(0);
        for (const Ev& e : c.events)
            EXPECT_FALSE(feed(recorder, e, c.kinds).stop) << c.name;
        EXPECT_EQ(recorder.steps(), c.steps) << c.name;
    }
}

TEST(MacroRecorder, F12StopsWithoutBeingRecordedOrPassedOn)
{
    MacroRecorder recorder;
    recorder.start(0);
    const MacroRecorder::Fed fed = feed(recorder, down("key_123", 1000));
    EXPECT_TRUE(fed.stop);
    EXPECT_TRUE(fed.consumed);
    EXPECT_TRUE(recorder.steps().isEmpty());
}

TEST(MacroRecorder, TheSixtiethStepAsksToStop)
{
    MacroRecorder recorder;
    recorder.start(0);
    for (int i = 0; i < 29; ++i) {
        EXPECT_FALSE(feed(recorder, down("key_65", 1000)).stop);
        EXPECT_FALSE(feed(recorder, up("key_65", 1000)).stop);
    }
    EXPECT_FALSE(feed(recorder, down("key_65", 1000)).stop);
    EXPECT_TRUE(feed(recorder, up("key_65", 1000)).stop);
    EXPECT_EQ(recorder.steps().size(), 60);
}

TEST(MacroRecorder, FinishingAddsGatheredMovementAndReleasesWhatIsHeld)
{
    MacroRecorder recorder;
    recorder.start(0);
    feed(recorder, down("key_16", 1000));
    feed(recorder, move(4, 2, 1040), {.movement = true});
    EXPECT_EQ(recorder.finish(),
        (QJsonArray{step("down", "key_16"), step("move", "4,2", 40), step("up", "key_16")}));
}

TEST(MacroRecorder, StartingAgainForgetsTheLastRecordingButKeepsTheButton)
{
    MacroRecorder recorder;
    recorder.setControl(QRectF(100, 100, 20, 20));
    recorder.start(0);
    feed(recorder, down("key_65", 1000));
    recorder.start(5000);
    Ev press = click(true, 110, 110, 7000);
    press.now = 6000;
    EXPECT_TRUE(feed(recorder, press).consumed);
    EXPECT_TRUE(recorder.steps().isEmpty());
}

} // namespace
