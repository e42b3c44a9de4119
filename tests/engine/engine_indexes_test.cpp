// The engine's indexes against the straightforward route: randomised event streams with a fixed
// seed, where every answer of an index (rule chains by source, entries by input, free entries,
// layers switched by pointer, busy trigger slots, wheel notches cleared by the rows in use) must
// equal the answer of a walk over the tables, of a copy or of a full clear.
#include "engine/hook_thread/input_thread.h"
#include "engine/mapping/mapping_engine.h"
#include "engine/mapping/rule_evaluation.h"
#include "engine/mapping/timed_slots.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <memory>
#include <random>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows::engine;
using vorna::core::CompiledRule;
using vorna::core::HeldInput;
using vorna::core::InputId;
using vorna::core::MappingEngine;
using vorna::core::RulesSnapshot;
using vorna::core::TargetKind;
using vorna::core::TriggerKind;
using vorna::windows::InputEvent;

// Keys, buttons, wheel steps, numpad Enter and a reserved keyboard kind, which has no table
// index and so takes the engine's fallback scans.
std::vector<InputId> inputPool()
{
    std::vector<InputId> pool = {button(1), button(4), button(5), wheel(1), wheel(3), kNumpadEnter,
                                 vorna::core::makeInputId(vorna::core::kClassKeyboard, 2, 700)};
    for (std::uint16_t vk : {65, 66, 67, 68, 69, 70, 71, 160, 162, 164})
        pool.push_back(key(vk));
    return pool;
}

class Streams {
public:
    explicit Streams(unsigned seed) : m_random(seed), m_pool(inputPool()) {}

    int number(int below) { return std::uniform_int_distribution<int>(0, below - 1)(m_random); }
    InputId input() { return m_pool[std::size_t(number(int(m_pool.size())))]; }
    InputId keyInput()
    {
        for (;;) {
            const InputId id = input();
            if (!vorna::core::isWheelInput(id))
                return id;
        }
    }

    // A random list that compiles: plain, chord-output, toggle, blocked, unchanged and other
    // targets, modifiers, device-bound rules and chord triggers of 1-3 preceding keys.
    RulesSnapshot rules(int count)
    {
        std::vector<CompiledRule> made;
        while (int(made.size()) < count) {
            CompiledRule rule;
            rule.id = std::uint32_t(made.size() + 1);
            rule.source = input();
            rule.modifiers = std::uint8_t(number(3) == 0 ? number(16) : 0);
            rule.modifierCount = std::int16_t(__builtin_popcount(rule.modifiers));
            rule.device = number(6) == 0 ? std::uint64_t(1 + number(3)) : 0;
            rule.suppressOriginal = number(5) != 0;
            switch (number(8)) {
            case 0:
                rule.targetKind = TargetKind::Blocked;
                break;
            case 1:
                rule.targetKind = TargetKind::Unchanged;
                break;
            case 2:
                rule.targetKind = TargetKind::Toggle;
                rule.output = keyInput();
                break;
            case 3:
                rule.targetKind = TargetKind::Layer;
                rule.layerOp = vorna::core::LayerOp::Once;
                rule.layerIndex = std::uint8_t(number(10));
                break;
            case 4:
                rule.targetKind = TargetKind::KeyOutput;
                rule.output = keyInput();
                rule.chordKeys[0] = keyInput();
                rule.chordKeyCount = 1;
                break;
            default:
                rule.targetKind = TargetKind::KeyOutput;
                rule.output = input();
                break;
            }
            if (number(3) == 0) {
                rule.trigger = TriggerKind::Chord;
                rule.triggerIntervalMs = std::uint32_t(100 + number(1900));
                rule.precedingKeyCount = std::uint8_t(1 + number(3));
                for (std::uint8_t k = 0; k < rule.precedingKeyCount; ++k)
                    rule.precedingKeys[k] = keyInput();
            }
            if (vorna::core::checkCompiledRule(rule) == vorna::core::kCompileOk)
                made.push_back(rule);
        }
        RulesSnapshot compiled;
        EXPECT_EQ(vorna::core::compileRules(made.data(), made.size(), compiled), vorna::core::kCompileOk);
        return compiled;
    }

    // A press (`downs` in 10), release or repeat of a random input by one of `devices` devices,
    // modifiers at random. With ten devices more than 128 inputs can be down at once.
    InputEvent event(std::uint64_t& timeMs, int devices = 3, int downs = 4)
    {
        timeMs += std::uint64_t(number(40));
        const std::uint8_t phase = std::uint8_t(number(10) < downs ? vorna::core::kPhaseDown
                                                : number(4) == 0 ? vorna::core::kPhaseRepeat
                                                                 : vorna::core::kPhaseUp);
        return vorna::enginetest::event(input(), phase, ms(timeMs), std::uint64_t(1 + number(devices)),
                                        std::uint8_t(number(16)));
    }

private:
    std::mt19937 m_random;
    std::vector<InputId> m_pool;
};

// ---- The straightforward route: walks over the tables, as the engine did before its indexes.

const vorna::core::ActiveMapping* walkFindEntry(const MappingEngine& engine, std::uint64_t owner, InputId source)
{
    for (const vorna::core::ActiveMapping& entry : engine.active) {
        if (owner != 0 && entry.occupied && entry.owner == owner && entry.source == source)
            return &entry;
    }
    return nullptr;
}

const vorna::core::ActiveMapping* walkFirstFreeEntry(const MappingEngine& engine)
{
    for (const vorna::core::ActiveMapping& entry : engine.active) {
        if (!entry.occupied)
            return &entry;
    }
    return nullptr;
}

const HeldInput* walkFirstHeld(const MappingEngine& engine, InputId input)
{
    for (const HeldInput& entry : engine.held) {
        if (entry.device != 0 && entry.input == input)
            return &entry;
    }
    return nullptr;
}

using HeldTable = std::array<HeldInput, vorna::core::kMaxHeldInputs>;

// Held-input upkeep by a walk: the entry of the device and input, else the first free one.
void walkTrackHeld(HeldTable& held, const InputEvent& e)
{
    if (e.origin != 0 || e.device == 0 || !vorna::core::isValidInputId(e.input) || vorna::core::isWheelInput(e.input))
        return;
    HeldInput* free = nullptr;
    for (HeldInput& entry : held) {
        if (entry.device == e.device && entry.input == e.input) {
            if (e.phase == vorna::core::kPhaseUp)
                entry = HeldInput{};
            return;
        }
        if (!free && entry.device == 0)
            free = &entry;
    }
    if (e.phase == vorna::core::kPhaseDown && free)
        *free = HeldInput{e.device, e.time, e.input};
}

bool sameHeld(const HeldTable& a, const HeldTable& b)
{
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (a[i].device != b[i].device || a[i].pressTime != b[i].pressTime || a[i].input != b[i].input)
            return false;
    }
    return true;
}

std::string summary(const EvaluationResult& r)
{
    return describe(r.batch) + " s" + std::to_string(r.suppress) + " st" + std::to_string(r.status) + " r" +
           std::to_string(r.ruleId) + " m" + std::to_string(r.macroSlot) + " a" + std::to_string(r.actionSlot) + " l" +
           std::to_string(r.layerOp) + ":" + std::to_string(r.layerIndex) + ":" + std::to_string(r.layerTimerMs) +
           " p" + std::to_string(r.pointerMode);
}

// Every index answer against the walk, for every input of the pool and every owner in use.
void expectIndexesAgreeWithWalks(MappingEngine& engine, const std::vector<InputId>& pool)
{
    ASSERT_TRUE(engine.indexMatchesTable());
    const vorna::core::ActiveMapping* free = engine.firstFreeEntry();
    EXPECT_EQ(free, walkFirstFreeEntry(engine));
    for (InputId input : pool) {
        EXPECT_EQ(engine.firstHeld(input), walkFirstHeld(engine, input));
        for (std::uint64_t owner : {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 1000, 1001}) {
            EXPECT_EQ(engine.findEntry(owner, input), walkFindEntry(engine, owner, input));
            const HeldInput* found = engine.findHeld(owner, input);
            const HeldInput* walked = nullptr;
            for (const HeldInput& entry : engine.held) {
                if (entry.device == owner && entry.input == input) {
                    walked = &entry;
                    break;
                }
            }
            EXPECT_EQ(found, walked);
        }
    }
}

TEST(EngineIndexes, LookupsAndTablesAgreeWithWalksOverRandomStreams)
{
    Streams streams(20261210);
    const std::vector<InputId> pool = inputPool();
    for (int list = 0; list < 32; ++list) {
        SCOPED_TRACE("list " + std::to_string(list));
        auto engine = std::make_unique<MappingEngine>();
        engine->copySnapshot(streams.rules(1 + streams.number(60)));
        HeldTable walkedHeld{};
        std::uint64_t timeMs = 1;
        const bool crowded = list % 4 == 3; // tables run full
        for (int step = 0; step < 400; ++step) {
            const InputEvent e = crowded ? streams.event(timeMs, 10, 8) : streams.event(timeMs);
            const CompiledRule* walked = findRule(engine->currentRules(), engine->held, e);
            ASSERT_EQ(lookUpRule(*engine, e), walked) << "step " << step;

            vorna::core::OutputBatch batch;
            switch (streams.number(40)) {
            case 0: // engine-internal presses share the table with mappings
                engine->press(1000 + std::uint64_t(streams.number(2)), streams.keyInput(), batch);
                break;
            case 1:
                engine->release(1000 + std::uint64_t(streams.number(2)), streams.keyInput(), batch);
                break;
            case 2:
                engine->releaseOwner(1000 + std::uint64_t(streams.number(2)), batch);
                break;
            case 3:
                engine->releaseHeld(batch);
                break;
            case 4: // as a full reset and new rules do
                engine->releaseAll(batch);
                engine->overflow = 0;
                engine->resume();
                break;
            default:
                evaluateInput(*engine, e);
                walkTrackHeld(walkedHeld, e);
                break;
            }
            ASSERT_TRUE(sameHeld(engine->held, walkedHeld)) << "step " << step;
            expectIndexesAgreeWithWalks(*engine, pool);
            if (testing::Test::HasFailure())
                return;
        }
    }
}

TEST(EngineIndexes, ForgettingTheInputsLeavesEveryEntryFree)
{
    // What a hook thread that lost its hooks does before it reads the keys again: afterwards the
    // indexes show empty tables, and presses are remembered and matched as on a fresh engine.
    auto engine = std::make_unique<MappingEngine>();
    engine->copySnapshot(snapshot({chordRule("key_66", "key_71", {"key_65"}, 300)}));
    for (std::uint64_t device = 1; device <= 3; ++device)
        for (std::uint16_t vk = 65; vk <= 70; ++vk)
            evaluateInput(*engine, event(key(vk), vorna::core::kPhaseDown, ms(1), device));
    engine->forgetInputs();
    ASSERT_TRUE(engine->indexMatchesTable());
    EXPECT_EQ(engine->firstFreeEntry(), &engine->active[0]);
    EXPECT_EQ(engine->firstFreeHeld(), &engine->held[0]);
    EXPECT_EQ(engine->firstHeld(key(65)), nullptr);

    evaluateInput(*engine, event(key(65), vorna::core::kPhaseDown, ms(10)));
    EXPECT_EQ(describe(evaluateInput(*engine, event(key(66), vorna::core::kPhaseDown, ms(20))).batch), "+key_71");
    EXPECT_TRUE(engine->indexMatchesTable());
}

TEST(EngineIndexes, ATableFullOfOneInputStillFindsEachEntry)
{
    // 128 owners hold the same key, then leave in a scattered order: the chain of one input
    // index runs through the whole table.
    auto engine = std::make_unique<MappingEngine>();
    vorna::core::OutputBatch batch;
    for (std::uint64_t owner = 1000; owner < 1128; ++owner)
        engine->press(owner, key(65), batch);
    EXPECT_EQ(engine->firstFreeEntry(), nullptr);
    const std::vector<InputId> pool = {key(65)};
    for (std::uint64_t n = 0; n < 128; ++n) {
        const std::uint64_t owner = 1000 + (n * 37) % 128;
        ASSERT_NE(engine->findEntry(owner, key(65)), nullptr) << owner;
        engine->release(owner, key(65), batch);
        EXPECT_EQ(engine->findEntry(owner, key(65)), nullptr) << owner;
        ASSERT_TRUE(engine->indexMatchesTable()) << owner;
        EXPECT_EQ(engine->firstFreeEntry(), walkFirstFreeEntry(*engine));
    }
    EXPECT_EQ(describe(batch), "+key_65 -key_65");
}

TEST(EngineIndexes, ASwitchByPointerDecidesAsACopyDoes)
{
    // Ten layers of random rules; one engine copies a layer in at every switch, the other is
    // pointed at the layer and its prebuilt chains. Both must answer every event alike.
    Streams streams(7);
    auto layers = std::make_unique<std::array<RulesSnapshot, 10>>();
    auto chains = std::make_unique<std::array<vorna::core::SourceChains, 10>>();
    for (std::size_t i = 0; i < layers->size(); ++i) {
        (*layers)[i] = streams.rules(1 + streams.number(80));
        (*chains)[i].build((*layers)[i]);
    }
    auto copied = std::make_unique<MappingEngine>();
    auto pointed = std::make_unique<MappingEngine>();
    copied->copySnapshot((*layers)[0]);
    pointed->useRules((*layers)[0], (*chains)[0]);
    std::uint64_t timeMs = 1;
    for (int step = 0; step < 20'000; ++step) {
        if (streams.number(8) == 0) {
            const std::size_t layer = std::size_t(streams.number(10));
            copied->copySnapshot((*layers)[layer]);
            pointed->useRules((*layers)[layer], (*chains)[layer]);
        }
        const InputEvent e = streams.event(timeMs);
        ASSERT_EQ(summary(evaluateInput(*pointed, e)), summary(evaluateInput(*copied, e))) << "step " << step;
    }
    EXPECT_TRUE(pointed->indexMatchesTable());
    EXPECT_TRUE(copied->indexMatchesTable());
}

UINT WINAPI acceptEverything(UINT count, LPINPUT, int)
{
    return count;
}

TEST(EngineIndexes, ALayerChangeClearsTheWheelNotchesAsAFullClearWould)
{
    // Wheel rules with ids spread over the accumulator bank, in two layers; wheel steps smaller
    // than a notch under random modifiers leave remainders behind, and layer changes clear them.
    Streams streams(11);
    std::vector<CompiledRule> rules;
    std::vector<std::uint32_t> ids(256);
    for (std::uint32_t i = 0; i < ids.size(); ++i)
        ids[i] = i + 1;
    std::shuffle(ids.begin(), ids.end(), std::mt19937(3));
    for (std::uint16_t direction = 1; direction <= 4; ++direction) {
        for (std::uint8_t modifiers = 0; modifiers < 16; ++modifiers) {
            CompiledRule made = rule("wheel_up", "key_65", modifiers);
            made.source = wheel(direction);
            made.id = ids[rules.size()];
            rules.push_back(made);
        }
    }
    auto program = std::make_unique<vorna::windows::LayerProgram>();
    program->enabled = 1;
    ASSERT_EQ(vorna::core::compileRules(rules.data(), rules.size(), program->layers[0]), vorna::core::kCompileOk);
    program->layers[1] = program->layers[0];

    auto thread = std::make_unique<vorna::windows::InputThread>();
    vorna::windows::BackendState& s = thread->m_state;
    s.output.outputFunction = &acceptEverything;
    s.engineEvents.setOpen(true);
    s.loadLayers(*program);
    s.engine.copySnapshot(program->layers[0]);
    s.engine.resume();
    thread->m_layerStacks.reset(0);

    const std::uint8_t modifierKeys[] = {0xA0, 0xA2, 0xA4, 0x5B};
    const auto everyNotchClear = [&] {
        for (const auto& byRule : thread->m_pointer.notches)
            for (const auto& byModifiers : byRule)
                if (byModifiers[0] != 0 || byModifiers[1] != 0)
                    return false;
        return true;
    };
    std::uint8_t layer = 0;
    std::uint64_t timeMs = 1;
    for (int step = 0; step < 5'000; ++step) {
        for (std::size_t k = 0; k < std::size(modifierKeys); ++k)
            thread->m_physicalDown[modifierKeys[k]] = streams.number(2) == 0;
        const std::uint16_t direction = std::uint16_t(1 + streams.number(4));
        InputEvent e = event(wheel(direction), vorna::core::kPhaseDown, ms(timeMs += 10), 1);
        const int delta = 1 + streams.number(119);
        thread->processWheel(e, direction == 2 || direction == 3 ? -delta : delta);
        for (std::size_t row = 0; row < 256 * 16; ++row) {
            const auto& accumulators = thread->m_pointer.notches[row / 16][row % 16];
            if (accumulators[0] != 0 || accumulators[1] != 0) {
                ASSERT_TRUE(thread->m_pointer.notchRowListed.test(row)) << "step " << step << ", row " << row;
            }
        }
        if (streams.number(50) == 0) {
            layer ^= 1;
            ASSERT_TRUE(thread->stepLayer(layer));
            ASSERT_TRUE(everyNotchClear()) << "step " << step;
        }
    }
}

TEST(EngineIndexes, TheBusyTriggerSlotsAreTheSlotsThatAreNotFree)
{
    // Hold-tap and double rules on a few keys, pressed and released by three devices with time
    // running on, slots expiring, released, abandoned and cancelled at random: after every call
    // the bits of busy slots equal a walk over the slots' states.
    Streams streams(16);
    const CompiledRule rules[] = {timedRule("key_65", "key_66", TriggerKind::HoldTap, "key_67", 100),
                                  timedRule("key_68", "key_69", TriggerKind::Double, "key_70", 150),
                                  timedRule("mouse_back", "key_71", TriggerKind::HoldTap, "blocked", 300)};
    TimedSlots timed{};
    const auto walkedBusy = [&timed] {
        std::uint16_t busy = 0;
        for (std::size_t i = 0; i < timed.size(); ++i)
            busy = std::uint16_t(busy | (timed[i].state != kSlotFree ? 1u << i : 0u));
        return busy;
    };
    std::uint64_t timeMs = 1;
    int opened = 0;
    for (int step = 0; step < 20'000; ++step) {
        timeMs += std::uint64_t(streams.number(60));
        switch (streams.number(30)) {
        case 0:
            releaseTimedSlot(timed, ms(timeMs));
            break;
        case 1:
            abandonPendingSlots(timed);
            break;
        case 2:
            cancelTimedSlots(timed);
            break;
        default: {
            const CompiledRule& rule = rules[std::size_t(streams.number(3))];
            const InputEvent e = event(rule.source, std::uint8_t(streams.number(2)), ms(timeMs),
                                       std::uint64_t(1 + streams.number(3)));
            opened += updateTimedSlots(timed, e, &rule).started;
            expireTimedSlot(timed, ms(timeMs));
            break;
        }
        }
        ASSERT_EQ(timed.busy, walkedBusy()) << "step " << step;
        EXPECT_EQ(slotsConcern(timed, event(key(90), 1), nullptr), timed.busy != 0);
    }
    EXPECT_GT(opened, 1000);
}

} // namespace
