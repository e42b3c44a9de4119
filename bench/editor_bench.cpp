// Every edit in the settings window commits the whole library on the GUI thread: the check,
// the ".bak" copy, the atomic write and the undo step. For the largest valid library the
// median should stay under 30 ms.

#include "app/app_controller.h"
#include "tests/core/large_library.h"

#include <benchmark/benchmark.h>

#include <QCoreApplication>
#include <QDir>
#include <QJsonArray>
#include <QTemporaryDir>

namespace {

// The largest library with its first rule renamed: a real change, the same size.
QJsonObject variant(QJsonObject library, const QString& name)
{
    QJsonArray profiles = library["profiles"].toArray();
    QJsonObject global = profiles[0].toObject();
    QJsonArray layers = global["layers"].toArray();
    QJsonObject base = layers[0].toObject();
    QJsonArray rules = base["rules"].toArray();
    QJsonObject rule = rules[2].toObject();
    rule["name"] = name.leftJustified(rule["name"].toString().size(), u'.');
    rules[2] = rule;
    base["rules"] = rules;
    layers[0] = base;
    global["layers"] = layers;
    profiles[0] = global;
    library["profiles"] = profiles;
    return library;
}

void BM_CommitLargestLibrary(benchmark::State& state)
{
    QTemporaryDir root;
    qputenv("HOME", root.filePath("home").toUtf8());
    qputenv("XDG_DATA_HOME", root.filePath("home/share").toUtf8());
    qputenv("XDG_CONFIG_HOME", root.filePath("home/config").toUtf8());
    qputenv("VORNA_TEST_INSTANCE", "test-00000000000000000000000000000bec");
    qputenv("VORNA_TEST_DATA", root.filePath("data").toUtf8());

    const QJsonObject largest = vorna::test::largestLibrary();
    const QJsonObject documents[] = {variant(largest, "First"), variant(largest, "Second")};
    AppController controller(nullptr, false);
    if (!controller.commitLibrary(largest, false)) {
        state.SkipWithError("the largest library was refused");
        return;
    }
    int next = 0;
    for (auto _ : state) {
        const bool saved = controller.commitLibrary(documents[next], false);
        benchmark::DoNotOptimize(saved);
        next ^= 1;
    }
}
BENCHMARK(BM_CommitLargestLibrary)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
