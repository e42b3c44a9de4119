#include "core/agent_pipe_name.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <QCoreApplication>

namespace {

using vorna::test::ScopedEnv;

// Golden names: SHA-256 of "<XDG_DATA_HOME>/<organization>/<application>[/<instance>]/session-<id>".
class AgentPipeName : public testing::Test {
protected:
    AgentPipeName()
    {
        QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
        QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    }
    ScopedEnv home_{"HOME", QByteArray("/tmp/vorna-golden-home")};
    ScopedEnv data_{"XDG_DATA_HOME", QByteArray("/tmp/vorna-golden")};
    ScopedEnv session_{"VORNA_SESSION_ID", QByteArray("3")};
};

TEST_F(AgentPipeName, GoldenNameWithoutTestInstance)
{
    ScopedEnv instance("VORNA_TEST_INSTANCE", std::nullopt);
    EXPECT_EQ(vorna::core::agentPipeName(), "vorna-input-p0-27210b1ca5bb106f36718810");
}

TEST_F(AgentPipeName, ValidTestInstanceGivesItsOwnName)
{
    ScopedEnv instance("VORNA_TEST_INSTANCE", QByteArray("test-0123456789abcdef0123456789abcdef"));
    EXPECT_EQ(vorna::core::agentPipeName(), "vorna-input-p0-06cd3b5ddba99a2da6ba36ca");
}

TEST_F(AgentPipeName, SessionIsPartOfTheName)
{
    ScopedEnv instance("VORNA_TEST_INSTANCE", std::nullopt);
    ScopedEnv session("VORNA_SESSION_ID", std::nullopt); // default session 1
    EXPECT_EQ(vorna::core::agentPipeName(), "vorna-input-p0-4e53444fcda21e6caa2ef78d");
}

TEST_F(AgentPipeName, IllFormedTestInstanceIsIgnored)
{
    const char* illFormed[] = {
        "test-0123456789ABCDEF0123456789ABCDEF",
        "test-0123456789abcdef0123456789abcde",
        "test-{0123456789abcdef0123456789abcdef}",
        "test-01234567-89ab-cdef-0123-456789abcdef",
        "test-0123456789abcdef0123456789abcdef\n",
        "",
    };
    for (const char* value : illFormed) {
        ScopedEnv instance("VORNA_TEST_INSTANCE", QByteArray(value));
        EXPECT_EQ(vorna::core::agentPipeName(), "vorna-input-p0-27210b1ca5bb106f36718810") << value;
    }
}

} // namespace
