#include "core/agent_protocol.h"

#include "core/library_document.h"
#include "tests/core/library_fixture.h"

#include <gtest/gtest.h>

#include <QCryptographicHash>
#include <QJsonArray>

namespace {

using vorna::core::defaultLibrary;
using vorna::protocol::documentHash;
using vorna::protocol::stripRuleNames;
using vorna::test::compact;
using vorna::test::edited;
using vorna::test::rule;
using vorna::test::withRules;

QJsonObject named(const QJsonObject& library, const char* name)
{
    return withRules(library, 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", name}}});
}

TEST(DocumentHash, IsTheSha256OfTheCompactFileBytes)
{
    const QJsonObject library = named(defaultLibrary(), "Back");
    const QString hash = documentHash(library);
    EXPECT_EQ(hash, QString::fromLatin1(QCryptographicHash::hash(compact(library), QCryptographicHash::Sha256).toHex()));
    EXPECT_EQ(hash.size(), 64);
    EXPECT_EQ(hash, hash.toLower());
    EXPECT_NE(hash, documentHash(named(defaultLibrary(), "Forward")));
}

TEST(DocumentHash, TheDefaultLibraryIsLowerCaseSha256OfItsCompactJson)
{
    const QJsonObject library = defaultLibrary();
    const QString hash = documentHash(library);
    EXPECT_EQ(hash.size(), 64);
    EXPECT_EQ(hash, hash.toLower());
    EXPECT_EQ(hash, QString::fromLatin1(QCryptographicHash::hash(compact(library), QCryptographicHash::Sha256).toHex()));
    EXPECT_NE(hash, documentHash(edited(library, {"selectedLayer"}, 1)));
}

TEST(StripRuleNames, RemovesNamesOfEveryLayerAndNothingElse)
{
    QJsonObject library = vorna::test::libraryWithProfiles(2);
    library = withRules(library, 0, 0, {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", "A"}}});
    library = withRules(library, 1, 9, {QJsonObject{{"source", "key_65"}, {"target", "blocked"}, {"name", "B"}, {"modifiers", 2}}});
    const QJsonObject expected =
        withRules(withRules(library, 0, 0, {rule("mouse_back", "key_27")}), 1, 9, {rule("key_65", "blocked", 2)});
    EXPECT_EQ(stripRuleNames(library), expected);
    EXPECT_EQ(stripRuleNames(expected), expected);
}

} // namespace
