// What the verification run plans without a window: the frame lists of both matrices with their
// file names, the test-only shortening of its stages, and the made-up live input of the tour.

#include "qa/live_fixtures.h"
#include "qa/mouse_matrix.h"
#include "qa/page_matrix.h"
#include "qa/stage_limit.h"
#include "tests/support/scoped_env.h"

#include <QJsonArray>

#include <gtest/gtest.h>

namespace {

TEST(MouseFrames, TheShippedCatalogGivesFiftySixNormalAndTwoLongActionFrames)
{
    const QList<qa::MouseFrame> frames = qa::buildMouseFrames(7);
    ASSERT_EQ(frames.size(), 58);
    EXPECT_EQ(qa::mouseFrameFileName("vorna-a1", frames.at(0)), "mouse-vorna-a1-ru-dark-1380x960.png");
    EXPECT_EQ(frames.at(7).width, 1000);        // ru/dark/1000 x 680 follows the seven models
    EXPECT_EQ(frames.at(14).theme, "light");    // then ru/light
    EXPECT_EQ(frames.at(28).language, "en");    // then the English half
    EXPECT_EQ(qa::mouseFrameFileName("vorna-d1g", frames.at(56)), "mouse-vorna-d1g-ru-dark-1380x960-long-action.png");
    EXPECT_EQ(qa::mouseFrameFileName("vorna-d1g", frames.at(57)),
        "mouse-vorna-d1g-ru-light-1000x680-long-action.png");
    // Without a sixth model there is no long-action frame.
    EXPECT_EQ(qa::buildMouseFrames(5).size(), 40);
}

TEST(StageLimit, OnlyAPositiveNumberShortensAStageAndNeverLengthensIt)
{
    const struct {
        std::optional<QByteArray> value;
        int frames;
    } cases[] = {{std::nullopt, 69}, {"2", 2}, {"69", 69}, {"500", 69}, {"0", 69}, {"-3", 69}, {"two", 69}, {"", 69}};
    for (const auto& c : cases) {
        const vorna::test::ScopedEnv limit(qa::kStageLimitVariable, c.value);
        EXPECT_EQ(qa::stageFrameCount(69), c.frames) << c.value.value_or("(unset)").constData();
    }
    const vorna::test::ScopedEnv limit(qa::kStageLimitVariable, "3");
    EXPECT_EQ(qa::stageFrames(qa::buildPageFrames()).size(), 3);
    EXPECT_EQ(qa::stageFrames(qa::buildMouseFrames(7)).constLast().modelIndex, 2);
}

TEST(PageFrames, FiftySixFramesInTheOrderOfTheMatrix)
{
    const QList<qa::PageFrame> frames = qa::buildPageFrames();
    ASSERT_EQ(frames.size(), 56);
    const struct {
        int index;
        const char* name;
    } cases[] = {{0, "page-keyboard-ru-dark-1380x960.png"}, {4, "page-settings-ru-dark-1380x960.png"},
        {5, "page-macros-ru-dark-1380x960-details.png"}, {7, "page-keyboard-ru-dark-1000x680.png"},
        {55, "page-diagnostics-en-light-1000x680-details.png"}};
    for (const auto& c : cases)
        EXPECT_EQ(qa::pageFrameFileName(frames.at(c.index)), c.name) << c.index;
}

TEST(LiveFixtures, MappingFramesVaryTheirInputTargetAndHeldState)
{
    const QList<QJsonObject> blocked = qa::mappingFixture(14);
    ASSERT_EQ(blocked.size(), 2);
    const QJsonArray events = blocked.at(0).value("events").toArray();
    ASSERT_EQ(events.size(), 1); // a blocked input sends nothing
    EXPECT_EQ(events.at(0).toObject().value("matchedRule").toObject().value("target").toString(), "blocked");
    EXPECT_EQ(blocked.at(1).value("output").toArray(), QJsonArray());

    const QList<QJsonObject> wheel = qa::mappingFixture(13);
    EXPECT_EQ(wheel.at(0).value("events").toArray().at(0).toObject().value("id").toString(), "wheel_up");
    EXPECT_EQ(wheel.at(1).value("physical").toArray(), QJsonArray());

    EXPECT_EQ(qa::mappingFixture(17).at(1).value("dropped").toString(), "12");
    const QJsonArray failed = qa::mappingFixture(15).at(0).value("events").toArray();
    EXPECT_EQ(failed.at(2).toObject().value("result").toInt(), 3);
    EXPECT_EQ(failed.at(2).toObject().value("error").toInt(), 5);
    EXPECT_EQ(qa::mappingFixture(16).at(0).value("events").toArray().size(), 4);
}

TEST(LiveFixtures, KeyboardFramesCarryTheirExecutionNumbers)
{
    for (int frame = 44; frame <= 49; ++frame) {
        const QJsonArray events = qa::keyboardFixture(frame).at(0).value("events").toArray();
        for (const QJsonValue& event : events)
            EXPECT_EQ(event.toObject().value("execution").toString(), QString::number(frame + 300));
        EXPECT_FALSE(events.at(0).toObject().contains("delta"));
    }
    EXPECT_EQ(qa::keyboardFixture(47).at(0).value("events").toArray().size(), 1);
    EXPECT_EQ(qa::keyboardFixture(45).at(1).value("output").toArray(), QJsonArray());
    EXPECT_EQ(qa::keyboardFixture(46).at(1).value("output").toArray(), QJsonArray{"key_27"});
}

} // namespace
