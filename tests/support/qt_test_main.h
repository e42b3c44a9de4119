// Runs GoogleTest inside a Qt application object, for tests of code that needs the event
// loop (timers, processes, socket notifiers) or the per-user settings store. The settings go
// into a temporary folder, under the program's own organization and application names.
#pragma once

#include "tests/support/condition_wait.h"

#include <QCoreApplication>
#include <QTemporaryDir>
#include <QtGlobal>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

namespace vorna::test {

inline int runQtTests(int argc, char** argv)
{
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", settings.path().toUtf8());
    qputenv("XDG_DATA_HOME", settings.path().toUtf8());
    testing::InitGoogleTest(&argc, argv);
    QCoreApplication application(argc, argv);
    QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
    QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
    return RUN_ALL_TESTS();
}

// Runs the event loop until the condition holds or the time is up; returns the condition.
inline bool processEventsUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit = kConditionLimit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return true;
}

} // namespace vorna::test
