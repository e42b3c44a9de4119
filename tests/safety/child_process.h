// Real child processes for the watchdog tests, with a pipe to standard input and one from
// standard output. Linux only, like the tests that use it.
#pragma once

#include "tests/support/built_programs.h"

#include <chrono>
#include <csignal>
#include <cstdlib>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <poll.h>
#include <spawn.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace vorna::test {

// How a process ended: an exit code, or the signal that ended it.
struct ProcessEnd {
    int exitCode = -1;
    int signal = 0;
};

// Waits for a child (or an orphan this process reaps) to end; nothing if it did not within
// the time given.
inline std::optional<ProcessEnd> waitForProcess(pid_t pid, std::chrono::milliseconds timeout)
{
    const auto deadline = std::chrono::steady_clock::now() + timeout;
    for (;;) {
        int status = 0;
        const pid_t done = ::waitpid(pid, &status, WNOHANG);
        if (done == pid) {
            ProcessEnd end;
            if (WIFEXITED(status))
                end.exitCode = WEXITSTATUS(status);
            else if (WIFSIGNALED(status))
                end.signal = WTERMSIG(status);
            return end;
        }
        if (done < 0 || std::chrono::steady_clock::now() >= deadline)
            return std::nullopt;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
}

// Orphans of our children (a watchdog whose agent was killed) become our children, so their
// exit codes can be read.
inline void adoptOrphans()
{
    ::prctl(PR_SET_CHILD_SUBREAPER, 1);
}

class ChildProcess {
public:
    // With `ownSession` the child starts a session (and process group) of its own, as a detached
    // program does. A child the test stops with SIGSTOP needs that: when a process group that
    // has a stopped member becomes orphaned (another process of the test's group or its parent
    // ending), the kernel sends the whole group SIGHUP and SIGCONT, and the stopped child dies
    // of the hang-up instead of whatever the test waits for. A group that starts in a session
    // of its own never becomes orphaned that way.
    explicit ChildProcess(const std::vector<std::string>& arguments, bool ownSession = false)
    {
        std::signal(SIGPIPE, SIG_IGN); // a child that died must not take the test with it
        int toChild[2];
        int fromChild[2];
        if (::pipe2(toChild, O_CLOEXEC) != 0 || ::pipe2(fromChild, O_CLOEXEC) != 0)
            return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, toChild[0], 0);
        posix_spawn_file_actions_adddup2(&actions, fromChild[1], 1);
        std::vector<char*> argv;
        for (const std::string& a : arguments)
            argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        posix_spawnattr_t attributes;
        posix_spawnattr_init(&attributes);
        if (ownSession)
            posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSID);
        if (posix_spawn(&pid_, argv[0], &actions, &attributes, argv.data(), environ) != 0)
            pid_ = -1;
        posix_spawnattr_destroy(&attributes);
        posix_spawn_file_actions_destroy(&actions);
        ::close(toChild[0]);
        ::close(fromChild[1]);
        input_ = toChild[1];
        output_ = fromChild[0];
    }
    ~ChildProcess()
    {
        if (pid_ > 0 && !end_) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (input_ >= 0)
            ::close(input_);
        if (output_ >= 0)
            ::close(output_);
    }
    ChildProcess(const ChildProcess&) = delete;
    ChildProcess& operator=(const ChildProcess&) = delete;

    pid_t pid() const { return pid_; }

    // The next line of standard output without its line end; nothing on time-out or end.
    std::optional<std::string> readLine(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        for (;;) {
            if (const auto end = buffer_.find('\n'); end != std::string::npos) {
                std::string line = buffer_.substr(0, end);
                buffer_.erase(0, end + 1);
                return line;
            }
            const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0)
                return std::nullopt;
            pollfd fd{output_, POLLIN, 0};
            if (::poll(&fd, 1, static_cast<int>(left.count())) <= 0)
                continue;
            char chunk[256];
            const ssize_t n = ::read(output_, chunk, sizeof chunk);
            if (n <= 0)
                return std::nullopt;
            buffer_.append(chunk, static_cast<std::size_t>(n));
        }
    }

    void writeLine(const std::string& line)
    {
        const std::string text = line + "\n";
        [[maybe_unused]] const ssize_t n = ::write(input_, text.data(), text.size());
    }

    void signal(int sig) { ::kill(pid_, sig); }

    std::optional<ProcessEnd> wait(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        if (!end_)
            end_ = waitForProcess(pid_, timeout);
        return end_;
    }

private:
    pid_t pid_ = -1;
    int input_ = -1;
    int output_ = -1;
    std::string buffer_;
    std::optional<ProcessEnd> end_;
};

// Runs a program to its end and returns its exit code (-1 if it did not end in time).
inline int runToEnd(const std::vector<std::string>& arguments, std::chrono::milliseconds timeout = std::chrono::seconds(10))
{
    ChildProcess child(arguments);
    const std::optional<ProcessEnd> end = child.wait(timeout);
    return end ? end->exitCode : -1;
}

} // namespace vorna::test
