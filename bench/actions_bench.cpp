// One custom action from the agent's trigger to the worker's reply in the executor, beside a
// bare start of the same program (started with nothing to do), since the process start is
// what the trigger-to-reply time mostly is. This program is its own worker: started with
// --action-worker it runs the real worker role.
#include "agent/actions/action_executor.h"
#include "agent/actions/action_worker.h"
#include "platform/sim/session/session_api.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QJsonObject>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

void reportMedian(benchmark::State& state, std::vector<double>& milliseconds)
{
    if (milliseconds.empty())
        return;
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["max_ms"] = milliseconds.back();
}

void BM_TriggerToWorkerReply(benchmark::State& state)
{
    vorna::sim::SessionApi& session = vorna::sim::processSession();
    vorna::sim::WindowRecord record;
    record.title = L"Editor";
    const HWND window = session.addWindow(record);
    session.setForeground(window);
    vorna::actions::ActionExecutor executor;
    int results = 0;
    QObject::connect(&executor, &vorna::actions::ActionExecutor::result, [&](const QJsonObject& event) {
        if (event.value("result").toInt() == 10)
            ++results;
        else
            state.SkipWithError("the worker did not report success");
    });
    vorna::core::ParsedAction site;
    site.type = static_cast<quint32>(vorna::core::ActionType::Website);
    site.name = QStringLiteral("Site");
    site.value = QStringLiteral("https://example.com/");
    const QJsonObject trigger{{"phase", 0}, {"window", QString::number(reinterpret_cast<quintptr>(window))}, {"operation", "1"}};
    std::vector<double> times;
    for (auto _ : state) {
        session.stepClock(1000); // a new rate window every time
        const int before = results;
        QElapsedTimer clock;
        clock.start();
        executor.execute(site, trigger);
        while (results == before && clock.elapsed() < 10000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double ms = clock.nsecsElapsed() / 1e6;
        state.SetIterationTime(ms / 1000.0);
        times.push_back(ms);
    }
    reportMedian(state, times);
    session.removeWindow(window);
}
BENCHMARK(BM_TriggerToWorkerReply)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

void BM_BareProcessStart(benchmark::State& state)
{
    std::vector<double> times;
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        QProcess process;
        process.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--bare-start")});
        process.waitForFinished(10000);
        const double ms = clock.nsecsElapsed() / 1e6;
        state.SetIterationTime(ms / 1000.0);
        times.push_back(ms);
    }
    reportMedian(state, times);
}
BENCHMARK(BM_BareProcessStart)->UseManualTime()->Iterations(40)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--action-worker") == 0) {
            QCoreApplication application(argc, argv);
            return vorna::actions::runActionWorker();
        }
        if (std::strcmp(argv[i], "--bare-start") == 0)
            return 0;
    }
    QCoreApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
