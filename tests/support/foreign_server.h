#pragma once

// Another user's program on a local-socket name: a child forked from the test (tests run as
// root) that takes another uid before it binds and listens, as a program of another user on
// the machine would. It accepts every client, answers nothing and counts what they send, so a
// test can prove a client sent it nothing. Linux only, like the tests that use it.

#include "tests/safety/child_process.h"

#include <QString>

#include <cerrno>
#include <cstdint>
#include <grp.h>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>

namespace vorna::test {

// Opens a socket folder to every user as /tmp is (sticky, mode 1777), so that another uid can
// bind its names there.
inline bool openToEveryone(const QString& folder)
{
    return ::chmod(folder.toLocal8Bit().constData(), 01777) == 0;
}

class ForeignServer {
public:
    static constexpr uid_t kOtherUser = 65534; // "nobody"

    // What the server's clients did: connections accepted and bytes sent to it.
    struct Received {
        std::int64_t connections = -1;
        std::int64_t bytes = -1;
    };

    // Serves `socketPath`, whose folder must let `uid` create files there (openToEveryone).
    // With the test's own uid it is the same program run as this user.
    explicit ForeignServer(const std::string& socketPath, uid_t uid = kOtherUser) : m_path(socketPath)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (socketPath.size() >= sizeof address.sun_path)
            return;
        socketPath.copy(address.sun_path, socketPath.size());
        int stop[2];
        int report[2];
        if (::pipe2(stop, O_CLOEXEC) != 0 || ::pipe2(report, O_CLOEXEC) != 0)
            return;
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(stop[1]);
            ::close(report[0]);
            serve(address, uid, stop[0], report[1]);
        }
        ::close(stop[0]);
        ::close(report[1]);
        m_stop = stop[1];
        m_report = report[0];
        char ready = 0;
        pollfd fd{m_report, POLLIN, 0};
        m_listening = m_pid > 0 && ::poll(&fd, 1, 10000) == 1 && ::read(m_report, &ready, 1) == 1 && ready == 'L';
    }

    ~ForeignServer()
    {
        finish();
        if (m_listening)
            ::unlink(m_path.c_str()); // left behind if the child was killed
    }

    ForeignServer(const ForeignServer&) = delete;
    ForeignServer& operator=(const ForeignServer&) = delete;

    bool listening() const { return m_listening; }
    pid_t pid() const { return m_pid; }

    // Stops the server once it has read everything its clients sent so far; what it received.
    // A client that wrote before this call is counted in full: its bytes wait in the socket.
    Received finish()
    {
        if (m_stop < 0)
            return m_received;
        // A byte, not only the close: a server forked later holds a copy of this end too.
        const bool told = ::write(m_stop, "S", 1) == 1;
        ::close(m_stop);
        m_stop = -1;
        std::int64_t totals[2] = {-1, -1};
        pollfd fd{m_report, POLLIN, 0};
        if (told && ::poll(&fd, 1, 10000) == 1 && ::read(m_report, totals, sizeof totals) == ssize_t(sizeof totals))
            m_received = Received{totals[0], totals[1]};
        ::close(m_report);
        if (m_pid > 0 && !waitForProcess(m_pid, std::chrono::seconds(10))) {
            ::kill(m_pid, SIGKILL);
            waitForProcess(m_pid, std::chrono::seconds(10));
        }
        return m_received;
    }

private:
    static constexpr int kMaxClients = 32;

    // The child. System calls only: the test process has threads, whose locks a fork may have
    // copied held. It serves until the stop pipe speaks, then reads what is left, reports the
    // totals and ends.
    [[noreturn]] static void serve(const sockaddr_un& address, uid_t uid, int stopFd, int reportFd)
    {
        if (uid != ::getuid() && (::setgroups(0, nullptr) != 0 || ::setgid(gid_t(uid)) != 0 || ::setuid(uid) != 0))
            ::_exit(3);
        const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listener < 0 || ::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 ||
            ::listen(listener, kMaxClients) != 0)
            ::_exit(4);
        if (::write(reportFd, "L", 1) != 1)
            ::_exit(5);
        std::int64_t totals[2] = {0, 0}; // connections, bytes
        pollfd fds[2 + kMaxClients];
        fds[0] = pollfd{stopFd, POLLIN, 0};
        fds[1] = pollfd{listener, POLLIN, 0};
        nfds_t count = 2;
        bool stopping = false;
        for (;;) {
            const int ready = ::poll(fds, count, stopping ? 0 : -1);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready < 0)
                ::_exit(6);
            stopping = stopping || fds[0].revents != 0; // the parent said stop
            if (stopping && ready == 1)
                break; // only the stop pipe: everything sent has been read
            if ((fds[1].revents & POLLIN) != 0) {
                const int client = ::accept4(listener, nullptr, nullptr, SOCK_CLOEXEC);
                if (client >= 0) {
                    ++totals[0];
                    if (count < 2 + kMaxClients)
                        fds[count++] = pollfd{client, POLLIN, 0};
                    else
                        ::close(client); // more clients than any test makes
                }
            }
            for (nfds_t i = count; i-- > 2;) {
                if (fds[i].revents == 0)
                    continue;
                char chunk[4096];
                const ssize_t n = ::read(fds[i].fd, chunk, sizeof chunk);
                if (n > 0) {
                    totals[1] += n;
                    continue;
                }
                ::close(fds[i].fd);
                fds[i] = fds[--count];
            }
        }
        ::unlink(address.sun_path);
        ::_exit(::write(reportFd, totals, sizeof totals) == ssize_t(sizeof totals) ? 0 : 7);
    }

    std::string m_path;
    pid_t m_pid = -1;
    int m_stop = -1;
    int m_report = -1;
    bool m_listening = false;
    Received m_received;
};

} // namespace vorna::test
