#include "core/rule_list.h"
#include "core/rules_snapshot.h"
#include "tests/support/bytes.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <memory>

namespace {

using vorna::test::bytesOf;

using namespace vorna::core;

constexpr InputId key(std::uint16_t code) { return makeInputId(kClassKeyboard, kKindVirtualKey, code); }

QJsonArray array(const char* json)
{
    QJsonParseError parseError{};
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray(json), &parseError);
    EXPECT_EQ(parseError.error, QJsonParseError::NoError) << json;
    return document.array();
}

struct RulesCase {
    const char* json;
    const char* error; // nullptr: passes
};

void PrintTo(const RulesCase& c, std::ostream* os) { *os << c.json; }

class RuleLists : public testing::TestWithParam<RulesCase> {};

TEST_P(RuleLists, FirstFailingCheckDecidesText)
{
    const RulesCase& c = GetParam();
    auto snapshot = std::make_unique<RulesSnapshot>();
    snapshot->count = 9; // a write by a failing call would show
    snapshot->rules[3].id = 44;
    const QByteArray before = bytesOf(*snapshot);
    QString error = QStringLiteral("untouched");
    const bool ok = parseRules(array(c.json), *snapshot, error);
    if (c.error == nullptr) {
        EXPECT_TRUE(ok) << error.toStdString();
        EXPECT_EQ(error, QStringLiteral("untouched"));
        EXPECT_EQ(snapshot->count, std::uint64_t(array(c.json).size()));
    } else {
        EXPECT_FALSE(ok);
        EXPECT_EQ(error, QString::fromUtf8(c.error));
        EXPECT_EQ(bytesOf(*snapshot), before);
    }
}

TEST_P(RuleLists, TheListWithoutASnapshotHoldsTheSnapshotsRules)
{
    const RulesCase& c = GetParam();
    auto snapshot = std::make_unique<RulesSnapshot>();
    auto list = std::make_unique<std::array<CompiledRule, kMaxRules>>();
    QString snapshotError;
    QString listError;
    std::size_t count = 0;
    const bool ok = parseRules(array(c.json), *snapshot, snapshotError);
    EXPECT_EQ(parseRuleList(array(c.json), *list, count, listError), ok);
    EXPECT_EQ(listError, snapshotError);
    if (!ok)
        return;
    ASSERT_EQ(count, snapshot->count);
    for (std::size_t i = 0; i < count; ++i)
        EXPECT_EQ((*list)[i], snapshot->rules[i]) << i;
}

INSTANTIATE_TEST_SUITE_P(Table, RuleLists, testing::Values(
    RulesCase{"[]", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked"}])", nullptr},
    // Element shape.
    RulesCase{"[1]", "Expected rule object"},
    RulesCase{R"([{"source":"key_65","target":"blocked"},"key_66"])", "Expected rule object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","extra":1}])", "Unknown rule field"},
    RulesCase{R"([{"Source":"key_65","target":"blocked"}])", "Unknown rule field"},
    RulesCase{R"([{"extra":1,"name":5}])", "Unknown rule field"},
    // Name.
    RulesCase{R"([{"source":"key_65","target":"blocked","name":""}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"xxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxxx"}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"a\tb"}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"a\u2028b"}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"a\u2029b"}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":"a\u0085b"}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":5}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"key_65","target":"blocked","name":null}])", "Rule name must be at most 80 characters without control characters"},
    RulesCase{R"([{"source":"nope","target":"nope","name":5,"modifiers":99}])", "Rule name must be at most 80 characters without control characters"},
    // Modifiers.
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":3.0}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":15}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":3.5}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":16}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":-1}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":"2"}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":null}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":1e300}])", "Invalid modifiers"},
    RulesCase{R"([{"source":"nope","target":"nope","modifiers":16,"keepOriginal":1}])", "Invalid modifiers"},
    // Duplicates: source text and modifiers, whatever the triggers.
    RulesCase{R"([{"source":"key_65","target":"blocked","modifiers":2},{"source":"key_65","target":"blocked","modifiers":4}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked"},{"source":"key_65","target":"key_66"}])", "Duplicate source in layer"},
    RulesCase{R"([{"source":"key_65","target":"blocked"},{"source":"key_65","target":"blocked","modifiers":0}])", "Duplicate source in layer"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"key_66"}},{"source":"key_65","target":"blocked"}])", "Duplicate source in layer"},
    RulesCase{R"([{"source":"key_65","target":"blocked"},{"source":"key_65","target":"nope","keepOriginal":1}])", "Duplicate source in layer"},
    // Original policy.
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":true}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":false}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":1}])", "Invalid original policy"},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":"true"}])", "Invalid original policy"},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":null}])", "Invalid original policy"},
    RulesCase{R"([{"source":"nope","target":"nope","keepOriginal":0}])", "Invalid original policy"},
    // Source and target texts, with the output grammar's own texts.
    RulesCase{R"([{"target":"blocked"}])", "Unknown input"},
    RulesCase{R"([{"source":65,"target":"blocked"}])", "Unknown input"},
    RulesCase{R"([{"source":"key_65\n","target":"blocked"}])", "Unknown input"},
    RulesCase{R"([{"source":"key_65"}])", "Unknown output"},
    RulesCase{R"([{"source":"key_65","target":true}])", "Unknown output"},
    RulesCase{R"([{"source":"key_65","target":"macro:17"}])", "Invalid macro slot"},
    RulesCase{R"([{"source":"key_65","target":"layer:timed:3:70000"}])", "Invalid mapping"},
    RulesCase{R"([{"source":"key_65","target":"nope","trigger":5}])", "Unknown output"},
    // Trigger shape.
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":5}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":[]}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"HoldTap","intervalMs":300,"fallback":"key_66"}}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":1,"intervalMs":300,"fallback":"key_66"}}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"intervalMs":300,"fallback":"key_66","keys":[]}}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300}}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"key_66","keys":[]}}])", "Invalid trigger object"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"keys":["key_66"]}}])", "Unknown trigger field"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"fallback":"key_66"}}])", "Unknown trigger field"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","interval":300,"fallback":"key_66"}}])", "Unknown trigger field"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":99,"fallback":"key_66"}}])", "Trigger interval must be 100..2000 ms"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":2001,"fallback":"key_66"}}])", "Trigger interval must be 100..2000 ms"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":150.5,"fallback":"key_66"}}])", "Trigger interval must be 100..2000 ms"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":"300","fallback":"key_66"}}])", "Trigger interval must be 100..2000 ms"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":null,"keys":[5]}}])", "Trigger interval must be 100..2000 ms"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":100,"fallback":"key_66"}}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"double","intervalMs":2000,"fallback":"key_66"}}])", nullptr},
    // Chord trigger keys.
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":[]}}])", "Source chord needs 1..3 preceding keys"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66","key_67","key_68","key_69"]}}])", "Source chord needs 1..3 preceding keys"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":"key_66"}}])", "Source chord needs 1..3 preceding keys"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":[66]}}])", "Unknown source chord key"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66","key_16"]}}])", "Unknown source chord key"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66","key_67","key_68"]}}])", nullptr},
    // Fallback texts.
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":5}}])", "Trigger fallback must be an output text"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"macro:0"}}])", "Invalid macro slot"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"layer:timed:2:70000"}}])", "Invalid mapping"},
    RulesCase{R"([{"source":"wheel_up","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"layer:hold:2"}}])", "Wheel cannot be held for a temporary layer"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"unchanged"}}])", nullptr},
    // Limits that only the compiled list sees.
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":true,"trigger":{"kind":"holdTap","intervalMs":300,"fallback":"key_66"}}])", "Invalid rules"},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":true,"trigger":{"kind":"double","intervalMs":300,"fallback":"key_66"}}])", "Invalid rules"},
    RulesCase{R"([{"source":"key_65","target":"blocked","keepOriginal":true,"trigger":{"kind":"chord","intervalMs":300,"keys":["key_66"]}}])", nullptr},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66","key_65"]}}])", "Invalid rules"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66","key_66"]}}])", "Invalid rules"},
    RulesCase{R"([{"source":"key_65","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["wheel_down"]}}])", "Invalid rules"},
    RulesCase{R"([{"source":"wheel_up","target":"blocked","trigger":{"kind":"holdTap","intervalMs":300,"fallback":"key_66"}}])", "Invalid rules"},
    RulesCase{R"([{"source":"wheel_up","target":"blocked","trigger":{"kind":"chord","intervalMs":300,"keys":["key_66"]}}])", "Invalid rules"}));

TEST(RuleLists, ThreeRulesWithTriggersCompileFieldByField)
{
    const QJsonArray rules = array(R"([
        {"source":"key_65","target":"macro:3","modifiers":2,"name":"Macro on A",
         "trigger":{"kind":"holdTap","intervalMs":250,"fallback":"chord:key_162+key_67"}},
        {"source":"mouse_back","target":"unchanged","keepOriginal":true,
         "trigger":{"kind":"chord","intervalMs":400,"keys":["key_162","key_160"]}},
        {"source":"key_66","target":"layer:timed:2:1500","modifiers":5,"keepOriginal":false,
         "trigger":{"kind":"double","intervalMs":2000,"fallback":"unchanged"}}])");
    auto snapshot = std::make_unique<RulesSnapshot>();
    QString error;
    ASSERT_TRUE(parseRules(rules, *snapshot, error)) << error.toStdString();

    CompiledRule holdTap;
    holdTap.id = 1;
    holdTap.source = key(65);
    holdTap.targetKind = TargetKind::Macro;
    holdTap.macroSlot = 3;
    holdTap.modifiers = kModifierCtrl;
    holdTap.modifierCount = 1;
    holdTap.trigger = TriggerKind::HoldTap;
    holdTap.triggerIntervalMs = 250;
    holdTap.fallback.kind = TargetKind::KeyOutput;
    holdTap.fallback.output = key(162);
    holdTap.fallback.chordKeys = {key(67), 0, 0};
    holdTap.fallback.chordKeyCount = 1;

    CompiledRule chord;
    chord.id = 2;
    chord.source = makeInputId(kClassMouseButton, kKindMouseButton, 4);
    chord.targetKind = TargetKind::Unchanged;
    chord.suppressOriginal = false;
    chord.trigger = TriggerKind::Chord;
    chord.triggerIntervalMs = 400;
    chord.precedingKeys = {key(162), key(160), 0};
    chord.precedingKeyCount = 2;

    CompiledRule doublePress;
    doublePress.id = 3;
    doublePress.source = key(66);
    doublePress.targetKind = TargetKind::Layer;
    doublePress.layerOp = LayerOp::Timed;
    doublePress.layerIndex = 1;
    doublePress.layerTimerMs = 1500;
    doublePress.modifiers = kModifierShift | kModifierAlt;
    doublePress.modifierCount = 2;
    doublePress.trigger = TriggerKind::Double;
    doublePress.triggerIntervalMs = 2000;
    doublePress.fallback.kind = TargetKind::Unchanged;

    // More modifiers match first.
    ASSERT_EQ(snapshot->count, 3u);
    EXPECT_EQ(snapshot->rules[0], doublePress);
    EXPECT_EQ(snapshot->rules[1], holdTap);
    EXPECT_EQ(snapshot->rules[2], chord);
    for (std::size_t i = 3; i < kMaxRules; ++i)
        ASSERT_EQ(snapshot->rules[i], CompiledRule{}) << "slot " << i;
}

QJsonArray distinctRules(qsizetype count)
{
    // Sixteen keys times sixteen modifier sets: 256 distinct source and modifier pairs.
    QJsonArray rules;
    for (qsizetype i = 0; i < count; ++i) {
        QJsonObject rule;
        rule.insert(QStringLiteral("source"), QStringLiteral("key_%1").arg(65 + i % 16));
        rule.insert(QStringLiteral("target"), QStringLiteral("blocked"));
        rule.insert(QStringLiteral("modifiers"), int(i / 16 % 16));
        rules.append(rule);
    }
    return rules;
}

TEST(RuleLists, HoldAtMost256Rules)
{
    auto snapshot = std::make_unique<RulesSnapshot>();
    QString error;
    ASSERT_TRUE(parseRules(distinctRules(256), *snapshot, error)) << error.toStdString();
    EXPECT_EQ(snapshot->count, 256u);
    // Sorted by modifier count, then by position: the first rule with all four modifiers leads.
    EXPECT_EQ(snapshot->rules[0].id, 241u);
    EXPECT_EQ(snapshot->rules[0].modifierCount, 4);

    const QByteArray before = bytesOf(*snapshot);
    QJsonArray tooMany;
    for (int i = 0; i < 257; ++i)
        tooMany.append(1); // not even objects: the count is checked first
    EXPECT_FALSE(parseRules(tooMany, *snapshot, error));
    EXPECT_EQ(error, QStringLiteral("Too many rules"));
    EXPECT_EQ(bytesOf(*snapshot), before);
}

} // namespace
