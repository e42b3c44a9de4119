#include "app/branding.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

namespace {

struct BrandingCase {
    const char* name;
    const char* content; // nullptr: the file does not exist
    const char* displayName;
    const char* organization;
    const char* version;
};

class BrandingTable : public testing::TestWithParam<BrandingCase> {};

TEST_P(BrandingTable, MissingOrMistypedMembersKeepDefaults)
{
    const BrandingCase& c = GetParam();
    QCoreApplication::setApplicationName("stale");
    QCoreApplication::setOrganizationName("stale");
    QCoreApplication::setApplicationVersion("stale");
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath("branding.json");
    if (c.content != nullptr) {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.content);
    }
    app::loadBrandingFrom(path);
    EXPECT_EQ(QCoreApplication::applicationName(), c.displayName);
    EXPECT_EQ(QCoreApplication::organizationName(), c.organization);
    EXPECT_EQ(QCoreApplication::applicationVersion(), c.version);
}

INSTANTIATE_TEST_SUITE_P(Files, BrandingTable, testing::Values(
    BrandingCase{"missing", nullptr, "Vorna Input Trellan", "Vorna Skelde", "0.6.0-rc.1"},
    BrandingCase{"notJson", "{\"displayName\":", "Vorna Input Trellan", "Vorna Skelde", "0.6.0-rc.1"},
    BrandingCase{"array", "[\"x\"]", "Vorna Input Trellan", "Vorna Skelde", "0.6.0-rc.1"},
    BrandingCase{"mistyped", "{\"displayName\":5,\"organization\":null,\"version\":[1]}",
                 "Vorna Input Trellan", "Vorna Skelde", "0.6.0-rc.1"},
    BrandingCase{"partial", "{\"displayName\":\"X\",\"version\":\"9\"}", "X", "Vorna Skelde", "9"}),
    [](const testing::TestParamInfo<BrandingCase>& info) { return info.param.name; });

TEST(Branding, ShippedResourceGivesTheNamesEveryProgramSets)
{
    app::loadBranding();
    // vornactl and the pipe name rely on these exact names.
    EXPECT_EQ(QCoreApplication::applicationName(), "Vorna Input Trellan");
    EXPECT_EQ(QCoreApplication::organizationName(), "Vorna Skelde");
    EXPECT_EQ(QCoreApplication::applicationVersion(), "0.6.0-rc.1");
}

TEST(Branding, UnreadableResourceKeepsDefaults)
{
    QTemporaryDir dir; // a directory opens as no file
    app::loadBrandingFrom(dir.path());
    EXPECT_EQ(QCoreApplication::applicationName(), "Vorna Input Trellan");
}

} // namespace
