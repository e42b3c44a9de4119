#include "qa/check_start.h"

#include "qa/observation_benchmark.h"

namespace qa {

void startCheck(const app::CheckRun& run)
{
    if (run.choice.mode == app::CheckMode::ObservationBenchmark) {
        const QString path = run.choice.argument.isEmpty() ? QString::fromLatin1(kDefaultReportName) : run.choice.argument;
        new Benchmark(&run.window, &run.controller, path, benchmarkStageMs()); // owned by the window
    }
}

} // namespace qa
