// The mouse page in the real settings window: every catalog model at the smallest and the default
// window size with its markers on the painted picture, choosing markers and chips, the model row,
// the missing-button note, the two dialogs, and a screenshot per model.

#include "tests/support/screenshot_folder.h"
#include "tests/support/settings_shell.h"

#include <QSignalSpy>
#include <QVariantMap>
#include <cmath>

namespace {

using vorna::test::SettingsShell;

struct WindowSize {
    int width;
    int height;
};
constexpr WindowSize kSizes[] = {{1000, 680}, {1380, 960}};

bool hiddenOnTheDiagram(const QString& hotspot)
{
    return hotspot == QLatin1String("dpi") || hotspot == QLatin1String("center");
}

// The rectangle the picture is painted in, in window coordinates.
QRectF paintedPicture(QQuickItem* image)
{
    const qreal width = image->property("paintedWidth").toReal();
    const qreal height = image->property("paintedHeight").toReal();
    const QPointF topLeft = image->mapToScene(QPointF((image->width() - width) / 2, (image->height() - height) / 2));
    return {topLeft, QSizeF(width, height)};
}

QPointF centreOf(QQuickItem* item)
{
    return item->mapToScene(QPointF(item->width() / 2, item->height() / 2));
}

class MousePage : public testing::Test {
protected:
    void showModel(int index)
    {
        m_shell.controller().setSelectedIndex(index);
        m_shell.settle();
    }
    QVariantMap model(int index) const { return m_shell.controller().models().at(index).toMap(); }
    QQuickItem* find(const QString& name) const { return m_shell.find<QQuickItem>(name); }

    SettingsShell m_shell;
};

TEST_F(MousePage, EveryMarkerSitsOnItsHotspotOfThePaintedPictureAtTheSmallestAndTheDefaultSize)
{
    ASSERT_NE(m_shell.window(), nullptr);
    const int models = int(m_shell.controller().models().size());
    ASSERT_EQ(models, 7);
    for (const WindowSize& size : kSizes) {
        m_shell.window()->resize(size.width, size.height);
        for (int index = 0; index < models; ++index) {
            showModel(index);
            const QVariantMap entry = model(index);
            SCOPED_TRACE(entry.value(QStringLiteral("id")).toString().toStdString() + " at " + std::to_string(size.width));
            auto* image = find(QStringLiteral("normalizedMouseImage"));
            ASSERT_NE(image, nullptr);
            ASSERT_EQ(image->property("status").toInt(), 1) << "the picture did not load";
            const QRectF painted = paintedPicture(image);
            ASSERT_GT(painted.width(), 100);
            // The painted picture keeps the catalog's proportions.
            EXPECT_NEAR(painted.width() / painted.height(),
                        entry.value(QStringLiteral("width")).toReal() / entry.value(QStringLiteral("height")).toReal(), 0.005);
            const QRectF card = find(QStringLiteral("inputDiagram"))->mapRectToScene(
                QRectF(0, 0, find(QStringLiteral("inputDiagram"))->width(), find(QStringLiteral("inputDiagram"))->height()));
            for (const QVariant& value : entry.value(QStringLiteral("hotspots")).toList()) {
                const QVariantMap hotspot = value.toMap();
                const QString id = hotspot.value(QStringLiteral("id")).toString();
                auto* marker = find(QStringLiteral("mouseMarker_") + id);
                if (hiddenOnTheDiagram(id)) {
                    EXPECT_EQ(marker, nullptr) << id.toStdString();
                    EXPECT_EQ(find(QStringLiteral("mouseLeader_") + id), nullptr) << id.toStdString();
                    continue;
                }
                ASSERT_NE(marker, nullptr) << id.toStdString();
                const QPointF expected(painted.left() + hotspot.value(QStringLiteral("x")).toReal() * painted.width(),
                                       painted.top() + hotspot.value(QStringLiteral("y")).toReal() * painted.height());
                const QPointF centre = centreOf(marker);
                EXPECT_LE(std::abs(centre.x() - expected.x()), 1.0) << id.toStdString();
                EXPECT_LE(std::abs(centre.y() - expected.y()), 1.0) << id.toStdString();
                EXPECT_TRUE(card.contains(centre)) << id.toStdString();
                auto* caption = find(QStringLiteral("mouseLeader_") + id);
                ASSERT_NE(caption, nullptr) << id.toStdString();
                EXPECT_TRUE(card.contains(caption->mapRectToScene(QRectF(0, 0, caption->width(), caption->height()))))
                    << id.toStdString() << " caption leaves the card";
            }
        }
    }
}

TEST_F(MousePage, TheModelRowShowsEveryModelTheUniversalOneLastAndWider)
{
    ASSERT_NE(m_shell.window(), nullptr);
    m_shell.controller().setLanguage(QStringLiteral("en"));
    m_shell.window()->resize(1000, 680);
    m_shell.settle();
    auto* row = find(QStringLiteral("modelSelector"));
    ASSERT_NE(row, nullptr);
    const QRectF rowRect = row->mapRectToScene(QRectF(0, 0, row->width(), row->height()));
    qreal makerWidth = 0;
    for (int index = 0; index < 7; ++index) {
        auto* card = find(QStringLiteral("modelOption_%1").arg(index));
        ASSERT_NE(card, nullptr) << index;
        const QRectF rect = card->mapRectToScene(QRectF(0, 0, card->width(), card->height()));
        EXPECT_TRUE(rowRect.adjusted(-0.5, -0.5, 0.5, 0.5).contains(rect)) << index << " leaves the row";
        EXPECT_NE(find(QStringLiteral("modelImage_%1").arg(index)), nullptr) << index;
        const QString label = find(QStringLiteral("modelLabel_%1").arg(index))->property("text").toString();
        if (index < 6) {
            makerWidth = rect.width();
            EXPECT_EQ(label, model(index).value(QStringLiteral("series")).toString());
        } else {
            EXPECT_NEAR(rect.width(), makerWidth * 1.5, 0.5);
            EXPECT_EQ(label, QStringLiteral("Any other PC mouse"));
        }
    }
    // The arrow keys move the focus along the row without choosing.
    const int before = m_shell.controller().selectedIndex();
    find(QStringLiteral("modelOption_4"))->forceActiveFocus(Qt::TabFocusReason);
    QTest::keyClick(m_shell.window(), Qt::Key_Right);
    m_shell.settle();
    EXPECT_TRUE(find(QStringLiteral("modelOption_5"))->hasActiveFocus());
    EXPECT_EQ(m_shell.controller().selectedIndex(), before);
    QTest::keyClick(m_shell.window(), Qt::Key_Return);
    m_shell.settle();
    EXPECT_EQ(m_shell.controller().selectedIndex(), 5);

    // Choosing a card changes the diagram only.
    m_shell.click(find(QStringLiteral("modelOption_0")));
    EXPECT_EQ(m_shell.controller().selectedIndex(), 0);
    EXPECT_EQ(m_shell.controller().library().value(QStringLiteral("modelId")).toString(), QStringLiteral("vorna-a1"));
    EXPECT_EQ(find(QStringLiteral("mouseMarker_side_rear")), nullptr);
}

TEST_F(MousePage, AClickOnAMarkerACaptionOrAChipChoosesThatInput)
{
    ASSERT_NE(m_shell.window(), nullptr);
    showModel(3); // side buttons and a DPI button
    auto* diagram = find(QStringLiteral("mouseDiagram"));
    ASSERT_NE(diagram, nullptr);
    QSignalSpy chosen(diagram, SIGNAL(chosen(QString, QString)));
    const struct {
        const char* item;
        const char* input;
    } clicks[] = {
        {"mouseMarker_left", "mouse_left"},   {"mouseMarker_right", "mouse_right"}, {"mouseMarker_middle", "mouse_middle"},
        {"mouseLeader_right", "mouse_right"}, {"wheelChip_wheel_up", "wheel_up"},   {"wheelChip_wheel_right", "wheel_right"},
    };
    for (const auto& click : clicks) {
        auto* item = find(QLatin1String(click.item));
        ASSERT_NE(item, nullptr) << click.item;
        chosen.clear();
        m_shell.click(item);
        ASSERT_EQ(chosen.size(), 1) << click.item;
        EXPECT_EQ(chosen.at(0).at(1).toString(), QLatin1String(click.input)) << click.item;
        EXPECT_EQ(m_shell.controller().sourceId(), QLatin1String(click.input)) << click.item;
    }
    // A right click on a fixed marker chooses it too; on a side marker it opens the marker menu.
    chosen.clear();
    const QPointF left = centreOf(find(QStringLiteral("mouseMarker_left")));
    QTest::mouseClick(m_shell.window(), Qt::RightButton, Qt::NoModifier, left.toPoint());
    m_shell.settle();
    ASSERT_EQ(chosen.size(), 1);
    EXPECT_EQ(chosen.at(0).at(1).toString(), QStringLiteral("mouse_left"));
    chosen.clear();
    const QPointF side = centreOf(find(QStringLiteral("mouseMarker_side_rear")));
    QTest::mouseClick(m_shell.window(), Qt::RightButton, Qt::NoModifier, side.toPoint());
    m_shell.settle();
    EXPECT_EQ(chosen.size(), 0);
    const QImage withMenu = m_shell.grab();
    ASSERT_FALSE(withMenu.isNull());
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    withMenu.save(folder + QStringLiteral("/mouse-page-marker-menu.png"));
    auto* rebind = find(QStringLiteral("markerRebind_side_rear"));
    ASSERT_NE(rebind, nullptr);
    EXPECT_FALSE(rebind->isEnabled()) << "calibration needs a connected engine";
    QTest::keyClick(m_shell.window(), Qt::Key_Escape);
    m_shell.settle();

    // From the keyboard: Space or Enter on a focused marker chooses it.
    for (const int key : {int(Qt::Key_Space), int(Qt::Key_Return)}) {
        chosen.clear();
        find(QStringLiteral("mouseMarker_right"))->forceActiveFocus(Qt::TabFocusReason);
        QTest::keyClick(m_shell.window(), Qt::Key(key));
        m_shell.settle();
        ASSERT_EQ(chosen.size(), 1) << key;
        EXPECT_EQ(chosen.at(0).at(1).toString(), QStringLiteral("mouse_right"));
    }
}

TEST_F(MousePage, TheMissingButtonNoteNamesAButtonThisMouseLacksAndNeverAWheel)
{
    ASSERT_NE(m_shell.window(), nullptr);
    m_shell.controller().setLanguage(QStringLiteral("en"));
    showModel(0); // three buttons only
    m_shell.controller().setSourceId(QStringLiteral("mouse_back"));
    m_shell.settle();
    auto* note = find(QStringLiteral("missingMouseButton"));
    ASSERT_NE(note, nullptr);
    EXPECT_TRUE(note->isVisible());
    EXPECT_EQ(note->property("text").toString(),
              QStringLiteral("This mouse has no button named “%1”").arg(m_shell.controller().describeInput(QStringLiteral("mouse_back"))));
    for (const char* present : {"wheel_left", "mouse_middle"}) {
        m_shell.controller().setSourceId(QLatin1String(present));
        m_shell.settle();
        EXPECT_FALSE(note->isVisible()) << present;
    }
}

TEST_F(MousePage, TheHelpAndConfirmationDialogsShowTheirTexts)
{
    ASSERT_NE(m_shell.window(), nullptr);
    m_shell.controller().setLanguage(QStringLiteral("en"));
    m_shell.settle();
    QObject* capabilities = m_shell.window()->property("mouseCapabilitiesObject").value<QObject*>();
    ASSERT_NE(capabilities, nullptr);
    QMetaObject::invokeMethod(capabilities, "open");
    m_shell.settle();
    EXPECT_TRUE(capabilities->property("visible").toBool());
    auto* status = find(QStringLiteral("mouseCapabilitiesStatus"));
    ASSERT_NE(status, nullptr);
    // No agent here: the status line says why presses cannot be checked.
    EXPECT_EQ(status->property("text").toString(), m_shell.controller().engineIssue());
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    m_shell.grab().save(folder + QStringLiteral("/mouse-capabilities-en.png"));
    m_shell.click(find(QStringLiteral("mouseCapabilitiesClose")));
    EXPECT_FALSE(capabilities->property("visible").toBool());

    QObject* confirm = m_shell.find(QStringLiteral("bindingConfirm"));
    ASSERT_NE(confirm, nullptr);
    m_shell.window()->setProperty("demoInput", true);
    confirm->setProperty("previewInput", QStringLiteral("mouse_back"));
    QMetaObject::invokeMethod(confirm, "open");
    m_shell.settle();
    EXPECT_EQ(find(QStringLiteral("bindingConfirmDetected"))->property("text").toString(),
              QStringLiteral("Detected: ") + m_shell.controller().describeInput(QStringLiteral("mouse_back")));
    m_shell.grab().save(folder + QStringLiteral("/binding-confirm-en.png"));
    m_shell.click(find(QStringLiteral("bindingConfirmCancel")));
    EXPECT_FALSE(m_shell.controller().captureMode());
    QMetaObject::invokeMethod(confirm, "close");
    m_shell.settle();
}

TEST_F(MousePage, AScreenshotOfEveryModel)
{
    ASSERT_NE(m_shell.window(), nullptr);
    for (int index = 0; index < 7; ++index) {
        showModel(index);
        m_shell.saveScreenshotsInBothLanguages(QStringLiteral("mouse-page-") + model(index).value(QStringLiteral("id")).toString());
    }
    m_shell.window()->resize(1000, 680);
    showModel(3);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("mouse-page-smallest"));
    // High contrast replaces the graphite palette with black, white and the contrast accent.
    m_shell.controller().setTheme(QStringLiteral("contrast"));
    m_shell.window()->resize(1380, 960);
    m_shell.saveScreenshotsInBothLanguages(QStringLiteral("mouse-page-contrast"));
}

} // namespace
