// The program's --smoke and --screenshot runs end to end: real renderings of the window, one per
// device model, and the exit codes of a picture that cannot be saved.

#include "tests/qa/check_program.h"

#include <QDir>
#include <QImage>
#include <QSet>

#include <gtest/gtest.h>

namespace {

using vorna::test::runCheckProgram;

// More than a handful of colours: the window drew its pages, not a blank surface.
bool looksRendered(const QImage& image)
{
    QSet<QRgb> colours;
    for (int y = 0; y < image.height(); y += 7) {
        for (int x = 0; x < image.width(); x += 7)
            colours.insert(image.pixel(x, y));
    }
    return colours.size() > 20;
}

TEST(SmokeRun, OnePictureOfEveryDeviceModelAndTheSummaryLine)
{
    QTemporaryDir folder;
    const auto run = runCheckProgram(folder, {"--smoke", "shots"});
    ASSERT_EQ(run.exitCode, 0) << run.standardError.constData();
    EXPECT_EQ(run.standardOutput, "GUI smoke: all model renders saved; no remapping enabled.\n");

    const QDir shots(folder.filePath("shots"));
    const QStringList expected{"generic-pc.png", "vorna-a1.png", "vorna-a2.png", "vorna-b1.png", "vorna-c1w.png",
        "vorna-c2.png", "vorna-d1g.png"};
    ASSERT_EQ(shots.entryList(QDir::Files, QDir::Name), expected);
    for (const QString& name : expected) {
        SCOPED_TRACE(name.toStdString());
        const QImage image(shots.filePath(name));
        EXPECT_EQ(image.size(), QSize(1380, 960));
        EXPECT_TRUE(looksRendered(image));
    }
}

TEST(ScreenshotRun, SavesTheWindowOrEndsWithFiveWhenItCannot)
{
    QTemporaryDir folder;
    const auto saved = runCheckProgram(folder, {"--screenshot", "window.png"});
    ASSERT_EQ(saved.exitCode, 0) << saved.standardError.constData();
    const QImage image(folder.filePath("window.png"));
    EXPECT_EQ(image.size(), QSize(1380, 960));
    EXPECT_TRUE(looksRendered(image));

    // No image format is named by the suffix, and no folder is created for the path.
    EXPECT_EQ(runCheckProgram(folder, {"--screenshot", "window.unknown"}).exitCode, 5);
    EXPECT_EQ(runCheckProgram(folder, {"--screenshot", "missing/window.png"}).exitCode, 5);
}

} // namespace
