#include "agent/configuration.h"

#include "core/input_id.h"
#include "core/macro.h"
#include "core/motion_settings.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"

#include <QJsonArray>
#include <QHash>
#include <QPair>

#include <algorithm>
#include <memory>
#include <vector>

namespace vorna::ipc {

bool motionTouchesCritical(const core::MotionSettings& m)
{
    return m.cursorX != 100 || m.cursorY != 100 || m.invertX || m.invertY || m.axis != 0;
}

bool ruleTouchesCritical(const core::CompiledRule& rule)
{
    if (!core::isCriticalInput(core::inputIdName(rule.source)))
        return false;
    const bool passesOn = rule.trigger == core::TriggerKind::None &&
                          (rule.targetKind == core::TargetKind::Unchanged ||
                           (rule.targetKind == core::TargetKind::KeyOutput && rule.output == rule.source &&
                            rule.chordKeyCount == 0));
    return !passesOn;
}

bool programIsActive(const core::RulesSnapshot& snapshot, const windows::LayerProgram& program)
{
    if (snapshot.count > 0)
        return true;
    const core::MotionSettings& m = program.motion[program.initialLayer % windows::kProgramLayers];
    return m.wheelVertical != 100 || m.wheelHorizontal != 100 || m.invertVertical || m.invertHorizontal || m.pages ||
           m.verticalToHorizontal || motionTouchesCritical(m);
}

bool applyNeedsTrial(bool active, const QString& source, const QString& target)
{
    return active && core::isCriticalInput(source) && source != target;
}

namespace {

// One layer's own rules, checked and compiled once: the records in list order and, for each, the
// identity inheritance replaces by (the exact source text and the modifiers).
struct OwnRules {
    std::vector<core::CompiledRule> records;
    std::vector<int> identities; // index into the library's table of distinct identities
};

using IdentityTable = QHash<QPair<QString, int>, int>;

bool compileOwnRules(const QJsonArray& rules, IdentityTable& identities, OwnRules& own, QString& error)
{
    auto snapshot = std::make_unique<core::RulesSnapshot>();
    if (!core::parseRules(rules, *snapshot, error))
        return false;
    // The snapshot is in match order; a record's id is its 1-based place in the list.
    own.records.assign(std::size_t(snapshot->count), core::CompiledRule{});
    for (std::size_t i = 0; i < snapshot->count; ++i)
        own.records[snapshot->rules[i].id - 1] = snapshot->rules[i];
    own.identities.reserve(own.records.size());
    for (const QJsonValue& rule : rules) {
        const QJsonObject object = rule.toObject();
        const QPair<QString, int> identity{object.value(QStringLiteral("source")).toString(),
                                           object.value(QStringLiteral("modifiers")).toInt(0)};
        auto known = identities.constFind(identity);
        if (known == identities.constEnd())
            known = identities.insert(identity, int(identities.size()));
        own.identities.push_back(*known);
    }
    return true;
}

} // namespace

bool compileLibrary(const QJsonObject& library, CompiledLibrary& compiled, QString& error)
{
    compiled.selectedLayer = library.value(QStringLiteral("selectedLayer")).toInt(0);
    const QJsonArray profiles = library.value(QStringLiteral("profiles")).toArray();
    const QJsonArray macros = library.value(QStringLiteral("macros")).toArray();
    for (qsizetype i = 0; i < macros.size() && i < qsizetype(compiled.macros.size()); ++i) {
        if (!core::parseMacro(macros.at(i).toObject(), compiled.macros[std::size_t(i)], error))
            return false;
    }
    const int actionCount = int(library.value(QStringLiteral("actions")).toArray().size());
    const std::size_t layerCount = windows::kProgramLayers;

    // The rules in force in a layer are those of the global base layer, the profile's base
    // layer and the layer itself, a later one replacing an earlier one of the same identity in
    // place (as core::effectiveRules lists them). Every rule is compiled once in its own layer
    // and the lists in force are put together from those records: compiling each of the 160
    // lists in force of a large library again from its JSON took most of the time of a
    // "configure". A record's check does not depend on its place in the list, only its id does.
    IdentityTable identityIndex;
    std::vector<OwnRules> own(std::size_t(profiles.size()) * layerCount);
    for (int p = 0; p < int(profiles.size()); ++p) {
        const QJsonArray layers = profiles.at(p).toObject().value(QStringLiteral("layers")).toArray();
        for (std::size_t layer = 0; layer < layerCount; ++layer) {
            const QJsonArray rules = layers.at(qsizetype(layer)).toObject().value(QStringLiteral("rules")).toArray();
            if (!compileOwnRules(rules, identityIndex, own[std::size_t(p) * layerCount + layer], error))
                return false;
        }
    }

    compiled.programs.assign(std::size_t(profiles.size()), windows::LayerProgram{});
    compiled.snapshots.clear();
    compiled.touchesCritical = false;
    std::vector<core::CompiledRule> inForce;
    std::vector<int> positions(std::size_t(identityIndex.size()), -1); // identity -> place in inForce
    for (int p = 0; p < int(profiles.size()); ++p) {
        windows::LayerProgram& program = compiled.programs[std::size_t(p)];
        program.initialLayer = static_cast<std::uint8_t>(compiled.selectedLayer);
        program.enabled = 1;
        program.profileIndex = static_cast<std::uint8_t>(p);
        program.actionCount = static_cast<std::uint8_t>(actionCount);
        for (int layer = 0; layer < int(layerCount); ++layer) {
            core::RulesSnapshot& snapshot = program.layers[std::size_t(layer)];
            core::MotionSettings& motion = program.motion[std::size_t(layer)];
            inForce.clear();
            std::fill(positions.begin(), positions.end(), -1);
            const std::size_t chain[] = {0, std::size_t(p) * layerCount, std::size_t(p) * layerCount + std::size_t(layer)};
            const std::size_t links = 1 + (p != 0 ? 1 : 0) + (layer != 0 ? 1 : 0);
            const std::size_t used[] = {chain[0], p != 0 ? chain[1] : chain[2], chain[2]};
            for (std::size_t link = 0; link < links; ++link) {
                const OwnRules& rules = own[used[link]];
                for (std::size_t r = 0; r < rules.records.size(); ++r) {
                    int& place = positions[std::size_t(rules.identities[r])];
                    if (place < 0) {
                        place = int(inForce.size());
                        inForce.push_back(rules.records[r]);
                    } else {
                        inForce[std::size_t(place)] = rules.records[r];
                    }
                }
            }
            bool rulesOk = inForce.size() <= core::kMaxRules;
            if (rulesOk) {
                for (std::size_t r = 0; r < inForce.size(); ++r)
                    inForce[r].id = std::uint32_t(r + 1);
                rulesOk = core::compileRules(inForce.data(), inForce.size(), snapshot) == core::kCompileOk;
            }
            // A list the records cannot make goes the long way, for the check's exact text.
            if (!rulesOk && !core::parseRules(core::effectiveRules(library, p, layer), snapshot, error))
                return false;
            if (!core::parseMotionSettings(core::effectiveMotion(library, p, layer), motion, error))
                return false;
            if (!compiled.touchesCritical) {
                compiled.touchesCritical = motionTouchesCritical(motion);
                for (std::uint64_t r = 0; r < snapshot.count && !compiled.touchesCritical; ++r)
                    compiled.touchesCritical = ruleTouchesCritical(snapshot.rules[std::size_t(r)]);
            }
        }
        compiled.snapshots.push_back(program.layers[std::size_t(compiled.selectedLayer) % windows::kProgramLayers]);
    }
    return true;
}

const core::RulesSnapshot& emptySnapshot()
{
    static const core::RulesSnapshot snapshot{};
    return snapshot;
}

const windows::LayerProgram& defaultProgram()
{
    static const windows::LayerProgram program{};
    return program;
}

const windows::MacroBank& defaultMacros()
{
    static const windows::MacroBank macros{};
    return macros;
}

} // namespace vorna::ipc
