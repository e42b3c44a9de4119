#pragma once

// The settings window's check runs ("--smoke", "--qa-session", "--ui-verify", "--screenshot",
// "--observation-benchmark"): which one the command line asks for, and the isolation that lets
// a check run beside the user's own window without touching the user's files or agent.

#include <QString>
#include <QStringList>
#include <memory>

class AppController;
class QGuiApplication;
class QQuickWindow;

namespace app {

enum class CheckMode { None, ObservationBenchmark, UiVerify, Smoke, Screenshot, QaSession };

struct CheckChoice {
    CheckMode mode = CheckMode::None;
    bool isolated = false;  // any of the five options is present
    QString argument;       // the entry after the option, when there is one
};

// First match wins: benchmark, then ui-verify, smoke, screenshot with a file name; "--qa-session"
// or "--screenshot" without a file name give a plain isolated window.
CheckChoice chooseCheckMode(const QStringList& arguments);

// What a check mode's automation is handed once the QML root window exists.
struct CheckRun {
    QGuiApplication& application;
    QQuickWindow& window;
    AppController& controller;
    CheckChoice choice;
    std::shared_ptr<bool> warningsSeen;
};
// Starts the automation of `run.choice.mode`; the program entry supplies it (qa/).
using CheckStarter = void (*)(const CheckRun& run);

// A fresh test instance ("test-" and a new UUID), the library in `folder`, and every per-user
// setting in an INI file under `folder`.
void isolateCheckRun(const QString& folder);

// Before the application object: an automated check run off Windows uses the offscreen platform
// with one screen large enough for every window size the checks ask for (unless another
// platform was chosen explicitly).
void prepareCheckPlatform(const QStringList& arguments);

// Fonts of a check run, so text is measured the same way every time: with the offscreen
// platform the three Windows fonts from WINDIR; off Windows also the pinned DejaVu Sans, which
// stands in for the Windows families the theme asks for and becomes the application's font.
void registerCheckFonts();

} // namespace app
