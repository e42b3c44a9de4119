// Rule-list parsing and snapshot compilation. compileRules runs where no allocation is allowed,
// so a counting global allocator reports every heap allocation made inside it.
#include "bench/counting_allocator.h"
#include "core/rule_list.h"
#include "core/rules_snapshot.h"

#include <benchmark/benchmark.h>

#include <QJsonObject>

#include <algorithm>
#include <atomic>
#include <cstdlib>
#include <memory>
#include <new>


namespace {

using namespace vorna::core;

// 256 distinct rules (16 keys x 16 modifier sets) cycling through the target forms and triggers.
QJsonArray fullRuleList()
{
    const char* targets[] = {"key_66", "blocked", "macro:3", "action:12", "layer:timed:2:1500",
                             "chord:key_162+key_67", "toggle:key_20", "pointer:speed", "unchanged"};
    QJsonArray rules;
    for (int i = 0; i < int(kMaxRules); ++i) {
        QJsonObject rule;
        rule.insert(QStringLiteral("source"), QStringLiteral("key_%1").arg(65 + i % 16));
        rule.insert(QStringLiteral("target"), QString::fromLatin1(targets[i % std::size(targets)]));
        rule.insert(QStringLiteral("modifiers"), i / 16);
        rule.insert(QStringLiteral("name"), QStringLiteral("Rule %1").arg(i + 1));
        switch (i % 4) {
        case 1:
            rule.insert(QStringLiteral("trigger"),
                        QJsonObject{{"kind", "holdTap"}, {"intervalMs", 250}, {"fallback", "chord:key_162+key_68"}});
            break;
        case 2:
            rule.insert(QStringLiteral("trigger"),
                        QJsonObject{{"kind", "double"}, {"intervalMs", 300}, {"fallback", "unchanged"}});
            break;
        case 3:
            rule.insert(QStringLiteral("keepOriginal"), true);
            rule.insert(QStringLiteral("trigger"),
                        QJsonObject{{"kind", "chord"}, {"intervalMs", 400}, {"keys", QJsonArray{"key_162", "key_160"}}});
            break;
        default:
            break;
        }
        rules.append(rule);
    }
    return rules;
}

void setPerRuleCounter(benchmark::State& state)
{
    state.SetItemsProcessed(std::int64_t(state.iterations()) * std::int64_t(kMaxRules));
    state.counters["time_per_rule"] = benchmark::Counter(
        double(kMaxRules), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

void BM_ParseRules256(benchmark::State& state)
{
    const QJsonArray rules = fullRuleList();
    auto snapshot = std::make_unique<RulesSnapshot>();
    QString error;
    const std::size_t before = vorna::bench::heapAllocations();
    const std::size_t cBefore = vorna::bench::cAllocations();
    for (auto _ : state) {
        if (!parseRules(rules, *snapshot, error)) {
            state.SkipWithError(qPrintable(error));
            break;
        }
        benchmark::DoNotOptimize(snapshot->count);
    }
    const std::size_t allocations = vorna::bench::heapAllocations() - before;
    const std::size_t cAllocations = vorna::bench::cAllocations() - cBefore;
    setPerRuleCounter(state);
    // Goal: at most one allocation per rule. "heap" counts operator new (containers, regular
    // expression matches), "c" the C library's (Qt's string buffers: a copy of each text read
    // from the document).
    const auto perCall = [](std::size_t count) {
        return benchmark::Counter(double(count), benchmark::Counter::kAvgIterations);
    };
    const auto perRule = [](std::size_t count) {
        return benchmark::Counter(double(count) / double(kMaxRules), benchmark::Counter::kAvgIterations);
    };
    state.counters["heap_allocations"] = perCall(allocations);
    state.counters["heap_per_rule"] = perRule(allocations);
    state.counters["c_allocations"] = perCall(cAllocations);
    state.counters["c_per_rule"] = perRule(cAllocations);
}
BENCHMARK(BM_ParseRules256);

void BM_CompileRulesFullSnapshot(benchmark::State& state)
{
    auto parsed = std::make_unique<RulesSnapshot>();
    QString error;
    if (!parseRules(fullRuleList(), *parsed, error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }
    // Back to list order, reversed, so every call has real sorting to do.
    auto input = std::make_unique<RulesSnapshot>(*parsed);
    std::sort(input->rules.begin(), input->rules.end(),
              [](const CompiledRule& a, const CompiledRule& b) { return a.id > b.id; });
    auto output = std::make_unique<RulesSnapshot>();

    const std::size_t before = vorna::bench::allAllocations();
    for (auto _ : state) {
        const int result = compileRules(input->rules.data(), kMaxRules, *output);
        benchmark::DoNotOptimize(result);
        benchmark::ClobberMemory();
    }
    const std::size_t allocations = vorna::bench::allAllocations() - before;
    setPerRuleCounter(state);
    state.counters["heap_allocations"] = benchmark::Counter(double(allocations), benchmark::Counter::kAvgIterations);
}
BENCHMARK(BM_CompileRulesFullSnapshot);

} // namespace

BENCHMARK_MAIN();
