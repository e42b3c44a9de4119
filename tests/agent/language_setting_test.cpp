// The language the tray follows, changed in the store by another process: each change is seen
// at the next question, and nothing stored means Russian.
#include "agent/language_setting.h"
#include "tests/support/scoped_env.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// Writes the store as another process would: whole new contents and a later modification time,
// never through this process's settings objects.
void writeStore(const QString& path, const QByteArray& contents, int second)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(contents);
    file.close();
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.setFileTime(QDateTime::fromSecsSinceEpoch(1'700'000'000 + second), QFileDevice::FileModificationTime));
}

} // namespace

TEST(LanguageSetting, EachChangeOfTheStoreIsSeenAtTheNextQuestion)
{
    QTemporaryDir dir;
    vorna::test::ScopedEnv config("XDG_CONFIG_HOME", dir.path().toLocal8Bit());
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    const QString path = QSettings().fileName();
    ASSERT_TRUE(path.startsWith(dir.path()));

    vorna::ipc::LanguageSetting language;
    EXPECT_FALSE(language.english()); // nothing stored
    const struct {
        QByteArray contents;
        bool english;
    } steps[] = {
        {"[ui]\nlanguage=en\n", true},
        {"[ui]\nlanguage=ru\n", false}, // the same size: only the time tells
        {"[ui]\nlanguage=en\n", true},
        {"[ui]\nlanguage=de\n", false},
        {"[other]\nkey=1\n", false},
    };
    int second = 0;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.contents.toStdString());
        writeStore(path, step.contents, ++second);
        EXPECT_EQ(language.english(), step.english);
        EXPECT_EQ(language.english(), step.english); // and stays so while the store stays
    }
}
