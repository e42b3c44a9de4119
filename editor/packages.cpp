#include "editor/packages.h"

#include "core/atomic_write.h"
#include "core/library_document.h"
#include "core/library_files.h"
#include "core/rule_inheritance.h"
#include "core/windows_path.h"
#include "editor/slot_references.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>
#include <QUuid>

namespace library {

namespace {

const QString kProfileScope = QStringLiteral("profile");
const QString kLayerScope = QStringLiteral("layer");
const QString kCollectionScope = QStringLiteral("collection");
const QString kVersionKey = QStringLiteral("packageVersion");
const QString kScopeKey = QStringLiteral("scope");
const QString kLibraryKey = QStringLiteral("library");
const QString kProfiles = QStringLiteral("profiles");
const QString kLayers = QStringLiteral("layers");
const QString kRules = QStringLiteral("rules");
const QString kMotion = QStringLiteral("motion");

bool isPackageScope(const QString& scope)
{
    return scope == kProfileScope || scope == kLayerScope;
}

QJsonArray profilesOf(const QJsonObject& library)
{
    return library.value(kProfiles).toArray();
}

QJsonArray layersOf(const QJsonObject& profile)
{
    return profile.value(kLayers).toArray();
}

// The layer with the rules and motion in force at (profile, layer) of `source` as its own.
QJsonObject layerInForce(const QJsonObject& source, const QJsonObject& layer, int profile, int index)
{
    QJsonObject exported = layer;
    exported.insert(kRules, vorna::core::effectiveRules(source, profile, index));
    exported.insert(kMotion, vorna::core::effectiveMotion(source, profile, index));
    return exported;
}

QString fileNamePart(const QJsonValue& application)
{
    return vorna::core::pathFileName(application.toString()).toString();
}

// A layer that carries nothing of its own.
bool isBareLayer(const QJsonValue& layer)
{
    const QJsonObject object = layer.toObject();
    return object.value(kRules).toArray().isEmpty() && !object.contains(kMotion);
}

// The package's actions and macros join the destination's lists and its references follow
// them. Macros are compared only once their command steps name destination actions, so a macro
// equal to one already there, action for action, is recognised.
void mergeSlots(QJsonObject& destination, QJsonObject& package)
{
    const SlotMap actions = appendPackageSlots(destination, package, QStringLiteral("actions"));
    renumberMacroReferences(package, actions);
    const SlotMap macros = appendPackageSlots(destination, package, QStringLiteral("macros"));
    renumberRuleReferences(package, actions, macros);
}

} // namespace

bool buildPackage(const QJsonObject& source, const QString& scope, QJsonObject& package, QString& error)
{
    if (!isPackageScope(scope))
        return setError(error, "Unknown export scope");
    if (!vorna::core::migrateLibrary(source, error))
        return false;

    QJsonObject built = vorna::core::defaultLibrary();
    for (const char* key : {"modelId", "actions", "macros"})
        built.insert(QLatin1String(key), source.value(QLatin1String(key)));

    const int profileIndex = source.value(QStringLiteral("selectedProfile")).toInt(0);
    const int layerIndex = source.value(QStringLiteral("selectedLayer")).toInt(0);
    const QJsonObject profile = profilesOf(source).at(profileIndex).toObject();
    const QJsonArray layers = layersOf(profile);

    QJsonArray profiles = profilesOf(built);
    if (scope == kLayerScope) {
        QJsonObject global = profiles.at(0).toObject();
        QJsonArray globalLayers = layersOf(global);
        globalLayers[0] = layerInForce(source, layers.at(layerIndex).toObject(), profileIndex, layerIndex);
        global.insert(kLayers, globalLayers);
        profiles = QJsonArray{global};
    } else {
        QJsonObject exported = profile;
        exported.insert(QStringLiteral("id"), QStringLiteral("exported"));
        exported.insert(QStringLiteral("application"), fileNamePart(profile.value(QStringLiteral("application"))));
        QJsonArray exportedLayers = layers;
        exportedLayers[0] = layerInForce(source, layers.at(0).toObject(), profileIndex, 0);
        exported.insert(kLayers, exportedLayers);
        profiles.append(exported);
        built.insert(QStringLiteral("selectedProfile"), 1);
    }
    built.insert(kProfiles, profiles);

    compactLibrary(built);
    if (!vorna::core::migrateLibrary(built, error))
        return false;
    package = built;
    return true;
}

bool encodePackage(const QJsonObject& package, const QString& scope, QByteArray& bytes, QString& error)
{
    const QJsonObject envelope{{kVersionKey, 1}, {kScopeKey, scope}, {kLibraryKey, package}};
    QByteArray encoded = QJsonDocument(envelope).toJson(QJsonDocument::Compact);
    if (encoded.size() > kMaxPackageBytes)
        return setError(error, "Package is too large");
    bytes = std::move(encoded);
    return true;
}

bool exportPackage(const QString& path, const QJsonObject& source, const QString& scope, QString& error)
{
    QJsonObject package;
    QByteArray bytes;
    return buildPackage(source, scope, package, error) && encodePackage(package, scope, bytes, error)
        && vorna::core::writeFileAtomically(path, bytes, error);
}

QJsonObject collectionExport(const QJsonObject& library)
{
    QJsonObject copy = library;
    QJsonArray profiles = profilesOf(copy);
    for (qsizetype index = 0; index < profiles.size(); ++index) {
        QJsonObject profile = profiles.at(index).toObject();
        profile.insert(QStringLiteral("application"), fileNamePart(profile.value(QStringLiteral("application"))));
        profiles[index] = profile;
    }
    copy.insert(kProfiles, profiles);
    copy.insert(QStringLiteral("automatic"), false);
    return copy;
}

bool readPackageFile(const QString& path, QByteArray& bytes, QString& error)
{
    // Unbuffered, so that the one byte that proves a file too large is all that is read beyond
    // the limit, even when the size reported on open was stale or the file is no regular file.
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Unbuffered) || file.size() > kMaxPackageBytes)
        return setError(error, "Cannot read package or file too large");
    QByteArray read = file.read(kMaxPackageBytes + 1);
    if (read.size() > kMaxPackageBytes)
        return setError(error, "Package is too large");
    bytes = std::move(read);
    return true;
}

bool mergePackage(const QJsonObject& envelope, const QJsonObject& current, QJsonObject& result, QString& scope,
                  QString& error)
{
    scope = envelope.value(kScopeKey).toString();
    const QJsonValue version = envelope.value(kVersionKey);
    if (envelope.size() != 3 || !version.isDouble() || version.toDouble() != 1.0 || !isPackageScope(scope)
        || !envelope.value(kLibraryKey).isObject())
        return setError(error, "Invalid package envelope");

    QJsonObject package = envelope.value(kLibraryKey).toObject();
    if (!vorna::core::migrateLibrary(current, error) || !vorna::core::migrateLibrary(package, error))
        return false;

    const QJsonArray packageProfiles = profilesOf(package);
    const bool profileScope = scope == kProfileScope;
    if (package.value(QStringLiteral("schemaVersion")).toInt(0) != vorna::core::kLibrarySchemaVersion
        || packageProfiles.size() != (profileScope ? 2 : 1))
        return setError(error, "Invalid scoped library");

    // What the package may carry besides its profile or layer is exactly nothing: anything else
    // would be imported unseen, or silently dropped.
    const QJsonArray firstLayers = layersOf(packageProfiles.at(0).toObject());
    for (qsizetype index = profileScope ? 0 : 1; index < firstLayers.size(); ++index) {
        if (!isBareLayer(firstLayers.at(index)))
            return setError(error, profileScope ? "Unexpected global settings in profile package"
                                                : "Unexpected extra layers in layer package");
    }

    compactLibrary(package);
    QJsonObject merged = current;
    mergeSlots(merged, package);

    QJsonArray profiles = profilesOf(merged);
    const QJsonArray renumbered = profilesOf(package);
    if (profileScope) {
        QJsonObject profile = renumbered.at(1).toObject();
        profile.insert(QStringLiteral("id"), QUuid::createUuid().toString(QUuid::Id128));
        profiles.append(profile);
        merged.insert(QStringLiteral("selectedProfile"), profiles.size() - 1);
        merged.insert(QStringLiteral("selectedLayer"), 0);
    } else {
        const int profileIndex = merged.value(QStringLiteral("selectedProfile")).toInt(0);
        const int layerIndex = merged.value(QStringLiteral("selectedLayer")).toInt(0);
        QJsonObject profile = profiles.at(profileIndex).toObject();
        QJsonArray layers = layersOf(profile);
        layers[layerIndex] = layersOf(renumbered.at(0).toObject()).at(0);
        profile.insert(kLayers, layers);
        profiles[profileIndex] = profile;
    }
    merged.insert(kProfiles, profiles);
    merged.insert(QStringLiteral("automatic"), false);

    // The final check is where a package that would bring the library past 16 profiles, 32
    // actions, 16 macros or its rule limits is refused.
    if (!vorna::core::migrateLibrary(merged, error))
        return false;
    result = merged;
    return true;
}

bool importPackage(const QString& path, const QJsonObject& current, QJsonObject& result, QString& scope,
                   QString& error)
{
    QByteArray bytes;
    if (!readPackageFile(path, bytes, error))
        return false;
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(bytes, &parseError);
    if (parseError.error != QJsonParseError::NoError || !document.isObject())
        return setError(error, "Invalid package JSON");

    const QJsonObject top = document.object();
    if (top.contains(kVersionKey))
        return mergePackage(top, current, result, scope, error);
    scope = kCollectionScope;
    return vorna::core::loadLibrary(path, result, error);
}

namespace {

// One spelling per file: links, "." and ".." resolved as far as the file system allows, so that
// a file not written yet is recognised through a linked folder too.
QString resolvedPath(const QString& path)
{
    const QFileInfo file(path);
    if (file.exists())
        return file.canonicalFilePath();
    const QString folder = QFileInfo(file.absolutePath()).canonicalFilePath();
    return (folder.isEmpty() ? QDir::cleanPath(file.absolutePath()) : folder) + QLatin1Char('/') + file.fileName();
}

} // namespace

bool isLibraryStoreFile(const QString& path, const QString& libraryFile)
{
#ifdef Q_OS_WIN
    constexpr Qt::CaseSensitivity kPathCase = Qt::CaseInsensitive;
#else
    constexpr Qt::CaseSensitivity kPathCase = Qt::CaseSensitive;
#endif
    const QString target = resolvedPath(path);
    for (const char* suffix : {"", ".bak", ".before-restore"}) {
        if (target.compare(resolvedPath(libraryFile + QLatin1String(suffix)), kPathCase) == 0)
            return true;
    }
    // A damaged library a restore moved aside is the user's only copy of it.
    return target.startsWith(resolvedPath(libraryFile + QLatin1String(vorna::core::kDamagedSuffix)), kPathCase);
}

} // namespace library
