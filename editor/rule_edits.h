#pragma once

// The rule editor's changes to a library as plain functions: the list of rules in force for
// the selected layer as the QML table shows it, the check of a typed rule name, and the
// documents that saving, renaming and removing a rule produce. Every edit writes only the
// selected layer's own rules; the layers it inherits from stay as they are.

#include "editor/rule_identity.h"

#include <QJsonObject>
#include <QString>
#include <QVariantList>

#include <functional>

namespace editor {

// Longest rule name, in UTF-16 units after trimming.
inline constexpr int kMaxRuleNameUnits = 80;

// True when `name` may be stored: no line or paragraph separator and no control character
// anywhere (tabs and line feeds included), and at most kMaxRuleNameUnits once trimmed.
// `trimmed` receives the name to store.
bool ruleNameAcceptable(const QString& name, QString& trimmed);

// The rule being edited, as the editor state holds it; `name` already trimmed.
struct EditorRule {
    QString source;
    QString target;
    bool keepOriginal = false;
    int modifiers = 0;
    QJsonObject trigger; // empty: fires at once
    QString name;        // empty: no "name" key
};

// The stored form: "trigger" and "name" only when not empty.
QJsonObject ruleObject(const EditorRule& rule);

struct RuleSave {
    QJsonObject next;
    // The edit changes nothing but the name of the rule it replaces or overrides: it needs no
    // apply and does not make the library dirty.
    bool renameOnly = false;
};

// Stores `rule` in the selected layer: replaces the own rule with its identity in place, or
// appends it (overriding an inherited rule, or as a new one).
RuleSave savedRule(const QJsonObject& library, int profileIndex, int layerIndex, const EditorRule& rule);

struct RuleRename {
    enum Outcome { NotFound, Unchanged, Changed } outcome = NotFound;
    QJsonObject next;
};

// Gives the rule in force with this identity the (trimmed) name, or removes its "name" when
// the name is empty. An inherited rule is copied into the selected layer with the new name, so
// the layer it comes from keeps its own.
RuleRename renamedRule(const QJsonObject& library, int profileIndex, int layerIndex, const RuleIdentity& identity,
                       const QString& name);

// The library without the selected layer's own rules of this identity.
QJsonObject withoutRule(const QJsonObject& library, int profileIndex, int layerIndex, const RuleIdentity& identity);

// The selected layer's own rules (not those it inherits).
QJsonArray ownRules(const QJsonObject& library, int profileIndex, int layerIndex);

// The rules in force for the selected layer as the rule table shows them: every stored key,
// "identity", "inherited", "sourceLabel" and "targetLabel". `describe` names an input or
// output as the option tables do.
QVariantList ruleItems(const QJsonObject& library, int profileIndex, int layerIndex,
                       const std::function<QString(const QString&)>& describe, bool english);

} // namespace editor
