// Export and import of the largest package there can be: a full profile of the largest library
// (256 rules in force, every action and macro reached), written to a file and merged back into
// that library. The user waits for both on the GUI thread; each should stay under 20 ms.

#include "editor/packages.h"
#include "tests/core/large_library.h"

#include <benchmark/benchmark.h>

#include <QFileInfo>
#include <QJsonArray>
#include <QTemporaryDir>

namespace {

// The largest library with profile 1 selected: the package holds its 256 rules in force folded
// into the base layer, its other nine layers, and what those rules reach. The library keeps
// eight of its profiles, so that importing the package back stays within the rule and size
// limits and the import runs to its end.
QJsonObject source()
{
    QJsonObject library = vorna::test::largestLibrary();
    QJsonArray profiles = library["profiles"].toArray();
    while (profiles.size() > 8)
        profiles.removeLast();
    library["profiles"] = profiles;
    library["selectedProfile"] = 1;
    return library;
}

void BM_ExportFullProfile(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("package.json");
    const QJsonObject library = source();
    QString error;
    for (auto _ : state) {
        const bool written = library::exportPackage(path, library, QStringLiteral("profile"), error);
        if (!written) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
    }
    state.counters["packageBytes"] = double(QFileInfo(path).size());
}
BENCHMARK(BM_ExportFullProfile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

void BM_ImportFullProfile(benchmark::State& state)
{
    QTemporaryDir folder;
    const QString path = folder.filePath("package.json");
    const QJsonObject library = source();
    QString error;
    if (!library::exportPackage(path, library, QStringLiteral("profile"), error)) {
        state.SkipWithError(error.toUtf8().constData());
        return;
    }
    for (auto _ : state) {
        QJsonObject result;
        QString scope;
        if (!library::importPackage(path, library, result, scope, error)) {
            state.SkipWithError(error.toUtf8().constData());
            return;
        }
        benchmark::DoNotOptimize(result);
    }
}
BENCHMARK(BM_ImportFullProfile)->Unit(benchmark::kMillisecond)->Repetitions(5)->ReportAggregatesOnly(true);

} // namespace

BENCHMARK_MAIN();
