// A client that speaks the broker's wire protocol byte by byte, for tests that send what no real
// client would.
#pragma once

#include "platform/sim/wire/wire.h"

#include <chrono>
#include <cstdint>
#include <cstring>
#include <optional>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace vorna::test {

// A payload or frame put together byte by byte.
class Bytes {
public:
    template <typename T>
    Bytes& put(const T& value)
    {
        const auto* p = reinterpret_cast<const std::uint8_t*>(&value);
        bytes_.insert(bytes_.end(), p, p + sizeof(T));
        return *this;
    }
    Bytes& u8(std::uint8_t value) { return put(value); }
    Bytes& u32(std::uint32_t value) { return put(value); }
    Bytes& text(const std::wstring& value)
    {
        put(static_cast<std::uint32_t>(value.size()));
        for (const wchar_t c : value)
            put(c);
        return *this;
    }
    std::vector<std::uint8_t>& bytes() { return bytes_; }
    const std::vector<std::uint8_t>& bytes() const { return bytes_; }

private:
    std::vector<std::uint8_t> bytes_;
};

struct Frame {
    std::uint16_t op = 0;
    std::uint64_t id = 0;
    std::vector<std::uint8_t> payload;
};

class WireClient {
public:
    explicit WireClient(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd_ >= 0 && ::connect(fd_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~WireClient()
    {
        if (fd_ >= 0)
            ::close(fd_);
    }
    WireClient(const WireClient&) = delete;
    WireClient& operator=(const WireClient&) = delete;

    bool connected() const { return fd_ >= 0; }
    int fd() const { return fd_; }

    // A frame with a header of its own making: size, op and reserved as given.
    bool sendRaw(std::uint32_t size, std::uint16_t op, std::uint16_t reserved, std::uint64_t id,
                 const std::vector<std::uint8_t>& payload)
    {
        Bytes frame;
        frame.put(size).put(op).put(reserved).put(id);
        frame.bytes().insert(frame.bytes().end(), payload.begin(), payload.end());
        return ::send(fd_, frame.bytes().data(), frame.bytes().size(), MSG_NOSIGNAL) == static_cast<ssize_t>(frame.bytes().size());
    }
    bool send(std::uint16_t op, std::uint64_t id, const std::vector<std::uint8_t>& payload)
    {
        return sendRaw(static_cast<std::uint32_t>(payload.size()), op, 0, id, payload);
    }
    bool send(sim::wire::Op op, std::uint64_t id, const Bytes& payload = {})
    {
        return send(static_cast<std::uint16_t>(op), id, payload.bytes());
    }

    // The next frame, or nothing when the broker closed the connection or sent nothing in time.
    // A descriptor that comes with it is closed unless asked for.
    std::optional<Frame> read(std::chrono::milliseconds timeout = std::chrono::seconds(10), int* descriptor = nullptr)
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return std::nullopt;
        sim::wire::Header header{};
        Frame frame;
        int received = -1;
        if (!sim::wire::readFrame(fd_, header, frame.payload, &received))
            return std::nullopt;
        if (descriptor != nullptr)
            *descriptor = received;
        else if (received >= 0)
            ::close(received);
        frame.op = header.op;
        frame.id = header.id;
        return frame;
    }

    // True when the broker has closed its end (nothing more to read).
    bool closedByPeer(std::chrono::milliseconds timeout = std::chrono::seconds(10))
    {
        pollfd p{fd_, POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(timeout.count())) <= 0)
            return false;
        char byte;
        return ::recv(fd_, &byte, 1, MSG_DONTWAIT) == 0;
    }

    // Hello as this process; true when the broker replied.
    bool hello(std::uint8_t role, std::optional<std::uint32_t> thread = std::nullopt)
    {
        Bytes payload;
        payload.u8(role).u32(static_cast<std::uint32_t>(::getpid()));
        if (thread)
            payload.u32(*thread);
        if (!send(sim::wire::Op::Hello, 1, payload))
            return false;
        const auto reply = read();
        return reply && reply->op == static_cast<std::uint16_t>(sim::wire::Op::Reply) && reply->id == 1;
    }

private:
    int fd_ = -1;
};

} // namespace vorna::test
