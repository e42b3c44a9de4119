// Reading "source#modifiers" for each operation, and writing it back.

#include "editor/rule_identity.h"

#include <gtest/gtest.h>

namespace {

using editor::IdentityUse;

struct IdentityCase {
    const char* text;
    IdentityUse use;
    bool found;
    const char* source;
    int modifiers;
};

TEST(RuleIdentity, EachOperationReadsTheModifiersItsOwnWay)
{
    constexpr int current = 6; // the editor's modifiers, used by removing a bare id
    const IdentityCase cases[] = {
        {"mouse_back#3", IdentityUse::Select, true, "mouse_back", 3},
        {"mouse_back#3", IdentityUse::Rename, true, "mouse_back", 3},
        {"mouse_back#3", IdentityUse::Remove, true, "mouse_back", 3},
        {"mouse_back", IdentityUse::Select, true, "mouse_back", 0},
        {"mouse_back", IdentityUse::Rename, true, "mouse_back", 0},
        {"mouse_back", IdentityUse::Remove, true, "mouse_back", current},
        {"mouse_back#x", IdentityUse::Select, true, "mouse_back", 0},
        {"mouse_back#x", IdentityUse::Rename, false, "", 0},
        {"mouse_back#x", IdentityUse::Remove, true, "mouse_back", 0},
        {"mouse_back#", IdentityUse::Rename, false, "", 0},
        {"mouse_back#99999999999", IdentityUse::Select, true, "mouse_back", 0},
        {"mouse_back#16", IdentityUse::Select, true, "mouse_back", 16},
        {"mouse_back#16", IdentityUse::Rename, false, "", 0},
        {"mouse_back#-1", IdentityUse::Rename, false, "", 0},
        {"mouse_back#-1", IdentityUse::Remove, true, "mouse_back", -1},
        {"mouse_back#15", IdentityUse::Rename, true, "mouse_back", 15},
        {"a#2#3", IdentityUse::Select, true, "a", 0}, // only the first "#" splits
        {"#4", IdentityUse::Select, true, "", 4},
    };
    for (const IdentityCase& c : cases) {
        SCOPED_TRACE(testing::Message() << c.text << " use " << static_cast<int>(c.use));
        const auto identity = editor::parseRuleIdentity(QString::fromUtf8(c.text), c.use, current);
        ASSERT_EQ(identity.has_value(), c.found);
        if (!c.found)
            continue;
        EXPECT_EQ(identity->source, QString::fromUtf8(c.source));
        EXPECT_EQ(identity->modifiers, c.modifiers);
    }
}

TEST(RuleIdentity, TextReadsBackToTheSameRuleForEveryOperation)
{
    for (const IdentityUse use : {IdentityUse::Select, IdentityUse::Rename, IdentityUse::Remove}) {
        for (int modifiers = 0; modifiers <= 15; ++modifiers) {
            const QString text = editor::ruleIdentityText(QStringLiteral("key_65"), modifiers);
            const auto identity = editor::parseRuleIdentity(text, use, 9);
            ASSERT_TRUE(identity.has_value()) << text.toStdString();
            EXPECT_EQ(identity->source, QStringLiteral("key_65"));
            EXPECT_EQ(identity->modifiers, modifiers);
        }
    }
    EXPECT_EQ(editor::ruleIdentityText(QStringLiteral("mouse_back"), 0), QStringLiteral("mouse_back#0"));
}

TEST(RuleIdentity, AbsentModifiersMatchZero)
{
    const QJsonArray rules{QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}},
                           QJsonObject{{"source", "mouse_back"}, {"target", "key_9"}, {"modifiers", 2}}};
    EXPECT_EQ(editor::findRule(rules, QStringLiteral("mouse_back"), 0), 0);
    EXPECT_EQ(editor::findRule(rules, QStringLiteral("mouse_back"), 2), 1);
    EXPECT_EQ(editor::findRule(rules, QStringLiteral("mouse_back"), 1), -1);
    EXPECT_EQ(editor::findRule(rules, QStringLiteral("mouse_forward"), 0), -1);
}

} // namespace
