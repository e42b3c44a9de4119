// The agent process: start to greeting (goal: median under 150 ms), one state round trip over
// the socket (goal: median under 200 us), "configure" of the largest valid library (goal: under
// 20 ms request to reply), the work of one tick with a full observation ring for four
// observers on a 16-profile library (goal: under 2 ms), and an idle agent's processor use
// (goal: under 1 % of one core over 10 s).
#include "agent/configuration.h"
#include "core/agent_protocol.h"
#include "agent/language_setting.h"
#include "agent/line_framing.h"
#include "agent/tick_rules.h"
#include "agent/trace_message.h"
#include "agent/trace_rule_cache.h"
#include "core/input_id.h"
#include "core/library_document.h"
#include "core/request_check.h"
#include "engine/published/observation_ring.h"
#include "tests/core/large_library.h"
#include "tests/support/agent_harness.h"

#include <QCoreApplication>
#include <QSettings>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

const QJsonObject kState{{"command", "state"}, {"version", 1}};

// The agent program sits beside the benchmarks in the same build.
const bool kBinaryDirSet = [] {
    if (std::getenv("VORNA_BINARY_DIR") == nullptr) {
        const std::filesystem::path self = std::filesystem::read_symlink("/proc/self/exe");
        ::setenv("VORNA_BINARY_DIR", self.parent_path().parent_path().c_str(), 1);
    }
    return true;
}();

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0.0 : values[values.size() / 2];
}

void shutDown(vorna::test::AgentHarness& harness)
{
    if (auto client = harness.connectGreeted())
        client->ask(QJsonObject{{"command", "shutdown"}, {"version", 1}});
    harness.agent().wait(10s);
}

void BM_AgentStartToGreeting(benchmark::State& state)
{
    std::vector<double> ms;
    for (auto _ : state) {
        vorna::test::AgentHarness harness;
        const auto start = Clock::now();
        if (!harness.startAgent()) // returns once a client has read the greeting
            state.SkipWithError("the agent did not start");
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        ms.push_back(elapsed * 1000.0);
        shutDown(harness);
    }
    state.counters["median_ms"] = median(ms);
}
BENCHMARK(BM_AgentStartToGreeting)->UseManualTime()->Iterations(15)->Unit(benchmark::kMillisecond);

void BM_StateRoundTrip(benchmark::State& state)
{
    vorna::test::AgentHarness harness;
    if (!harness.startAgent()) {
        state.SkipWithError("the agent did not start");
        return;
    }
    auto client = harness.connectGreeted();
    const std::string line = R"({"command":"state","version":1})" "\n";
    std::vector<double> us;
    for (auto _ : state) {
        client->drain(); // a state the tick pushed is not the reply
        const auto start = Clock::now();
        client->send(line);
        client->readLine();
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        state.SetIterationTime(elapsed);
        us.push_back(elapsed * 1e6);
    }
    state.counters["median_us"] = median(us);
    shutDown(harness);
}
BENCHMARK(BM_StateRoundTrip)->UseManualTime()->Iterations(2000)->Unit(benchmark::kMicrosecond);

void BM_ConfigureLargestLibrary(benchmark::State& state)
{
    vorna::test::AgentHarness harness;
    if (!harness.startAgent()) {
        state.SkipWithError("the agent did not start");
        return;
    }
    auto client = harness.connectGreeted();
    // Two libraries of the same size that differ in one letter, configured in turn: the reply is
    // the first state naming the new document's hash. A state the tick pushes while the request
    // is still on its way names the previous one and is not taken for the reply (taking it sent
    // the next request early, and two requests of this size exceed what the agent lets a client
    // leave unread, so it dropped the client).
    std::array<QJsonObject, 2> libraries{vorna::test::largestLibrary(), vorna::test::largestLibrary()};
    QJsonArray actions = libraries[1]["actions"].toArray();
    QJsonObject first = actions[0].toObject();
    first["value"] = QString(first["value"].toString()).replace(0, 1, QStringLiteral("z"));
    actions[0] = first;
    libraries[1]["actions"] = actions;
    std::vector<double> ms;
    for (auto _ : state) {
        const QJsonObject& library = libraries[ms.size() % 2];
        const QString hash = vorna::protocol::documentHash(library);
        const QJsonObject request{{"command", "configure"}, {"version", 1}, {"library", library}};
        client->drain(); // outside the time: it waits a little for lines that may still come
        const auto start = Clock::now();
        client->request(request);
        QJsonObject reply;
        while (const std::optional<QJsonObject> next = client->readMessageOfType("state", 10s)) {
            reply = *next;
            if (reply["documentHash"].toString() == hash)
                break;
        }
        const double elapsed = std::chrono::duration<double>(Clock::now() - start).count();
        if (reply["documentHash"].toString() != hash || !reply["error"].toString().isEmpty()) {
            const std::string why = reply.isEmpty() ? "no reply" : reply["error"].toString().toStdString();
            state.SkipWithError(("configure was refused: " + why).c_str());
            break;
        }
        state.SetIterationTime(elapsed);
        ms.push_back(elapsed * 1000.0);
    }
    state.counters["median_ms"] = median(ms);
    shutDown(harness);
}
BENCHMARK(BM_ConfigureLargestLibrary)->UseManualTime()->Iterations(30)->Unit(benchmark::kMillisecond);

// The steps of "configure" on the largest library, one by one, inside this process.
void BM_ConfigureSteps(benchmark::State& state)
{
    const QJsonObject library = vorna::test::largestLibrary();
    const QByteArray line = vorna::ipc::encodeLine(QJsonObject{{"command", "configure"}, {"version", 1}, {"library", library}});
    const auto time = [](auto&& work) {
        const auto start = Clock::now();
        work();
        return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
    };
    std::map<std::string, std::vector<double>> steps;
    for (auto _ : state) {
        QJsonObject request;
        QString error;
        steps["1 request check"].push_back(time([&] { vorna::core::validateRequest(line.chopped(1), request, error); }));
        const QJsonObject lib = request["library"].toObject();
        steps["2 library check"].push_back(time([&] { vorna::core::validateLibrary(lib, error); }));
        auto compiled = std::make_unique<vorna::ipc::CompiledLibrary>();
        steps["3 compile"].push_back(time([&] { vorna::ipc::compileLibrary(lib, *compiled, error); }));
        steps["4 hash"].push_back(time([&] { benchmark::DoNotOptimize(vorna::protocol::documentHash(lib)); }));
    }
    for (auto& [name, values] : steps)
        state.counters[name] = median(values);
}
BENCHMARK(BM_ConfigureSteps)->Iterations(20)->Unit(benchmark::kMillisecond);

// What one tick does with a full ring: 511 records, each naming its profile, layer and matched
// rule in the largest 16-profile library (the library's members of an event written once per
// generation, profile, layer and rule, as the tick keeps them), written as trace lines of 32
// events, and the held message, each line encoded once for every observing client.
void BM_TickWithFullRingFourObservers(benchmark::State& state)
{
    const QJsonObject library = vorna::test::largestLibrary();
    std::vector<vorna::windows::ObservationRecord> records(vorna::windows::kObservationRingSize - 1);
    for (std::size_t i = 0; i < records.size(); ++i) {
        auto& r = records[i];
        r.id = vorna::core::makeInputId(0, 0, std::uint16_t(65 + i % 26));
        r.sequence = i;
        r.revision = 7;
        r.profileIndex = std::uint8_t(i % 16);
        r.layerIndex = std::uint8_t(i % 10);
        r.rule = std::uint32_t(1 + i % 100);
        r.suppressed = 1;
    }
    vorna::windows::HeldStateSnapshot held;
    held.valid = true;
    constexpr int kObservers = 4;
    vorna::ipc::TraceRuleCache cache(library); // the generation's, kept across ticks as the agent keeps it
    for (auto _ : state) {
        std::size_t bytes = 0;
        const auto appendEvent = [&](QByteArray& line, std::size_t i) { cache.appendTraceEvent(line, records[i]); };
        for (const QByteArray& line : vorna::ipc::traceLines(records.size(), appendEvent)) {
            for (int c = 0; c < kObservers; ++c)
                bytes += std::size_t(line.size());
        }
        const QByteArray heldLine = vorna::ipc::encodeLine(vorna::ipc::buildHeldMessage(held));
        for (int c = 0; c < kObservers; ++c)
            bytes += std::size_t(heldLine.size());
        benchmark::DoNotOptimize(bytes);
    }
}
BENCHMARK(BM_TickWithFullRingFourObservers)->Unit(benchmark::kMillisecond);

// Reading the tray's language, as the tick does every 200 ms: a fresh settings object each time
// (argument 0), against the agent's LanguageSetting, which opens the store only when its file
// changed (argument 1).
void BM_LanguageSettingRead(benchmark::State& state)
{
    QTemporaryDir dir;
    ::setenv("XDG_CONFIG_HOME", dir.path().toLocal8Bit().constData(), 1);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    QSettings().setValue(QStringLiteral("ui/language"), QStringLiteral("en"));
    QSettings().sync();
    vorna::ipc::LanguageSetting kept;
    for (auto _ : state) {
        if (state.range(0) == 0)
            benchmark::DoNotOptimize(QSettings().value(QStringLiteral("ui/language")).toString());
        else
            benchmark::DoNotOptimize(kept.english());
    }
}
BENCHMARK(BM_LanguageSettingRead)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

// Processor time of every thread of the process, in nanoseconds from the scheduler's own
// account (the clock-tick counts of /proc/PID/stat are too coarse for 1 % of 10 s).
double processorSeconds(pid_t pid)
{
    double seconds = 0.0;
    const std::filesystem::path tasks = "/proc/" + std::to_string(pid) + "/task";
    std::error_code error;
    for (const auto& task : std::filesystem::directory_iterator(tasks, error)) {
        std::ifstream file(task.path() / "schedstat");
        double runNs = 0.0;
        if (file >> runNs)
            seconds += runNs / 1e9;
    }
    return seconds;
}

void BM_IdleAgentProcessorShare(benchmark::State& state)
{
    vorna::test::AgentHarness harness;
    if (!harness.startAgent()) {
        state.SkipWithError("the agent did not start");
        return;
    }
    std::this_thread::sleep_for(1s); // past start-up
    for (auto _ : state) {
        const double before = processorSeconds(harness.agent().pid());
        std::this_thread::sleep_for(10s);
        const double used = processorSeconds(harness.agent().pid()) - before;
        state.counters["core_percent"] = used / 10.0 * 100.0;
    }
    shutDown(harness);
}
BENCHMARK(BM_IdleAgentProcessorShare)->Iterations(1)->Unit(benchmark::kSecond);

} // namespace

BENCHMARK_MAIN();
