#include "platform/sim/wire/wire.h"

#include <cerrno>
#include <iterator>
#include <string>
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

bool readFrame(int socket, Header& header, std::vector<std::uint8_t>& payload, int* receivedDescriptor, std::string* refusal)
{
    if (!readExactly(socket, &header, sizeof header, receivedDescriptor))
        return false;
    if (header.size > maxPayload || header.reserved != 0) {
        if (refusal != nullptr) {
            *refusal = header.size > maxPayload ? "a frame of " + std::to_string(header.size) + " bytes is over the limit of " +
                                                      std::to_string(maxPayload) + " bytes"
                                                : "the header's reserved field is " + std::to_string(header.reserved) + ", not 0";
        }
        return false;
    }
    payload.resize(header.size);
    return header.size == 0 || readExactly(socket, payload.data(), header.size, nullptr);
}

bool sendRefusal(int socket, std::uint64_t id, std::string_view reason)
{
    Writer w;
    w.put(std::wstring(reason.begin(), reason.end())); // the reasons are plain ASCII
    return sendFrame(socket, Op::Refused, id, w);
}

std::string readRefusal(const std::vector<std::uint8_t>& payload)
{
    Reader in(payload.data(), payload.size());
    const std::wstring text = in.getString();
    std::string reason;
    for (const wchar_t c : text)
        reason += c >= 0x20 && c < 0x7F ? static_cast<char>(c) : '?';
    return in.ok() && !reason.empty() ? reason : "no reason given";
}

std::string opName(std::uint16_t op)
{
    static constexpr const char* names[] = {
        nullptr,         "Hello",         "Reply",        "SendInput",       "InstallHook",
        "RemoveHook",    "HookAnswer",    "RegisterWindow", "UnregisterWindow", "FindWindow",
        "RegisterRawInput", "RawInputDevices", "SetSessionNotification", "FindProcess", "TakeFailure",
        "InstallWinEventHook", "RemoveWinEventHook", "Inject",
        "WaitIdle",      "SetScreen",     "SetCursor",    "SetToggle",       "AddWindow",
        "RemoveWindow",  "SetForeground", "Windows",      "AddProcess",      "ReadSink",
        "Hooks",         "Notify",        "AddRawDevice", "RemoveRawDevice", "SetHookTimeout",
        "StepClock",     "SetFailure",    "Reset",        "HookCall",        "CancelHookCall",
        "WindowMessage", "Desktop",     "KeyboardLayout", "SetKeyboardLayout",
    };
    static_assert(std::size(names) == std::size_t(Op::SetKeyboardLayout) + 1);
    if (op == static_cast<std::uint16_t>(Op::Refused))
        return "Refused";
    if (op == static_cast<std::uint16_t>(Op::Ping))
        return "Ping";
    if (op < std::size(names) && names[op] != nullptr)
        return names[op];
    return "op " + std::to_string(op);
}

} // namespace vorna::sim::wire
