// `make run`'s script as a newcomer meets it: every command it prints as a hint works on the
// session it started, and Ctrl+C ends everything it started. The agent and the window are
// stand-ins here (a shell script that sleeps); the session and the tool are the real ones.

#include "tests/support/built_programs.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>
#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

struct Script {
    pid_t pid = -1;
    FILE* output = nullptr;
};

// Starts the script in a process group of its own, as a terminal runs a foreground job.
Script startScript(const std::string& script, const std::string& buildDir)
{
    int pipeFds[2];
    if (::pipe(pipeFds) != 0)
        return {};
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::setpgid(0, 0);
        ::dup2(pipeFds[1], 1);
        ::dup2(pipeFds[1], 2);
        ::close(pipeFds[0]);
        ::setenv("VORNA_BUILD_DIR", buildDir.c_str(), 1);
        ::setenv("DISPLAY", ":stand-in", 1);
        ::unsetenv("VORNA_SIM_SESSION");
        ::execl("/bin/bash", "bash", script.c_str(), static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::setpgid(pid, pid);
    ::close(pipeFds[1]);
    return {pid, ::fdopen(pipeFds[0], "r")};
}

std::string trimmed(const std::string& text)
{
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

// A process that still runs: one that is gone, or a zombie not yet reaped, does not.
bool running(int pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray fields = stat.readAll();
    const qsizetype end = fields.lastIndexOf(')');
    return end >= 0 && fields.size() > end + 2 && fields.at(end + 2) != 'Z';
}

int lineCount(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? int(file.readAll().count('\n')) : 0;
}

int runShell(const std::string& command)
{
    const int status = std::system(command.c_str());
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(RunSession, EveryHintWorksAndCtrlCEndsEverything)
{
    const std::string source = qEnvironmentVariable("VORNA_SOURCE_DIR").toStdString();
    ASSERT_FALSE(source.empty());
    QTemporaryDir build;
    ASSERT_TRUE(QDir(build.path()).mkpath("app") && QDir(build.path()).mkpath("platform"));
    const QString marker = build.filePath("running");
    QFile standIn(build.filePath("app/vorna-input-trellan"));
    ASSERT_TRUE(standIn.open(QIODevice::WriteOnly));
    // Each stand-in notes its pid, then sleeps until a signal ends it.
    standIn.write(QStringLiteral("#!/bin/bash\necho $$ >> '%1'\nexec sleep 600\n").arg(marker).toUtf8());
    standIn.close();
    standIn.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    const std::string tool = vorna::test::vornaSimProgram();
    ASSERT_TRUE(QFile::link(QString::fromStdString(tool), build.filePath("platform/vorna-sim")));

    Script script = startScript(source + "/scripts/run-session", build.path().toStdString());
    ASSERT_GT(script.pid, 0);
    ASSERT_NE(script.output, nullptr);
    std::vector<std::string> lines;
    std::string socket;
    char buffer[1024];
    while (std::fgets(buffer, sizeof buffer, script.output) != nullptr) {
        std::string line = buffer;
        if (!line.empty() && line.back() == '\n')
            line.pop_back();
        lines.push_back(line);
        const std::string text = trimmed(line);
        if (text.rfind("Simulated session: ", 0) == 0)
            socket = text.substr(std::string("Simulated session: ").size());
        if (text.rfind("Settings window:", 0) == 0)
            break;
    }
    ASSERT_FALSE(socket.empty());
    std::string all;
    for (const std::string& line : lines)
        all += line + "\n";
    EXPECT_NE(all.find("Ctrl+C"), std::string::npos) << all;

    // Every hint that runs the tool works as printed (without its comment) from a terminal
    // where the session is exported.
    const std::string simPath = build.filePath("platform/vorna-sim").toStdString();
    int hints = 0;
    for (const std::string& line : lines) {
        const auto at = line.find(simPath + " ");
        if (at == std::string::npos)
            continue;
        const auto assignment = line.rfind("VORNA_SIM_SESSION=", at);
        std::string command = line.substr(assignment != std::string::npos ? assignment : at);
        command = trimmed(command.substr(0, command.find('#')));
        ++hints;
        EXPECT_EQ(runShell("export VORNA_SIM_SESSION=" + socket + " && " + command + " > /dev/null 2>&1"), 0) << command;
    }
    EXPECT_GE(hints, 3) << all;

    // Ctrl+C reaches the whole foreground group once both stand-ins run; afterwards nothing
    // the script started is left.
    for (int i = 0; i < 2000 && lineCount(marker) < 2; ++i)
        ::usleep(5000);
    ::kill(-script.pid, SIGINT);
    int status = 0;
    ASSERT_EQ(::waitpid(script.pid, &status, 0), script.pid);
    while (std::fgets(buffer, sizeof buffer, script.output) != nullptr) {
    }
    std::fclose(script.output);
    QFile pids(marker);
    ASSERT_TRUE(pids.open(QIODevice::ReadOnly));
    int started = 0;
    for (const QByteArray& pid : pids.readAll().split('\n')) {
        if (pid.isEmpty())
            continue;
        ++started;
        EXPECT_FALSE(running(pid.toInt())) << pid.toStdString();
    }
    EXPECT_EQ(started, 2); // the agent and the window
    EXPECT_FALSE(QFileInfo::exists(QString::fromStdString(socket))) << socket;
}

} // namespace
