#include "platform/sim/wire.h"

#include <cerrno>
#include <sys/socket.h>
#include <sys/uio.h>
#include <unistd.h>

namespace vorna::sim::wire {

bool sendFrame(int socket, Op op, std::uint64_t id, const Writer& payload, int passDescriptor)
{
    const Header header{static_cast<std::uint32_t>(payload.bytes().size()), static_cast<std::uint16_t>(op), 0, id};
    iovec parts[2] = {{const_cast<Header*>(&header), sizeof header},
                      {const_cast<std::uint8_t*>(payload.bytes().data()), payload.bytes().size()}};
    msghdr message{};
    message.msg_iov = parts;
    message.msg_iovlen = payload.bytes().empty() ? 1 : 2;
    alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
    if (passDescriptor >= 0) {
        message.msg_control = control;
        message.msg_controllen = sizeof control;
        cmsghdr* c = CMSG_FIRSTHDR(&message);
        c->cmsg_level = SOL_SOCKET;
        c->cmsg_type = SCM_RIGHTS;
        c->cmsg_len = CMSG_LEN(sizeof(int));
        std::memcpy(CMSG_DATA(c), &passDescriptor, sizeof(int));
    }
    std::size_t total = sizeof header + payload.bytes().size();
    while (total > 0) {
        const ssize_t sent = ::sendmsg(socket, &message, MSG_NOSIGNAL);
        if (sent < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        total -= static_cast<std::size_t>(sent);
        message.msg_control = nullptr; // the descriptor went with the first bytes
        message.msg_controllen = 0;
        std::size_t skip = static_cast<std::size_t>(sent);
        while (message.msg_iovlen > 0 && skip >= message.msg_iov[0].iov_len) {
            skip -= message.msg_iov[0].iov_len;
            ++message.msg_iov;
            --message.msg_iovlen;
        }
        if (message.msg_iovlen > 0) {
            message.msg_iov[0].iov_base = static_cast<char*>(message.msg_iov[0].iov_base) + skip;
            message.msg_iov[0].iov_len -= skip;
        }
    }
    return true;
}

namespace {

bool readExactly(int socket, void* buffer, std::size_t size, int* receivedDescriptor)
{
    auto* at = static_cast<char*>(buffer);
    while (size > 0) {
        iovec part{at, size};
        msghdr message{};
        message.msg_iov = &part;
        message.msg_iovlen = 1;
        alignas(cmsghdr) char control[CMSG_SPACE(sizeof(int))] = {};
        if (receivedDescriptor != nullptr) {
            message.msg_control = control;
            message.msg_controllen = sizeof control;
        }
        const ssize_t got = ::recvmsg(socket, &message, MSG_CMSG_CLOEXEC);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return false;
        if (receivedDescriptor != nullptr) {
            for (cmsghdr* c = CMSG_FIRSTHDR(&message); c != nullptr; c = CMSG_NXTHDR(&message, c)) {
                if (c->cmsg_level == SOL_SOCKET && c->cmsg_type == SCM_RIGHTS)
                    std::memcpy(receivedDescriptor, CMSG_DATA(c), sizeof(int));
            }
        }
        at += got;
        size -= static_cast<std::size_t>(got);
    }
    return true;
}

} // namespace

bool readFrame(int socket, Header& header, std::vector<std::uint8_t>& payload, int* receivedDescriptor)
{
    if (!readExactly(socket, &header, sizeof header, receivedDescriptor) || header.size > maxPayload)
        return false;
    payload.resize(header.size);
    return header.size == 0 || readExactly(socket, payload.data(), header.size, nullptr);
}

} // namespace vorna::sim::wire
