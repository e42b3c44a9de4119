// A client of the agent's socket in a process of its own (so it can belong to another Windows
// session): connects to the path given, prints every line it receives, and ends when the agent
// closes the connection (exit 0) or after five seconds (exit 1).
#include <chrono>
#include <cstdio>
#include <cstring>
#include <poll.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    if (argc < 2 || std::strlen(argv[1]) >= sizeof(sockaddr_un::sun_path))
        return 2;
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, argv[1]);
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
        return 2;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0)
            continue;
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n <= 0)
            return 0;
        std::fwrite(chunk, 1, std::size_t(n), stdout);
        std::fflush(stdout);
    }
    return 1;
}
