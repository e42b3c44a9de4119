#include "engine_test_support.h"

#include "core/output_mapping.h"
#include "tests/support/output_notation.h"

#include <gtest/gtest.h>

#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <bit>
#include <vector>

namespace vorna::enginetest {

using core::CompiledRule;

core::InputId id(const char* text)
{
    core::InputId parsed = 0;
    EXPECT_TRUE(core::parseInputId(QString::fromUtf8(text), parsed)) << text;
    return parsed;
}

core::Macro macroFrom(const char* mode, int repeat, const char* steps)
{
    const std::string json = std::string(R"({"name":"m","mode":")") + mode + R"(","repeat":)" +
                             std::to_string(repeat) + R"(,"steps":)" + steps + "}";
    core::Macro macro;
    QString error;
    EXPECT_TRUE(core::parseMacro(QJsonDocument::fromJson(QByteArray::fromStdString(json)).object(), macro, error))
        << json << ": " << error.toStdString();
    return macro;
}

CompiledRule rule(const char* source, const char* target, std::uint8_t modifiers, bool keepOriginal)
{
    CompiledRule made;
    QString error;
    EXPECT_TRUE(core::parseMappingRule(QString::fromUtf8(source), QString::fromUtf8(target), made, error))
        << source << " -> " << target << ": " << error.toStdString();
    made.modifiers = modifiers;
    made.modifierCount = std::int16_t(std::popcount(modifiers));
    made.suppressOriginal = !keepOriginal;
    return made;
}

CompiledRule timedRule(const char* source, const char* target, core::TriggerKind trigger, const char* fallback,
                       std::uint32_t intervalMs)
{
    CompiledRule made = rule(source, target);
    const CompiledRule alternative = rule(source, fallback);
    made.trigger = trigger;
    made.triggerIntervalMs = intervalMs;
    made.fallback.kind = alternative.targetKind;
    made.fallback.output = alternative.output;
    made.fallback.chordKeys = alternative.chordKeys;
    made.fallback.chordKeyCount = alternative.chordKeyCount;
    made.fallback.macroSlot = alternative.macroSlot;
    made.fallback.actionSlot = alternative.actionSlot;
    made.fallback.layerOp = alternative.layerOp;
    made.fallback.layerIndex = alternative.layerIndex;
    made.fallback.layerTimerMs = alternative.layerTimerMs;
    made.fallback.pointerMode = alternative.pointerMode;
    return made;
}

CompiledRule chordRule(const char* source, const char* target, std::initializer_list<const char*> keys,
                       std::uint32_t intervalMs)
{
    CompiledRule made = rule(source, target);
    made.trigger = core::TriggerKind::Chord;
    made.triggerIntervalMs = intervalMs;
    for (const char* text : keys)
        made.precedingKeys[made.precedingKeyCount++] = id(text);
    return made;
}

core::RulesSnapshot snapshot(std::initializer_list<CompiledRule> rules)
{
    std::vector<CompiledRule> numbered(rules);
    for (std::size_t i = 0; i < numbered.size(); ++i)
        numbered[i].id = std::uint32_t(i + 1);
    core::RulesSnapshot compiled;
    EXPECT_EQ(core::compileRules(numbered.data(), numbered.size(), compiled), core::kCompileOk);
    return compiled;
}

windows::InputEvent event(core::InputId input, std::uint8_t phase, std::uint64_t time, std::uint64_t device,
                          std::uint8_t modifiers)
{
    windows::InputEvent made;
    made.device = device;
    made.input = input;
    made.phase = phase;
    made.time = time;
    made.provider = 1;
    made.channel = 1;
    made.modifiers = modifiers;
    return made;
}

std::string describe(const core::OutputBatch& batch)
{
    std::string text;
    for (std::uint64_t i = 0; i < batch.count; ++i) {
        const core::OutputEvent& e = batch.events[i];
        if (!text.empty())
            text += ' ';
        if (core::isWheelInput(e.input))
            text += test::wheelText(e.input, long(e.amount));
        else
            text += test::inputText(e.phase == core::kPhaseDown ? '+' : e.phase == core::kPhaseUp ? '-' : '*', e.input);
    }
    return text;
}

} // namespace vorna::enginetest
