// The hook thread's own work: processEvent inside a hook with 256 rules and 128 active mappings
// (goal: median under 1 us and p99 under 5 us by the engine's own latency histogram, no heap
// allocation), and a 1000 Hz mouse-move stream through a running backend on the simulated
// session (goal: under 5 % of one core on the hook thread, which must not allocate either).
#include "bench/counting_allocator.h"

#include "core/rules_snapshot.h"
#include "engine/input_thread.h"
#include "engine/windows_input_backend.h"
#include "platform/sim/session_api.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <ctime>
#include <memory>
#include <thread>

namespace {

using namespace vorna;
using core::CompiledRule;
using core::InputId;

constexpr InputId key(std::uint16_t vk) { return core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, vk); }

// 64 source keys x 4 modifier sets (none, Shift, Ctrl, Shift+Ctrl) mapped to function keys; the
// measured key is the last plain rule, so every lookup walks the whole snapshot.
core::RulesSnapshot fullRules()
{
    CompiledRule rules[core::kMaxRules];
    for (std::uint32_t i = 0; i < core::kMaxRules; ++i) {
        CompiledRule& rule = rules[i];
        rule.id = i + 1;
        rule.source = key(std::uint16_t(i % 64 < 26 ? 65 + i % 64 : 96 + i % 64 - 26)); // letters, keypad, F keys
        rule.modifiers = std::uint8_t(i / 64);
        rule.modifierCount = std::int16_t(__builtin_popcount(rule.modifiers));
        rule.targetKind = core::TargetKind::KeyOutput;
        rule.output = key(std::uint16_t(186 + i % 7));
    }
    core::RulesSnapshot snapshot;
    if (core::compileRules(rules, core::kMaxRules, snapshot) != core::kCompileOk)
        std::abort();
    return snapshot;
}

UINT WINAPI acceptEverything(UINT count, LPINPUT inputs, int)
{
    benchmark::DoNotOptimize(inputs);
    return count;
}

void reportHistogram(benchmark::State& state, const windows::InputThread& thread)
{
    uint64_t buckets[windows::kLatencyBucketCount];
    for (int k = 0; k < windows::kLatencyBucketCount; ++k)
        buckets[k] = thread.latencyBuckets[k].load();
    const uint64_t samples = thread.latencySamples.load();
    state.counters["p50_ns"] = double(windows::latencyPercentile(buckets, samples, 50));
    state.counters["p99_ns"] = double(windows::latencyPercentile(buckets, samples, 99));
    state.counters["max_ns"] = double(thread.latencyMaxNs.load());
}

// One press and one release of a mapped key as the keyboard hook hands them over: processed
// inside the hook (output queued), then flushed as the loop does after the hook returned.
void BM_ProcessEventInHook(benchmark::State& state)
{
    auto thread = std::make_unique<windows::InputThread>();
    windows::BackendState& s = thread->state;
    s.output.outputFunction = &acceptEverything;
    s.engineEvents.setOpen(true);
    s.engine.copySnapshot(fullRules());
    s.engine.resume();
    core::OutputBatch ignored;
    for (std::uint64_t owner = 1000; owner < 1000 + core::kMaxActiveMappings - 1; ++owner) {
        ignored.count = 0;
        s.engine.press(owner, key(std::uint16_t(160 + owner % 6)), ignored);
    }
    windows::InputEvent event;
    event.device = windows::kKeyboardHookDevice;
    event.input = key(96 + 63 - 26); // the last plain rule
    event.provider = 1;
    event.channel = 1;

    const auto pressAndRelease = [&] {
        for (std::uint8_t phase : {core::kPhaseDown, core::kPhaseUp}) {
            event.phase = phase;
            event.time = thread->nowNs();
            s.output.inHook = 1;
            const bool swallowed = thread->processEvent(event, true, nullptr);
            s.output.inHook = 0;
            s.output.onFlushMessage();
            if (!swallowed)
                state.SkipWithError("the rule did not apply");
        }
    };
    pressAndRelease(); // the first call meets the session and clocks, which set themselves up once
    const std::uint64_t warmUpOutputs = s.outputEvents.load();
    const std::size_t before = bench::heapAllocations();
    for (auto _ : state)
        pressAndRelease();
    const std::size_t allocations = bench::heapAllocations() - before;
    state.counters["heap_allocations"] = double(allocations);
    if (allocations != 0)
        state.SkipWithError("the hook path allocated");
    if (s.outputEvents.load() - warmUpOutputs != std::uint64_t(state.iterations()) * 2)
        state.SkipWithError("not every output was sent");
    reportHistogram(state, *thread);
    state.SetItemsProcessed(std::int64_t(state.iterations()) * 2);
    state.counters["ns_per_event"] = benchmark::Counter(double(state.iterations()) * 2,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_ProcessEventInHook);

double threadCpuSeconds(pthread_t thread)
{
    clockid_t clock;
    timespec ts{};
    if (pthread_getcpuclockid(thread, &clock) != 0 || clock_gettime(clock, &ts) != 0)
        return 0;
    return double(ts.tv_sec) + double(ts.tv_nsec) / 1e9;
}

// One second of a 1000 Hz mouse through a running backend whose cursor speed is changed, so
// that every move is replaced by an absolute move of our own.
void BM_MouseMoveStream1000Hz(benchmark::State& state)
{
    sim::SessionApi& session = sim::processSession();
    session.reset();
    auto layers = std::make_unique<windows::LayerProgram>();
    layers->motion[0].cursorX = 50;
    windows::MacroBank macros{};
    windows::WindowsInputBackend backend;
    std::string error;
    if (!backend.start(fullRules(), error, macros, *layers, 1)) {
        state.SkipWithError(error.c_str());
        return;
    }
    windows::InputThread* hook = windows::InputThread::activeBackend.load();
    const pthread_t hookThread = hook->thread.native_handle();
    // Inside the hook procedures the engine runs on its own; outside them the thread also waits
    // in the session's stand-in of MsgWaitForMultipleObjectsEx, which is the system's on Windows.
    bench::watchThread(hookThread, &hook->state.output.inHook);

    sim::PhysicalEvent move{sim::PhysicalEvent::Type::MoveBy};
    double cpu = 0;
    double wall = 0;
    std::uint64_t moves = 0;
    const std::size_t allocationsBefore = bench::watchedAllocations();
    const std::size_t inHookBefore = bench::flaggedAllocations();
    for (auto _ : state) {
        const double cpuBefore = threadCpuSeconds(hookThread);
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < 1000; ++i) {
            move.x = (i / 100) % 2 == 0 ? 2 : -2; // back and forth across the screen's middle
            move.y = (i / 50) % 2 == 0 ? 1 : -1;
            session.inject({move}, false);
            std::this_thread::sleep_until(start + std::chrono::milliseconds(i + 1));
        }
        session.waitIdle();
        wall += std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        cpu += threadCpuSeconds(hookThread) - cpuBefore;
        moves += 1000;
    }
    const std::size_t allocations = bench::watchedAllocations() - allocationsBefore;
    const std::size_t inHook = bench::flaggedAllocations() - inHookBefore;
    const windows::BackendStatus status = backend.status();
    bench::watchThread(pthread_t{});
    backend.stop();
    state.counters["hook_cpu_percent"] = wall > 0 ? 100.0 * cpu / wall : 0;
    state.counters["in_hook_allocations"] = double(inHook);
    state.counters["thread_allocations"] = double(allocations);
    state.counters["moves_replaced"] = double(status.suppressed);
    state.counters["moves"] = double(moves);
    if (status.suppressed < moves / 2)
        state.SkipWithError("the moves were not transformed");
    if (inHook != 0)
        state.SkipWithError("the hook procedures allocated");
}
BENCHMARK(BM_MouseMoveStream1000Hz)->Iterations(3)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
