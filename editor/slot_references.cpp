#include "editor/slot_references.h"

#include <QJsonArray>
#include <QList>

#include <algorithm>
#include <functional>

namespace library {

namespace {

const QString kProfiles = QStringLiteral("profiles");
const QString kLayers = QStringLiteral("layers");
const QString kRules = QStringLiteral("rules");
const QString kTarget = QStringLiteral("target");
const QString kTrigger = QStringLiteral("trigger");
const QString kFallback = QStringLiteral("fallback");
const QString kMacros = QStringLiteral("macros");
const QString kActions = QStringLiteral("actions");
const QString kSteps = QStringLiteral("steps");
const QString kType = QStringLiteral("type");
const QString kInput = QStringLiteral("input");
const QString kCommand = QStringLiteral("command");

QString withSlot(QStringView prefix, qint32 slot)
{
    return prefix.toString() + QString::number(slot);
}

// Calls `visit` on every rule of every layer of every profile, in list order, and writes each
// level back. Stops at the first rule `visit` refuses and returns false; the library is then
// partly rewritten, so callers that may refuse work on a copy.
bool forEachRule(QJsonObject& library, const std::function<bool(QJsonObject&)>& visit)
{
    QJsonArray profiles = library.value(kProfiles).toArray();
    for (qsizetype p = 0; p < profiles.size(); ++p) {
        QJsonObject profile = profiles.at(p).toObject();
        QJsonArray layers = profile.value(kLayers).toArray();
        for (qsizetype l = 0; l < layers.size(); ++l) {
            QJsonObject layer = layers.at(l).toObject();
            QJsonArray rules = layer.value(kRules).toArray();
            for (qsizetype r = 0; r < rules.size(); ++r) {
                QJsonObject rule = rules.at(r).toObject();
                if (!visit(rule))
                    return false;
                rules.replace(r, rule);
            }
            layer.insert(kRules, rules);
            layers.replace(l, layer);
        }
        profile.insert(kLayers, layers);
        profiles.replace(p, profile);
    }
    library.insert(kProfiles, profiles);
    return true;
}

// Calls `visit` on the "input" of every command step of `steps`; false at the first refusal.
bool forEachCommandInput(QJsonArray& steps, const std::function<bool(QString&)>& visit)
{
    for (qsizetype s = 0; s < steps.size(); ++s) {
        QJsonObject step = steps.at(s).toObject();
        if (step.value(kType).toString() != kCommand)
            continue;
        const QString before = step.value(kInput).toString();
        QString input = before;
        if (!visit(input))
            return false;
        if (input == before)
            continue; // a step left alone keeps its input exactly as it was
        step.insert(kInput, input);
        steps.replace(s, step);
    }
    return true;
}

// Calls `visit` on the steps of every macro and writes them back; false at the first refusal.
bool forEachMacroSteps(QJsonObject& library, const std::function<bool(QJsonArray&)>& visit)
{
    QJsonArray macros = library.value(kMacros).toArray();
    for (qsizetype m = 0; m < macros.size(); ++m) {
        QJsonObject macro = macros.at(m).toObject();
        QJsonArray steps = macro.value(kSteps).toArray();
        if (!visit(steps))
            return false;
        macro.insert(kSteps, steps);
        macros.replace(m, macro);
    }
    library.insert(kMacros, macros);
    return true;
}

// Adds the slot a rule's reference names to the used set of its list.
void collectReference(const QString& text, SlotSet& actions, SlotSet& macros)
{
    if (text.startsWith(kActionPrefix))
        actions.insert(referenceSlot(text, kActionPrefix));
    else if (text.startsWith(kMacroPrefix))
        macros.insert(referenceSlot(text, kMacroPrefix));
}

} // namespace

qint32 referenceSlot(QStringView text, QStringView prefix)
{
    if (!text.startsWith(prefix))
        return 0;
    bool ok = false;
    const qint32 slot = text.mid(prefix.size()).toInt(&ok, 10);
    return ok ? slot : 0;
}

QString renumberReference(QString text, const SlotMap& actions, const SlotMap& macros)
{
    if (text.startsWith(kActionPrefix))
        return withSlot(kActionPrefix, actions.value(referenceSlot(text, kActionPrefix), 0));
    if (text.startsWith(kMacroPrefix))
        return withSlot(kMacroPrefix, macros.value(referenceSlot(text, kMacroPrefix), 0));
    return text;
}

void renumberRuleReferences(QJsonObject& library, const SlotMap& actions, const SlotMap& macros)
{
    forEachRule(library, [&](QJsonObject& rule) {
        if (rule.contains(kTarget))
            rule.insert(kTarget, renumberReference(rule.value(kTarget).toString(), actions, macros));
        QJsonObject trigger = rule.value(kTrigger).toObject();
        if (trigger.contains(kFallback)) {
            trigger.insert(kFallback, renumberReference(trigger.value(kFallback).toString(), actions, macros));
            rule.insert(kTrigger, trigger);
        }
        return true;
    });
}

void renumberMacroReferences(QJsonObject& library, const SlotMap& actions)
{
    forEachMacroSteps(library, [&](QJsonArray& steps) {
        return forEachCommandInput(steps, [&](QString& input) {
            input = renumberReference(input, actions, {});
            return true;
        });
    });
}

SlotMap appendPackageSlots(QJsonObject& destination, const QJsonObject& package, const QString& key)
{
    QJsonArray list = destination.value(key).toArray();
    const QJsonArray incoming = package.value(key).toArray();
    SlotMap map;
    for (qsizetype i = 0; i < incoming.size(); ++i) {
        const QJsonValue entry = incoming.at(i);
        const auto found = std::find(list.begin(), list.end(), entry);
        if (found != list.end()) {
            map.insert(qint32(i + 1), qint32(found - list.begin() + 1));
        } else {
            list.append(entry);
            map.insert(qint32(i + 1), qint32(list.size()));
        }
    }
    destination.insert(key, list);
    return map;
}

SlotMap keepUsedSlots(QJsonObject& library, const QString& key, const SlotSet& used)
{
    QList<qint32> ordered(used.begin(), used.end());
    std::sort(ordered.begin(), ordered.end());
    const QJsonArray old = library.value(key).toArray();
    QJsonArray kept;
    SlotMap map;
    for (const qint32 slot : ordered) {
        map.insert(slot, qint32(kept.size() + 1));
        // A checked library has no reference outside its list; a stray one keeps nothing.
        kept.append(slot >= 1 && slot <= old.size() ? old.at(slot - 1) : QJsonValue());
    }
    library.insert(key, kept);
    return map;
}

void compactLibrary(QJsonObject& library)
{
    SlotSet usedActions;
    SlotSet usedMacros;
    forEachRule(library, [&](QJsonObject& rule) {
        collectReference(rule.value(kTarget).toString(), usedActions, usedMacros);
        collectReference(rule.value(kTrigger).toObject().value(kFallback).toString(), usedActions, usedMacros);
        return true;
    });
    const QJsonArray macros = library.value(kMacros).toArray();
    for (const qint32 slot : std::as_const(usedMacros)) {
        const QJsonArray steps = macros.at(slot - 1).toObject().value(kSteps).toArray();
        for (const QJsonValue& step : steps) {
            const QJsonObject object = step.toObject();
            if (object.value(kType).toString() == kCommand)
                usedActions.insert(referenceSlot(object.value(kInput).toString(), kActionPrefix));
        }
    }
    const SlotMap actionMap = keepUsedSlots(library, kActions, usedActions);
    const SlotMap macroMap = keepUsedSlots(library, kMacros, usedMacros);
    renumberRuleReferences(library, actionMap, macroMap);
    renumberMacroReferences(library, actionMap);
}

bool setError(QString& error, const char* message)
{
    error = QString::fromUtf8(message);
    return false;
}

QString shiftReferenceDown(const QString& text, QStringView prefix, qint32 slot)
{
    const qint32 number = referenceSlot(text, prefix);
    return number > slot ? withSlot(prefix, number - 1) : text;
}

bool shiftRuleReferences(QJsonObject& rule, QStringView prefix, qint32 slot)
{
    QJsonObject trigger = rule.value(kTrigger).toObject();
    const QString target = rule.value(kTarget).toString();
    const QString fallback = trigger.value(kFallback).toString();
    if (referenceSlot(target, prefix) == slot || referenceSlot(fallback, prefix) == slot)
        return false;
    if (rule.contains(kTarget))
        rule.insert(kTarget, shiftReferenceDown(target, prefix, slot));
    if (trigger.contains(kFallback)) {
        trigger.insert(kFallback, shiftReferenceDown(fallback, prefix, slot));
        rule.insert(kTrigger, trigger);
    }
    return true;
}

bool shiftLibraryRuleReferences(QJsonObject& library, QStringView prefix, qint32 slot)
{
    QJsonObject copy = library;
    if (!forEachRule(copy, [&](QJsonObject& rule) { return shiftRuleReferences(rule, prefix, slot); }))
        return false;
    library = copy;
    return true;
}

bool shiftCommandSteps(QJsonArray& steps, qint32 slot)
{
    QJsonArray copy = steps;
    if (!forEachCommandInput(copy, [&](QString& input) {
            if (referenceSlot(input, kActionPrefix) == slot)
                return false;
            input = shiftReferenceDown(input, kActionPrefix, slot);
            return true;
        }))
        return false;
    steps = copy;
    return true;
}

bool shiftLibraryCommandSteps(QJsonObject& library, qint32 slot)
{
    QJsonObject copy = library;
    if (!forEachMacroSteps(copy, [&](QJsonArray& steps) { return shiftCommandSteps(steps, slot); }))
        return false;
    library = copy;
    return true;
}

} // namespace library
