// The controller's library on a disk that fills up and with a damaged library file. A commit the
// disk refuses changes nothing (the file, its ".bak", the document in memory, undo and redo) and
// says why; a damaged library is named at start, refuses edits, and a restore moves it aside and
// brings the backup back.

#include "tests/support/settings_fixture.h"

#include "editor/library_state.h"
#include "tests/core/large_library.h"
#include "tests/core/library_fixture.h"
#include "tests/support/file_faults.h"

#include <QDir>
#include <QFileInfo>

#include <optional>

namespace {

using vorna::test::compact;
using vorna::test::FileSizeLimit;
using vorna::test::libraryWithNumberedRules;
using vorna::test::SmallDisk;
using vorna::test::WithoutFileAccessOverride;

class LibraryFaults : public vorna::test::SettingsSandbox {
protected:
    QString folder() const { return QFileInfo(libraryFile()).absolutePath(); }
    QByteArray file() const { return readFile(libraryFile()); }
    QByteArray backup() const { return readFile(libraryFile() + ".bak"); }
    QStringList entries() const
    {
        return QDir(folder()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System, QDir::Name);
    }
    static void writeFile(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile out(path);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }
    // The controller in the language given, read from the settings as at a real start.
    void start(bool english)
    {
        QSettings().setValue(QStringLiteral("ui/language"), english ? QStringLiteral("en") : QStringLiteral("ru"));
        m_controller = makeController();
    }

    // Everything a refused commit must leave as it was.
    struct Snapshot {
        QJsonObject library;
        QByteArray file, backup;
        QStringList entries;
        bool canUndo, canRedo, dirty;
    };
    Snapshot snapshot() const
    {
        return {m_controller->library(), file(), backup(), entries(), m_controller->canUndo(), m_controller->canRedo(),
            m_controller->dirty()};
    }
    void expectAsBefore(const Snapshot& was) const
    {
        EXPECT_EQ(m_controller->library(), was.library);
        EXPECT_EQ(file(), was.file);
        EXPECT_EQ(backup(), was.backup);
        EXPECT_EQ(entries(), was.entries); // no temporary file left behind
        EXPECT_EQ(m_controller->canUndo(), was.canUndo);
        EXPECT_EQ(m_controller->canRedo(), was.canRedo);
        EXPECT_EQ(m_controller->dirty(), was.dirty);
    }

    std::unique_ptr<AppController> m_controller;
    const QJsonObject m_two = libraryWithNumberedRules(2);
    const QJsonObject m_forty = libraryWithNumberedRules(40);
    const QJsonObject m_fifty = libraryWithNumberedRules(50);
};

// ---- A disk that refuses the commit ----

// How much room the disk leaves for the commit of fifty rules over forty: it writes the new
// library out first, then the copy of the old one for the ".bak", and replaces nothing before
// both are whole.
enum class Room { None, PartOfTheLibrary, TheLibraryOnly, TheLibraryAndPartOfTheBackup };

struct DiskCase {
    const char* name;
    bool fullDisk;     // a small disk filled up; otherwise a file size limit of 4096 bytes
    Room room;         // (full disk)
    int nextRules;     // the rules of the library committed
    const char* refused; // the file the notice names, after the library's own name
    const char* reason;
};

void PrintTo(const DiskCase& c, std::ostream* out)
{
    *out << c.name;
}

class RefusedCommit : public LibraryFaults, public testing::WithParamInterface<DiskCase> {};

TEST_P(RefusedCommit, ChangesNothingAndSaysWhy)
{
    const DiskCase& c = GetParam();
    std::optional<SmallDisk> disk;
    if (c.fullDisk) {
        disk.emplace(folder());
        if (!disk->mounted())
            GTEST_SKIP() << disk->problem().toStdString();
    }
    // Forty rules in the file, two in the ".bak", and one step to undo.
    writeFile(libraryFile(), compact(m_two));
    start(true);
    ASSERT_TRUE(m_controller->commitLibrary(m_forty, false)) << m_controller->notice().toStdString();
    ASSERT_EQ(backup(), compact(m_two));

    const QJsonObject next = libraryWithNumberedRules(c.nextRules);
    std::optional<FileSizeLimit> limit;
    if (c.fullDisk) {
        const qint64 library = SmallDisk::pages(compact(next).size());
        const qint64 copy = SmallDisk::pages(compact(m_forty).size());
        const qint64 free[] = {0, library - SmallDisk::kPage, library, library + copy - SmallDisk::kPage};
        ASSERT_GT(library, SmallDisk::kPage);
        ASSERT_GT(copy, SmallDisk::kPage);
        ASSERT_TRUE(disk->leaveFree(free[int(c.room)]));
    } else {
        limit.emplace(4096);
        ASSERT_TRUE(limit->set());
    }
    const Snapshot was = snapshot();

    EXPECT_FALSE(m_controller->commitLibrary(next, true));
    EXPECT_EQ(m_controller->notice(),
        QStringLiteral("Cannot write %1%2: %3").arg(libraryFile(), QLatin1String(c.refused), QLatin1String(c.reason)));
    expectAsBefore(was);

    // With room again, the history is whole: one undo reaches the two rules.
    limit.reset();
    if (disk)
        ASSERT_TRUE(disk->leaveFree(64 * SmallDisk::kPage));
    m_controller->undo();
    EXPECT_EQ(m_controller->library(), m_two);
    EXPECT_EQ(file(), compact(m_two));
    EXPECT_EQ(backup(), compact(m_forty));
}

INSTANTIATE_TEST_SUITE_P(Cases, RefusedCommit,
    testing::Values(
        DiskCase{"NoRoomAtAll", true, Room::None, 50, "", "No space left on device"},
        DiskCase{"RoomForPartOfTheLibrary", true, Room::PartOfTheLibrary, 50, "", "No space left on device"},
        DiskCase{"RoomForTheLibraryButNotTheBackup", true, Room::TheLibraryOnly, 50, ".bak", "No space left on device"},
        DiskCase{"RoomForTheLibraryAndPartOfTheBackup", true, Room::TheLibraryAndPartOfTheBackup, 50, ".bak",
            "No space left on device"},
        DiskCase{"LimitBelowTheLibrary", false, Room::None, 50, "", "File too large"},
        DiskCase{"LimitBelowTheBackupCopy", false, Room::None, 1, ".bak", "File too large"}),
    [](const testing::TestParamInfo<DiskCase>& info) { return std::string(info.param.name); });

// ---- A damaged library ----

enum class Damage { Folder, Oversize, InvalidJson, Unreadable };

struct DamageCase {
    const char* name;
    Damage damage;
    const char* problem;
    bool english;
};

void PrintTo(const DamageCase& c, std::ostream* out)
{
    *out << c.name;
}

class DamagedLibrary : public LibraryFaults, public testing::WithParamInterface<DamageCase> {
protected:
    // Puts the damage where the library belongs, and a good ".bak" of two rules beside it.
    void damage(Damage kind)
    {
        writeFile(libraryFile() + ".bak", compact(m_two));
        switch (kind) {
        case Damage::Folder:
            writeFile(libraryFile() + "/inside.txt", "kept");
            break;
        case Damage::Oversize: {
            QByteArray bytes = compact(m_forty);
            bytes.append(QByteArray(vorna::core::kMaxLibraryFileBytes + 1 - bytes.size(), ' '));
            writeFile(libraryFile(), bytes);
            break;
        }
        case Damage::InvalidJson:
            writeFile(libraryFile(), "{\"schemaVersion\":3,");
            break;
        case Damage::Unreadable:
            writeFile(libraryFile(), compact(m_forty));
            ASSERT_TRUE(QFile::setPermissions(libraryFile(), QFileDevice::Permissions()));
            break;
        }
    }
    // What stands where the library belongs: the file's bytes, or the folder's one file.
    static QByteArray contents(const QString& path)
    {
        return QFileInfo(path).isDir() ? readFile(path + "/inside.txt") : readFile(path);
    }
};

TEST_P(DamagedLibrary, IsNamedAtStartRefusesEditsAndRestoreMovesItAside)
{
    const DamageCase& c = GetParam();
    damage(c.damage);
    const QByteArray original = contents(libraryFile());
    // Tests run as root, who reads any file: this thread gives that right up.
    std::optional<WithoutFileAccessOverride> asAnyUser;
    if (c.damage == Damage::Unreadable) {
        asAnyUser.emplace();
        ASSERT_TRUE(asAnyUser->dropped());
        ASSERT_FALSE(QFile(libraryFile()).open(QIODevice::ReadOnly));
    }
    start(c.english);
    EXPECT_EQ(m_controller->notice(),
        editor::damagedLibraryNotice(libraryFile(), QString::fromLatin1(c.problem), true, c.english));
    EXPECT_TRUE(m_controller->notice().contains(libraryFile()));
    EXPECT_EQ(m_controller->library(), vorna::core::defaultLibrary());

    // Edits never overwrite it.
    const Snapshot was = snapshot();
    EXPECT_FALSE(m_controller->commitLibrary(m_forty, false));
    EXPECT_EQ(m_controller->notice(), QString::fromLatin1(c.problem));
    expectAsBefore(was);

    m_controller->restoreBackup();
    const QStringList setAside = QDir(folder()).entryList({QStringLiteral("profiles-v3.json.damaged-*")},
        QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System);
    ASSERT_EQ(setAside.size(), 1) << entries().join(' ').toStdString();
    const QString moved = QDir(folder()).filePath(setAside.first());
    EXPECT_EQ(m_controller->notice(),
        c.english ? QStringLiteral("Restored. The damaged file was moved to \"%1\". Mappings remain paused.").arg(moved)
                  : QStringLiteral("Восстановлено. Повреждённый файл перенесён в «%1». Назначения на паузе.").arg(moved));
    EXPECT_EQ(m_controller->library(), m_two);
    EXPECT_EQ(file(), compact(m_two));
    EXPECT_EQ(backup(), compact(m_two));
    EXPECT_FALSE(QFileInfo::exists(libraryFile() + ".before-restore"));
    asAnyUser.reset();
    EXPECT_EQ(contents(moved), original);

    // The way is clear: edits are saved again, with the restored library as their backup.
    ASSERT_TRUE(m_controller->commitLibrary(m_forty, false)) << m_controller->notice().toStdString();
    EXPECT_EQ(file(), compact(m_forty));
    EXPECT_EQ(backup(), compact(m_two));
}

INSTANTIATE_TEST_SUITE_P(Cases, DamagedLibrary,
    testing::Values(DamageCase{"AFolder", Damage::Folder, "Cannot read library or file too large", false},
        DamageCase{"OverTheSizeLimit", Damage::Oversize, "Cannot read library or file too large", true},
        DamageCase{"InvalidJson", Damage::InvalidJson, "Invalid library JSON", true},
        DamageCase{"Unreadable", Damage::Unreadable, "Cannot read library or file too large", true}),
    [](const testing::TestParamInfo<DamageCase>& info) { return std::string(info.param.name); });

} // namespace
