#include "core/output_mapping.h"

#include "core/rules_snapshot.h"

#include <QLatin1String>
#include <QStringView>

#include <algorithm>
#include <iterator>

namespace vorna::core {

namespace {

// Reads "<digits>" that are the whole of `text`: one to `maxDigits` ASCII digits without a
// leading zero. No allocation and no regular expression: rule lists parse many targets.
bool readNumber(QStringView text, qsizetype maxDigits, uint& value)
{
    if (text.isEmpty() || text.size() > maxDigits || text.front() == u'0')
        return false;
    value = 0;
    for (const QChar c : text) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + uint(c.unicode() - u'0');
    }
    return true;
}

// Reads the slot number of "action:N" (1-32) or "macro:N" (1-16) after its prefix.
bool readSlot(QStringView number, uint highest, std::uint16_t& slot)
{
    uint value = 0;
    if (!readNumber(number, 2, value) || value > highest)
        return false;
    slot = std::uint16_t(value);
    return true;
}

// Fills the layer fields from "layer:<op>:<1-10>[:<timer of 3-5 digits>]"; an empty result
// means success.
QString parseLayer(QStringView target, CompiledRule& rule)
{
    static const struct {
        QLatin1String name;
        LayerOp op;
    } kOps[] = {{QLatin1String("hold"), LayerOp::Hold}, {QLatin1String("set"), LayerOp::Set},
                {QLatin1String("once"), LayerOp::Once}, {QLatin1String("timed"), LayerOp::Timed}};
    const QStringView rest = target.mid(6);
    const qsizetype opEnd = rest.indexOf(u':');
    const QStringView opText = rest.left(opEnd);
    const auto op = std::find_if(std::begin(kOps), std::end(kOps), [&](const auto& o) { return opText == o.name; });
    if (opEnd < 0 || op == std::end(kOps))
        return QStringLiteral("Invalid layer action");
    const QStringView numbers = rest.mid(opEnd + 1);
    const qsizetype layerEnd = numbers.indexOf(u':');
    uint layer = 0;
    uint timer = 0;
    const bool hasTimer = layerEnd >= 0;
    if (!readNumber(numbers.left(layerEnd), 2, layer) || layer > 10 ||
        (hasTimer && (!readNumber(numbers.mid(layerEnd + 1), 5, timer) || timer < 100)))
        return QStringLiteral("Invalid layer action");
    const bool timed = op->op == LayerOp::Timed;
    if (timed && !hasTimer)
        return QStringLiteral("Layer timer required");
    if (!timed && hasTimer)
        return QStringLiteral("Unexpected layer timer");
    rule.targetKind = TargetKind::Layer;
    rule.layerOp = op->op;
    rule.layerIndex = std::uint8_t(layer - 1);
    if (timed)
        rule.layerTimerMs = timer;
    return QString();
}

// Fills the output and chord keys from "chord:<key>+<key>[+<key>[+<key>]]".
QString parseChord(QStringView target, CompiledRule& rule)
{
    const QStringView keys = target.mid(6);
    if (keys.count(u'+') < 1 || keys.count(u'+') > 3)
        return QStringLiteral("Invalid chord");
    qsizetype end = keys.indexOf(u'+');
    if (!parseInputId(keys.left(end), rule.output))
        return QStringLiteral("Invalid chord");
    while (end >= 0) {
        const qsizetype start = end + 1;
        end = keys.indexOf(u'+', start);
        if (!parseInputId(end < 0 ? keys.mid(start) : keys.mid(start, end - start), rule.chordKeys[rule.chordKeyCount]))
            return QStringLiteral("Invalid chord key");
        ++rule.chordKeyCount;
    }
    rule.targetKind = TargetKind::KeyOutput;
    return QString();
}

// Fills the target fields of `rule` from `target`; an empty result means success.
QString parseTarget(QStringView target, CompiledRule& rule)
{
    static const QLatin1String kPointerModes[] = {QLatin1String("scroll"), QLatin1String("speed"),
                                                  QLatin1String("axis-x"), QLatin1String("axis-y")};
    if (target == QLatin1String("blocked")) {
        rule.targetKind = TargetKind::Blocked;
    } else if (target.startsWith(QLatin1String("pointer:"))) {
        const QStringView word = target.mid(8);
        const auto mode = std::find(std::begin(kPointerModes), std::end(kPointerModes), word);
        if (mode == std::end(kPointerModes))
            return QStringLiteral("Unknown pointer action");
        rule.targetKind = TargetKind::Pointer;
        rule.pointerMode = PointerMode(mode - std::begin(kPointerModes) + 1);
    } else if (target.startsWith(QLatin1String("action:"))) {
        if (!readSlot(target.mid(7), 32, rule.actionSlot))
            return QStringLiteral("Invalid action reference");
        rule.targetKind = TargetKind::Action;
    } else if (target.startsWith(QLatin1String("toggle:"))) {
        if (!parseInputId(target.mid(7), rule.output))
            return QStringLiteral("Invalid toggle output");
        rule.targetKind = TargetKind::Toggle;
    } else if (target.startsWith(QLatin1String("macro:"))) {
        if (!readSlot(target.mid(6), 16, rule.macroSlot))
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
    if (const QString failure = parseTarget(QStringView(target), parsed); !failure.isEmpty()) {
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
