#include "core/output_mapping.h"
#include "core/rules_snapshot.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <functional>
#include <memory>
#include <vector>

namespace {

using namespace vorna::core;

InputId key(std::uint16_t code) { return makeInputId(kClassKeyboard, kKindVirtualKey, code); }
constexpr InputId kWheelUp = makeInputId(kClassWheel, kKindWheel, 1);
constexpr InputId kMouseBack = makeInputId(kClassMouseButton, kKindMouseButton, 4);

QByteArray bytesOf(const RulesSnapshot& snapshot)
{
    return QByteArray(reinterpret_cast<const char*>(&snapshot), sizeof snapshot);
}

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
