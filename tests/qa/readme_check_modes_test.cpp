// The README's table of check modes names the files the modes write: the names come from the
// modes' own constants, so a renamed report cannot leave the table behind.

#include "qa/layout_trace.h"
#include "qa/mouse_matrix.h"
#include "qa/observation_benchmark.h"
#include "qa/page_matrix.h"
#include "qa/verify_session.h"

#include <gtest/gtest.h>

#include <QFile>
#include <QString>

namespace {

TEST(ReadmeCheckModes, TheTableNamesEveryModeAndTheFilesItWrites)
{
    QFile readme(qEnvironmentVariable("VORNA_SOURCE_DIR") + QStringLiteral("/README.md"));
    ASSERT_TRUE(readme.open(QIODevice::ReadOnly)) << readme.fileName().toStdString();
    const QString text = QString::fromUtf8(readme.readAll());
    const QString table = text.mid(text.indexOf(QStringLiteral("| mode | exit codes | files written |")));
    ASSERT_FALSE(table.isEmpty());
    for (const char* name : {"`--smoke [FOLDER]`", "`--screenshot FILE`", "`--ui-verify [FOLDER]`",
             "`--observation-benchmark [FILE]`", "`--qa-session`", qa::kPageReportName, qa::kMouseReportName,
             qa::kDefaultReportName, qa::kLayoutTraceFile, qa::kDefaultVerifyFolder})
        EXPECT_TRUE(table.contains(QString::fromUtf8(name))) << name;
}

} // namespace
