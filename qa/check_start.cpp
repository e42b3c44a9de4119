#include "qa/check_start.h"

#include "qa/capture_modes.h"
#include "qa/observation_benchmark.h"
#include "qa/verify_session.h"

#include <QGuiApplication>

namespace qa {

namespace {

QString folderOr(const QString& argument, const char* fallback)
{
    return argument.isEmpty() ? QString::fromLatin1(fallback) : argument;
}

} // namespace

void startCheck(const app::CheckRun& run)
{
    switch (run.choice.mode) {
    case app::CheckMode::ObservationBenchmark:
        new Benchmark(&run.window, &run.controller, folderOr(run.choice.argument, kDefaultReportName),
            benchmarkStageMs()); // owned by the window
        return;
    case app::CheckMode::UiVerify:
        seedSession(VerifyContext{&run.application, &run.window, &run.controller,
            folderOr(run.choice.argument, kDefaultVerifyFolder), run.warningsSeen});
        return;
    case app::CheckMode::Smoke:
        startSmoke(&run.application, &run.window, &run.controller, folderOr(run.choice.argument, "screenshots"));
        return;
    case app::CheckMode::Screenshot:
        startScreenshot(&run.application, &run.window, run.choice.argument);
        return;
    case app::CheckMode::None:
    case app::CheckMode::QaSession:
        return;
    }
}

} // namespace qa
