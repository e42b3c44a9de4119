#include "core/legacy_profile.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

namespace {

using vorna::core::validateLegacyProfile;
using vorna::test::ScopedEnv;

QJsonObject legacy()
{
    return QJsonObject{{"schemaVersion", 1}, {"modelId", "vorna-b1"}, {"source", "mouse_back"}, {"target", "key_27"}};
}

QJsonObject with(const char* key, const QJsonValue& value)
{
    QJsonObject object = legacy();
    object[key] = value;
    return object;
}

TEST(LegacyProfile, EachFailureTextInCheckOrder)
{
    QJsonObject renamed = legacy();
    renamed.remove("target");
    renamed["Target"] = "key_27";
    QJsonObject missingTarget = legacy();
    missingTarget.remove("target");

    struct Case {
        const char* what;
        QJsonObject object;
        const char* error; // nullptr: valid
    } const cases[] = {
        {"valid", legacy(), nullptr},
        {"every model", with("modelId", "generic-pc"), nullptr},
        {"version as 1.0", with("schemaVersion", 1.0), nullptr},
        {"a fifth key", with("extra", 1), "Unexpected profile fields"},
        {"three keys", missingTarget, "Unexpected profile fields"},
        {"a key in other case", renamed, "Unexpected profile field"},
        {"version 2", with("schemaVersion", 2), "Unsupported profile version or model"},
        {"version as a string", with("schemaVersion", "1"), "Unsupported profile version or model"},
        {"model in capitals", with("modelId", "VORNA-B1"), "Unsupported profile version or model"},
        {"source a number", with("source", 4), "Missing mapping"},
        {"target null", with("target", QJsonValue()), "Missing mapping"},
        {"unknown source", with("source", "mouse_x1"), "Unknown input"},
        {"target outside the grammar", with("target", "sideways"), "Unknown output"},
        {"mapping refused by the compiler", with("target", "layer:timed:3:70000"), "Invalid mapping"},
    };
    for (const Case& c : cases) {
        QString error;
        EXPECT_EQ(validateLegacyProfile(c.object, error), c.error == nullptr) << c.what;
        if (c.error) {
            EXPECT_EQ(error.toStdString(), c.error) << c.what;
        }
    }
}

TEST(LegacyProfile, PathIgnoresTheTestFolder)
{
    ScopedEnv home("HOME", QByteArray("/tmp/vorna-legacy-home"));
    ScopedEnv dataHome("XDG_DATA_HOME", QByteArray("/tmp/vorna-legacy-home/share"));
    ScopedEnv instance("VORNA_TEST_INSTANCE", QByteArray("test-0123456789abcdef0123456789abcdef"));
    ScopedEnv data("VORNA_TEST_DATA", QByteArray("/tmp/vorna-legacy-data"));
    EXPECT_EQ(vorna::core::legacyProfilePath(),
              QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + "/profile-p0.json");
    EXPECT_TRUE(vorna::core::legacyProfilePath().startsWith("/tmp/vorna-legacy-home/share/"));
}

} // namespace
