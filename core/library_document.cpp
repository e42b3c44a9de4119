#include "core/library_document.h"

#include "core/custom_action.h"
#include "core/json_checks.h"
#include "core/macro.h"
#include "core/model_id.h"
#include "core/motion_settings.h"
#include "core/output_mapping.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"
#include "core/rules_snapshot.h"
#include "core/text_checks.h"

#include <QHash>
#include <QJsonArray>
#include <QRegularExpression>
#include <QSet>
#include <QStringList>

#include <array>
#include <bitset>
#include <memory>
#include <vector>

namespace vorna::core {

namespace {

constexpr int kMaxNameUnits = 80;
constexpr qsizetype kMaxApplicationUnits = 1024;
constexpr qsizetype kMaxConditionTextUnits = 256;
constexpr int kMaxPriority = 1000;

// The root keys of schema 3; schema 2 has the same ones but "actions".
const QStringList& rootKeys()
{
    static const QStringList keys = {
        QStringLiteral("schemaVersion"), QStringLiteral("modelId"),  QStringLiteral("selectedProfile"),
        QStringLiteral("selectedLayer"), QStringLiteral("automatic"), QStringLiteral("profiles"),
        QStringLiteral("macros"),        QStringLiteral("actions"),
    };
    return keys;
}

bool isConditionText(const QJsonValue& value)
{
    return value.isString() && value.toString().size() <= kMaxConditionTextUnits && !containsNul(value.toString());
}

class LibraryCheck {
public:
    LibraryCheck(const QJsonObject& library, QString& error) : library_(library), error_(error) {}

    bool run();

private:
    bool fail(const char* text)
    {
        error_ = QString::fromLatin1(text);
        return false;
    }
    bool checkRoot();
    bool checkActions();
    bool checkMacros();
    bool checkSettings();
    bool checkProfile(qsizetype index, const QJsonValue& value);
    bool checkCondition(qsizetype index, const QJsonObject& profile);
    bool checkLayer(const QJsonValue& value);
    bool checkReferences(const CompiledRule* begin, const CompiledRule* end);
    bool checkRulesInForce();
    void noteIdentities(const CompiledRule* begin, const CompiledRule* end);

    // Which (source, modifiers) identities a layer defines, as bits of a dense numbering over
    // the document (at most one identity per rule of the document).
    using LayerIdentities = std::bitset<kMaxLibraryRules>;

    const QJsonObject& library_;
    QString& error_;
    int version_ = 0;
    qsizetype actionCount_ = 0;
    std::array<MacroMode, kMaxMacros> macroModes_{};
    qsizetype macroCount_ = 0;
    QJsonArray profiles_;
    QSet<QString> profileIds_;
    qsizetype ruleTotal_ = 0;
    QHash<quint64, qsizetype> identityIndex_;
    std::vector<LayerIdentities> layerIdentities_; // profile * 10 + layer, in check order
    // Where each layer's rules are compiled, one after the other.
    std::unique_ptr<std::array<CompiledRule, kMaxRules>> compiled_ = std::make_unique<std::array<CompiledRule, kMaxRules>>();
};

bool LibraryCheck::checkRoot()
{
    const double version = library_.value(QStringLiteral("schemaVersion")).toDouble(0);
    if (!hasOnlyKeys(library_, rootKeys()) || (version != 2 && version != 3))
        return fail("Unsupported library schema");
    version_ = static_cast<int>(version);
    if (version_ == 2) {
        if (library_.contains(QStringLiteral("actions")) || library_.size() < 6 || library_.size() > 7)
            return fail("Invalid legacy library fields");
    } else if (!library_.value(QStringLiteral("actions")).isArray() || library_.size() != rootKeys().size()) {
        return fail("Invalid action collection");
    }
    return true;
}

bool LibraryCheck::checkActions()
{
    const QJsonArray actions = library_.value(QStringLiteral("actions")).toArray();
    if (actions.size() > kMaxActions)
        return fail("Action count limit exceeded");
    for (const QJsonValue& value : actions) {
        if (!value.isObject())
            return fail("Expected action object");
        ParsedAction action;
        if (!parseAction(value.toObject(), action, error_))
            return false;
    }
    actionCount_ = actions.size();
    return true;
}

bool LibraryCheck::checkMacros()
{
    if (library_.contains(QStringLiteral("macros")) && !library_.value(QStringLiteral("macros")).isArray())
        return fail("Invalid macro collection");
    const QJsonArray macros = library_.value(QStringLiteral("macros")).toArray();
    if (macros.size() > static_cast<qsizetype>(kMaxMacros))
        return fail("Macro count limit exceeded");
    // One compiled macro at a time: the record is large and only its kinds, slots and mode matter here.
    auto macro = std::make_unique<Macro>();
    for (const QJsonValue& value : macros) {
        if (!value.isObject())
            return fail("Expected macro object");
        if (!parseMacro(value.toObject(), *macro, error_))
            return false;
        for (std::size_t step = 0; step < macro->stepCount; ++step) {
            const CompiledMacroStep& compiled = macro->steps[step];
            if (compiled.kind == MacroStepKind::Command && compiled.actionSlot > actionCount_)
                return fail("Macro references a missing action");
        }
        macroModes_[macroCount_++] = macro->mode;
    }
    return true;
}

bool LibraryCheck::checkSettings()
{
    const QJsonValue modelId = library_.value(QStringLiteral("modelId"));
    if (!modelId.isString() || !isKnownModelId(modelId.toString()) || !library_.value(QStringLiteral("automatic")).isBool()
        || !library_.value(QStringLiteral("profiles")).isArray())
        return fail("Invalid library settings");
    profiles_ = library_.value(QStringLiteral("profiles")).toArray();
    if (profiles_.isEmpty() || profiles_.size() > kMaxProfiles)
        return fail("Profile count must be 1..16");
    int selected = 0;
    if (!readWholeNumber(library_.value(QStringLiteral("selectedProfile")), 0, static_cast<int>(profiles_.size()) - 1, selected)
        || !readWholeNumber(library_.value(QStringLiteral("selectedLayer")), 0, kLayersPerProfile - 1, selected))
        return fail("Invalid selection");
    return true;
}

bool LibraryCheck::checkCondition(qsizetype index, const QJsonObject& profile)
{
    static const QStringList conditionKeys = {QStringLiteral("mode"), QStringLiteral("title"), QStringLiteral("class")};
    if (!profile.contains(QStringLiteral("condition")))
        return true;
    if (version_ == 2)
        return fail("Window conditions require schema v3");
    const QJsonValue value = profile.value(QStringLiteral("condition"));
    const QJsonObject condition = value.toObject();
    const QString mode = condition.value(QStringLiteral("mode")).toString();
    if (index == 0 || !value.isObject() || !hasOnlyKeys(condition, conditionKeys) || condition.size() != conditionKeys.size()
        || (mode != QStringLiteral("foreground") && mode != QStringLiteral("underCursor")))
        return fail("Invalid window condition");
    if (!isConditionText(condition.value(QStringLiteral("title"))) || !isConditionText(condition.value(QStringLiteral("class"))))
        return fail("Invalid window condition text");
    return true;
}

bool LibraryCheck::checkProfile(qsizetype index, const QJsonValue& value)
{
    static const QStringList profileKeys = {
        QStringLiteral("id"),       QStringLiteral("name"),   QStringLiteral("application"),
        QStringLiteral("priority"), QStringLiteral("layers"), QStringLiteral("condition"),
    };
    static const QRegularExpression idPattern(QRegularExpression::anchoredPattern(QStringLiteral("[a-zA-Z0-9_-]{1,64}")));

    if (!value.isObject())
        return fail("Expected profile object");
    const QJsonObject profile = value.toObject();
    if (!hasOnlyKeys(profile, profileKeys) || profile.size() < 5 || profile.size() > 6)
        return fail("Unknown profile field");
    if (!checkCondition(index, profile))
        return false;

    const QString id = profile.value(QStringLiteral("id")).toString();
    if (!idPattern.match(id).hasMatch() || profileIds_.contains(id) || (index == 0 && id != QStringLiteral("global")))
        return fail("Invalid profile identity");
    profileIds_.insert(id);

    const QJsonValue application = profile.value(QStringLiteral("application"));
    if (!isBoundedString(profile.value(QStringLiteral("name")), kMaxNameUnits) || !application.isString()
        || application.toString().size() > kMaxApplicationUnits || containsNul(application.toString()))
        return fail("Invalid profile name or application");
    int priority = 0;
    if (!readWholeNumber(profile.value(QStringLiteral("priority")), -kMaxPriority, kMaxPriority, priority))
        return fail("Invalid priority");
    if (index == 0 && !application.toString().isEmpty())
        return fail("Global profile cannot target an application");

    const QJsonValue layers = profile.value(QStringLiteral("layers"));
    if (!layers.isArray() || layers.toArray().size() != kLayersPerProfile)
        return fail("Exactly ten layers required");
    for (const QJsonValue& layer : layers.toArray()) {
        if (!checkLayer(layer))
            return false;
    }
    return true;
}

bool LibraryCheck::checkLayer(const QJsonValue& value)
{
    static const QStringList layerKeys = {QStringLiteral("name"), QStringLiteral("rules"), QStringLiteral("motion")};
    if (!value.isObject())
        return fail("Expected layer object");
    const QJsonObject layer = value.toObject();
    if (!hasOnlyKeys(layer, layerKeys) || layer.size() < 2 || layer.size() > 3
        || !isBoundedString(layer.value(QStringLiteral("name")), kMaxNameUnits) || !layer.value(QStringLiteral("rules")).isArray())
        return fail("Invalid layer");
    if (layer.contains(QStringLiteral("motion"))) {
        const QJsonValue motion = layer.value(QStringLiteral("motion"));
        MotionSettings settings;
        QString motionError;
        if (version_ != 3 || !motion.isObject() || !parseMotionSettings(motion.toObject(), settings, motionError))
            return fail("Invalid motion settings");
    }

    const QJsonArray rules = layer.value(QStringLiteral("rules")).toArray();
    ruleTotal_ += rules.size();
    if (ruleTotal_ > kMaxLibraryRules)
        return fail("Library rule limit exceeded");
    if (version_ == 2) {
        for (const QJsonValue& rule : rules) {
            if (rule.toObject().contains(QStringLiteral("trigger")))
                return fail("Advanced triggers require schema v3");
            if (rule.toObject().contains(QStringLiteral("name")))
                return fail("Rule names require schema v3");
        }
    }
    std::size_t count = 0;
    if (!parseRuleList(rules, *compiled_, count, error_))
        return false;
    const CompiledRule* begin = compiled_->data();
    noteIdentities(begin, begin + count);
    return checkReferences(begin, begin + count);
}

// Slot references of one compiled layer, in four passes so that each kind of fault has its
// own precedence whatever the rule order.
bool LibraryCheck::checkReferences(const CompiledRule* begin, const CompiledRule* end)
{
    for (const CompiledRule* rule = begin; rule != end; ++rule) {
        if (rule->trigger != TriggerKind::HoldTap && rule->trigger != TriggerKind::Double)
            continue;
        CompiledRule alternative;
        makeAlternativeRule(alternative, *rule);
        if (alternative.targetKind == TargetKind::Macro && alternative.macroSlot > macroCount_)
            return fail("Fallback references a missing macro");
        if (alternative.targetKind == TargetKind::Action && alternative.actionSlot > actionCount_)
            return fail("Fallback references a missing action");
    }
    for (const CompiledRule* rule = begin; rule != end; ++rule) {
        if (rule->targetKind == TargetKind::Macro && rule->macroSlot > macroCount_)
            return fail("Rule references a missing macro");
    }
    for (const CompiledRule* rule = begin; rule != end; ++rule) {
        if (rule->targetKind == TargetKind::Action && rule->actionSlot > actionCount_)
            return fail("Rule references a missing action");
    }
    for (const CompiledRule* rule = begin; rule != end; ++rule) {
        if (isWheelInput(rule->source) && rule->targetKind == TargetKind::Macro
            && macroModes_[rule->macroSlot - 1] == MacroMode::Hold)
            return fail("Wheel cannot hold a macro trigger");
    }
    return true;
}

// The rules in force for a profile and layer must pass the rule-list check as one list. Every
// rule of such a list already passed that check in its own layer, and nothing in a rule's check
// depends on its position or its neighbours except the count and the (source, modifiers)
// uniqueness, which inheritance keeps by construction. So only the count can fail here, and it
// is the union of the three layers' identities; only a list that is too long is built and run
// through the check, for its exact text. This keeps the check of the largest library fast
// instead of compiling 160 lists of 256 rules again.
bool LibraryCheck::checkRulesInForce()
{
    for (int profile = 0; profile < profiles_.size(); ++profile) {
        for (int layer = 0; layer < kLayersPerProfile; ++layer) {
            const LayerIdentities inForce = layerIdentities_[0] | layerIdentities_[profile * kLayersPerProfile]
                                            | layerIdentities_[profile * kLayersPerProfile + layer];
            if (inForce.count() <= kMaxRules)
                continue;
            std::size_t count = 0;
            if (!parseRuleList(effectiveRules(library_, profile, layer), *compiled_, count, error_))
                return false;
        }
    }
    return true;
}

void LibraryCheck::noteIdentities(const CompiledRule* begin, const CompiledRule* end)
{
    LayerIdentities identities;
    for (const CompiledRule* at = begin; at != end; ++at) {
        const CompiledRule& rule = *at;
        const quint64 identity = quint64(rule.source) << 8 | rule.modifiers;
        const auto known = identityIndex_.constFind(identity);
        const qsizetype index = known != identityIndex_.constEnd() ? *known : identityIndex_.size();
        if (known == identityIndex_.constEnd())
            identityIndex_.insert(identity, index);
        identities.set(static_cast<std::size_t>(index));
    }
    layerIdentities_.push_back(identities);
}

bool LibraryCheck::run()
{
    error_.clear();
    if (!checkRoot() || !checkActions() || !checkMacros() || !checkSettings())
        return false;
    for (qsizetype index = 0; index < profiles_.size(); ++index) {
        if (!checkProfile(index, profiles_.at(index)))
            return false;
    }
    if (!checkRulesInForce())
        return false;
    if (compactJsonSize(library_) > kMaxLibraryJsonBytes)
        return fail("Library too large");
    return true;
}

} // namespace

bool validateLibrary(const QJsonObject& library, QString& error)
{
    return LibraryCheck(library, error).run();
}

} // namespace vorna::core
