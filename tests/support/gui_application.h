#pragma once

// One GUI application for a test or benchmark program, prepared as the settings window prepares
// its check runs: offscreen, software Qt Quick, the Basic style, the product's names and the
// pinned font. Made on first use and kept for the life of the process.

#include "app/check_run.h"
#include "app/settings_window.h"

#include <QGuiApplication>
#include <QTemporaryDir>

namespace vorna::test {

inline QGuiApplication& guiApplication()
{
    static QGuiApplication* application = [] {
        static QTemporaryDir runtime;
        qputenv("XDG_RUNTIME_DIR", runtime.path().toUtf8());
        qputenv("QT_QPA_PLATFORM", "offscreen");
        app::prepareQuickEnvironment();
        static int argc = 1;
        static char name[] = "vorna-settings-window";
        static char* argv[] = {name, nullptr};
        auto* created = new QGuiApplication(argc, argv);
        QCoreApplication::setApplicationName(QStringLiteral("Vorna Input Trellan"));
        QCoreApplication::setOrganizationName(QStringLiteral("Vorna Skelde"));
        app::registerCheckFonts();
        return created;
    }();
    return *application;
}

} // namespace vorna::test
