#include "core/atomic_write.h"
#include "core/library_document.h"
#include "core/library_files.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"
#include "tests/support/file_faults.h"
#include "tests/support/qt_printers.h"
#include "tests/support/scoped_env.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QStandardPaths>
#include <QTemporaryDir>

namespace {

using namespace vorna::core;
using vorna::test::compact;
using vorna::test::edited;
using vorna::test::FileSizeLimit;
using vorna::test::libraryWithNumberedRules;
using vorna::test::rule;
using vorna::test::ScopedEnv;
using vorna::test::SmallDisk;
using vorna::test::withRules;
using vorna::test::WithoutFileAccessOverride;

const QByteArray kInstance = "test-0123456789abcdef0123456789abcdef";

// Bytes this thread has read through system calls so far; -1 where the system does not say.
qint64 bytesReadByThisThread()
{
    QFile io(QStringLiteral("/proc/thread-self/io"));
    if (!io.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : io.readAll().split('\n')) {
        if (line.startsWith("rchar: "))
            return line.mid(7).toLongLong();
    }
    return -1;
}

// Every test runs in its own temporary folder with an isolated home, so nothing can reach the
// real user's files.
class LibraryFiles : public testing::Test {
protected:
    QString path(const QString& name) const { return root_.filePath(name); }
    QString file() const { return path(QStringLiteral("data/profiles-v3.json")); }

    static QByteArray read(const QString& name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<missing>");
    }
    static void write(const QString& name, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(name).absolutePath());
        QFile f(name);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(f.write(bytes), bytes.size());
    }
    // Everything in a folder, so that a temporary file left behind shows.
    static QStringList entries(const QString& folder)
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    }

    QTemporaryDir root_;
    ScopedEnv home_{"HOME", root_.filePath(QStringLiteral("home")).toUtf8()};
    ScopedEnv dataHome_{"XDG_DATA_HOME", root_.filePath(QStringLiteral("home/share")).toUtf8()};
    ScopedEnv configHome_{"XDG_CONFIG_HOME", root_.filePath(QStringLiteral("home/config")).toUtf8()};
    ScopedEnv instance_{"VORNA_TEST_INSTANCE", kInstance};
    ScopedEnv testData_{"VORNA_TEST_DATA", root_.filePath(QStringLiteral("data")).toUtf8()};

    const QJsonObject first_ = defaultLibrary();
    const QJsonObject second_ = withRules(defaultLibrary(), 0, 0, {rule("mouse_back", "key_27")});
    const QJsonObject third_ = withRules(defaultLibrary(), 0, 1, {rule("key_65", "blocked")});
};

TEST_F(LibraryFiles, PathUsesTheTestFolderOnlyForAValidInstanceAndAnAbsoluteFolder)
{
    ASSERT_TRUE(QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation).startsWith(root_.path()));
    const QString appData =
        QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QStringLiteral("/profiles-v3.json");
    const QByteArray absolute = root_.filePath(QStringLiteral("data")).toUtf8();
    struct Case {
        QByteArray instance;
        std::optional<QByteArray> data;
        QString expected;
    } const cases[] = {
        {kInstance, absolute, file()},
        {kInstance, absolute + "/", file()},
        {"test-0123456789ABCDEF0123456789ABCDEF", absolute, appData},
        {"test-0123456789abcdef0123456789abcde", absolute, appData},
        {"test-0123456789abcdef0123456789abcdef0", absolute, appData},
        {kInstance + "\n", absolute, appData},
        {kInstance, QByteArray("relative/data"), appData},
        {kInstance, QByteArray(""), appData},
        {kInstance, std::nullopt, appData},
    };
    for (const Case& c : cases) {
        ScopedEnv instance("VORNA_TEST_INSTANCE", c.instance);
        ScopedEnv data("VORNA_TEST_DATA", c.data);
        EXPECT_EQ(QDir::cleanPath(libraryPath()).toStdString(), QDir::cleanPath(c.expected).toStdString())
            << c.instance.toStdString() << " " << c.data.value_or("<unset>").toStdString();
    }
}

TEST_F(LibraryFiles, DefaultsAreAValidLibrary)
{
    QString error = "stale";
    EXPECT_TRUE(validateLibrary(defaultLibrary(), error)) << error.toStdString();
    EXPECT_TRUE(error.isEmpty());
    EXPECT_EQ(compact(defaultProfile("Name", "id_1")).toStdString(),
              R"({"application":"","id":"id_1","layers":[{"name":"Основной","rules":[]},{"name":"Слой 2","rules":[]},)"
              R"({"name":"Слой 3","rules":[]},{"name":"Слой 4","rules":[]},{"name":"Слой 5","rules":[]},)"
              R"({"name":"Слой 6","rules":[]},{"name":"Слой 7","rules":[]},{"name":"Слой 8","rules":[]},)"
              R"({"name":"Слой 9","rules":[]},{"name":"Слой 10","rules":[]}],"name":"Name","priority":0})");
    EXPECT_EQ(defaultLibrary().keys(), QStringList({"actions", "automatic", "macros", "modelId", "profiles",
                                                     "schemaVersion", "selectedLayer", "selectedProfile"}));
    EXPECT_EQ(defaultLibrary()["profiles"][0]["name"], "Глобальный");
    EXPECT_EQ(defaultLibrary()["modelId"], "vorna-b1");
}

TEST_F(LibraryFiles, SavesKeepThePreviousFileAsBackup)
{
    QString error;
    ASSERT_TRUE(saveLibrary(file(), first_, error)) << error.toStdString();
    EXPECT_EQ(read(file()), compact(first_));
    EXPECT_FALSE(QFileInfo::exists(file() + ".bak"));

    ASSERT_TRUE(saveLibrary(file(), second_, error)) << error.toStdString();
    EXPECT_EQ(read(file()), compact(second_));
    EXPECT_EQ(read(file() + ".bak"), compact(first_));

    QJsonObject loaded;
    ASSERT_TRUE(loadLibrary(file(), loaded, error));
    EXPECT_EQ(loaded, second_);
}

TEST_F(LibraryFiles, BackupKeepsTheExactBytesOfThePreviousFile)
{
    // Written by hand, with whitespace and in schema 2: the copy is byte for byte.
    QJsonObject schema2 = defaultLibrary();
    schema2["schemaVersion"] = 2;
    schema2.remove("actions");
    const QByteArray previous = QJsonDocument(schema2).toJson(QJsonDocument::Indented);
    write(file(), previous);
    QString error;
    ASSERT_TRUE(saveLibrary(file(), second_, error)) << error.toStdString();
    EXPECT_EQ(read(file() + ".bak"), previous);
}

TEST_F(LibraryFiles, RestorePutsTheBackupBackAndPreservesTheCurrentFile)
{
    QString error;
    ASSERT_TRUE(saveLibrary(file(), first_, error));
    ASSERT_TRUE(saveLibrary(file(), second_, error));
    const QByteArray before = read(file());

    QJsonObject restored;
    QString setAside = "stale";
    ASSERT_TRUE(restoreLibraryBackup(file(), restored, setAside, error)) << error.toStdString();
    EXPECT_EQ(restored, first_);
    EXPECT_TRUE(setAside.isEmpty());
    EXPECT_EQ(read(file()), compact(first_));
    EXPECT_EQ(read(file() + ".before-restore"), before);
    EXPECT_EQ(read(file() + ".bak"), compact(first_));

    // The ".bak" now holds what is in force: a second restore changes nothing, so the version
    // kept in ".before-restore" survives.
    QJsonObject again;
    ASSERT_TRUE(restoreLibraryBackup(file(), again, setAside, error)) << error.toStdString();
    EXPECT_EQ(again, first_);
    EXPECT_EQ(read(file()), compact(first_));
    EXPECT_EQ(read(file() + ".before-restore"), before);
}

TEST_F(LibraryFiles, RestoreWithoutBackupChangesNothing)
{
    QString error;
    ASSERT_TRUE(saveLibrary(file(), first_, error));
    QJsonObject restored{{"untouched", true}};
    QString setAside;
    EXPECT_FALSE(restoreLibraryBackup(file(), restored, setAside, error));
    EXPECT_EQ(error.toStdString(), "Cannot read library or file too large");
    EXPECT_EQ(restored, QJsonObject({{"untouched", true}}));
    EXPECT_EQ(read(file()), compact(first_));
    EXPECT_FALSE(QFileInfo::exists(file() + ".before-restore"));
}

TEST_F(LibraryFiles, RestoreWithoutCurrentFileWritesNoPreservedCopy)
{
    write(file() + ".bak", compact(second_));
    QJsonObject restored;
    QString setAside;
    QString error;
    ASSERT_TRUE(restoreLibraryBackup(file(), restored, setAside, error)) << error.toStdString();
    EXPECT_EQ(restored, second_);
    EXPECT_EQ(read(file()), compact(second_));
    EXPECT_FALSE(QFileInfo::exists(file() + ".before-restore"));
    EXPECT_TRUE(setAside.isEmpty());
}

// A current file that does not load may not even be readable: it is moved aside whole, under a
// name no other file has, and the backup takes its place.
TEST_F(LibraryFiles, RestoreMovesADamagedLibraryAsideAndBringsTheBackupBack)
{
    const QDateTime now(QDate(2024, 1, 5), QTime(9, 30, 0));
    QByteArray oversized = compact(first_);
    oversized.append(QByteArray(kMaxLibraryFileBytes + 1 - oversized.size(), ' '));
    enum class Damage { Bytes, Folder, Unreadable };
    struct Case {
        const char* what;
        Damage damage;
        QByteArray bytes;
    } const cases[] = {
        {"invalid JSON", Damage::Bytes, "{broken"},
        {"one byte over the limit", Damage::Bytes, oversized},
        {"a library that fails the check", Damage::Bytes, compact(edited(first_, {"modelId"}, "other"))},
        {"a folder", Damage::Folder, ""},
        {"a file this user may not read", Damage::Unreadable, compact(first_)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString folder = path(QString::fromLatin1(c.what));
        const QString library = folder + "/profiles-v3.json";
        write(library + ".bak", compact(second_));
        if (c.damage == Damage::Folder)
            write(library + "/inside.txt", "kept");
        else
            write(library, c.bytes);
        if (c.damage == Damage::Unreadable)
            ASSERT_TRUE(QFile::setPermissions(library, QFileDevice::Permissions()));

        QJsonObject restored;
        QString setAside;
        QString error;
        {
            WithoutFileAccessOverride asAnyUser;
            ASSERT_TRUE(asAnyUser.dropped());
            if (c.damage == Damage::Unreadable)
                ASSERT_FALSE(QFile(library).open(QIODevice::ReadOnly));
            ASSERT_TRUE(restoreLibraryBackup(library, restored, setAside, error, now)) << error.toStdString();
        }
        EXPECT_EQ(restored, second_);
        EXPECT_EQ(setAside, library + ".damaged-20240105-093000");
        EXPECT_EQ(read(library), compact(second_));
        EXPECT_EQ(read(library + ".bak"), compact(second_));
        EXPECT_FALSE(QFileInfo::exists(library + ".before-restore"));
        if (c.damage == Damage::Folder)
            EXPECT_EQ(read(setAside + "/inside.txt"), "kept");
        else
            EXPECT_EQ(read(setAside), c.bytes);
        EXPECT_EQ(entries(folder).size(), 3);
    }
}

TEST_F(LibraryFiles, ADamagedLibraryIsNeverMovedOntoAnEarlierOne)
{
    const QDateTime now(QDate(2024, 1, 5), QTime(9, 30, 0));
    EXPECT_EQ(setAsideName(file(), now, 1), file() + ".damaged-20240105-093000");
    EXPECT_EQ(setAsideName(file(), now, 2), file() + ".damaged-20240105-093000-2");
    write(setAsideName(file(), now, 1), "first");
    write(setAsideName(file(), now, 2), "second");
    write(file(), "third");
    write(file() + ".bak", compact(second_));
    QJsonObject restored;
    QString setAside;
    QString error;
    ASSERT_TRUE(restoreLibraryBackup(file(), restored, setAside, error, now)) << error.toStdString();
    EXPECT_EQ(setAside, file() + ".damaged-20240105-093000-3");
    EXPECT_EQ(read(setAsideName(file(), now, 1)), "first");
    EXPECT_EQ(read(setAsideName(file(), now, 2)), "second");
    EXPECT_EQ(read(setAside), "third");
}

// A current file that does not load may be the user's data in a form we cannot read: a save
// never overwrites it, and no ".bak" is made of it.
TEST_F(LibraryFiles, SaveLeavesAnUnreadableCurrentFileAlone)
{
    QByteArray oversized = compact(first_);
    oversized.append(QByteArray(kMaxLibraryFileBytes + 1 - oversized.size(), ' '));
    struct Case {
        const char* what;
        QByteArray bytes;
        const char* error;
    } const cases[] = {
        {"broken JSON", "{\"schemaVersion\":3,", "Invalid library JSON"},
        {"an array", "[]", "Invalid library JSON"},
        {"one byte over the limit", oversized, "Cannot read library or file too large"},
        {"a library that fails the check", compact(edited(first_, {"modelId"}, "other")), "Invalid library settings"},
    };
    for (const Case& c : cases) {
        write(file(), c.bytes);
        write(file() + ".bak", "previous backup");
        QString error;
        EXPECT_FALSE(saveLibrary(file(), second_, error)) << c.what;
        EXPECT_EQ(error.toStdString(), c.error) << c.what;
        EXPECT_EQ(read(file()), c.bytes) << c.what;
        EXPECT_EQ(read(file() + ".bak"), "previous backup") << c.what;
    }
}

TEST_F(LibraryFiles, InvalidLibraryIsNeverWritten)
{
    QString error;
    EXPECT_FALSE(saveLibrary(file(), edited(first_, {"selectedLayer"}, 10), error));
    EXPECT_EQ(error.toStdString(), "Invalid selection");
    EXPECT_FALSE(QFileInfo::exists(QFileInfo(file()).absolutePath()));
}

TEST_F(LibraryFiles, FailedSavesLeaveFileAndBackupAsTheyWere)
{
    // Tests run as root, so failures are forced by the file system's shape, not by permissions.
    write(path("plain"), "a regular file");
    QString error;
    EXPECT_FALSE(saveLibrary(path("plain/sub/profiles-v3.json"), first_, error));
    EXPECT_EQ(error.toStdString(), "Cannot create settings folder");

    // The ".bak" cannot be written (a folder stands in its place): the library file stays.
    ASSERT_TRUE(saveLibrary(file(), first_, error));
    QDir().mkpath(file() + ".bak");
    error.clear();
    EXPECT_FALSE(saveLibrary(file(), second_, error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read(file()), compact(first_));
    EXPECT_TRUE(QFileInfo(file() + ".bak").isDir());
}

TEST_F(LibraryFiles, AtomicWriteFailureKeepsTheOldFile)
{
    write(path("plain"), "a regular file");
    QString error;
    EXPECT_FALSE(writeFileAtomically(path("plain/x.json"), "new", error));
    EXPECT_FALSE(error.isEmpty());
    EXPECT_EQ(read(path("plain")), "a regular file");

    ASSERT_TRUE(writeFileAtomically(path("target"), "old", error));
    ASSERT_TRUE(writeFileAtomically(path("target"), "new", error));
    EXPECT_EQ(read(path("target")), "new");
    EXPECT_EQ(QDir(root_.path()).entryList(QDir::Files), QStringList({"plain", "target"})); // no temporary left
}

// A write refused part way, whatever the cause: the old file stays, nothing is left beside it,
// and the error names the file and the system's reason.
void expectWriteRefused(const QString& target, const QByteArray& bytes, const QString& reason)
{
    const QStringList before = QDir(QFileInfo(target).absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    QFile file(target);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray old = file.readAll();
    file.close();
    QString error;
    EXPECT_FALSE(writeFileAtomically(target, bytes, error));
    EXPECT_EQ(error, QStringLiteral("Cannot write %1: %2").arg(target, reason));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.readAll(), old);
    EXPECT_EQ(QDir(QFileInfo(target).absolutePath()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), before);
}

TEST_F(LibraryFiles, AtomicWriteOnAFullDiskKeepsTheOldFile)
{
    SmallDisk disk(path("disk"));
    if (!disk.mounted())
        GTEST_SKIP() << disk.problem().toStdString();
    const QString target = path("disk/target.json");
    write(target, "old");
    const QByteArray next(3 * SmallDisk::kPage - 100, 'n');
    // Nothing free, and room that runs out after the first and after the second page.
    for (const qint64 free : {qint64(0), SmallDisk::kPage, 2 * SmallDisk::kPage}) {
        SCOPED_TRACE(free);
        ASSERT_TRUE(disk.leaveFree(free));
        expectWriteRefused(target, next, "No space left on device");
    }
    ASSERT_TRUE(disk.leaveFree(3 * SmallDisk::kPage));
    QString error;
    ASSERT_TRUE(writeFileAtomically(target, next, error)) << error.toStdString();
    EXPECT_EQ(read(target), next);
}

TEST_F(LibraryFiles, AtomicWriteCutShortKeepsTheOldFile)
{
    const QString target = path("target.json");
    write(target, "old");
    const QByteArray next(10000, 'n');
    for (const qint64 limit : {0, 4096, 9999}) {
        SCOPED_TRACE(limit);
        FileSizeLimit fileSize(limit);
        ASSERT_TRUE(fileSize.set());
        expectWriteRefused(target, next, "File too large");
    }
}

// A save writes two files, the new library and the ".bak" of the old one; whichever is refused,
// neither file changes.
TEST_F(LibraryFiles, ASaveCutShortLeavesTheLibraryAndItsBackupAsTheyWere)
{
    const QJsonObject forty = libraryWithNumberedRules(40);
    const QJsonObject two = libraryWithNumberedRules(2);
    ASSERT_GT(compact(forty).size(), 4096);
    ASSERT_LT(compact(two).size(), 4096);
    struct Case {
        const char* what;
        QJsonObject next;
        const char* refused; // the file named in the error
    } const cases[] = {
        {"the new library does not fit", libraryWithNumberedRules(50), ""},
        {"the copy of the old one for the backup does not fit", libraryWithNumberedRules(1), ".bak"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        write(file(), compact(forty));
        write(file() + ".bak", compact(two));
        const QStringList before = entries(path("data"));
        QString error;
        {
            FileSizeLimit fileSize(4096);
            ASSERT_TRUE(fileSize.set());
            EXPECT_FALSE(saveLibrary(file(), c.next, error));
        }
        EXPECT_EQ(error, QStringLiteral("Cannot write %1%2: File too large").arg(file(), QLatin1String(c.refused)));
        EXPECT_EQ(read(file()), compact(forty));
        EXPECT_EQ(read(file() + ".bak"), compact(two));
        EXPECT_EQ(entries(path("data")), before);
    }
}

// A restore writes the backup in place and keeps the current file; on a disk that refuses
// either, every file is as it was, a damaged library moved aside included.
TEST_F(LibraryFiles, ARestoreCutShortLeavesEveryFileAsItWas)
{
    const QByteArray forty = compact(libraryWithNumberedRules(40));
    const QByteArray fifty = compact(libraryWithNumberedRules(50));
    const QByteArray two = compact(libraryWithNumberedRules(2));
    struct Case {
        const char* what;
        QByteArray current; // empty: a folder
        QByteArray backup;
        const char* refused;
    } const cases[] = {
        {"the backup does not fit in place", forty, fifty, ""},
        {"the current library does not fit in its keeping copy", forty, two, ".before-restore"},
        {"a damaged library goes back when the backup does not fit", "", fifty, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        QDir(path("data")).removeRecursively();
        if (c.current.isEmpty())
            write(file() + "/inside.txt", "kept");
        else
            write(file(), c.current);
        write(file() + ".bak", c.backup);
        write(file() + ".before-restore", "kept before");
        const QStringList before = entries(path("data"));
        QJsonObject restored{{"untouched", true}};
        QString setAside;
        QString error;
        {
            FileSizeLimit fileSize(4096);
            ASSERT_TRUE(fileSize.set());
            EXPECT_FALSE(restoreLibraryBackup(file(), restored, setAside, error));
        }
        EXPECT_EQ(error, QStringLiteral("Cannot write %1%2: File too large").arg(file(), QLatin1String(c.refused)));
        EXPECT_EQ(restored, QJsonObject({{"untouched", true}}));
        EXPECT_TRUE(setAside.isEmpty());
        EXPECT_EQ(entries(path("data")), before);
        EXPECT_EQ(c.current.isEmpty() ? read(file() + "/inside.txt") : read(file()), c.current.isEmpty() ? "kept" : c.current);
        EXPECT_EQ(read(file() + ".bak"), c.backup);
        EXPECT_EQ(read(file() + ".before-restore"), "kept before");
    }
}

TEST_F(LibraryFiles, ReadLimitIsExactlyTheFileLimit)
{
    QByteArray atLimit = compact(first_);
    atLimit.append(QByteArray(kMaxLibraryFileBytes - atLimit.size(), ' '));
    write(file(), atLimit);
    QJsonObject loaded;
    QString error;
    EXPECT_TRUE(loadLibrary(file(), loaded, error)) << error.toStdString();
    EXPECT_EQ(loaded, first_);

    write(file(), atLimit + " ");
    QJsonObject untouched{{"untouched", true}};
    EXPECT_FALSE(loadLibrary(file(), untouched, error));
    EXPECT_EQ(error.toStdString(), "Cannot read library or file too large");
    EXPECT_EQ(untouched, QJsonObject({{"untouched", true}}));

    // A file whose reported size is no guide (an endless device) is read only up to the limit
    // and the one byte that shows there is more: no read-ahead beyond it.
    const qint64 readBefore = bytesReadByThisThread();
    EXPECT_FALSE(loadLibrary("/dev/zero", untouched, error));
    const qint64 readAfter = bytesReadByThisThread();
    EXPECT_EQ(error.toStdString(), "Library too large");
    if (readBefore >= 0 && readAfter >= 0) {
        // The slack covers reading the counter itself.
        EXPECT_LE(readAfter - readBefore, kMaxLibraryFileBytes + 1 + 1024);
    }

    EXPECT_FALSE(loadLibrary(path("missing.json"), untouched, error));
    EXPECT_EQ(error.toStdString(), "Cannot read library or file too large");
    EXPECT_FALSE(loadLibrary(root_.path(), untouched, error));
    EXPECT_EQ(error.toStdString(), "Cannot read library or file too large");
}

TEST_F(LibraryFiles, LoadConvertsSchema2AndLegacyProfiles)
{
    QJsonObject schema2 = withRules(defaultLibrary(), 0, 0, {rule("key_65", "key_66")});
    schema2["schemaVersion"] = 2;
    schema2.remove("actions");
    schema2.remove("macros");
    QJsonObject expected2 = withRules(defaultLibrary(), 0, 0, {rule("key_65", "key_66")});

    const QJsonObject legacy{{"schemaVersion", 1}, {"modelId", "vorna-c2"}, {"source", "mouse_back"}, {"target", "key_27"}};
    QJsonObject expectedLegacy = withRules(defaultLibrary(), 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"keepOriginal", false}}});
    expectedLegacy["modelId"] = "vorna-c2";

    struct Case {
        const char* what;
        QJsonObject stored;
        QJsonObject expected;
    } const cases[] = {
        {"schema 2 without macros", schema2, expected2},
        {"schema 2 with macros", edited(schema2, {"macros"}, QJsonArray()), expected2},
        {"legacy single mapping", legacy, expectedLegacy},
    };
    for (const Case& c : cases) {
        write(file(), compact(c.stored));
        QJsonObject loaded;
        QString error;
        ASSERT_TRUE(loadLibrary(file(), loaded, error)) << c.what << ": " << error.toStdString();
        EXPECT_EQ(compact(loaded).toStdString(), compact(c.expected).toStdString()) << c.what;
        EXPECT_EQ(read(file()), compact(c.stored)) << c.what << ": loading never writes";
    }
}

TEST_F(LibraryFiles, LoadReportsTheCheckersTexts)
{
    struct Case {
        const char* what;
        QJsonObject stored;
        const char* error;
    } const cases[] = {
        {"legacy with a bad target",
         {{"schemaVersion", 1}, {"modelId", "vorna-b1"}, {"source", "mouse_back"}, {"target", "nothing"}},
         "Unknown output"},
        {"legacy with a fifth key",
         {{"schemaVersion", 1}, {"modelId", "vorna-b1"}, {"source", "mouse_back"}, {"target", "key_27"}, {"x", 1}},
         "Unexpected profile fields"},
        {"schema 4", edited(defaultLibrary(), {"schemaVersion"}, 4), "Unsupported library schema"},
    };
    for (const Case& c : cases) {
        write(file(), compact(c.stored));
        QJsonObject loaded;
        QString error;
        EXPECT_FALSE(loadLibrary(file(), loaded, error)) << c.what;
        EXPECT_EQ(error.toStdString(), c.error) << c.what;
        EXPECT_TRUE(loaded.isEmpty()) << c.what;
    }
}

} // namespace
