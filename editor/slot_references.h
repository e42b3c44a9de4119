#pragma once

// Slot references: rules and macros name a custom action or a macro by its position in the
// library's "actions" or "macros" list ("action:3", "macro:1"). Whenever a list is cut down or
// merged into another library, every reference must move with its entry. These functions do that
// on documents the caller owns; they read no file, show nothing and report nothing: their input
// is a library that has passed the core's check.
//
// The three places that hold references are a rule's "target", its trigger's "fallback" and the
// "input" of a macro step of type "command" (action references only). Trigger keys, input ids and
// layer targets carry numbers too and are never touched.

#include <QJsonArray>
#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>
#include <QStringView>

namespace library {

inline constexpr QStringView kActionPrefix = u"action:";
inline constexpr QStringView kMacroPrefix = u"macro:";

// Old slot number to new slot number, one map per list; a number that is not a key reads as 0.
using SlotMap = QMap<qint32, qint32>;
// Slot numbers of one list that something uses.
using SlotSet = QSet<qint32>;

// The slot number of `text` when it starts with `prefix` (exact, case-sensitive): the rest read
// as a decimal integer, 0 when it is not one or does not fit in 32 bits ("action:007" is 7).
// Text with another prefix is 0 as well, so a reference is never read past an unchecked prefix.
qint32 referenceSlot(QStringView text, QStringView prefix);

// `text` rewritten through the map of its list; any text that is not an action or macro
// reference comes back unchanged. A number the map does not cover becomes slot 0, which the
// library check refuses.
QString renumberReference(QString text, const SlotMap& actions, const SlotMap& macros);

// Rewrites the target and the trigger fallback of every rule of every layer of every profile.
// A trigger without "fallback" stays exactly as it was; a rule without trigger gets none.
void renumberRuleReferences(QJsonObject& library, const SlotMap& actions, const SlotMap& macros);

// Rewrites the input of every command step of every macro with the action map.
void renumberMacroReferences(QJsonObject& library, const SlotMap& actions);

// Merges the package's list under `key` ("actions" or "macros") into the destination: an entry
// equal (as a JSON value) to one already there, appended ones included, reuses that slot; any
// other is appended. Returns the map from every package slot to its destination slot. No count
// limit here: the library check that ends an import refuses a list grown too long.
SlotMap appendPackageSlots(QJsonObject& destination, const QJsonObject& package, const QString& key);

// Keeps only the used entries of the list under `key`, in their old order, renumbered from 1
// without gaps; returns the map from old slot to new slot.
SlotMap keepUsedSlots(QJsonObject& library, const QString& key, const SlotSet& used);

// Drops every action and macro that nothing reaches and renumbers what is left: a macro survives
// when a rule targets it or names it as fallback; an action also when a command step of a
// surviving macro calls it.
void compactLibrary(QJsonObject& library);

// Replaces `error` with `message` and returns false, so a failing step reports in one statement.
bool setError(QString& error, const char* message);

// ---- Deleting one slot ----
// Deleting entry `slot` of a list moves every reference above it down by one and must be
// refused while anything still names `slot` itself.

// The reference with `prefix` moved down when its slot lies above `slot`; any other text,
// `slot` itself included, unchanged.
QString shiftReferenceDown(const QString& text, QStringView prefix, qint32 slot);

// For one rule: false, with the rule untouched, when its target or trigger fallback names `slot`
// of `prefix`; otherwise true with both moved down past the deleted slot. A rule without
// trigger or fallback gains neither.
bool shiftRuleReferences(QJsonObject& rule, QStringView prefix, qint32 slot);

// The same for every rule of the library; false (and the library untouched) when any rule still
// names the slot.
bool shiftLibraryRuleReferences(QJsonObject& library, QStringView prefix, qint32 slot);

// For a list of macro steps: false, with the steps untouched, when a command step calls action
// `slot`; otherwise true with command steps above it moved down.
bool shiftCommandSteps(QJsonArray& steps, qint32 slot);

// The same for the command steps of every macro of the library; false (and the library
// untouched) when any of them calls action `slot`.
bool shiftLibraryCommandSteps(QJsonObject& library, qint32 slot);

} // namespace library
