#include "core/library_files.h"

#include "core/legacy_profile.h"
#include "core/library_document.h"
#include "core/test_instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QSaveFile>
#include <QStandardPaths>

#include <optional>

namespace vorna::core {

namespace {

const QString kBackupSuffix = QStringLiteral(".bak");
const QString kBeforeRestoreSuffix = QStringLiteral(".before-restore");

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

// Byte-for-byte copy of a file of at most the read limit, written atomically. `readFailure` is
// the text for a source that cannot be opened or is too large.
bool copyFile(const QString& from, const QString& to, const QString& readFailure, QString& error)
{
    QFile file(from);
    if (!openBounded(file))
        return fail(error, readFailure);
    const std::optional<QByteArray> bytes = readBounded(file);
    file.close();
    if (!bytes)
        return fail(error, readFailure);
    return writeFileAtomically(to, *bytes, error);
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
    QFile file(path);
    if (!openBounded(file))
        return fail(error, QStringLiteral("Cannot read library or file too large"));
    const std::optional<QByteArray> bytes = readBounded(file);
    if (!bytes)
        return fail(error, QStringLiteral("Library too large"));

    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(*bytes, &parseError);
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
    library = loaded;
    return true;
}

bool writeFileAtomically(const QString& path, const QByteArray& bytes, QString& error)
{
    QSaveFile file(path);
    const bool written = file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit();
    if (written)
        return true;
    error = file.errorString();
    if (error.isEmpty())
        error = QStringLiteral("Cannot write %1").arg(QDir::toNativeSeparators(path));
    file.cancelWriting();
    return false;
}

bool saveLibrary(const QString& path, const QJsonObject& library, QString& error)
{
    if (!validateLibrary(library, error))
        return false;
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return fail(error, QStringLiteral("Cannot create settings folder"));

    if (QFileInfo::exists(path)) {
        // Only a file that still loads as a library is worth keeping; anything else may be the
        // user's data in a state we do not understand, so it is left alone.
        QJsonObject current;
        if (!loadLibrary(path, current, error))
            return false;
        if (!copyFile(path, path + kBackupSuffix, QStringLiteral("Cannot read previous library"), error))
            return false;
    }
    return writeFileAtomically(path, compactJson(library), error);
}

bool restoreLibraryBackup(const QString& path, QJsonObject& library, QString& error)
{
    QJsonObject backup;
    if (!loadLibrary(path + kBackupSuffix, backup, error))
        return false;

    if (QFileInfo::exists(path)) {
        // Restoring the document already in force would only overwrite ".before-restore" with
        // it and lose the version kept there.
        QJsonObject current;
        QString ignored;
        if (loadLibrary(path, current, ignored) && current == backup) {
            library = backup;
            return true;
        }
        if (!copyFile(path, path + kBeforeRestoreSuffix, QStringLiteral("Cannot preserve current library"), error))
            return false;
    }
    if (!writeFileAtomically(path, compactJson(backup), error))
        return false;
    library = backup;
    return true;
}

} // namespace vorna::core
