#pragma once

// The settings-window role: from the command line to the running QML window.

#include "app/check_run.h"

#include <QList>
#include <QQmlError>
#include <QUrl>

class QQmlApplicationEngine;
class QQuickWindow;

namespace app {

inline constexpr const char* kMainQml = "qrc:/ui/qml/Main.qml";

// Runs the whole settings window and returns the process exit code; `startCheck` starts the
// automation of a check mode once the window exists.
int runSettingsWindow(int argc, char** argv, CheckStarter startCheck = nullptr);

// Before the application object: the software Qt Quick backend unless QT_QUICK_BACKEND says
// otherwise, and the "Basic" controls style.
void prepareQuickEnvironment();

// Sets the context property "branding" from ":/config/branding.json" when it can be read.
void setBrandingProperty(QQmlApplicationEngine& engine);

// Loads `url` and finds its window: 0 with `window` set, 3 when there is no root object, 4 when
// the first root object is not a QQuickWindow.
int loadMainWindow(QQmlApplicationEngine& engine, const QUrl& url, QQuickWindow*& window);

// Slots of the engine.
void onQmlWarnings(bool& warningsSeen, const QList<QQmlError>& warnings);
void onObjectCreationFailed();

} // namespace app
