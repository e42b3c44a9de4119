// The agent checks and compiles the whole library on every apply, and the settings window on
// every edit, on their main threads: the check of the largest valid library should stay within
// about 10 ms.

#include "core/library_document.h"
#include "tests/core/large_library.h"

#include <benchmark/benchmark.h>

namespace {

void BM_ValidateLargestLibrary(benchmark::State& state)
{
    const QJsonObject library = vorna::test::largestLibrary();
    QString error;
    if (!vorna::core::validateLibrary(library, error)) {
        state.SkipWithError(error.toStdString().c_str());
        return;
    }
    for (auto _ : state) {
        const bool ok = vorna::core::validateLibrary(library, error);
        benchmark::DoNotOptimize(ok);
    }
}
BENCHMARK(BM_ValidateLargestLibrary)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
