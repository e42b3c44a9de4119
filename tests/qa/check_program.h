#pragma once

// Runs the settings program in one of its check modes, in a temporary working folder with its own
// runtime, configuration and data folders, and collects its exit code and output.

#include "tests/support/built_programs.h"

#include <QProcess>
#include <QTemporaryDir>

namespace vorna::test {

struct CheckProgramRun {
    int exitCode = -1; // -1: crashed or did not finish
    QByteArray standardOutput;
    QByteArray standardError;
};

inline CheckProgramRun runCheckProgram(const QTemporaryDir& folder, const QStringList& arguments,
    const QProcessEnvironment& extra = {}, int guardMs = 600'000)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_RUNTIME_DIR", folder.path());
    env.insert("XDG_CONFIG_HOME", folder.filePath("config"));
    env.insert("XDG_DATA_HOME", folder.filePath("data"));
    // Qt's libraries keep no frame pointers: the leak check needs full stacks to match the
    // suppressions of Qt Quick's texture caches.
    const QString asan = env.value("ASAN_OPTIONS");
    env.insert("ASAN_OPTIONS", (asan.isEmpty() ? asan : asan + ":") + "fast_unwind_on_malloc=0");
    env.insert(extra);
    process.setProcessEnvironment(env);
    process.setWorkingDirectory(folder.path());
    process.start(QString::fromStdString(vorna::test::mainProgram()), arguments);
    CheckProgramRun run;
    const bool finished = process.waitForFinished(guardMs);
    if (!finished) {
        process.kill();
        process.waitForFinished();
    }
    // What a program cut off by the guard wrote so far shows where it stood.
    run.standardOutput = process.readAllStandardOutput();
    run.standardError = process.readAllStandardError();
    run.exitCode = finished && process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    return run;
}

} // namespace vorna::test
