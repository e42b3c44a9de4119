// The engine's decision path runs inside a low-level hook for every key press: it must stay far
// below the hook time-out (goal: under 200 ns per event) and must never touch the heap. Both
// cases run against a full 256-rule snapshot and an active table of 128 mappings.
#include "bench/counting_allocator.h"

#include "core/rules_snapshot.h"
#include "engine/hook_thread/backend_state.h"
#include "engine/mapping/rule_evaluation.h"

#include <benchmark/benchmark.h>

#include <memory>

namespace {

using namespace vorna;
using core::CompiledRule;
using core::InputId;

constexpr InputId key(std::uint16_t vk) { return core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, vk); }

constexpr std::uint16_t kChordSource = 80;

// 16 keys x 16 modifier sets: rules with more modifiers sort first, so the plain rule of the
// last key (key_80, a 4-key chord) is the very last rule a lookup reaches.
core::RulesSnapshot fullSnapshot()
{
    CompiledRule rules[core::kMaxRules];
    for (std::uint32_t i = 0; i < core::kMaxRules; ++i) {
        CompiledRule& rule = rules[i];
        rule.id = i + 1;
        rule.source = key(std::uint16_t(65 + i % 16));
        rule.modifiers = std::uint8_t(i / 16);
        rule.modifierCount = std::int16_t(__builtin_popcount(rule.modifiers));
        rule.targetKind = core::TargetKind::KeyOutput;
        rule.output = key(std::uint16_t(112 + i % 12)); // F1-F12
    }
    CompiledRule& chord = rules[15]; // key_80 without modifiers
    chord.output = key(162);
    chord.chordKeys = {key(160), key(164), key(67)};
    chord.chordKeyCount = 3;
    core::RulesSnapshot snapshot;
    if (core::compileRules(rules, core::kMaxRules, snapshot) != core::kCompileOk)
        std::abort();
    return snapshot;
}

// 127 keys held by engine-internal owners, so that every reference count scans a full table.
void fillActiveTable(core::MappingEngine& engine)
{
    core::OutputBatch ignored;
    for (std::uint64_t owner = 1000; owner < 1000 + core::kMaxActiveMappings - 1; ++owner) {
        ignored.count = 0;
        engine.press(owner, key(std::uint16_t(186 + owner % 7)), ignored);
    }
}

windows::InputEvent keyEvent(std::uint8_t phase, std::uint64_t time)
{
    windows::InputEvent event;
    event.device = 2;
    event.input = key(kChordSource);
    event.phase = phase;
    event.time = time;
    event.provider = 1;
    event.channel = 1;
    return event;
}

void reportAllocations(benchmark::State& state, std::size_t before)
{
    const std::size_t allocations = bench::allAllocations() - before;
    state.counters["heap_allocations"] = double(allocations);
    if (allocations != 0)
        state.SkipWithError("the decision path allocated");
}

// One press and one release of a key whose rule is the last of 256, with 128 active mappings.
void BM_EvaluateEvent(benchmark::State& state)
{
    auto engine = std::make_unique<core::MappingEngine>();
    engine->copySnapshot(fullSnapshot());
    fillActiveTable(*engine);
    std::uint64_t time = 1'000'000;
    const std::size_t before = bench::allAllocations();
    for (auto _ : state) {
        windows::engine::EvaluationResult down = windows::engine::evaluateInput(*engine, keyEvent(0, time += 1000));
        benchmark::DoNotOptimize(down.suppress);
        windows::engine::EvaluationResult up = windows::engine::evaluateInput(*engine, keyEvent(1, time += 1000));
        benchmark::DoNotOptimize(up.suppress);
        if (down.batch.count != 4 || up.batch.count != 4)
            state.SkipWithError("the chord rule did not apply");
    }
    reportAllocations(state, before);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
    state.counters["ns_per_event"] = benchmark::Counter(double(state.iterations()) * 2,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_EvaluateEvent);

UINT WINAPI acceptEverything(UINT count, LPINPUT inputs, int)
{
    benchmark::DoNotOptimize(inputs);
    return count;
}

// The same press and release, assembled into marked INPUT records and handed to the output
// function one event at a time: 8 SendInput calls per iteration.
void BM_AssembleChordBatch(benchmark::State& state)
{
    auto backend = std::make_unique<windows::BackendState>();
    backend->output.outputFunction = &acceptEverything;
    backend->engine.copySnapshot(fullSnapshot());
    fillActiveTable(backend->engine);
    std::uint64_t time = 1'000'000;
    const std::size_t before = bench::allAllocations();
    for (auto _ : state) {
        for (std::uint8_t phase : {std::uint8_t(0), std::uint8_t(1)}) {
            const windows::engine::EvaluationResult result =
                windows::engine::evaluateInput(backend->engine, keyEvent(phase, time += 1000));
            if (!backend->output.enqueue(result.batch))
                state.SkipWithError("the output side refused the batch");
        }
    }
    reportAllocations(state, before);
    if (backend->outputEvents.load() != std::uint64_t(state.iterations()) * 8)
        state.SkipWithError("not every chord key was sent");
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
    state.counters["ns_per_event"] = benchmark::Counter(double(state.iterations()) * 2,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_AssembleChordBatch);

} // namespace

BENCHMARK_MAIN();
