// The agent pushes observation messages of up to 32 events while the user types or moves the
// mouse; each must reach the live model well under 100 µs on the GUI thread (no rendering).

#include "app/app_controller.h"

#include <benchmark/benchmark.h>

#include <QGuiApplication>
#include <QJsonArray>
#include <QTemporaryDir>

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

void BM_HandleTrace32Events(benchmark::State& state)
{
    QTemporaryDir root;
    qputenv("HOME", root.filePath("home").toUtf8());
    qputenv("XDG_DATA_HOME", root.filePath("home/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", root.filePath("home/config").toUtf8());
    qputenv("VORNA_TEST_INSTANCE", "test-00000000000000000000000000001ive");
    qputenv("VORNA_TEST_DATA", root.filePath("data").toUtf8());

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
