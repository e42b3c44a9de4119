// What every stage of a --ui-verify run hands on to the next: the application object (parent of
// the stage timers), the window, the controller, the output folder and the QML-warnings flag.
#pragma once

#include <QDir>
#include <QString>
#include <memory>

class AppController;
class QObject;
class QQuickWindow;
class QTimer;

namespace qa {

struct VerifyContext {
    QObject* application = nullptr;
    QQuickWindow* window = nullptr;
    AppController* controller = nullptr;
    QString folder;
    std::shared_ptr<bool> warningsSeen;

    QString filePath(const QString& name) const { return QDir(folder).filePath(name); }
};

inline constexpr const char* kVerifyScope = "Isolated GUI; no backend connection or system input";
inline constexpr int kLegacyFrameCount = 69;
inline constexpr int kNormalMouseFrameCount = 56;
inline constexpr int kLongActionFrameCount = 2;
inline constexpr int kMouseFrameCount = kNormalMouseFrameCount + kLongActionFrameCount;
inline constexpr int kNormalPageFrameCount = 40;

// Ends the run with `code`; the stage's timer (when there is one) fires no more.
void endRun(QTimer* timer, int code);

// Counts a stage's settle time from the end of the set-up just made: on a loaded machine a
// repeating timer that fell behind would otherwise fire again at once, before the deferred work
// of the set-up (the live view's 0 ms coalescing, the page's 80 ms scroll) has run.
void restartSettleTime(QTimer* timer);

// Writes an indented JSON report atomically; false, with the reason on standard error, when it
// cannot be written whole (an older report then stays as it was).
bool writeJsonReport(const QString& path, const class QJsonObject& report);

} // namespace qa
