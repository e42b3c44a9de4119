// The agent pushes observation messages of up to 32 events while the user types or moves the
// mouse; each must reach the live model well under 100 µs on the GUI thread (no rendering). A
// sustained stream of 8,000 events a second must leave the GUI thread mostly idle and announce
// the live view at most once per pass of the event loop.

#include "app/app_controller.h"

#include <benchmark/benchmark.h>

#include <QAbstractEventDispatcher>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QJsonArray>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <ctime>

namespace {

// 32 events: eight remapped presses, each a physical down, its sent output, the physical up and
// the output's release, on executions that move on with `round` like a live session's.
QJsonObject traceMessage(int round)
{
    QJsonArray events;
    for (int i = 0; i < 8; ++i) {
        const QString execution = QString::number(round * 8 + i + 1);
        const QString key = QStringLiteral("key_%1").arg(65 + i);
        const QJsonObject rule{{"name", "Remap"}, {"source", key}, {"target", "key_27"}};
        for (int phase : {0, 1}) {
            events.append(QJsonObject{{"kind", 0}, {"id", key}, {"phase", phase}, {"origin", 0}, {"execution", execution},
                {"suppressed", true}, {"matchedRule", rule}, {"timestampMs", 1000.0 + i}, {"rule", 1}});
            events.append(QJsonObject{{"kind", 1}, {"id", "key_27"}, {"phase", phase}, {"origin", 1},
                {"execution", execution}, {"result", 2}, {"timestampMs", 1000.0 + i}});
        }
    }
    return {{"type", "trace"}, {"events", events}};
}

// A settings window's isolated home, data and test instance for the controller.
class IsolatedHome {
public:
    IsolatedHome()
    {
        qputenv("HOME", m_root.filePath("home").toUtf8());
        qputenv("XDG_DATA_HOME", m_root.filePath("home/share").toUtf8());
        qputenv("XDG_CONFIG_HOME", m_root.filePath("home/config").toUtf8());
        qputenv("VORNA_TEST_INSTANCE", "test-00000000000000000000000000001ive");
        qputenv("VORNA_TEST_DATA", m_root.filePath("data").toUtf8());
    }

private:
    QTemporaryDir m_root;
};

void BM_HandleTrace32Events(benchmark::State& state)
{
    IsolatedHome home;
    AppController controller(nullptr, false);
    const QJsonObject messages[] = {traceMessage(0), traceMessage(1), traceMessage(2), traceMessage(3), traceMessage(4)};
    int next = 0;
    for (auto _ : state) {
        controller.handleTrace(messages[next]);
        next = (next + 1) % 5;
    }
    benchmark::DoNotOptimize(controller.live());
}
BENCHMARK(BM_HandleTrace32Events)->Unit(benchmark::kMicrosecond)->Repetitions(5)->ReportAggregatesOnly(true);

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

// 8,000 events a second for 5 s, as the agent's 20 ms tick delivers them: five messages of 32
// events per tick. Every announcement of the live view is read, as the panels' bindings do.
// Reports the GUI thread's share of one core and the most announcements within one loop pass.
void BM_SustainedEightThousandEventsPerSecond(benchmark::State& state)
{
    IsolatedHome home;
    AppController controller(nullptr, false);
    constexpr int kTickMs = 20;
    constexpr int kMessagesPerTick = 5; // 5 x 32 events every 20 ms = 8,000 a second
    constexpr int kRunMs = 5000;
    QList<QJsonObject> messages;
    for (int round = 0; round < 50; ++round)
        messages.append(traceMessage(round));

    long long announcements = 0;
    long long passes = 0;
    long long inThisPass = 0;
    long long mostInOnePass = 0;
    QObject::connect(&controller, &AppController::liveChanged, [&] {
        ++announcements;
        ++inThisPass;
        benchmark::DoNotOptimize(controller.live());
    });
    QAbstractEventDispatcher* dispatcher = QAbstractEventDispatcher::instance();
    QObject::connect(dispatcher, &QAbstractEventDispatcher::awake, [&] {
        ++passes;
        mostInOnePass = std::max(mostInOnePass, inThisPass);
        inThisPass = 0;
    });

    for (auto _ : state) {
        QEventLoop loop;
        QTimer feed;
        feed.setTimerType(Qt::PreciseTimer);
        feed.setInterval(kTickMs);
        long long events = 0;
        int next = 0;
        QElapsedTimer wall;
        QObject::connect(&feed, &QTimer::timeout, [&] {
            // Catch up with the wall clock, as a backlog on the socket would.
            const long long due = (wall.elapsed() / kTickMs + 1) * kMessagesPerTick * 32;
            while (events < due) {
                controller.handleTrace(messages[next]);
                next = (next + 1) % messages.size();
                events += 32;
            }
        });
        QTimer::singleShot(kRunMs, &loop, &QEventLoop::quit);
        const double cpuBefore = threadCpuSeconds();
        wall.start();
        feed.start();
        loop.exec();
        feed.stop();
        const double cpu = threadCpuSeconds() - cpuBefore;
        const double seconds = wall.elapsed() / 1000.0;
        mostInOnePass = std::max(mostInOnePass, inThisPass);
        state.counters["gui_cpu_percent"] = 100.0 * cpu / seconds;
        state.counters["events_per_second"] = double(events) / seconds;
        state.counters["live_changes"] = double(announcements);
        state.counters["loop_passes"] = double(passes);
        state.counters["most_changes_in_one_pass"] = double(mostInOnePass);
        if (mostInOnePass > 1)
            state.SkipWithError("the live view was announced more than once in one pass of the event loop");
    }
}
BENCHMARK(BM_SustainedEightThousandEventsPerSecond)->Iterations(1)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
