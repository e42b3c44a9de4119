#include "core/rules_snapshot.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <QByteArray>

#include <cstddef>
#include <functional>
#include <memory>
#include <vector>

namespace {

using vorna::test::bytesOf;

using namespace vorna::core;

constexpr InputId key(std::uint16_t code) { return makeInputId(kClassKeyboard, kKindVirtualKey, code); }
constexpr InputId kWheelUp = makeInputId(kClassWheel, kKindWheel, 1);
constexpr InputId kWheelDown = makeInputId(kClassWheel, kKindWheel, 2);

// The record layout other stages rely on: fields in their documented order.
static_assert(offsetof(CompiledRule, id) < offsetof(CompiledRule, device));
static_assert(offsetof(CompiledRule, device) < offsetof(CompiledRule, source));
static_assert(offsetof(CompiledRule, source) < offsetof(CompiledRule, targetKind));
static_assert(offsetof(CompiledRule, targetKind) < offsetof(CompiledRule, output));
static_assert(offsetof(CompiledRule, output) < offsetof(CompiledRule, suppressOriginal));
static_assert(offsetof(CompiledRule, suppressOriginal) < offsetof(CompiledRule, modifierCount));
static_assert(offsetof(CompiledRule, modifierCount) < offsetof(CompiledRule, chordKeys));
static_assert(offsetof(CompiledRule, chordKeys) < offsetof(CompiledRule, chordKeyCount));
static_assert(offsetof(CompiledRule, chordKeyCount) < offsetof(CompiledRule, macroSlot));
static_assert(offsetof(CompiledRule, macroSlot) < offsetof(CompiledRule, actionSlot));
static_assert(offsetof(CompiledRule, actionSlot) < offsetof(CompiledRule, layerOp));
static_assert(offsetof(CompiledRule, layerOp) < offsetof(CompiledRule, layerIndex));
static_assert(offsetof(CompiledRule, layerIndex) < offsetof(CompiledRule, layerTimerMs));
static_assert(offsetof(CompiledRule, layerTimerMs) < offsetof(CompiledRule, modifiers));
static_assert(offsetof(CompiledRule, modifiers) < offsetof(CompiledRule, trigger));
static_assert(offsetof(CompiledRule, trigger) < offsetof(CompiledRule, triggerIntervalMs));
static_assert(offsetof(CompiledRule, triggerIntervalMs) < offsetof(CompiledRule, precedingKeys));
static_assert(offsetof(CompiledRule, precedingKeys) < offsetof(CompiledRule, precedingKeyCount));
static_assert(offsetof(CompiledRule, precedingKeyCount) < offsetof(CompiledRule, fallback));
static_assert(offsetof(CompiledRule, fallback) < offsetof(CompiledRule, pointerMode));
static_assert(offsetof(FallbackTarget, kind) < offsetof(FallbackTarget, output));
static_assert(offsetof(FallbackTarget, output) < offsetof(FallbackTarget, chordKeys));
static_assert(offsetof(FallbackTarget, chordKeys) < offsetof(FallbackTarget, chordKeyCount));
static_assert(offsetof(FallbackTarget, chordKeyCount) < offsetof(FallbackTarget, macroSlot));
static_assert(offsetof(FallbackTarget, macroSlot) < offsetof(FallbackTarget, actionSlot));
static_assert(offsetof(FallbackTarget, actionSlot) < offsetof(FallbackTarget, layerOp));
static_assert(offsetof(FallbackTarget, layerOp) < offsetof(FallbackTarget, layerIndex));
static_assert(offsetof(FallbackTarget, layerIndex) < offsetof(FallbackTarget, layerTimerMs));
static_assert(offsetof(FallbackTarget, layerTimerMs) < offsetof(FallbackTarget, pointerMode));
static_assert(std::is_trivially_copyable_v<RulesSnapshot>);

TEST(CompiledRule, FreshRecordDefaults)
{
    const CompiledRule r;
    EXPECT_EQ(r.id, 0u);
    EXPECT_EQ(r.device, 0u);
    EXPECT_EQ(r.source, 0u);
    EXPECT_EQ(r.targetKind, TargetKind::KeyOutput);
    EXPECT_EQ(r.output, 0u);
    EXPECT_TRUE(r.suppressOriginal);
    EXPECT_EQ(r.modifierCount, 0);
    EXPECT_EQ(r.chordKeys, (std::array<InputId, 3>{}));
    EXPECT_EQ(r.chordKeyCount, 0);
    EXPECT_EQ(r.macroSlot, 0);
    EXPECT_EQ(r.actionSlot, 0);
    EXPECT_EQ(std::uint8_t(r.layerOp), 0);
    EXPECT_EQ(r.layerIndex, 0);
    EXPECT_EQ(r.layerTimerMs, 1000u);
    EXPECT_EQ(r.modifiers, 0);
    EXPECT_EQ(r.trigger, TriggerKind::None);
    EXPECT_EQ(r.triggerIntervalMs, 300u);
    EXPECT_EQ(r.precedingKeys, (std::array<InputId, 3>{}));
    EXPECT_EQ(r.precedingKeyCount, 0);
    EXPECT_EQ(std::uint8_t(r.pointerMode), 0);
    EXPECT_EQ(r.fallback.kind, TargetKind::Blocked);
    EXPECT_EQ(r.fallback.output, 0u);
    EXPECT_EQ(r.fallback.chordKeys, (std::array<InputId, 3>{}));
    EXPECT_EQ(r.fallback.chordKeyCount, 0);
    EXPECT_EQ(r.fallback.macroSlot, 0);
    EXPECT_EQ(r.fallback.actionSlot, 0);
    EXPECT_EQ(std::uint8_t(r.fallback.layerOp), 0);
    EXPECT_EQ(r.fallback.layerIndex, 0);
    EXPECT_EQ(r.fallback.layerTimerMs, 1000u);
    EXPECT_EQ(std::uint8_t(r.fallback.pointerMode), 0);

    auto snapshot = std::make_unique<RulesSnapshot>();
    EXPECT_EQ(snapshot->count, 0u);
    for (const CompiledRule& slot : snapshot->rules)
        ASSERT_EQ(slot, r);
}

// A valid blocked rule on key_65 that each case bends in one way.
CompiledRule baseRule()
{
    CompiledRule r;
    r.id = 1;
    r.source = key(65);
    r.targetKind = TargetKind::Blocked;
    return r;
}

struct RecordCase {
    const char* name;
    std::function<void(CompiledRule&)> change;
    int code;
};

void PrintTo(const RecordCase& c, std::ostream* os) { *os << c.name; }

class RecordChecks : public testing::TestWithParam<RecordCase> {};

TEST_P(RecordChecks, FirstFailingCheckGivesItsCode)
{
    const RecordCase& c = GetParam();
    CompiledRule rule = baseRule();
    c.change(rule);
    EXPECT_EQ(checkCompiledRule(rule), c.code);

    auto snapshot = std::make_unique<RulesSnapshot>();
    snapshot->count = 3; // not a real snapshot: any write would show
    snapshot->rules[0].id = 77;
    const QByteArray before = bytesOf(*snapshot);
    EXPECT_EQ(compileRules(&rule, 1, *snapshot), c.code);
    if (c.code != kCompileOk) {
        EXPECT_EQ(bytesOf(*snapshot), before);
    } else {
        EXPECT_EQ(snapshot->count, 1u);
        EXPECT_EQ(snapshot->rules[0], rule);
        EXPECT_EQ(snapshot->rules[1], CompiledRule{});
    }
}

auto holdTap(std::function<void(FallbackTarget&)> fallback = {})
{
    return [fallback](CompiledRule& r) {
        r.trigger = TriggerKind::HoldTap;
        if (fallback)
            fallback(r.fallback);
    };
}

auto chordTrigger(std::vector<InputId> keys)
{
    return [keys](CompiledRule& r) {
        r.trigger = TriggerKind::Chord;
        for (InputId k : keys)
            r.precedingKeys[r.precedingKeyCount++] = k;
    };
}

auto both(std::function<void(CompiledRule&)> a, std::function<void(CompiledRule&)> b)
{
    return [a, b](CompiledRule& r) { a(r); b(r); };
}

auto keyOutput(InputId output, std::vector<InputId> chord = {})
{
    return [output, chord](CompiledRule& r) {
        r.targetKind = TargetKind::KeyOutput;
        r.output = output;
        r.chordKeyCount = std::uint8_t(chord.size());
        for (std::size_t i = 0; i < chord.size() && i < 3; ++i)
            r.chordKeys[i] = chord[i];
    };
}

auto layer(std::uint8_t op, std::uint8_t index, std::uint32_t timer)
{
    return [=](CompiledRule& r) {
        r.targetKind = TargetKind::Layer;
        r.layerOp = LayerOp(op);
        r.layerIndex = index;
        r.layerTimerMs = timer;
    };
}

auto targetKind(std::uint8_t kind) { return [kind](CompiledRule& r) { r.targetKind = TargetKind(kind); }; }

INSTANTIATE_TEST_SUITE_P(Table, RecordChecks, testing::Values(
    RecordCase{"valid blocked", [](CompiledRule&) {}, 0},
    RecordCase{"id 0", [](CompiledRule& r) { r.id = 0; }, 2},
    RecordCase{"id 0 beats a bad source", [](CompiledRule& r) { r.id = 0; r.source = 0; }, 2},
    RecordCase{"source 0", [](CompiledRule& r) { r.source = 0; }, 4},
    RecordCase{"source of class 3", [](CompiledRule& r) { r.source = makeInputId(3, 0, 65); }, 4},
    RecordCase{"source key 16 packed", [](CompiledRule& r) { r.source = key(16); }, 0},
    RecordCase{"trigger 4", [](CompiledRule& r) { r.trigger = TriggerKind(4); }, 4},
    RecordCase{"trigger on wheel", both([](CompiledRule& r) { r.source = kWheelUp; }, holdTap()), 4},
    RecordCase{"chord trigger on wheel", both([](CompiledRule& r) { r.source = kWheelUp; }, chordTrigger({key(66)})), 4},
    RecordCase{"interval 99", both(holdTap(), [](CompiledRule& r) { r.triggerIntervalMs = 99; }), 4},
    RecordCase{"interval 2001", both(holdTap(), [](CompiledRule& r) { r.triggerIntervalMs = 2001; }), 4},
    RecordCase{"interval 100", both(holdTap(), [](CompiledRule& r) { r.triggerIntervalMs = 100; }), 0},
    RecordCase{"interval 2000", both(holdTap(), [](CompiledRule& r) { r.triggerIntervalMs = 2000; }), 0},
    RecordCase{"bad interval beats bad target", both(holdTap(), [](CompiledRule& r) { r.triggerIntervalMs = 5; r.targetKind = TargetKind(9); }), 4},
    RecordCase{"interval ignored without trigger", [](CompiledRule& r) { r.triggerIntervalMs = 0; }, 0},
    RecordCase{"holdTap blocked fallback", holdTap(), 0},
    RecordCase{"double press", [](CompiledRule& r) { r.trigger = TriggerKind::Double; }, 0},
    RecordCase{"holdTap keeps original", both(holdTap(), [](CompiledRule& r) { r.suppressOriginal = false; }), 6},
    RecordCase{"double keeps original", [](CompiledRule& r) { r.trigger = TriggerKind::Double; r.suppressOriginal = false; }, 6},
    RecordCase{"holdTap with preceding keys", both(holdTap(), [](CompiledRule& r) { r.precedingKeys[0] = key(66); r.precedingKeyCount = 1; }), 6},
    RecordCase{"holdTap fallback layer 10", holdTap([](FallbackTarget& f) { f.kind = TargetKind::Layer; f.layerOp = LayerOp::Set; f.layerIndex = 10; }), 6},
    RecordCase{"holdTap fallback layer 9", holdTap([](FallbackTarget& f) { f.kind = TargetKind::Layer; f.layerOp = LayerOp::Set; f.layerIndex = 9; }), 0},
    RecordCase{"holdTap fallback bad key", holdTap([](FallbackTarget& f) { f.kind = TargetKind::KeyOutput; f.output = key(7); }), 6},
    RecordCase{"holdTap fallback unchanged", holdTap([](FallbackTarget& f) { f.kind = TargetKind::Unchanged; }), 0},
    RecordCase{"holdTap fallback macro 0", holdTap([](FallbackTarget& f) { f.kind = TargetKind::Macro; }), 6},
    RecordCase{"holdTap fallback kind 8", holdTap([](FallbackTarget& f) { f.kind = TargetKind(8); }), 6},
    RecordCase{"chord trigger", chordTrigger({key(162), key(160)}), 0},
    RecordCase{"chord trigger keeps original", both(chordTrigger({key(162)}), [](CompiledRule& r) { r.suppressOriginal = false; }), 0},
    RecordCase{"chord trigger three keys", chordTrigger({key(162), key(160), key(164)}), 0},
    RecordCase{"chord trigger no keys", chordTrigger({}), 4},
    RecordCase{"chord trigger four keys", [](CompiledRule& r) { r.trigger = TriggerKind::Chord; r.precedingKeys = {key(66), key(67), key(68)}; r.precedingKeyCount = 4; }, 4},
    RecordCase{"chord trigger repeats", chordTrigger({key(162), key(162)}), 4},
    RecordCase{"chord trigger lists source", chordTrigger({key(162), key(65)}), 4},
    RecordCase{"chord trigger wheel", chordTrigger({kWheelDown}), 4},
    RecordCase{"chord trigger invalid key", chordTrigger({key(7)}), 4},
    RecordCase{"preceding keys without trigger", [](CompiledRule& r) { r.precedingKeys[0] = key(66); r.precedingKeyCount = 1; }, 4},
    RecordCase{"kind 8", targetKind(8), 6},
    RecordCase{"kind 255 with bad modifiers", both(targetKind(255), [](CompiledRule& r) { r.modifiers = 16; }), 6},
    RecordCase{"unchanged", targetKind(2), 0},
    RecordCase{"pointer mode 0", targetKind(7), 6},
    RecordCase{"pointer mode 4", both(targetKind(7), [](CompiledRule& r) { r.pointerMode = PointerMode::AxisY; }), 0},
    RecordCase{"pointer mode 5", both(targetKind(7), [](CompiledRule& r) { r.pointerMode = PointerMode(5); }), 6},
    RecordCase{"pointer on wheel", both(targetKind(7), [](CompiledRule& r) { r.pointerMode = PointerMode::Speed; r.source = kWheelUp; }), 6},
    RecordCase{"pointer bad modifiers", both(targetKind(7), [](CompiledRule& r) { r.pointerMode = PointerMode::Speed; r.modifiers = 16; }), 4},
    RecordCase{"pointer with chord keys", both(targetKind(7), [](CompiledRule& r) { r.pointerMode = PointerMode::Speed; r.chordKeyCount = 1; }), 5},
    RecordCase{"action 0", targetKind(6), 6},
    RecordCase{"action 32", both(targetKind(6), [](CompiledRule& r) { r.actionSlot = 32; }), 0},
    RecordCase{"action 33", both(targetKind(6), [](CompiledRule& r) { r.actionSlot = 33; }), 6},
    RecordCase{"macro 16", both(targetKind(3), [](CompiledRule& r) { r.macroSlot = 16; }), 0},
    RecordCase{"macro 17", both(targetKind(3), [](CompiledRule& r) { r.macroSlot = 17; }), 6},
    RecordCase{"macro 0 beats bad modifiers", both(targetKind(3), [](CompiledRule& r) { r.modifiers = 16; }), 6},
    RecordCase{"layer hold default timer", layer(1, 0, 1000), 0},
    RecordCase{"layer set default timer", layer(2, 9, 1000), 0},
    RecordCase{"layer next default timer", layer(3, 0, 1000), 0},
    RecordCase{"layer previous default timer", layer(4, 0, 1000), 0},
    RecordCase{"layer once default timer", layer(5, 0, 1000), 0},
    RecordCase{"layer timed 60000", layer(6, 0, 60000), 0},
    RecordCase{"layer timed 100", layer(6, 0, 100), 0},
    RecordCase{"layer timed 60001", layer(6, 0, 60001), 6},
    RecordCase{"layer timed 99", layer(6, 0, 99), 6},
    RecordCase{"layer index 10", layer(1, 10, 1000), 6},
    RecordCase{"layer op 0", layer(0, 0, 1000), 6},
    RecordCase{"layer op 7", layer(7, 0, 1000), 6},
    RecordCase{"layer on wheel", both(layer(1, 0, 1000), [](CompiledRule& r) { r.source = kWheelUp; }), 0},
    RecordCase{"blocked modifiers 15", [](CompiledRule& r) { r.modifiers = 15; }, 0},
    RecordCase{"blocked modifiers 16", [](CompiledRule& r) { r.modifiers = 16; }, 4},
    RecordCase{"blocked chord keys", [](CompiledRule& r) { r.chordKeyCount = 1; }, 5},
    RecordCase{"blocked modifiers beat chord keys", [](CompiledRule& r) { r.modifiers = 16; r.chordKeyCount = 1; }, 4},
    RecordCase{"key output", keyOutput(key(66)), 0},
    RecordCase{"key output to wheel", keyOutput(kWheelDown), 0},
    RecordCase{"wheel to key output", both(keyOutput(key(66)), [](CompiledRule& r) { r.source = kWheelUp; }), 0},
    RecordCase{"key output 0", keyOutput(0), 5},
    RecordCase{"key output invalid beats modifiers", both(keyOutput(key(7)), [](CompiledRule& r) { r.modifiers = 16; }), 5},
    RecordCase{"key output modifiers 16", both(keyOutput(key(66)), [](CompiledRule& r) { r.modifiers = 16; }), 4},
    RecordCase{"chord of four", keyOutput(key(162), {key(160), key(164), key(66)}), 0},
    RecordCase{"chord count 4", both(keyOutput(key(162), {key(160), key(164), key(66)}), [](CompiledRule& r) { r.chordKeyCount = 4; }), 5},
    RecordCase{"chord from wheel output", keyOutput(kWheelUp, {key(66)}), 5},
    RecordCase{"chord with wheel key", keyOutput(key(66), {kWheelUp}), 5},
    RecordCase{"chord with invalid key", keyOutput(key(66), {key(7)}), 5},
    RecordCase{"chord repeats output", keyOutput(key(66), {key(67), key(66)}), 5},
    RecordCase{"chord repeats a key", keyOutput(key(66), {key(67), key(68), key(67)}), 5},
    RecordCase{"toggle", both(targetKind(5), [](CompiledRule& r) { r.output = key(20); }), 0},
    RecordCase{"toggle invalid output", targetKind(5), 5},
    RecordCase{"toggle bad modifiers", both(targetKind(5), [](CompiledRule& r) { r.output = key(20); r.modifiers = 16; }), 4},
    RecordCase{"toggle wheel output", both(targetKind(5), [](CompiledRule& r) { r.output = kWheelUp; }), 6},
    RecordCase{"toggle on wheel", both(targetKind(5), [](CompiledRule& r) { r.output = key(20); r.source = kWheelUp; }), 6},
    RecordCase{"toggle with chord keys", both(targetKind(5), [](CompiledRule& r) { r.output = key(20); r.chordKeys[0] = key(21); r.chordKeyCount = 1; }), 5}));

std::vector<CompiledRule> blockedRules(std::size_t count)
{
    std::vector<CompiledRule> rules(count, baseRule());
    for (std::size_t i = 0; i < count; ++i)
        rules[i].id = std::uint32_t(i + 1);
    return rules;
}

TEST(CompileRules, CapacityIsCheckedBeforeAnyRecord)
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    std::vector<CompiledRule> rules = blockedRules(256);
    ASSERT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileOk);
    EXPECT_EQ(snapshot->count, 256u);
    EXPECT_EQ(snapshot->rules[255].id, 256u);

    const QByteArray before = bytesOf(*snapshot);
    std::vector<CompiledRule> tooMany(257); // every record invalid: the count decides first
    EXPECT_EQ(compileRules(tooMany.data(), tooMany.size(), *snapshot), kCompileTooManyRules);
    EXPECT_EQ(bytesOf(*snapshot), before);
}

TEST(CompileRules, NoRecordsGiveAnEmptySnapshot)
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    std::vector<CompiledRule> rules = blockedRules(3);
    ASSERT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileOk);
    ASSERT_EQ(compileRules(nullptr, 0, *snapshot), kCompileOk);
    EXPECT_EQ(*snapshot, RulesSnapshot{});
}

TEST(CompileRules, DuplicateIdsAfterRecordChecks)
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    std::vector<CompiledRule> rules = blockedRules(3);
    rules[2].id = 2;
    EXPECT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileDuplicateId);
    rules[2].source = 0; // its own fault is found before the repeated id
    EXPECT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileBadSourceOrTrigger);
    EXPECT_EQ(*snapshot, RulesSnapshot{});
}

TEST(CompileRules, SortsIntoMatchOrder)
{
    struct RuleShape {
        std::uint32_t id;
        std::int16_t modifierCount;
        std::uint64_t device;
    };
    const RuleShape shapes[] = {{1, 0, 0}, {2, 2, 0}, {3, 1, 0}, {4, 1, 0}, {5, 1, 0x99}, {6, 0, 0x42}, {7, -1, 0}};
    std::vector<CompiledRule> rules;
    for (const RuleShape& s : shapes) {
        CompiledRule r = baseRule();
        r.id = s.id;
        r.modifierCount = s.modifierCount;
        r.device = s.device;
        r.source = key(std::uint16_t(64 + s.id));
        rules.push_back(r);
    }
    auto snapshot = std::make_unique<RulesSnapshot>();
    ASSERT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileOk);
    const std::uint32_t order[] = {2, 5, 3, 4, 6, 1, 7};
    ASSERT_EQ(snapshot->count, std::size(order));
    for (std::size_t i = 0; i < std::size(order); ++i) {
        EXPECT_EQ(snapshot->rules[i].id, order[i]) << "position " << i;
        EXPECT_EQ(snapshot->rules[i], rules[order[i] - 1]);
    }
    for (std::size_t i = std::size(order); i < kMaxRules; ++i)
        ASSERT_EQ(snapshot->rules[i], CompiledRule{}) << "slot " << i;
}

TEST(CompileRules, RecompilesItsOwnSnapshotInPlace)
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    std::vector<CompiledRule> rules = blockedRules(3);
    rules[2].modifierCount = 1;
    ASSERT_EQ(compileRules(rules.data(), rules.size(), *snapshot), kCompileOk);
    const RulesSnapshot first = *snapshot;
    ASSERT_EQ(compileRules(snapshot->rules.data(), snapshot->count, *snapshot), kCompileOk);
    EXPECT_EQ(*snapshot, first);
}

} // namespace
