#include "qa/capture_modes.h"

#include "app/app_controller.h"

#include <QCoreApplication>
#include <QDir>
#include <QImage>
#include <QMetaObject>
#include <QQuickWindow>
#include <QTimer>
#include <cstdarg>

namespace qa {

namespace {

constexpr int kSmokeIntervalMs = 800;
constexpr int kScreenshotDelayMs = 2000;

} // namespace

void printf(std::FILE* stream, const char* format, ...)
{
    std::va_list values;
    va_start(values, format);
    std::vfprintf(stream, format, values);
    va_end(values);
    std::fflush(stream);
}

void invokeQml(QObject* object, const char* name)
{
    if (object != nullptr)
        QMetaObject::invokeMethod(object, name, Qt::AutoConnection);
}

void runGuiSmoke(const SmokeRun& run)
{
    AppController& controller = *run.controller;
    const QVariantList models = controller.models();
    const int index = controller.selectedIndex();
    const QString id = models.value(index).toMap().value(QStringLiteral("id")).toString();

    const QImage image = run.window->grabWindow();
    if (image.isNull()) {
        QCoreApplication::exit(5);
        return;
    }
    if (!image.save(QDir(run.folder).filePath(id + QStringLiteral(".png")))) {
        QCoreApplication::exit(5);
        return;
    }
    *run.frames += 1;
    if (*run.frames < models.size()) {
        controller.setSelectedIndex(*run.frames);
        return;
    }
    run.timer->stop();
    qa::printf(stdout, "GUI smoke: all model renders saved; no remapping enabled.\n");
    QCoreApplication::quit();
}

void saveScreenshotAndQuit(QQuickWindow* window, const QString& path)
{
    const QImage image = window->grabWindow();
    if (image.isNull() || !image.save(path)) {
        QCoreApplication::exit(5);
        return;
    }
    QCoreApplication::exit(0);
}

void startSmoke(QObject* application, QQuickWindow* window, AppController* controller, const QString& folder)
{
    QDir().mkpath(folder);
    auto* timer = new QTimer(application);
    timer->setInterval(kSmokeIntervalMs);
    controller->setSelectedIndex(0);
    QObject::connect(timer, &QTimer::timeout, application,
        smokeTick{SmokeRun{folder, std::make_shared<int>(0), timer, controller, window}});
    timer->start();
}

void startScreenshot(QObject* application, QQuickWindow* window, const QString& path)
{
    QTimer::singleShot(kScreenshotDelayMs, Qt::CoarseTimer, application,
        [window, path] { saveScreenshotAndQuit(window, path); });
}

} // namespace qa
