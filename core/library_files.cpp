#include "core/library_files.h"

#include "core/atomic_write.h"
#include "core/legacy_profile.h"
#include "core/library_document.h"
#include "core/test_instance.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QStandardPaths>

#include <optional>

namespace vorna::core {

namespace {

const QString kBackupSuffix = QStringLiteral(".bak");
const QString kBeforeRestoreSuffix = QStringLiteral(".before-restore");

// Names tried for one damaged file moved aside within the same second, before giving up.
constexpr int kMaxSetAsideNames = 100;

bool fail(QString& error, const QString& text)
{
    error = text;
    return false;
}

QByteArray compactJson(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

// Opens a file for readBounded; false when it cannot be opened or says it is over the limit.
// Unbuffered, because a buffered QFile would fetch a whole read-ahead chunk for the one byte
// that detects excess.
bool openBounded(QFile& file)
{
    return file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) && file.size() <= kMaxLibraryFileBytes;
}

// Reads a file opened by openBounded without ever taking more than the limit and one byte
// into memory; empty when there is more (the size reported on open may be stale, or the file
// may be no regular file).
std::optional<QByteArray> readBounded(QFile& file)
{
    QByteArray bytes = file.read(kMaxLibraryFileBytes);
    char beyond = 0;
    if (file.getChar(&beyond))
        return std::nullopt;
    return bytes;
}

// A document of the single-mapping era becomes the default library whose global base layer
// holds that one mapping.
QJsonObject convertLegacyProfile(const QJsonObject& legacy)
{
    QJsonObject library = defaultLibrary();
    library[QStringLiteral("modelId")] = legacy.value(QStringLiteral("modelId"));
    QJsonArray profiles = library.value(QStringLiteral("profiles")).toArray();
    QJsonObject global = profiles.at(0).toObject();
    QJsonArray layers = global.value(QStringLiteral("layers")).toArray();
    QJsonObject base = layers.at(0).toObject();
    base[QStringLiteral("rules")] = QJsonArray{QJsonObject{
        {QStringLiteral("source"), legacy.value(QStringLiteral("source"))},
        {QStringLiteral("target"), legacy.value(QStringLiteral("target"))},
        {QStringLiteral("keepOriginal"), false},
    }};
    layers[0] = base;
    global[QStringLiteral("layers")] = layers;
    profiles[0] = global;
    library[QStringLiteral("profiles")] = profiles;
    return library;
}

// Schema 2 differs from schema 3 only by the version, the missing actions and possibly
// missing macros.
void raiseSchema2(QJsonObject& library)
{
    library[QStringLiteral("schemaVersion")] = kLibrarySchemaVersion;
    library[QStringLiteral("actions")] = QJsonArray();
    if (!library.contains(QStringLiteral("macros")))
        library[QStringLiteral("macros")] = QJsonArray();
}

// A library file's exact bytes and the document they hold, converted to schema 3 and checked.
// The outputs are assigned only on success.
bool readLibraryFile(const QString& path, QByteArray& bytes, QJsonObject& library, QString& error)
{
    QFile file(path);
    if (!openBounded(file))
        return fail(error, QStringLiteral("Cannot read library or file too large"));
    const std::optional<QByteArray> read = readBounded(file);
    if (!read)
        return fail(error, QStringLiteral("Library too large"));

    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(*read, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return fail(error, QStringLiteral("Invalid library JSON"));
    QJsonObject loaded = document.object();

    if (loaded.value(QStringLiteral("schemaVersion")).toInt(0) == 1) {
        if (!validateLegacyProfile(loaded, error))
            return false;
        loaded = convertLegacyProfile(loaded);
    }
    if (!validateLibrary(loaded, error))
        return false;
    if (loaded.value(QStringLiteral("schemaVersion")).toInt(0) == 2)
        raiseSchema2(loaded);
    bytes = *read;
    library = loaded;
    return true;
}

// Renames the file (or whatever stands) at `path` to the first free setAsideName; nothing is
// copied, so it works for a file of any size, one that cannot be read, or a folder.
bool moveAside(const QString& path, const QDateTime& now, QString& setAside, QString& error)
{
    for (int attempt = 1; attempt <= kMaxSetAsideNames; ++attempt) {
        const QString name = setAsideName(path, now, attempt);
        if (QFileInfo::exists(name) || QFileInfo(name).isSymLink())
            continue;
        QFile damaged(path);
        if (!damaged.rename(name))
            return fail(error, QStringLiteral("Cannot move the damaged library aside: ") + damaged.errorString());
        setAside = name;
        return true;
    }
    return fail(error, QStringLiteral("Cannot move the damaged library aside: too many damaged copies"));
}

} // namespace

QString libraryPath()
{
    const QString fileName = QStringLiteral("profiles-v3.json");
    const QString testData = qEnvironmentVariable("VORNA_TEST_DATA");
    if (isValidTestInstance(qEnvironmentVariable("VORNA_TEST_INSTANCE")) && !testData.isEmpty()
        && !QDir::isRelativePath(testData))
        return QDir(testData).filePath(fileName);
    return QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation) + QLatin1Char('/') + fileName;
}

QJsonObject defaultProfile(const QString& name, const QString& id)
{
    QJsonArray layers;
    for (int layer = 1; layer <= kLayersPerProfile; ++layer) {
        const QString layerName = layer == 1 ? QStringLiteral("Основной") : QStringLiteral("Слой %1").arg(layer);
        layers.append(QJsonObject{{QStringLiteral("name"), layerName}, {QStringLiteral("rules"), QJsonArray()}});
    }
    return QJsonObject{
        {QStringLiteral("id"), id},
        {QStringLiteral("name"), name},
        {QStringLiteral("application"), QString()},
        {QStringLiteral("priority"), 0},
        {QStringLiteral("layers"), layers},
    };
}

QJsonObject defaultLibrary()
{
    return QJsonObject{
        {QStringLiteral("schemaVersion"), kLibrarySchemaVersion},
        {QStringLiteral("modelId"), QStringLiteral("vorna-b1")},
        {QStringLiteral("selectedProfile"), 0},
        {QStringLiteral("selectedLayer"), 0},
        {QStringLiteral("automatic"), false},
        {QStringLiteral("profiles"), QJsonArray{defaultProfile(QStringLiteral("Глобальный"), QStringLiteral("global"))}},
        {QStringLiteral("macros"), QJsonArray()},
        {QStringLiteral("actions"), QJsonArray()},
    };
}

bool loadLibrary(const QString& path, QJsonObject& library, QString& error)
{
    QByteArray bytes;
    return readLibraryFile(path, bytes, library, error);
}

bool saveLibrary(const QString& path, const QJsonObject& library, QString& error)
{
    if (!validateLibrary(library, error))
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(error, QStringLiteral("Cannot create settings folder"));

    // Only a file that still loads as a library is worth keeping; anything else may be the user's
    // data in a state we do not understand, so it is left alone.
    std::optional<QByteArray> previous;
    if (QFileInfo::exists(path)) {
        QByteArray bytes;
        QJsonObject current;
        if (!readLibraryFile(path, bytes, current, error))
            return false;
        previous = bytes;
    }
    // Both files are written out in full before either replaces anything, so a disk that fills
    // up leaves the library and its ".bak" as they were.
    AtomicWrite next(path);
    if (!next.write(compactJson(library), error))
        return false;
    if (previous && !writeFileAtomically(path + kBackupSuffix, *previous, error))
        return false;
    return next.commit(error);
}

QString setAsideName(const QString& path, const QDateTime& when, int attempt)
{
    QString name = path + QLatin1String(kDamagedSuffix) + when.toString(QStringLiteral("yyyyMMdd-HHmmss"));
    if (attempt > 1)
        name += QLatin1Char('-') + QString::number(attempt);
    return name;
}

bool restoreLibraryBackup(
    const QString& path, QJsonObject& library, QString& setAside, QString& error, const QDateTime& now)
{
    setAside.clear();
    QJsonObject backup;
    if (!loadLibrary(path + kBackupSuffix, backup, error))
        return false;

    const bool present = QFileInfo::exists(path);
    QByteArray currentBytes;
    QJsonObject current;
    QString ignored;
    const bool intact = present && readLibraryFile(path, currentBytes, current, ignored);
    // Restoring the document already in force would only overwrite ".before-restore" with it and
    // lose the version kept there.
    if (intact && current == backup) {
        library = backup;
        return true;
    }
    // A file that does not load cannot always be copied (it may be unreadable, too large or a
    // folder), and nothing may be written in its place while it stands there: it is moved aside
    // whole, and put back if the restore fails after all.
    if (present && !intact && !moveAside(path, now, setAside, error))
        return false;
    AtomicWrite restored(path);
    const bool done = restored.write(compactJson(backup), error)
        && (!intact || writeFileAtomically(path + kBeforeRestoreSuffix, currentBytes, error))
        && restored.commit(error);
    if (!done && !setAside.isEmpty()) {
        if (QFile::rename(setAside, path))
            setAside.clear();
        else
            error += QStringLiteral("; the damaged library is now %1").arg(QDir::toNativeSeparators(setAside));
    }
    if (!done)
        return false;
    library = backup;
    return true;
}

} // namespace vorna::core
