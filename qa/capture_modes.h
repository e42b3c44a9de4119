// The two unattended capture modes (--smoke: one picture per device model; --screenshot: one
// picture of the window after two seconds) and the two small helpers the verification tour shares.
#pragma once

#include <QString>
#include <cstdio>
#include <memory>

class AppController;
class QObject;
class QQuickWindow;
class QTimer;

namespace qa {

// Writes one printf-style report line to `stream` and flushes it.
void printf(std::FILE* stream, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// Calls the argument-less QML method `name` of `object`; a missing method simply does nothing.
void invokeQml(QObject* object, const char* name);

// State of the smoke timer's slot: one picture per model, 800 ms apart.
struct SmokeRun {
    QString folder;
    std::shared_ptr<int> frames;
    QTimer* timer = nullptr;
    AppController* controller = nullptr;
    QQuickWindow* window = nullptr;
};

// One smoke step: saves the current model's picture and selects the next model, or finishes.
void runGuiSmoke(const SmokeRun& run);

// The smoke timer's slot.
struct smokeTick {
    SmokeRun run;
    void operator()() const { runGuiSmoke(run); }
};

// Grabs `window`, saves it to `path` unchanged and ends the run (0, or 5 when it fails).
void saveScreenshotAndQuit(QQuickWindow* window, const QString& path);

// Set-up of the two modes by the program entry; `application` parents the timers.
void startSmoke(QObject* application, QQuickWindow* window, AppController* controller, const QString& folder);
void startScreenshot(QObject* application, QQuickWindow* window, const QString& path);

} // namespace qa
