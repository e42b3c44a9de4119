#include "core/output_mapping.h"

#include "core/rules_snapshot.h"

#include <QRegularExpression>
#include <QStringList>

namespace vorna::core {

namespace {

QRegularExpression anchored(const char* pattern)
{
    return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(pattern)));
}

// Reads the slot number of "action:N" or "macro:N"; the pattern bounds it.
bool readSlot(const QRegularExpression& pattern, const QString& target, std::uint16_t& slot)
{
    const QRegularExpressionMatch match = pattern.match(target);
    if (!match.hasMatch())
        return false;
    slot = std::uint16_t(match.captured(1).toUInt());
    return true;
}

// Fills the layer fields from "layer:<op>:<1-10>[:<timer>]"; an empty result means success.
QString parseLayer(const QString& target, CompiledRule& rule)
{
    static const QRegularExpression pattern =
        anchored("layer:(hold|set|once|timed):([1-9]|10)(?::([1-9][0-9]{2,4}))?");
    const QRegularExpressionMatch match = pattern.match(target);
    if (!match.hasMatch())
        return QStringLiteral("Invalid layer action");
    const QString op = match.captured(1);
    const bool timed = op == QLatin1String("timed");
    const bool hasTimer = match.hasCaptured(3);
    if (timed && !hasTimer)
        return QStringLiteral("Layer timer required");
    if (!timed && hasTimer)
        return QStringLiteral("Unexpected layer timer");
    rule.targetKind = TargetKind::Layer;
    rule.layerOp = op == QLatin1String("hold") ? LayerOp::Hold
        : op == QLatin1String("set")           ? LayerOp::Set
        : op == QLatin1String("once")          ? LayerOp::Once
                                               : LayerOp::Timed;
    rule.layerIndex = std::uint8_t(match.captured(2).toUInt() - 1);
    if (timed)
        rule.layerTimerMs = match.captured(3).toUInt();
    return QString();
}

// Fills the output and chord keys from "chord:<key>+<key>[+<key>[+<key>]]".
QString parseChord(const QString& target, CompiledRule& rule)
{
    const QStringList parts = target.mid(6).split(QLatin1Char('+'), Qt::KeepEmptyParts);
    if (parts.size() < 2 || parts.size() > 4 || !parseInputId(parts.first(), rule.output))
        return QStringLiteral("Invalid chord");
    for (qsizetype i = 1; i < parts.size(); ++i) {
        if (!parseInputId(parts.at(i), rule.chordKeys[rule.chordKeyCount]))
            return QStringLiteral("Invalid chord key");
        ++rule.chordKeyCount;
    }
    rule.targetKind = TargetKind::KeyOutput;
    return QString();
}

// Fills the target fields of `rule` from `target`; an empty result means success.
QString parseTarget(const QString& target, CompiledRule& rule)
{
    static const QRegularExpression actionPattern = anchored("action:([1-9]|[12][0-9]|3[0-2])");
    static const QRegularExpression macroPattern = anchored("macro:([1-9]|1[0-6])");

    if (target == QLatin1String("blocked")) {
        rule.targetKind = TargetKind::Blocked;
    } else if (target.startsWith(QLatin1String("pointer:"))) {
        const QStringList modes = {QStringLiteral("scroll"), QStringLiteral("speed"),
                                   QStringLiteral("axis-x"), QStringLiteral("axis-y")};
        const qsizetype mode = modes.indexOf(target.mid(8));
        if (mode < 0)
            return QStringLiteral("Unknown pointer action");
        rule.targetKind = TargetKind::Pointer;
        rule.pointerMode = PointerMode(mode + 1);
    } else if (target.startsWith(QLatin1String("action:"))) {
        if (!readSlot(actionPattern, target, rule.actionSlot))
            return QStringLiteral("Invalid action reference");
        rule.targetKind = TargetKind::Action;
    } else if (target.startsWith(QLatin1String("toggle:"))) {
        if (!parseInputId(target.mid(7), rule.output))
            return QStringLiteral("Invalid toggle output");
        rule.targetKind = TargetKind::Toggle;
    } else if (target.startsWith(QLatin1String("macro:"))) {
        if (!readSlot(macroPattern, target, rule.macroSlot))
            return QStringLiteral("Invalid macro slot");
        rule.targetKind = TargetKind::Macro;
    } else if (target == QLatin1String("layer:next") || target == QLatin1String("layer:previous")) {
        rule.targetKind = TargetKind::Layer;
        rule.layerOp = target == QLatin1String("layer:next") ? LayerOp::Next : LayerOp::Previous;
    } else if (target.startsWith(QLatin1String("layer:"))) {
        return parseLayer(target, rule);
    } else if (target.startsWith(QLatin1String("chord:"))) {
        return parseChord(target, rule);
    } else if (parseInputId(target, rule.output)) {
        rule.targetKind = TargetKind::KeyOutput;
    } else {
        return QStringLiteral("Unknown output");
    }
    return QString();
}

} // namespace

bool parseMappingRule(const QString& source, const QString& target, CompiledRule& rule, QString& error)
{
    CompiledRule parsed;
    parsed.id = 1;
    if (!parseInputId(source, parsed.source)) {
        error = QStringLiteral("Unknown input");
        return false;
    }
    if (target == QLatin1String("unchanged")) {
        parsed.targetKind = TargetKind::Unchanged;
        rule = parsed;
        return true;
    }
    if (const QString failure = parseTarget(target, parsed); !failure.isEmpty()) {
        error = failure;
        return false;
    }
    if (isWheelInput(parsed.source) && parsed.targetKind == TargetKind::Layer && parsed.layerOp == LayerOp::Hold) {
        error = QStringLiteral("Wheel cannot be held for a temporary layer");
        return false;
    }
    if (checkCompiledRule(parsed) != kCompileOk) {
        error = QStringLiteral("Invalid mapping");
        return false;
    }
    rule = parsed;
    return true;
}

bool parseMapping(const QString& source, const QString& target, RulesSnapshot& snapshot, QString& error)
{
    CompiledRule rule;
    if (!parseMappingRule(source, target, rule, error))
        return false;
    // "unchanged" maps to no rule at all: every input passes.
    const std::size_t count = rule.targetKind == TargetKind::Unchanged ? 0 : 1;
    if (compileRules(&rule, count, snapshot) != kCompileOk) {
        error = QStringLiteral("Invalid mapping");
        return false;
    }
    return true;
}

void makeAlternativeRule(CompiledRule& alternative, const CompiledRule& rule)
{
    alternative = rule;
    const FallbackTarget& fallback = rule.fallback;
    alternative.targetKind = fallback.kind;
    alternative.output = fallback.output;
    alternative.chordKeys = fallback.chordKeys;
    alternative.chordKeyCount = fallback.chordKeyCount;
    alternative.macroSlot = fallback.macroSlot;
    alternative.actionSlot = fallback.actionSlot;
    alternative.layerOp = fallback.layerOp;
    alternative.layerIndex = fallback.layerIndex;
    alternative.layerTimerMs = fallback.layerTimerMs;
    alternative.pointerMode = fallback.pointerMode;
    alternative.trigger = TriggerKind::None;
    alternative.precedingKeyCount = 0;
    alternative.suppressOriginal = true;
    if (fallback.kind == TargetKind::Unchanged) {
        alternative.targetKind = TargetKind::KeyOutput;
        alternative.output = alternative.source;
    }
}

} // namespace vorna::core
