// The executor's decisions on plain values: the worker's verdict and the start window.
#include "agent/actions/action_results.h"

#include <gtest/gtest.h>

namespace vorna::actions {
namespace {

TEST(ActionResults, WindowTextIsAnUnsignedDecimalOrNothing)
{
    EXPECT_EQ(parseWindowText(QStringLiteral("65554")), 65554u);
    for (const char* bad : {"", "0", " 12", "+12", "-12", "0x12", "12a", "99999999999999999999999"})
        EXPECT_EQ(parseWindowText(QString::fromLatin1(bad)), 0u) << bad;
}

TEST(ActionResults, AWorkerSucceedsOnlyWithExitZeroANormalExitAndOkTrue)
{
    const QByteArray ok = R"({"ok":true,"detail":"d","error":0})";
    EXPECT_EQ(judgeWorker(0, true, ok).result, kResultAccepted);
    EXPECT_EQ(judgeWorker(2, true, ok).result, kResultFailed);
    EXPECT_EQ(judgeWorker(0, false, ok).result, kResultFailed);
    EXPECT_EQ(judgeWorker(0, true, R"({"detail":"d"})").result, kResultFailed);
    const WorkerOutcome refused = judgeWorker(0, true, R"({"ok":false,"detail":"no","error":1155})");
    EXPECT_EQ(refused.result, kResultFailed);
    EXPECT_EQ(refused.detail, QStringLiteral("no"));
    EXPECT_EQ(refused.error, 1155);
    const WorkerOutcome garbage = judgeWorker(0, true, "[1,2]");
    EXPECT_EQ(garbage.detail, QString());
    EXPECT_EQ(garbage.error, 0);
}

TEST(ActionResults, StartWindowIsFixedAndCountsOnlyAdmittedStarts)
{
    StartWindow window{1000, 0};
    for (int i = 0; i < 4; ++i)
        EXPECT_TRUE(admitExternalStart(window, 1000 + i, 0));
    EXPECT_FALSE(admitExternalStart(window, 1999, 0));
    EXPECT_TRUE(admitExternalStart(window, 2000, 0)); // the window restarts here
    EXPECT_FALSE(admitExternalStart(window, 2001, 4)); // four running
    EXPECT_EQ(window.starts, 1);
    EXPECT_TRUE(admitExternalStart(window, 2002, 3));
}

} // namespace
} // namespace vorna::actions
