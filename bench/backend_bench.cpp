// The hook thread's own work: processEvent inside a hook with 256 rules and 128 active mappings
// (goal: median under 1 us and p99 under 5 us by the engine's own latency histogram, no heap
// allocation); a mixed workload of the hook path (a plain remap, a held layer, a hold-tap and a
// chord, with 4, 48 and 255 rules in the base layer; goal: under 370 ns per event, no heap
// allocation), the same workload timed event by event (goal: p50 under 400 ns, p99 under 2 us),
// a layer switch (goal: under 100 ns); a 1000 Hz mouse-move stream through a running backend
// on the simulated session (goal: under 5 % of one core on the hook thread, which must not
// allocate either); and every other kind of input, a macro, an action, a pointer hold and a
// configuration takeover through a running backend (goal: no allocation on the hook thread).
#include "bench/counting_allocator.h"

#include "core/macro.h"
#include "core/rule_list.h"
#include "core/rules_snapshot.h"
#include "engine/hook_thread/input_thread.h"
#include "engine/windows_input_backend.h"
#include "platform/sim/session/session_api.h"

#include <benchmark/benchmark.h>

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <chrono>
#include <ctime>
#include <memory>
#include <thread>
#include <vector>

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
        buckets[k] = thread.m_latencyBuckets[k].load();
    const uint64_t samples = thread.m_latencySamples.load();
    state.counters["p50_ns"] = double(windows::latencyPercentile(buckets, samples, 50));
    state.counters["p99_ns"] = double(windows::latencyPercentile(buckets, samples, 99));
    state.counters["max_ns"] = double(thread.m_latencyMaxNs.load());
}

// One press and one release of a mapped key as the keyboard hook hands them over: processed
// inside the hook (output queued), then flushed as the loop does after the hook returned.
void BM_ProcessEventInHook(benchmark::State& state)
{
    auto thread = std::make_unique<windows::InputThread>();
    windows::BackendState& s = thread->m_state;
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
    const std::size_t before = bench::allAllocations();
    for (auto _ : state)
        pressAndRelease();
    const std::size_t allocations = bench::allAllocations() - before;
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

// ---- The mixed workload of the hook path.
//
// Per round, twelve events as the keyboard hook hands them over, each processed inside the hook
// and flushed as the loop does after the hook returned:
//   a plain remap      A (65) -> B (66): press, release;
//   a held layer       L (76) holds layer 2, where U (85) -> V (86): L, U, U up, L up (two switches);
//   a hold-tap         H (72): H (73) when held, Y (89) when tapped: press, release (tapped);
//   a chord            K (75) -> M (77) while J (74) is held: J, K, K up, J up.
// The base layer holds these four rules after `filler` others (distinct sources and modifier
// sets that never match), so that the workload's rules come last in match order; layer 2 holds
// the base layer's rules and U -> V, as inheritance would give it.

constexpr std::uint16_t kRemapKey = 65, kLayerKey = 76, kLayerUseKey = 85, kHoldTapKey = 72, kChordHeldKey = 74,
                        kChordKey = 75;
constexpr int kWorkloadRules = 4;
constexpr int kEventsPerRound = 12;

QJsonObject ruleObject(const char* source, const char* target, int modifiers = 0)
{
    return QJsonObject{{"source", source}, {"target", target}, {"modifiers", modifiers}};
}

QJsonArray fillerRules(int count)
{
    static const std::uint16_t used[] = {65, 66, 72, 73, 74, 75, 76, 77, 85, 86, 89};
    QJsonArray rules;
    for (int code = 8; code < 256 && rules.size() < count; ++code) {
        core::InputId id = 0;
        const QString name = QStringLiteral("key_%1").arg(code);
        if (!core::parseInputId(name, id) || std::find(std::begin(used), std::end(used), code) != std::end(used))
            continue;
        for (int modifiers = 0; modifiers < 16 && rules.size() < count; modifiers += 5)
            rules.append(QJsonObject{{"source", name}, {"target", "key_135"}, {"modifiers", modifiers}});
    }
    return rules;
}

core::RulesSnapshot compiledRules(const QJsonArray& rules)
{
    core::RulesSnapshot snapshot;
    QString error;
    if (!core::parseRules(rules, snapshot, error))
        std::abort();
    return snapshot;
}

struct MixedWorkload {
    std::unique_ptr<windows::InputThread> thread = std::make_unique<windows::InputThread>();
    std::uint64_t outputsPerRound = 0;
    std::uint64_t lastTime = 0;

    explicit MixedWorkload(int baseRules)
    {
        QJsonArray base = fillerRules(baseRules - kWorkloadRules);
        base.append(ruleObject("key_65", "key_66"));
        base.append(ruleObject("key_76", "layer:hold:2"));
        base.append(QJsonObject{{"source", "key_72"}, {"target", "key_73"},
                                {"trigger", QJsonObject{{"kind", "holdTap"}, {"intervalMs", 2000}, {"fallback", "key_89"}}}});
        base.append(QJsonObject{{"source", "key_75"}, {"target", "key_77"},
                                {"trigger", QJsonObject{{"kind", "chord"}, {"intervalMs", 2000}, {"keys", QJsonArray{"key_74"}}}}});
        QJsonArray layer = base;
        layer.append(ruleObject("key_85", "key_86"));

        windows::BackendState& s = thread->m_state;
        s.output.outputFunction = &acceptEverything;
        s.engineEvents.setOpen(true);
        auto program = std::make_unique<windows::LayerProgram>();
        program->enabled = 1;
        program->layers[0] = compiledRules(base);
        program->layers[1] = compiledRules(layer);
        loadProgram(*program);
        s.engine.resume();
        round(); // the first round meets the session and clocks, which set themselves up once
        outputsPerRound = s.outputEvents.load();
    }

    void loadProgram(const windows::LayerProgram& program)
    {
        windows::BackendState& s = thread->m_state;
        s.loadLayers(program);
        thread->m_layerStacks.reset(program.initialLayer);
        s.engine.copySnapshot(program.layers[program.initialLayer]);
    }

    bool event(std::uint16_t vk, std::uint8_t phase)
    {
        windows::InputEvent e;
        e.device = windows::kKeyboardHookDevice;
        e.input = key(vk);
        e.phase = phase;
        e.provider = 1;
        e.channel = 1;
        // The counter ticks every 100 ns, and a round can now take less than that between two
        // events; a chord needs its keys pressed one after the other, as a person would.
        e.time = std::max(thread->nowNs(), lastTime + 1);
        lastTime = e.time;
        windows::BackendState& s = thread->m_state;
        s.output.inHook = 1;
        const bool swallowed = thread->processEvent(e, true, nullptr);
        s.output.inHook = 0;
        s.output.onFlushMessage();
        return swallowed;
    }

    template <typename Each>
    void round(Each&& each)
    {
        static constexpr struct {
            std::uint16_t vk;
            std::uint8_t phase;
        } kRound[kEventsPerRound] = {
            {kRemapKey, core::kPhaseDown},     {kRemapKey, core::kPhaseUp},
            {kLayerKey, core::kPhaseDown},     {kLayerUseKey, core::kPhaseDown},
            {kLayerUseKey, core::kPhaseUp},    {kLayerKey, core::kPhaseUp},
            {kHoldTapKey, core::kPhaseDown},   {kHoldTapKey, core::kPhaseUp},
            {kChordHeldKey, core::kPhaseDown}, {kChordKey, core::kPhaseDown},
            {kChordKey, core::kPhaseUp},       {kChordHeldKey, core::kPhaseUp},
        };
        for (const auto& step : kRound)
            each([&] { return event(step.vk, step.phase); });
    }
    void round()
    {
        round([](auto&& run) { run(); });
    }
};

// A round sends B, V, Y and M down and up, and J passes through: 8 outputs.
constexpr std::uint64_t kOutputsPerRound = 8;

void BM_MixedHookPath(benchmark::State& state)
{
    MixedWorkload workload(int(state.range(0)));
    windows::BackendState& s = workload.thread->m_state;
    if (workload.outputsPerRound != kOutputsPerRound) {
        state.SkipWithError("the workload's rules did not apply");
        return;
    }
    const std::uint64_t outputsBefore = s.outputEvents.load();
    const std::size_t before = bench::allAllocations();
    for (auto _ : state)
        workload.round();
    const std::size_t allocations = bench::allAllocations() - before;
    state.counters["heap_allocations"] = double(allocations);
    if (allocations != 0)
        state.SkipWithError("the hook path allocated");
    if (s.outputEvents.load() - outputsBefore != std::uint64_t(state.iterations()) * kOutputsPerRound)
        state.SkipWithError("not every output was sent");
    state.SetItemsProcessed(std::int64_t(state.iterations()) * kEventsPerRound);
    state.counters["ns_per_event"] = benchmark::Counter(double(state.iterations()) * kEventsPerRound,
                                                        benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_MixedHookPath)->Arg(4)->Arg(48)->Arg(255);

// The same workload with 48 base rules, every event timed on its own with the steady clock;
// "clock_ns" is the median cost of one reading of that clock, which each sample includes once.
void BM_MixedHookPathPerEvent(benchmark::State& state)
{
    using Clock = std::chrono::steady_clock;
    MixedWorkload workload(48);
    std::vector<std::uint32_t> samples;
    samples.reserve(std::size_t(state.max_iterations) * kEventsPerRound);
    const std::size_t before = bench::allAllocations();
    for (auto _ : state) {
        workload.round([&](auto&& run) {
            const Clock::time_point start = Clock::now();
            run();
            samples.push_back(std::uint32_t(std::chrono::nanoseconds(Clock::now() - start).count()));
        });
    }
    const std::size_t allocations = bench::allAllocations() - before;
    std::vector<std::uint32_t> clock(10'001);
    for (std::uint32_t& sample : clock) {
        const Clock::time_point start = Clock::now();
        sample = std::uint32_t(std::chrono::nanoseconds(Clock::now() - start).count());
    }
    const auto percentile = [](std::vector<std::uint32_t>& values, double p) {
        const std::size_t at = std::min(values.size() - 1, std::size_t(double(values.size()) * p / 100.0));
        std::nth_element(values.begin(), values.begin() + std::ptrdiff_t(at), values.end());
        return double(values[at]);
    };
    state.counters["heap_allocations"] = double(allocations);
    if (allocations != 0)
        state.SkipWithError("the hook path allocated");
    state.counters["p50_ns"] = percentile(samples, 50);
    state.counters["p99_ns"] = percentile(samples, 99);
    state.counters["max_ns"] = double(*std::max_element(samples.begin(), samples.end()));
    state.counters["clock_ns"] = percentile(clock, 50);
    state.SetItemsProcessed(std::int64_t(samples.size()));
}
BENCHMARK(BM_MixedHookPathPerEvent)->Iterations(100'000);

// One switch of the layer in force, as the hook thread makes it for a layer key or a macro's
// layer step: between two layers of 255 rules each.
void BM_LayerSwitch(benchmark::State& state)
{
    MixedWorkload workload(255);
    windows::InputThread& thread = *workload.thread;
    const std::size_t before = bench::allAllocations();
    std::uint8_t layer = 0;
    for (auto _ : state) {
        layer ^= 1;
        thread.stepLayer(layer);
    }
    const std::size_t allocations = bench::allAllocations() - before;
    state.counters["heap_allocations"] = double(allocations);
    if (allocations != 0)
        state.SkipWithError("the layer switch allocated");
    if (thread.m_currentLayer.load() != layer)
        state.SkipWithError("the layer did not change");
    state.SetItemsProcessed(std::int64_t(state.iterations()));
    state.counters["ns_per_switch"] =
        benchmark::Counter(double(state.iterations()), benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(BM_LayerSwitch);

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
    const pthread_t hookThread = hook->m_thread.native_handle();
    // Inside the hook procedures the engine runs on its own; outside them the thread also waits
    // in the session's stand-in of MsgWaitForMultipleObjectsEx, which is the system's on Windows.
    bench::watchThread(hookThread, &hook->m_state.output.inHook);

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

// Every path of the hook thread but mouse moves, which the stream above covers: a remap, a held
// layer, a hold-tap, a double press, a chord, a toggle, a macro with a wait, an action, a held
// pointer mode with moves, wheel rules and transformed wheel steps, a button without a rule, and
// per round one configuration taken over by the running thread; observation on.
void BM_HookThreadAllInputs(benchmark::State& state)
{
    using Type = sim::PhysicalEvent::Type;
    const auto rule = [](const char* source, const char* target) { return ruleObject(source, target); };
    const auto timed = [](const char* source, const char* target, const char* kind, const char* fallback) {
        return QJsonObject{{"source", source}, {"target", target},
                           {"trigger", QJsonObject{{"kind", kind}, {"intervalMs", 150}, {"fallback", fallback}}}};
    };
    QJsonArray base = {rule("key_65", "key_66"), rule("key_76", "layer:hold:2"), timed("key_72", "key_73", "holdTap", "key_89"),
                       timed("key_68", "key_69", "double", "key_70"), rule("key_84", "toggle:key_87"),
                       rule("key_77", "macro:1"), rule("key_88", "action:1"), rule("mouse_back", "pointer:speed"),
                       rule("wheel_up", "key_67"),
                       QJsonObject{{"source", "key_75"}, {"target", "key_78"},
                                   {"trigger", QJsonObject{{"kind", "chord"}, {"intervalMs", 2000}, {"keys", QJsonArray{"key_74"}}}}}};
    QJsonArray layer = base;
    layer.append(rule("key_85", "key_86"));
    auto program = std::make_unique<windows::LayerProgram>();
    program->enabled = 1;
    program->actionCount = 1;
    program->layers[0] = compiledRules(base);
    program->layers[1] = compiledRules(layer);
    program->motion[0].wheelHorizontal = 50;
    program->motion[0].cursorX = 50;
    windows::MacroBank macros{};
    QString error;
    if (!core::parseMacro(QJsonDocument::fromJson(R"({"name":"m","mode":"once","repeat":1,"steps":[
            {"type":"down","input":"key_80","ms":0},{"type":"wait","input":"","ms":1},{"type":"up","input":"key_80","ms":0}]})")
                              .object(),
                          macros[0], error)) {
        state.SkipWithError(qPrintable(error));
        return;
    }

    sim::SessionApi& session = sim::processSession();
    session.reset();
    windows::WindowsInputBackend backend;
    std::string startError;
    if (!backend.start(program->layers[0], startError, macros, *program, 1)) {
        state.SkipWithError(startError.c_str());
        return;
    }
    backend.setObservation(true);
    windows::InputThread* hook = windows::InputThread::activeBackend.load();
    bench::watchThread(hook->m_thread.native_handle(), &hook->m_state.output.inHook);

    const auto key = [](UINT vk, bool down) { return sim::PhysicalEvent{down ? Type::KeyDown : Type::KeyUp, vk}; };
    const auto button = [](UINT number, bool down) {
        return sim::PhysicalEvent{down ? Type::ButtonDown : Type::ButtonUp, number};
    };
    const auto wheel = [](Type type, LONG delta) {
        sim::PhysicalEvent e{type};
        e.x = delta;
        return e;
    };
    const auto move = [](LONG dx) {
        sim::PhysicalEvent e{Type::MoveBy};
        e.x = dx;
        return e;
    };
    const std::vector<sim::PhysicalEvent> round = {
        key(65, true), key(65, false),                                  // remap
        key(76, true), key(85, true), key(85, false), key(76, false),   // held layer
        key(72, true), key(72, false),                                  // hold-tap, tapped
        key(68, true), key(68, false), key(68, true), key(68, false),   // double press
        key(74, true), key(75, true), key(75, false), key(74, false),   // chord
        key(84, true), key(84, false), key(84, true), key(84, false),   // toggle on and off
        key(77, true), key(77, false),                                  // macro
        key(88, true), key(88, false),                                  // action
        button(4, true), move(3), move(-3), button(4, false),          // held pointer mode
        wheel(Type::Wheel, 120), wheel(Type::Wheel, 40), wheel(Type::HWheel, 120), move(2), move(-2),
        button(1, true), button(1, false),                              // no rule
    };
    std::uint64_t generation = 1;
    std::uint64_t events = 0;
    const std::size_t before = bench::watchedAllocations();
    const std::size_t inHookBefore = bench::flaggedAllocations();
    for (auto _ : state) {
        session.inject(round, false);
        session.waitIdle();
        std::string applyError;
        if (!backend.applyRules(program->layers[0], ++generation, applyError, macros, *program)) {
            state.SkipWithError(applyError.c_str());
            break;
        }
        while (backend.status().appliedGeneration != generation)
            std::this_thread::yield();
        benchmark::DoNotOptimize(backend.drainEngineEvents().size());
        benchmark::DoNotOptimize(backend.drainObservations().size());
        events += round.size();
    }
    const std::size_t allocations = bench::watchedAllocations() - before;
    const std::size_t inHook = bench::flaggedAllocations() - inHookBefore;
    const windows::BackendStatus status = backend.status();
    bench::watchThread(pthread_t{});
    backend.stop();
    state.counters["events"] = double(events);
    state.counters["suppressed"] = double(status.suppressed);
    state.counters["thread_allocations"] = double(allocations);
    state.counters["in_hook_allocations"] = double(inHook);
    if (status.suppressed == 0)
        state.SkipWithError("the rules did not apply");
    if (inHook != 0)
        state.SkipWithError("the hook procedures allocated");
}
BENCHMARK(BM_HookThreadAllInputs)->Iterations(200)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

BENCHMARK_MAIN();
