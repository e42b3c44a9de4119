#include "core/output_mapping.h"
#include "core/rules_snapshot.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QRegularExpression>
#include <QStringList>

#include <functional>
#include <memory>
#include <random>
#include <vector>

namespace {

using vorna::test::bytesOf;

using namespace vorna::core;

InputId key(std::uint16_t code) { return makeInputId(kClassKeyboard, kKindVirtualKey, code); }
constexpr InputId kWheelUp = makeInputId(kClassWheel, kKindWheel, 1);
constexpr InputId kMouseBack = makeInputId(kClassMouseButton, kKindMouseButton, 4);

// A snapshot with visible content, so that a write by a failing call would show.
std::unique_ptr<RulesSnapshot> sentinelSnapshot()
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    CompiledRule rule;
    rule.id = 7;
    rule.source = key(90);
    rule.targetKind = TargetKind::Macro;
    rule.macroSlot = 5;
    EXPECT_EQ(compileRules(&rule, 1, *snapshot), kCompileOk);
    return snapshot;
}

struct MappingCase {
    const char* source;
    const char* target;
    const char* error;                          // nullptr: succeeds
    std::function<void(CompiledRule&)> expect;  // target fields of the single rule; empty: no rule
};

void PrintTo(const MappingCase& c, std::ostream* os) { *os << c.source << " -> " << c.target; }

class Mapping : public testing::TestWithParam<MappingCase> {};

TEST_P(Mapping, CompilesOneRuleOrNamesTheFirstFault)
{
    const MappingCase& c = GetParam();
    auto snapshot = sentinelSnapshot();
    const QByteArray before = bytesOf(*snapshot);
    QString error = QStringLiteral("untouched");
    const bool ok = parseMapping(QString::fromUtf8(c.source), QString::fromUtf8(c.target), *snapshot, error);

    if (c.error != nullptr) {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        EXPECT_EQ(bytesOf(*snapshot), before) << "a failing call wrote its output";
        return;
    }
    ASSERT_TRUE(ok) << error.toStdString();
    EXPECT_EQ(error, QStringLiteral("untouched"));
    const RulesSnapshot fresh;
    if (!c.expect) {
        EXPECT_EQ(*snapshot, fresh);
        return;
    }
    CompiledRule expected;
    expected.id = 1;
    ASSERT_TRUE(parseInputId(QString::fromUtf8(c.source), expected.source));
    c.expect(expected);
    ASSERT_EQ(snapshot->count, 1u);
    EXPECT_EQ(snapshot->rules[0], expected);
    for (std::size_t i = 1; i < kMaxRules; ++i)
        ASSERT_EQ(snapshot->rules[i], CompiledRule{}) << "slot " << i;

    // The single-record form gives the same rule.
    CompiledRule rule;
    ASSERT_TRUE(parseMappingRule(QString::fromUtf8(c.source), QString::fromUtf8(c.target), rule, error));
    EXPECT_EQ(rule, expected);
}

auto kind(TargetKind k) { return [k](CompiledRule& r) { r.targetKind = k; }; }
auto keyOutput(InputId output, std::vector<InputId> chord = {})
{
    return [output, chord](CompiledRule& r) {
        r.targetKind = TargetKind::KeyOutput;
        r.output = output;
        for (InputId k : chord)
            r.chordKeys[r.chordKeyCount++] = k;
    };
}
auto pointer(PointerMode mode)
{
    return [mode](CompiledRule& r) { r.targetKind = TargetKind::Pointer; r.pointerMode = mode; };
}
auto action(std::uint16_t slot) { return [slot](CompiledRule& r) { r.targetKind = TargetKind::Action; r.actionSlot = slot; }; }
auto macro(std::uint16_t slot) { return [slot](CompiledRule& r) { r.targetKind = TargetKind::Macro; r.macroSlot = slot; }; }
auto toggle(InputId output) { return [output](CompiledRule& r) { r.targetKind = TargetKind::Toggle; r.output = output; }; }
auto layer(LayerOp op, std::uint8_t index = 0, std::uint32_t timer = 1000)
{
    return [=](CompiledRule& r) {
        r.targetKind = TargetKind::Layer;
        r.layerOp = op;
        r.layerIndex = index;
        r.layerTimerMs = timer;
    };
}

INSTANTIATE_TEST_SUITE_P(Grammar, Mapping, testing::Values(
    MappingCase{"key_65", "unchanged", nullptr, {}},
    MappingCase{"key_65", "Unchanged", "Unknown output", {}},
    MappingCase{"key_65", "blocked", nullptr, kind(TargetKind::Blocked)},
    MappingCase{"key_65", "Blocked", "Unknown output", {}},
    MappingCase{"key_65", "pointer:scroll", nullptr, pointer(PointerMode::Scroll)},
    MappingCase{"key_65", "pointer:speed", nullptr, pointer(PointerMode::Speed)},
    MappingCase{"key_65", "pointer:axis-x", nullptr, pointer(PointerMode::AxisX)},
    MappingCase{"mouse_back", "pointer:axis-y", nullptr, pointer(PointerMode::AxisY)},
    MappingCase{"key_65", "pointer:Speed", "Unknown pointer action", {}},
    MappingCase{"key_65", "pointer:", "Unknown pointer action", {}},
    MappingCase{"key_65", "pointer:speed\n", "Unknown pointer action", {}},
    MappingCase{"key_65", "action:1", nullptr, action(1)},
    MappingCase{"key_65", "action:32", nullptr, action(32)},
    MappingCase{"key_65", "action:19", nullptr, action(19)},
    MappingCase{"key_65", "action:0", "Invalid action reference", {}},
    MappingCase{"key_65", "action:33", "Invalid action reference", {}},
    MappingCase{"key_65", "action:07", "Invalid action reference", {}},
    MappingCase{"key_65", "action:1\n", "Invalid action reference", {}},
    MappingCase{"key_65", "action:", "Invalid action reference", {}},
    MappingCase{"key_65", "toggle:key_20", nullptr, toggle(key(20))},
    MappingCase{"key_65", "toggle:mouse_back", nullptr, toggle(kMouseBack)},
    MappingCase{"key_65", "toggle:key_16", "Invalid toggle output", {}},
    MappingCase{"key_65", "toggle:", "Invalid toggle output", {}},
    MappingCase{"key_65", "toggle:wheel_up", "Invalid mapping", {}},
    MappingCase{"key_65", "macro:1", nullptr, macro(1)},
    MappingCase{"key_65", "macro:16", nullptr, macro(16)},
    MappingCase{"key_65", "macro:17", "Invalid macro slot", {}},
    MappingCase{"key_65", "macro:0", "Invalid macro slot", {}},
    MappingCase{"key_65", "macro:3\n", "Invalid macro slot", {}},
    MappingCase{"key_65", "layer:next", nullptr, layer(LayerOp::Next)},
    MappingCase{"key_65", "layer:previous", nullptr, layer(LayerOp::Previous)},
    MappingCase{"key_65", "layer:next\n", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:Next", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:hold:2", nullptr, layer(LayerOp::Hold, 1)},
    MappingCase{"key_65", "layer:set:10", nullptr, layer(LayerOp::Set, 9)},
    MappingCase{"key_65", "layer:once:1", nullptr, layer(LayerOp::Once, 0)},
    MappingCase{"key_65", "layer:timed:3:100", nullptr, layer(LayerOp::Timed, 2, 100)},
    MappingCase{"key_65", "layer:timed:3:60000", nullptr, layer(LayerOp::Timed, 2, 60000)},
    MappingCase{"key_65", "layer:timed:3", "Layer timer required", {}},
    MappingCase{"key_65", "layer:timed:3:99", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:timed:3:099", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:timed:3:100000", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:timed:3:70000", "Invalid mapping", {}},
    MappingCase{"key_65", "layer:timed:3:60001", "Invalid mapping", {}},
    MappingCase{"key_65", "layer:hold:2:500", "Unexpected layer timer", {}},
    MappingCase{"key_65", "layer:once:2:500", "Unexpected layer timer", {}},
    MappingCase{"key_65", "layer:hold:11", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:hold:0", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:hold:2\n", "Invalid layer action", {}},
    MappingCase{"key_65", "layer:", "Invalid layer action", {}},
    MappingCase{"key_65", "chord:key_162+key_67", nullptr, keyOutput(key(162), {key(67)})},
    MappingCase{"key_65", "chord:key_162+key_164+key_160+key_67", nullptr,
                keyOutput(key(162), {key(164), key(160), key(67)})},
    MappingCase{"key_65", "chord:key_162+key_164+key_160+key_67+key_68", "Invalid chord", {}},
    MappingCase{"key_65", "chord:key_65", "Invalid chord", {}},
    MappingCase{"key_65", "chord:", "Invalid chord", {}},
    MappingCase{"key_65", "chord:+key_65", "Invalid chord", {}},
    MappingCase{"key_65", "chord:key_16+key_65", "Invalid chord", {}},
    MappingCase{"key_65", "chord:key_65+", "Invalid chord key", {}},
    MappingCase{"key_65", "chord:key_65+key_66+key_17", "Invalid chord key", {}},
    MappingCase{"key_65", "chord:key_65+key_65", "Invalid mapping", {}},
    MappingCase{"key_65", "chord:key_65+key_66+key_66", "Invalid mapping", {}},
    MappingCase{"key_65", "chord:wheel_up+key_65", "Invalid mapping", {}},
    MappingCase{"key_65", "chord:key_65+wheel_up", "Invalid mapping", {}},
    MappingCase{"key_65", "key_66", nullptr, keyOutput(key(66))},
    MappingCase{"key_65", "mouse_back", nullptr, keyOutput(kMouseBack)},
    MappingCase{"key_65", "wheel_up", nullptr, keyOutput(kWheelUp)},
    MappingCase{"key_65", "key_numpad_enter", nullptr, keyOutput(makeInputId(0, 1, 284))},
    MappingCase{"key_65", "key_66 ", "Unknown output", {}},
    MappingCase{"key_65", "key_66\n", "Unknown output", {}},
    MappingCase{"key_65", "", "Unknown output", {}},
    MappingCase{"key_16", "blocked", "Unknown input", {}},
    MappingCase{"", "unchanged", "Unknown input", {}},
    MappingCase{"key_65\n", "blocked", "Unknown input", {}},
    MappingCase{"nothing", "nothing", "Unknown input", {}},
    MappingCase{"wheel_up", "key_65", nullptr, keyOutput(key(65))},
    MappingCase{"wheel_up", "unchanged", nullptr, {}},
    MappingCase{"wheel_up", "toggle:key_65", "Invalid mapping", {}},
    MappingCase{"wheel_up", "pointer:speed", "Invalid mapping", {}},
    MappingCase{"wheel_up", "layer:hold:2", "Wheel cannot be held for a temporary layer", {}},
    MappingCase{"wheel_up", "layer:once:2", nullptr, layer(LayerOp::Once, 1)},
    MappingCase{"wheel_up", "layer:timed:2:500", nullptr, layer(LayerOp::Timed, 1, 500)}));

// The numbered targets by their text patterns, as the parser once matched them: what each text
// must give (the failure text, or the fields it sets) against what parseMappingRule gives.
std::string byPattern(const QString& target)
{
    static const auto anchored = [](const char* text) {
        return QRegularExpression(QRegularExpression::anchoredPattern(QLatin1String(text)));
    };
    static const QRegularExpression action = anchored("action:([1-9]|[12][0-9]|3[0-2])");
    static const QRegularExpression macro = anchored("macro:([1-9]|1[0-6])");
    static const QRegularExpression layerPattern = anchored("layer:(hold|set|once|timed):([1-9]|10)(?::([1-9][0-9]{2,4}))?");
    if (target.startsWith(QLatin1String("action:"))) {
        const QRegularExpressionMatch match = action.match(target);
        return match.hasMatch() ? "action " + match.captured(1).toStdString() : "Invalid action reference";
    }
    if (target.startsWith(QLatin1String("macro:"))) {
        const QRegularExpressionMatch match = macro.match(target);
        return match.hasMatch() ? "macro " + match.captured(1).toStdString() : "Invalid macro slot";
    }
    const QRegularExpressionMatch match = layerPattern.match(target);
    if (!match.hasMatch())
        return "Invalid layer action";
    const bool timed = match.captured(1) == QLatin1String("timed");
    if (timed != match.hasCaptured(3))
        return timed ? "Layer timer required" : "Unexpected layer timer";
    const uint timer = match.hasCaptured(3) ? match.captured(3).toUInt() : 1000;
    if (timer > 60000)
        return "Invalid mapping";
    return "layer " + match.captured(1).toStdString() + " " + std::to_string(match.captured(2).toUInt() - 1) + " " +
           std::to_string(timer);
}

std::string byParser(const QString& target)
{
    static const char* const ops[] = {"", "hold", "set", "next", "previous", "once", "timed"};
    CompiledRule rule;
    QString error;
    if (!parseMappingRule(QStringLiteral("key_65"), target, rule, error))
        return error.toStdString();
    switch (rule.targetKind) {
    case TargetKind::Action:
        return "action " + std::to_string(rule.actionSlot);
    case TargetKind::Macro:
        return "macro " + std::to_string(rule.macroSlot);
    case TargetKind::Layer:
        return std::string("layer ") + ops[std::size_t(rule.layerOp)] + " " + std::to_string(rule.layerIndex) + " " +
               std::to_string(rule.layerTimerMs);
    default:
        return "kind " + std::to_string(int(rule.targetKind));
    }
}

TEST(Mapping, NumberedTargetsParseAsTheirPatternsSay)
{
    const QStringList heads = {QStringLiteral("action:"), QStringLiteral("macro:"), QStringLiteral("layer:hold:"),
                               QStringLiteral("layer:set:"), QStringLiteral("layer:once:"), QStringLiteral("layer:timed:"),
                               QStringLiteral("layer:Hold:"), QStringLiteral("layer::"), QStringLiteral("layer:")};
    const QString digits = QString::fromUtf8("0123456789:0123456789+- \u0663");
    std::mt19937 random(2026);
    for (int n = 0; n < 40000; ++n) {
        QString target = heads.at(qsizetype(random() % std::uint32_t(heads.size())));
        const int length = int(random() % 10);
        for (int i = 0; i < length; ++i)
            target.append(digits.at(qsizetype(random() % std::uint32_t(digits.size()))));
        ASSERT_EQ(byParser(target), byPattern(target)) << target.toStdString();
    }
}

// Chord outputs by splitting at every "+" with the empty parts kept, as the parser once did.
TEST(Mapping, ChordTargetsSplitAsTheTextSays)
{
    const QStringList parts = {QStringLiteral("key_65"), QStringLiteral("key_162"), QStringLiteral("wheel_up"),
                               QStringLiteral("mouse_back"), QStringLiteral("key_7"), QString()};
    std::mt19937 random(4);
    for (int n = 0; n < 20000; ++n) {
        QStringList chosen;
        const int count = 1 + int(random() % 5);
        for (int i = 0; i < count; ++i)
            chosen.append(parts.at(qsizetype(random() % std::uint32_t(parts.size()))));
        const QString target = QStringLiteral("chord:") + chosen.join(u'+');

        std::string expected;
        CompiledRule split;
        InputId first = 0;
        if (chosen.size() < 2 || chosen.size() > 4 || !parseInputId(chosen.first(), first)) {
            expected = "Invalid chord";
        } else {
            for (qsizetype i = 1; i < chosen.size() && expected.empty(); ++i) {
                if (!parseInputId(chosen.at(i), split.chordKeys[split.chordKeyCount++]))
                    expected = "Invalid chord key";
            }
        }
        CompiledRule rule;
        QString error;
        const bool parsed = parseMappingRule(QStringLiteral("key_65"), target, rule, error);
        if (!expected.empty()) {
            ASSERT_EQ(error.toStdString(), expected) << target.toStdString();
            continue;
        }
        if (!parsed) {
            ASSERT_EQ(error.toStdString(), "Invalid mapping") << target.toStdString();
            continue;
        }
        EXPECT_EQ(rule.output, first) << target.toStdString();
        EXPECT_EQ(rule.chordKeys, split.chordKeys) << target.toStdString();
        EXPECT_EQ(rule.chordKeyCount, split.chordKeyCount) << target.toStdString();
    }
}

TEST(AlternativeRule, TakesTheFallbackTargetWithoutTrigger)
{
    CompiledRule rule;
    rule.id = 9;
    rule.device = 0x1234;
    rule.source = key(65);
    rule.targetKind = TargetKind::Macro;
    rule.macroSlot = 4;
    rule.modifiers = kModifierCtrl | kModifierAlt;
    rule.modifierCount = 2;
    rule.trigger = TriggerKind::HoldTap;
    rule.triggerIntervalMs = 450;
    rule.precedingKeys = {key(66), 0, 0};
    rule.precedingKeyCount = 1;
    rule.suppressOriginal = false;
    rule.fallback.kind = TargetKind::Layer;
    rule.fallback.layerOp = LayerOp::Timed;
    rule.fallback.layerIndex = 3;
    rule.fallback.layerTimerMs = 700;
    rule.fallback.chordKeys = {key(67), 0, 0};
    rule.fallback.chordKeyCount = 1;

    CompiledRule expected = rule;
    expected.targetKind = TargetKind::Layer;
    expected.macroSlot = 0;
    expected.layerOp = LayerOp::Timed;
    expected.layerIndex = 3;
    expected.layerTimerMs = 700;
    expected.chordKeys = {key(67), 0, 0};
    expected.chordKeyCount = 1;
    expected.trigger = TriggerKind::None;
    expected.precedingKeyCount = 0;
    expected.suppressOriginal = true;

    CompiledRule alternative;
    makeAlternativeRule(alternative, rule);
    EXPECT_EQ(alternative, expected);

    // "unchanged" as fallback sends the source itself.
    rule.fallback = FallbackTarget{};
    rule.fallback.kind = TargetKind::Unchanged;
    makeAlternativeRule(alternative, rule);
    EXPECT_EQ(alternative.targetKind, TargetKind::KeyOutput);
    EXPECT_EQ(alternative.output, key(65));
    EXPECT_EQ(alternative.macroSlot, 0);
    EXPECT_EQ(alternative.fallback, rule.fallback);
}

} // namespace
