// The device catalog as the controller loads it, and the mouse pictures beside the program:
// every model present, every picture the catalog's size, every marker on the mouse drawn there.

#include "app/app_controller.h"
#include "tests/support/settings_shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QImage>

namespace {

struct ExpectedModel {
    const char* id;
    const char* series;
    int width;
    int hotspots;
};

const ExpectedModel kModels[] = {
    {"vorna-a1", "A1", 655, 3},  {"vorna-a2", "A2", 625, 3},   {"vorna-b1", "B1", 616, 4},   {"vorna-c1w", "C1w", 654, 6},
    {"vorna-c2", "C2", 642, 6}, {"vorna-d1g", "D1G", 698, 6}, {"generic-pc", "PC", 690, 5},
};

QVariantMap hotspot(const QVariantMap& model, const QString& id)
{
    for (const QVariant& spot : model.value(QStringLiteral("hotspots")).toList()) {
        if (spot.toMap().value(QStringLiteral("id")).toString() == id)
            return spot.toMap();
    }
    return {};
}

class DeviceCatalog : public testing::Test {
protected:
    DeviceCatalog() { vorna::test::guiApplication(); }
    AppController m_controller{nullptr, false, {}};
    QVariantList m_models = m_controller.models();
};

TEST_F(DeviceCatalog, EveryModelLoadsInDisplayOrder)
{
    ASSERT_EQ(m_models.size(), std::size(kModels));
    for (qsizetype i = 0; i < m_models.size(); ++i) {
        const QVariantMap model = m_models.at(i).toMap();
        SCOPED_TRACE(kModels[i].id);
        EXPECT_EQ(model.value(QStringLiteral("id")).toString(), QLatin1String(kModels[i].id));
        EXPECT_EQ(model.value(QStringLiteral("series")).toString(), QLatin1String(kModels[i].series));
        EXPECT_EQ(model.value(QStringLiteral("width")).toInt(), kModels[i].width);
        EXPECT_EQ(model.value(QStringLiteral("height")).toInt(), 1200);
        EXPECT_EQ(model.value(QStringLiteral("image")).toString(),
                  QStringLiteral("assets/mice/normalized/%1.png").arg(QLatin1String(kModels[i].id)));
        EXPECT_EQ(model.value(QStringLiteral("hotspots")).toList().size(), kModels[i].hotspots);
        EXPECT_EQ(model.value(QStringLiteral("generic")).toBool(), i == m_models.size() - 1);
    }
}

TEST_F(DeviceCatalog, SampleHotspotsCarryTheirExactValues)
{
    const struct {
        int model;
        const char* id;
        const char* input; // empty: none
        double x;
        double y;
        const char* defaultInput;
    } samples[] = {
        {0, "left", "mouse_left", 0.2718, 0.1723, ""},
        {1, "middle", "mouse_middle", 0.5009, 0.2606, ""},
        {2, "center", "", 0.5013, 0.3769, ""},
        {3, "side_rear", "", 0.0511, 0.5552, "mouse_back"},
        {4, "dpi", "", 0.5096, 0.4337, ""},
        {5, "side_front", "", 0.1205, 0.3966, "mouse_forward"},
        {6, "right", "mouse_right", 0.6914, 0.2554, ""},
    };
    for (const auto& sample : samples) {
        SCOPED_TRACE(std::string(kModels[sample.model].id) + " " + sample.id);
        const QVariantMap spot = hotspot(m_models.at(sample.model).toMap(), QLatin1String(sample.id));
        EXPECT_EQ(spot.value(QStringLiteral("input")).toString(), QLatin1String(sample.input));
        EXPECT_EQ(spot.value(QStringLiteral("visualOnly")).toBool(), QLatin1String(sample.input).isEmpty());
        EXPECT_DOUBLE_EQ(spot.value(QStringLiteral("x")).toDouble(), sample.x);
        EXPECT_DOUBLE_EQ(spot.value(QStringLiteral("y")).toDouble(), sample.y);
        EXPECT_EQ(spot.value(QStringLiteral("defaultInput")).toString(), QLatin1String(sample.defaultInput));
    }
}

TEST_F(DeviceCatalog, EveryPictureHasTheCatalogSizeAndAButtonUnderEveryHotspot)
{
    const QDir programFolder(QCoreApplication::applicationDirPath());
    for (const QVariant& entry : m_models) {
        const QVariantMap model = entry.toMap();
        SCOPED_TRACE(model.value(QStringLiteral("id")).toString().toStdString());
        const QImage picture(programFolder.filePath(model.value(QStringLiteral("image")).toString()));
        ASSERT_FALSE(picture.isNull());
        EXPECT_EQ(picture.width(), model.value(QStringLiteral("width")).toInt());
        EXPECT_EQ(picture.height(), model.value(QStringLiteral("height")).toInt());
        for (const QVariant& spotEntry : model.value(QStringLiteral("hotspots")).toList()) {
            const QVariantMap spot = spotEntry.toMap();
            const double x = spot.value(QStringLiteral("x")).toDouble();
            const double y = spot.value(QStringLiteral("y")).toDouble();
            ASSERT_TRUE(x > 0.0 && x < 1.0 && y > 0.0 && y < 1.0) << spot.value(QStringLiteral("id")).toString().toStdString();
            // The marker lands on the drawn mouse, not on the clear background around it.
            EXPECT_EQ(qAlpha(picture.pixel(int(x * picture.width()), int(y * picture.height()))), 255)
                << spot.value(QStringLiteral("id")).toString().toStdString();
        }
    }
}

} // namespace
