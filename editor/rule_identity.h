#pragma once

// A rule within one layer is known by its source and its modifiers: the text "source#modifiers"
// that the QML rows carry and that selecting, renaming and removing take. The three operations
// read a missing or malformed modifiers part differently, so the reading is one table here.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace editor {

struct RuleIdentity {
    QString source;
    int modifiers = 0;
};

// The operation an identity text is read for.
enum class IdentityUse {
    Select, // no "#" or a bad number: modifiers 0
    Rename, // no "#": modifiers 0; a bad number or one outside 0..15: not found
    Remove, // no "#": the editor's current modifiers; a bad number: modifiers 0
};

// Reads `text` for `use`; empty when the operation must report the rule as not found.
// `currentModifiers` is the editor's value, used by Remove for a bare input id.
std::optional<RuleIdentity> parseRuleIdentity(const QString& text, IdentityUse use, int currentModifiers);

// "source#modifiers".
QString ruleIdentityText(const QString& source, int modifiers);

// A stored rule's modifiers; a rule without "modifiers" counts as 0.
int ruleModifiers(const QJsonObject& rule);

bool ruleMatches(const QJsonObject& rule, const QString& source, int modifiers);

// Index of the first rule of `rules` with this identity, or -1.
int findRule(const QJsonArray& rules, const QString& source, int modifiers);

} // namespace editor
