// Settings window start to its first rendered frame, offscreen with the software backend: the
// controller, the QML engine, Main.qml and the first frame, as the entry point builds them. The
// application object is made once, so the first repetition is the cold start and the others show
// what a start costs once the QML modules are in memory. Goal: median under 1.5 s.

#include "app/app_controller.h"
#include "app/check_run.h"
#include "app/settings_window.h"
#include "tests/support/gui_application.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <QElapsedTimer>
#include <QEventLoop>
#include <QGuiApplication>
#include <QQmlApplicationEngine>
#include <QQmlContext>
#include <QQuickWindow>
#include <QTemporaryDir>
#include <QTimer>

namespace {

void BM_SettingsWindowToFirstFrame(benchmark::State& state)
{
    vorna::test::guiApplication();
    QTemporaryDir folder;
    app::isolateCheckRun(folder.path());
    for (auto _ : state) {
        QElapsedTimer clock;
        clock.start();
        AppController controller(nullptr, false);
        QQmlApplicationEngine engine;
        app::setBrandingProperty(engine);
        engine.rootContext()->setContextProperty(QStringLiteral("controller"), &controller);
        QQuickWindow* window = nullptr;
        if (app::loadMainWindow(engine, QUrl(QString::fromLatin1(app::kMainQml)), window) != 0) {
            state.SkipWithError("Main.qml did not give a window");
            return;
        }
        QEventLoop loop;
        bool rendered = false;
        QObject::connect(window, &QQuickWindow::frameSwapped, &loop, [&] {
            rendered = true;
            loop.quit();
        });
        QTimer::singleShot(20000, &loop, &QEventLoop::quit);
        loop.exec();
        const double seconds = clock.nsecsElapsed() / 1e9;
        if (!rendered) {
            state.SkipWithError("no frame within 20 s");
            return;
        }
        state.SetIterationTime(seconds);
    }
}
BENCHMARK(BM_SettingsWindowToFirstFrame)
    ->UseManualTime()
    ->Iterations(1)
    ->Repetitions(10)
    ->ComputeStatistics("max", [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); })
    ->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
