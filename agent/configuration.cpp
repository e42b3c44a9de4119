#include "agent/configuration.h"

#include "core/input_id.h"
#include "core/macro.h"
#include "core/motion_settings.h"
#include "core/rule_inheritance.h"
#include "core/rule_list.h"

#include <QCryptographicHash>
#include <QJsonArray>
#include <QJsonDocument>

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
    compiled.programs.assign(std::size_t(profiles.size()), windows::LayerProgram{});
    compiled.snapshots.clear();
    compiled.touchesCritical = false;
    for (int p = 0; p < int(profiles.size()); ++p) {
        windows::LayerProgram& program = compiled.programs[std::size_t(p)];
        program.initialLayer = static_cast<std::uint8_t>(compiled.selectedLayer);
        program.enabled = 1;
        program.profileIndex = static_cast<std::uint8_t>(p);
        program.actionCount = static_cast<std::uint8_t>(actionCount);
        for (int layer = 0; layer < int(windows::kProgramLayers); ++layer) {
            core::RulesSnapshot& snapshot = program.layers[std::size_t(layer)];
            core::MotionSettings& motion = program.motion[std::size_t(layer)];
            if (!core::parseRules(core::effectiveRules(library, p, layer), snapshot, error) ||
                !core::parseMotionSettings(core::effectiveMotion(library, p, layer), motion, error))
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

QString documentHash(const QJsonObject& library)
{
    const QByteArray json = QJsonDocument(library).toJson(QJsonDocument::Compact);
    return QString::fromLatin1(QCryptographicHash::hash(json, QCryptographicHash::Sha256).toHex());
}

} // namespace vorna::ipc
