// Package files: what an export of one profile or one layer holds, round trips into another
// library compared by the compiled rules in force, the envelope and size rules of reading, and
// the refusals that keep a package from growing a library past its limits.

#include "editor/packages.h"

#include "core/library_document.h"
#include "tests/editor/package_fixture.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QTemporaryDir>

namespace {

using namespace vorna::test;
using vorna::core::defaultLibrary;

QByteArray readBytes(const QString& file)
{
    QFile in(file);
    return in.open(QIODevice::ReadOnly) ? in.readAll() : QByteArray("<missing>");
}

class Packages : public testing::Test {
protected:
    QString path(const char* name) const { return m_folder.filePath(QLatin1String(name)); }

    void write(const QString& file, const QByteArray& bytes)
    {
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        ASSERT_EQ(out.write(bytes), bytes.size());
    }

    QJsonObject exported(const QJsonObject& source, const char* scope)
    {
        QString error;
        EXPECT_TRUE(library::exportPackage(path("package.json"), source, QLatin1String(scope), error)) << error.toStdString();
        return QJsonDocument::fromJson(readBytes(path("package.json"))).object();
    }

    // Imports `file` into `current`; the scope and error land in the members.
    QJsonObject imported(const QString& file, const QJsonObject& current)
    {
        QJsonObject result;
        EXPECT_TRUE(library::importPackage(file, current, result, m_scope, m_error)) << m_error.toStdString();
        return result;
    }

    QTemporaryDir m_folder;
    QString m_scope;
    QString m_error;
};

TEST_F(Packages, ProfileExportHoldsOnlyWhatItsRulesReachRenumberedFromOne)
{
    const QJsonObject envelope = exported(richLibrary(), "profile");
    EXPECT_EQ(envelope.keys(), (QStringList{"library", "packageVersion", "scope"}));
    EXPECT_EQ(envelope["packageVersion"], 1);
    EXPECT_EQ(envelope["scope"], "profile");
    // Compact, keys in ascending order.
    EXPECT_TRUE(readBytes(path("package.json")).startsWith("{\"library\":{\"actions\":["));

    const QJsonObject package = envelope["library"].toObject();
    QString error;
    EXPECT_TRUE(vorna::core::migrateLibrary(package, error)) << error.toStdString();
    const QJsonArray actions = package["actions"].toArray();
    ASSERT_EQ(actions.size(), 4);
    EXPECT_EQ(actions[0]["name"], "Terminal");
    EXPECT_EQ(actions[1]["name"], "Signature");
    EXPECT_EQ(actions[2]["name"], "Downloads");
    EXPECT_EQ(actions[3]["name"], "Greeting");
    const QJsonArray macros = package["macros"].toArray();
    ASSERT_EQ(macros.size(), 2);
    EXPECT_EQ(macros[0]["name"], "Sign");
    EXPECT_EQ(macros[1]["name"], "Fallback");

    const QJsonArray profiles = package["profiles"].toArray();
    ASSERT_EQ(profiles.size(), 2);
    EXPECT_EQ(profiles[0].toObject(), defaultLibrary()["profiles"][0].toObject());
    const QJsonObject profile = profiles[1].toObject();
    EXPECT_EQ(profile["id"], "exported");
    EXPECT_EQ(profile["name"], "Editor");
    EXPECT_EQ(profile["application"], "editor.exe");
    EXPECT_EQ(package["selectedProfile"], 1);
    EXPECT_EQ(package["selectedLayer"], 0);
    EXPECT_EQ(package["automatic"], false);
    // The global rules it inherited are folded into its base layer, references renumbered.
    EXPECT_EQ(references(package), (QStringList{"action:3", "macro:1", "action:1", "macro:2", "action:4", "action:2"}));
    EXPECT_EQ(macros[0]["steps"][2]["input"], "action:2");
}

TEST_F(Packages, LayerExportCarriesTheRulesAndMotionInForceThere)
{
    const QJsonObject package = exported(richLibrary(), "layer")["library"].toObject();
    const QJsonArray profiles = package["profiles"].toArray();
    ASSERT_EQ(profiles.size(), 1);
    EXPECT_EQ(package["selectedProfile"], 0);
    const QJsonArray layers = profiles[0]["layers"].toArray();
    EXPECT_EQ(layers[0]["name"], "Слой 3");
    EXPECT_EQ(layers[0]["motion"].toObject(), motionSettings({{"wheelVertical", 150}}));
    EXPECT_EQ(layers[0]["rules"].toArray().size(), 6);
    for (int index = 1; index < 10; ++index)
        EXPECT_EQ(layers[index].toObject(), defaultLibrary()["profiles"][0]["layers"][index].toObject()) << index;
    EXPECT_EQ(package["actions"].toArray().size(), 4);
    EXPECT_EQ(package["macros"].toArray().size(), 2);
}

TEST_F(Packages, RoundTripsBehaveAsInTheSourceWithSharedEntriesReused)
{
    const QJsonObject source = richLibrary();
    const QJsonObject destination = destinationLibrary();

    exported(source, "profile");
    const QJsonObject withProfile = imported(path("package.json"), destination);
    EXPECT_EQ(m_scope, "profile");
    const int added = withProfile["profiles"].toArray().size() - 1;
    ASSERT_EQ(added, 2);
    EXPECT_EQ(withProfile["selectedProfile"], added);
    EXPECT_EQ(withProfile["selectedLayer"], 0);
    for (const int layer : {0, 2, 5})
        EXPECT_EQ(behaviour(withProfile, added, layer), behaviour(source, 1, layer)) << layer;
    // "Greeting" was already there: reused, not added; the destination's own rules still work.
    EXPECT_EQ(withProfile["actions"].toArray().size(), 2 + 3);
    EXPECT_EQ(withProfile["actions"][1]["name"], "Greeting");
    EXPECT_EQ(behaviour(withProfile, 1, 1), behaviour(destination, 1, 1));
    const QString id = withProfile["profiles"][added]["id"].toString();
    EXPECT_TRUE(QRegularExpression(QRegularExpression::anchoredPattern("[0-9a-f]{32}")).match(id).hasMatch()) << id.toStdString();

    // The same package again: a second profile with its own id, and no new actions or macros.
    const QJsonObject twice = imported(path("package.json"), withProfile);
    EXPECT_EQ(twice["profiles"].toArray().size(), 4);
    EXPECT_NE(twice["profiles"][3]["id"], twice["profiles"][2]["id"]);
    EXPECT_EQ(twice["actions"].toArray(), withProfile["actions"].toArray());
    EXPECT_EQ(twice["macros"].toArray(), withProfile["macros"].toArray());

    exported(source, "layer");
    const QJsonObject withLayer = imported(path("package.json"), destination);
    EXPECT_EQ(m_scope, "layer");
    EXPECT_EQ(withLayer["selectedProfile"], 1);
    EXPECT_EQ(withLayer["selectedLayer"], 4);
    EXPECT_EQ(behaviour(withLayer, 1, 4), behaviour(source, 1, 2));
    EXPECT_EQ(withLayer["profiles"][1]["layers"][4]["name"], "Слой 3");
    for (const int layer : {0, 1, 3, 5})
        EXPECT_EQ(withLayer["profiles"][1]["layers"][layer], destination["profiles"][1]["layers"][layer]) << layer;
}

TEST_F(Packages, ProfileExportOfTheGlobalProfileImportsAsAnOrdinaryProfile)
{
    QJsonObject source = richLibrary();
    source["selectedProfile"] = 0;
    source["selectedLayer"] = 0;
    const QJsonObject package = exported(source, "profile")["library"].toObject();
    EXPECT_EQ(package["profiles"][1]["id"], "exported");
    EXPECT_EQ(package["profiles"][1]["layers"][0]["rules"].toArray().size(), 2);

    const QJsonObject result = imported(path("package.json"), destinationLibrary());
    EXPECT_EQ(result["profiles"].toArray().size(), 3);
    EXPECT_EQ(behaviour(result, 2, 0), behaviour(source, 0, 0));
}

TEST_F(Packages, LayerImportIntoTheGlobalBaseLayerReplacesIt)
{
    exported(richLibrary(), "layer");
    QJsonObject destination = destinationLibrary();
    destination["selectedProfile"] = 0;
    destination["selectedLayer"] = 0;
    const QJsonObject result = imported(path("package.json"), destination);
    EXPECT_EQ(behaviour(result, 0, 0), behaviour(richLibrary(), 1, 2));
    EXPECT_EQ(result["selectedProfile"], 0);
    EXPECT_EQ(result["selectedLayer"], 0);
}

TEST_F(Packages, ExportRefusesAnUnknownScopeAndABrokenSourceAndKeepsTheFile)
{
    write(path("package.json"), "keep");
    QString error;
    EXPECT_FALSE(library::exportPackage(path("package.json"), richLibrary(), "Profile", error));
    EXPECT_EQ(error, "Unknown export scope");
    EXPECT_FALSE(library::exportPackage(path("package.json"), richLibrary(), "collection", error));
    EXPECT_EQ(error, "Unknown export scope");
    EXPECT_FALSE(library::exportPackage(path("package.json"), edited(richLibrary(), {"profiles"}, QJsonArray()), "profile", error));
    EXPECT_EQ(error, "Profile count must be 1..16");
    EXPECT_EQ(readBytes(path("package.json")), "keep");
}

TEST_F(Packages, AnEnvelopeOverTheSizeLimitIsNeverWritten)
{
    QByteArray bytes;
    QString error;
    // Library documents stop a little below the limit; the envelope check is the last guard.
    const QJsonObject huge{{"blob", QString(int(library::kMaxPackageBytes), u'x')}};
    EXPECT_FALSE(library::encodePackage(huge, "profile", bytes, error));
    EXPECT_EQ(error, "Package is too large");
    EXPECT_TRUE(bytes.isEmpty());
}

TEST_F(Packages, APackageOfExactlyTheLimitIsReadAndOneByteMoreIsNot)
{
    exported(richLibrary(), "layer");
    QByteArray bytes = readBytes(path("package.json"));
    bytes.append(QByteArray(library::kMaxPackageBytes - bytes.size(), ' '));
    write(path("limit.json"), bytes);
    imported(path("limit.json"), destinationLibrary());
    EXPECT_EQ(m_scope, "layer");

    write(path("over.json"), bytes + ' ');
    QJsonObject result;
    EXPECT_FALSE(library::importPackage(path("over.json"), destinationLibrary(), result, m_scope, m_error));
    EXPECT_EQ(m_error, "Cannot read package or file too large");
    EXPECT_TRUE(result.isEmpty());
}

TEST_F(Packages, AFileWithoutPackageVersionIsAWholeLibrary)
{
    QJsonObject whole = richLibrary();
    whole["automatic"] = true;
    write(path("whole.json"), compact(whole));
    EXPECT_EQ(imported(path("whole.json"), destinationLibrary()), whole);
    EXPECT_EQ(m_scope, "collection");
}

TEST_F(Packages, APackageVersionWrittenAsOnePointZeroIsAccepted)
{
    exported(richLibrary(), "profile");
    const QByteArray bytes = readBytes(path("package.json")).replace("\"packageVersion\":1", "\"packageVersion\":1.0");
    write(path("decimal.json"), bytes);
    EXPECT_EQ(imported(path("decimal.json"), destinationLibrary())["profiles"].toArray().size(), 3);
}

TEST_F(Packages, CollectionExportCutsApplicationsToFileNamesOnEveryHost)
{
    QJsonObject source = richLibrary();
    source["automatic"] = true;
    source = edited(source, {"profiles", 2, "application"}, "D:/Games\\bin/game.exe");
    const QJsonObject copy = library::collectionExport(source);
    EXPECT_EQ(copy["automatic"], false);
    EXPECT_EQ(copy["profiles"][0]["application"], "");
    EXPECT_EQ(copy["profiles"][1]["application"], "editor.exe");
    EXPECT_EQ(copy["profiles"][2]["application"], "game.exe");
    EXPECT_EQ(edited(edited(edited(copy, {"automatic"}, true), {"profiles", 1, "application"}, source["profiles"][1]["application"]),
                     {"profiles", 2, "application"}, source["profiles"][2]["application"]),
              source);
}

TEST_F(Packages, TheLibraryStoreFilesAreRecognisedHoweverTheyAreSpelled)
{
    QDir().mkpath(path("data/sub"));
    const QString live = path("data/profiles-v3.json");
    write(live, "{}");
    QFile::link(live, path("link.json"));
    QFile::link(path("data"), path("linked-data"));
    const struct {
        QString path;
        bool store;
    } cases[] = {
        {live, true},
        {path("data/sub/../profiles-v3.json"), true},
        {path("link.json"), true},
        {live + ".bak", true},
        {live + ".before-restore", true},
        {path("linked-data/profiles-v3.json.bak"), true},
        {live + ".damaged-20240105-093000", true},
        {path("linked-data/profiles-v3.json.damaged-20240105-093000-2"), true},
        {path("data/profiles-v3.json.damaged"), false},
        {path("data/profiles-v3.json.old"), false},
        {path("data/sub/profiles-v3.json"), false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(library::isLibraryStoreFile(c.path, live), c.store) << c.path.toStdString();
}

} // namespace
