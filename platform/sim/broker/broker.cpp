#include "platform/sim/broker/broker.h"

#include "platform/sim/session/record_codec.h"
#include "platform/sim/session/session_limits.h"
#include "platform/sim/wire/wire.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cerrno>
#include <condition_variable>
#include <deque>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <system_error>
#include <thread>
#include <unistd.h>

namespace vorna::sim {
namespace {

using wire::Op;

// A client that stops reading cannot hold up the broker for longer than this: a send that has
// not gone within it fails, and the client's connection ends.
constexpr timeval sendTimeout{5, 0};

struct Connection {
    using Count = std::shared_ptr<std::atomic<std::size_t>>;
    Connection(int fd, pid_t peer, Count live) : fd(fd), peer(peer), live(std::move(live)) { ++*this->live; }
    ~Connection()
    {
        ::close(fd);
        --*live;
    }
    bool send(Op op, std::uint64_t id, const wire::Writer& payload, int passDescriptor = -1)
    {
        std::lock_guard lock(writeMutex);
        if (wire::sendFrame(fd, op, id, payload, passDescriptor))
            return true;
        ::shutdown(fd, SHUT_RDWR); // a frame may have gone in part: nothing after it could be read
        return false;
    }
    bool refuse(std::uint64_t id, const std::string& reason)
    {
        std::lock_guard lock(writeMutex);
        return wire::sendRefusal(fd, id, reason);
    }
    const int fd;
    const pid_t peer; // from SO_PEERCRED; 0 when unknown
    const Count live; // connections whose descriptor is still open
    std::mutex writeMutex;
    std::uint8_t role = 0; // 1 member, 2 driver, 3 hook channel; 0 before the hello
    DWORD processId = 0;
    bool registeredMember = false;
};

pid_t peerOf(int fd)
{
    ucred credentials{};
    socklen_t size = sizeof credentials;
    return ::getsockopt(fd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) == 0 ? credentials.pid : 0;
}

void logRefusal(const Connection& c, const std::string& reason)
{
    std::fprintf(stderr, "vorna-sim broker: refused a client (process %d): %s\n", static_cast<int>(c.peer), reason.c_str());
}

// A member thread's direct line for hook calls. Only the input stream's thread uses it: it
// writes a call and reads the answer itself, with no reader thread in between.
struct Channel {
    explicit Channel(int fd) : fd(fd) {}
    ~Channel() { ::close(fd); }
    const int fd;
};

sockaddr_un addressOf(const std::string& path)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path)
        throw std::runtime_error("socket path is empty or too long: " + path);
    path.copy(address.sun_path, path.size());
    return address;
}

} // namespace

class Broker::Impl final : public SessionDelivery {
public:
    explicit Impl(std::string path) : m_path(std::move(path)), m_session(*this)
    {
        const sockaddr_un address = addressOf(m_path);
        // Everything that can run out is taken before the socket file is made, and whatever was
        // taken goes back when a later step fails.
        if (::pipe2(m_stopPipe, O_CLOEXEC) != 0)
            fail("cannot create a pipe");
        m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        m_listen = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_listen < 0 || probe < 0 || m_spare < 0) {
            if (probe >= 0)
                ::close(probe);
            fail("cannot create a socket");
        }
        // A live broker keeps its name; only a stale socket file is replaced. One that is listening
        // but does not take the probe in time counts as live.
        const timeval probeTimeout{2, 0};
        ::setsockopt(probe, SOL_SOCKET, SO_SNDTIMEO, &probeTimeout, sizeof probeTimeout);
        const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0 || errno == EAGAIN;
        ::close(probe);
        if (live)
            fail("a broker already serves " + m_path, false);
        ::unlink(m_path.c_str());
        if (::bind(m_listen, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0)
            fail("cannot listen on " + m_path);
        m_bound = true;
        if (::listen(m_listen, 64) != 0 || ::chmod(m_path.c_str(), 0600) != 0)
            fail("cannot listen on " + m_path);
    }

    ~Impl() override
    {
        stop();
        if (m_acceptThread.joinable())
            m_acceptThread.join();
        std::unique_lock lock(m_mutex);
        m_closing = true;
        m_readerWork.notify_all();
        for (auto& c : m_connections)
            ::shutdown(c->fd, SHUT_RDWR);
        for (auto& [owner, channel] : m_channels)
            ::shutdown(channel->fd, SHUT_RDWR);
        m_readersDone.wait(lock, [&] { return m_readers == 0; });
        lock.unlock();
        closeAll();
    }

    void start()
    {
        m_acceptThread = std::thread([this] { run(); });
    }

    void run()
    {
        for (;;) {
            pollfd fds[2] = {{m_listen, POLLIN, 0}, {m_stopPipe[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents != 0)
                return;
            if (!(fds[0].revents & POLLIN))
                continue;
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0) {
                if (errno == EMFILE || errno == ENFILE)
                    turnAwayForLackOfDescriptors();
                continue;
            }
            ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
            auto connection = std::make_shared<Connection>(fd, peerOf(fd), m_liveConnections);
            std::unique_lock lock(m_mutex);
            m_connections.push_back(connection);
            m_waiting.push_back(connection);
            // Each waiting client needs a reader of its own: an idle one if there is one left,
            // else a new thread.
            if (m_idleReaders >= m_waiting.size()) {
                m_readerWork.notify_one();
                continue;
            }
            ++m_readers;
            lock.unlock();
            try {
                std::thread([this] { readerLoop(); }).detach();
            } catch (const std::system_error&) {
                lock.lock();
                --m_readers;
                const bool unserved = std::erase(m_waiting, connection) > 0; // else a reader took it after all
                if (unserved)
                    std::erase(m_connections, connection);
                lock.unlock();
                if (unserved) {
                    const std::string reason = "the broker cannot start a thread for another client";
                    logRefusal(*connection, reason);
                    connection->refuse(0, reason);
                }
            }
        }
    }

    void stop()
    {
        [[maybe_unused]] const ssize_t written = ::write(m_stopPipe[1], "x", 1);
    }

    SessionState& session() { return m_session; }
    const std::string& path() const { return m_path; }
    std::size_t clientCount()
    {
        std::lock_guard lock(m_mutex);
        return m_liveConnections->load() + m_channels.size();
    }

    Delivery deliverHookCall(DWORD processId, const HookCall& call, HookAnswerPort*, std::chrono::steady_clock::time_point deadline,
                             LRESULT& result, bool& calledNext) override
    {
        m_callFrame.clear();
        m_callFrame.put(call);
        if (const auto channel = channelFor(processId, call.threadId))
            return exchange(*channel, processId, call, deadline, result, calledNext);
        const auto member = memberFor(processId);
        return member && member->send(Op::HookCall, 0, m_callFrame) ? Delivery::Later : Delivery::Gone;
    }

    void cancelHookCall(DWORD processId, DWORD threadId, std::uint64_t callId) override
    {
        if (const auto member = memberFor(processId)) {
            wire::Writer w;
            w.put(threadId).put(callId);
            member->send(Op::CancelHookCall, 0, w);
        }
    }

    bool deliverWindowMessage(DWORD processId, DWORD threadId, const MSG& message) override
    {
        const auto member = memberFor(processId);
        wire::Writer w;
        w.put(threadId).put(message);
        return member && member->send(Op::WindowMessage, 0, w);
    }

private:
    std::shared_ptr<Channel> channelFor(DWORD processId, DWORD threadId)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_channels.find({processId, threadId});
        return it == m_channels.end() ? nullptr : it->second;
    }

    void dropChannel(DWORD processId, DWORD threadId)
    {
        std::lock_guard lock(m_mutex);
        m_channels.erase({processId, threadId});
    }

    // Writes the call and waits on the channel for its answer; answers to calls given up on
    // earlier are passed over.
    Delivery exchange(Channel& channel, DWORD processId, const HookCall& call, std::chrono::steady_clock::time_point deadline,
                      LRESULT& result, bool& calledNext)
    {
        if (!wire::sendFrame(channel.fd, Op::HookCall, 0, m_callFrame)) {
            dropChannel(processId, call.threadId);
            return Delivery::Gone;
        }
        wire::Header header{};
        for (;;) {
            const auto left = deadline - std::chrono::steady_clock::now();
            const auto ns = std::max<std::int64_t>(0, std::chrono::duration_cast<std::chrono::nanoseconds>(left).count());
            timespec timeout{ns / 1'000'000'000, ns % 1'000'000'000};
            pollfd fd{channel.fd, POLLIN, 0};
            const int ready = ::ppoll(&fd, 1, &timeout, nullptr);
            if (ready < 0 && errno == EINTR)
                continue;
            if (ready == 0) {
                wire::Writer cancel;
                cancel.put(call.threadId).put(call.callId);
                wire::sendFrame(channel.fd, Op::CancelHookCall, 0, cancel);
                return Delivery::TimedOut;
            }
            if (ready < 0 || !wire::readFrame(channel.fd, header, m_answerFrame)) {
                dropChannel(processId, call.threadId);
                return Delivery::Gone;
            }
            wire::Reader in(m_answerFrame.data(), m_answerFrame.size());
            if (static_cast<Op>(header.op) != Op::HookAnswer) {
                refuseChannel(channel, processId, call.threadId, header.id,
                              wire::opName(header.op) + ": a hook channel carries only hook answers");
                return Delivery::Gone;
            }
            const auto callId = in.get<std::uint64_t>();
            const auto answer = in.get<LRESULT>();
            const bool next = in.get<bool>();
            if (!in.finish()) {
                refuseChannel(channel, processId, call.threadId, header.id, "HookAnswer: " + in.error());
                return Delivery::Gone;
            }
            if (callId != call.callId)
                continue;
            result = answer;
            calledNext = next;
            return Delivery::Answered;
        }
    }

    void refuseChannel(Channel& channel, DWORD processId, DWORD threadId, std::uint64_t id, const std::string& reason)
    {
        std::fprintf(stderr, "vorna-sim broker: refused a hook channel (process %u, thread %u): %s\n", processId, threadId,
                     reason.c_str());
        wire::sendRefusal(channel.fd, id, reason);
        ::shutdown(channel.fd, SHUT_RDWR);
        dropChannel(processId, threadId);
    }

    // Channels whose thread has gone (the peer hung up) are let go.
    void pruneChannelsLocked()
    {
        std::vector<pollfd> fds;
        fds.reserve(m_channels.size());
        for (const auto& [owner, channel] : m_channels)
            fds.push_back({channel->fd, 0, 0});
        if (fds.empty() || ::poll(fds.data(), fds.size(), 0) <= 0)
            return;
        std::size_t i = 0;
        for (auto it = m_channels.begin(); it != m_channels.end(); ++i) {
            if (fds[i].revents & (POLLHUP | POLLERR | POLLNVAL))
                it = m_channels.erase(it);
            else
                ++it;
        }
    }

    // A reader thread serves one client at a time until it goes, then waits for the next. Idle
    // readers beyond a few, or idle for long, end: the threads follow the clients, and a broker
    // that many clients come and go from does not start a thread for each.
    void readerLoop()
    {
        std::unique_lock lock(m_mutex);
        for (;;) {
            if (m_waiting.empty()) {
                if (m_closing || m_idleReaders >= maxIdleReaders)
                    break;
                ++m_idleReaders;
                m_readerWork.wait_for(lock, idleReaderLinger, [&] { return !m_waiting.empty() || m_closing; });
                --m_idleReaders;
                if (m_waiting.empty())
                    break;
            }
            std::shared_ptr<Connection> c = std::move(m_waiting.front());
            m_waiting.pop_front();
            lock.unlock();
            serve(c);
            c.reset(); // its descriptor closes now, unless a pending reply still holds it
            lock.lock();
        }
        if (--m_readers == 0)
            m_readersDone.notify_all();
    }

    // Out of descriptors: the next client is told so and let go (the spare descriptor makes room
    // for it), instead of waiting in the queue, and the loop does not spin on it.
    void turnAwayForLackOfDescriptors()
    {
        if (m_spare >= 0) {
            ::close(m_spare);
            const int fd = ::accept4(m_listen, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &sendTimeout, sizeof sendTimeout);
                wire::sendRefusal(fd, 0, "the broker has run out of descriptors");
                ::close(fd);
            }
            m_spare = ::open("/dev/null", O_RDONLY | O_CLOEXEC);
        }
        if (m_spare < 0) {
            pollfd stop{m_stopPipe[0], POLLIN, 0};
            ::poll(&stop, 1, 50);
        }
    }

    [[noreturn]] void fail(const std::string& what, bool withError = true)
    {
        const int error = errno;
        closeAll();
        throw std::runtime_error(withError ? what + ": " + std::strerror(error) : what);
    }

    void closeAll()
    {
        for (int* fd : {&m_listen, &m_stopPipe[0], &m_stopPipe[1], &m_spare}) {
            if (*fd >= 0)
                ::close(*fd);
            *fd = -1;
        }
        if (m_bound)
            ::unlink(m_path.c_str());
        m_bound = false;
    }

    std::shared_ptr<Connection> memberFor(DWORD processId)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_members.find(processId);
        return it == m_members.end() ? nullptr : it->second.lock();
    }

    // Answers one request; false when the client broke the protocol, with the reason in the reader.
    bool handle(const std::shared_ptr<Connection>& c, Op op, std::uint64_t id, wire::Reader& in, wire::Writer& out, bool& reply,
                bool& handedOver)
    {
        SessionState& s = m_session;
        if (c->role == 0 && op != Op::Hello) {
            in.fail("a request before the hello");
            return false;
        }
        switch (op) {
        case Op::Hello: {
            reply = false;
            if (c->role != 0) {
                in.fail("a second hello");
                return false;
            }
            const auto role = in.get<std::uint8_t>();
            const auto processId = in.get<DWORD>();
            const auto threadId = role == 3 ? in.get<DWORD>() : 0;
            if (!in.finish())
                return false;
            if (role < 1 || role > 3) {
                in.fail("the role " + std::to_string(role) + " is none of 1 (member), 2 (driver), 3 (hook channel)");
                return false;
            }
            if (c->peer != 0 && processId != static_cast<DWORD>(c->peer)) {
                in.fail("the hello names process " + std::to_string(processId) + " but the client is process " +
                        std::to_string(c->peer));
                return false;
            }
            c->role = role;
            c->processId = processId;
            if (c->role == 3) {
                // A hook channel: the socket passes to the input stream, and this reader goes on
                // to the next client.
                const int fd = ::dup(c->fd);
                if (fd < 0) {
                    in.fail("the broker has run out of descriptors");
                    return false;
                }
                const auto channel = std::make_shared<Channel>(fd);
                if (!c->send(Op::Reply, id, out))
                    return false;
                std::lock_guard lock(m_mutex);
                pruneChannelsLocked();
                m_channels[{c->processId, threadId}] = channel;
                handedOver = true;
                return true;
            }
            if (c->role == 1) {
                std::lock_guard lock(m_mutex);
                m_members[c->processId] = c;
                c->registeredMember = true;
            }
            return c->send(Op::Reply, id, out, s.pageDescriptor());
        }
        case Op::SendInput: {
            const auto inputs = in.getVector<INPUT>();
            if (!in.finish())
                return false;
            DWORD error = 0;
            const UINT accepted = inputs.empty() ? 0 : s.sendInput(inputs.data(), static_cast<UINT>(inputs.size()), error);
            out.put(accepted).put(error);
            break;
        }
        case Op::InstallHook: {
            const auto kind = wire::getHookKind(in);
            const auto processId = in.get<DWORD>();
            const auto threadId = in.get<DWORD>();
            if (!in.finish())
                return false;
            DWORD error = 0;
            const HHOOK hook = s.installHook(kind, processId, threadId, error);
            out.put(hook).put(error);
            break;
        }
        case Op::RemoveHook: {
            const auto hook = in.get<HHOOK>();
            if (!in.finish())
                return false;
            out.put(s.removeHook(hook));
            break;
        }
        case Op::HookAnswer: {
            const auto callId = in.get<std::uint64_t>();
            const auto result = in.get<LRESULT>();
            const auto calledNext = in.get<bool>();
            if (!in.finish())
                return false;
            s.answerHook(callId, result, calledNext);
            reply = false;
            break;
        }
        case Op::RegisterWindow:
        case Op::AddWindow: {
            const auto window = wire::getWindow(in);
            if (!in.finish())
                return false;
            out.put(op == Op::AddWindow ? s.addWindow(window) : s.registerWindow(window));
            break;
        }
        case Op::UnregisterWindow:
        case Op::RemoveWindow: {
            const auto window = in.get<HWND>();
            if (!in.finish())
                return false;
            if (op == Op::RemoveWindow)
                s.removeWindow(window);
            else
                s.unregisterWindow(window);
            break;
        }
        case Op::FindWindow: {
            const auto window = in.get<HWND>();
            if (!in.finish())
                return false;
            const auto found = s.findWindow(window);
            out.put(found.has_value());
            if (found)
                wire::putWindow(out, *found);
            break;
        }
        case Op::RegisterRawInput: {
            const auto devices = in.getVector<RAWINPUTDEVICE>();
            const auto processId = in.get<DWORD>();
            if (!in.finish())
                return false;
            out.put(s.registerRawInput(devices, processId));
            break;
        }
        case Op::RawInputDevices: {
            const auto point = wire::getFailPoint(in, true);
            if (!in.finish())
                return false;
            std::vector<RawDevice> devices;
            const DWORD error = s.rawInputDevices(point, devices);
            out.put(error).put(static_cast<std::uint32_t>(devices.size()));
            for (const RawDevice& d : devices)
                wire::putDevice(out, d);
            break;
        }
        case Op::SetSessionNotification: {
            const auto window = in.get<HWND>();
            const auto on = in.get<bool>();
            if (!in.finish())
                return false;
            out.put(s.setSessionNotification(window, on));
            break;
        }
        case Op::TakeFailure: {
            const auto point = in.get<std::uint8_t>();
            if (!in.finish())
                return false;
            out.put(s.takeFailure(static_cast<FailPoint>(point)));
            break;
        }
        case Op::FindProcess: {
            const auto processId = in.get<DWORD>();
            if (!in.finish())
                return false;
            const auto found = s.findProcess(processId);
            out.put(found.has_value());
            if (found)
                wire::putProcess(out, *found);
            break;
        }
        case Op::InstallWinEventHook: {
            WinEventHookRecord hook = in.get<WinEventHookRecord>();
            if (!in.finish())
                return false;
            hook.processId = c->processId; // a member hooks for itself only
            DWORD error = 0;
            const HWINEVENTHOOK installed = s.installWinEventHook(hook, error);
            out.put(installed).put(error);
            break;
        }
        case Op::RemoveWinEventHook: {
            const auto hook = in.get<HWINEVENTHOOK>();
            if (!in.finish())
                return false;
            out.put(s.removeWinEventHook(hook));
            break;
        }
        case Op::Inject: {
            const bool wait = in.get<bool>();
            const auto events = wire::getPhysicalEvents(in);
            if (!in.finish())
                return false;
            if (wait) {
                reply = false;
                s.injectAsync(events, [c, id](std::vector<bool> outcomes) {
                    wire::Writer w;
                    w.put(outcomes);
                    c->send(Op::Reply, id, w);
                });
            } else {
                s.injectAsync(events, nullptr);
            }
            break;
        }
        case Op::WaitIdle:
            if (!in.finish())
                return false;
            reply = false;
            s.whenIdle([c, id] { c->send(Op::Reply, id, wire::Writer()); });
            break;
        case Op::SetScreen: {
            const auto screen = wire::getScreen(in);
            if (!in.finish())
                return false;
            s.setScreen(screen);
            break;
        }
        case Op::SetCursor: {
            const auto point = in.get<POINT>();
            if (!in.finish())
                return false;
            s.setCursor(point);
            break;
        }
        case Op::SetToggle: {
            const auto key = wire::getVirtualKey(in);
            const auto on = in.get<bool>();
            if (!in.finish())
                return false;
            s.setToggle(key, on);
            break;
        }
        case Op::SetForeground: {
            const auto window = in.get<HWND>();
            if (!in.finish())
                return false;
            out.put(s.setForeground(window));
            break;
        }
        case Op::Windows: {
            if (!in.finish())
                return false;
            const auto list = s.windows();
            out.put(static_cast<std::uint32_t>(list.size()));
            for (const WindowRecord& w : list)
                wire::putWindow(out, w);
            break;
        }
        case Op::AddProcess: {
            const auto process = wire::getProcess(in);
            if (!in.finish())
                return false;
            s.addProcess(process);
            break;
        }
        case Op::ReadSink: {
            const auto clear = in.get<bool>();
            if (!in.finish())
                return false;
            out.put(s.readSink(clear));
            break;
        }
        case Op::Hooks:
            if (!in.finish())
                return false;
            out.put(s.hooks());
            break;
        case Op::Notify: {
            const auto notice = wire::getNotice(in);
            const auto code = in.get<WPARAM>();
            if (!in.finish())
                return false;
            out.put(s.notify(notice, code));
            break;
        }
        case Op::AddRawDevice: {
            const auto device = wire::getDevice(in);
            if (!in.finish())
                return false;
            out.put(s.addRawDevice(device));
            break;
        }
        case Op::RemoveRawDevice: {
            const auto handle = in.get<std::uint64_t>();
            if (!in.finish())
                return false;
            out.put(s.removeRawDevice(handle));
            break;
        }
        case Op::SetHookTimeout: {
            const auto milliseconds = in.get<DWORD>();
            if (!in.finish())
                return false;
            s.setHookTimeout(milliseconds);
            break;
        }
        case Op::StepClock: {
            const auto milliseconds = in.get<std::int64_t>();
            if (!in.finish())
                return false;
            if (const char* why = limits::checkClockStep(milliseconds, s.page().clockOffsetNs.load())) {
                in.fail(why);
                return false;
            }
            s.stepClock(milliseconds);
            break;
        }
        case Op::SetFailure: {
            const auto point = wire::getFailPoint(in, false);
            const auto failure = wire::getFailure(in);
            if (!in.finish())
                return false;
            s.setFailure(point, failure);
            break;
        }
        case Op::Reset:
            if (!in.finish())
                return false;
            s.reset();
            break;
        case Op::Desktop: {
            const auto request = in.getVector<std::uint8_t>();
            if (!in.finish())
                return false;
            std::vector<std::uint8_t> answer;
            s.desktopCall(request, answer);
            out.put(answer);
            break;
        }
        case Op::KeyboardLayout: {
            const auto thread = in.get<DWORD>();
            if (!in.finish())
                return false;
            out.put(s.keyboardLayout(thread));
            break;
        }
        case Op::SetKeyboardLayout: {
            const auto thread = in.get<DWORD>();
            const auto layout = in.get<std::uint64_t>();
            if (in.ok()) {
                if (const char* why = limits::checkKeyboardLayout(layout))
                    in.fail(why);
            }
            if (!in.finish())
                return false;
            s.setKeyboardLayout(thread, layout);
            break;
        }
        case Op::Ping:
            if (!in.finish())
                return false;
            break;
        default:
            in.fail("not a request");
            return false;
        }
        return true;
    }

    void serve(const std::shared_ptr<Connection>& c)
    {
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        wire::Writer out;
        std::string refusal;
        for (;;) {
            if (!wire::readFrame(c->fd, header, payload, nullptr, &refusal)) {
                if (!refusal.empty()) {
                    logRefusal(*c, refusal);
                    c->refuse(header.id, refusal);
                }
                break;
            }
            wire::Reader in(payload.data(), payload.size());
            out.clear();
            bool reply = true;
            bool handedOver = false;
            const auto op = static_cast<Op>(header.op);
            if (!handle(c, op, header.id, in, out, reply, handedOver)) {
                // A client that breaks the protocol is told why and let go; the others go on.
                if (!in.ok()) {
                    const std::string reason = wire::opName(header.op) + ": " + in.error();
                    logRefusal(*c, reason);
                    c->refuse(header.id, reason);
                }
                break;
            }
            if (!in.finish()) {
                // A request whose handler did not check for bytes after its fields (each should,
                // before it acts): the client is let go all the same.
                const std::string reason = wire::opName(header.op) + ": " + in.error();
                logRefusal(*c, reason);
                c->refuse(header.id, reason);
                break;
            }
            if (handedOver) {
                std::lock_guard lock(m_mutex);
                std::erase(m_connections, c);
                return;
            }
            if (reply && !c->send(Op::Reply, header.id, out))
                break;
        }
        ::shutdown(c->fd, SHUT_RDWR);
        if (c->registeredMember) {
            // Only the connection that registered the process takes its hooks and windows away.
            bool current = false;
            {
                std::lock_guard lock(m_mutex);
                const auto it = m_members.find(c->processId);
                current = it != m_members.end() && it->second.lock() == c;
                if (current) {
                    m_members.erase(it);
                    std::erase_if(m_channels, [&](const auto& entry) { return entry.first.first == c->processId; });
                }
            }
            if (current)
                m_session.processGone(c->processId);
        }
        std::lock_guard lock(m_mutex);
        std::erase(m_connections, c);
    }

    std::string m_path;
    int m_listen = -1;
    int m_stopPipe[2] = {-1, -1};
    int m_spare = -1;     // given up to turn a client away when descriptors run out
    bool m_bound = false; // the socket file is ours to remove
    Connection::Count m_liveConnections = std::make_shared<std::atomic<std::size_t>>(0);
    std::mutex m_mutex;
    static constexpr std::size_t maxIdleReaders = 4;
    static constexpr std::chrono::seconds idleReaderLinger{10};
    std::size_t m_readers = 0;     // reader threads still running
    std::size_t m_idleReaders = 0; // of which waiting for a client
    bool m_closing = false;
    std::deque<std::shared_ptr<Connection>> m_waiting; // accepted, no reader yet
    std::condition_variable m_readerWork;
    std::condition_variable m_readersDone;
    std::vector<std::shared_ptr<Connection>> m_connections;
    std::map<DWORD, std::weak_ptr<Connection>> m_members;
    std::map<std::pair<DWORD, DWORD>, std::shared_ptr<Channel>> m_channels; // by process and thread
    wire::Writer m_callFrame;                 // the input stream's thread only
    std::vector<std::uint8_t> m_answerFrame; // likewise
    std::thread m_acceptThread;
    SessionState m_session; // last: it goes first, while the delivery it calls still stands
};

Broker::Broker(const std::string& socketPath) : m_impl(std::make_unique<Impl>(socketPath)) {}
Broker::~Broker() = default;
void Broker::start() { m_impl->start(); }
void Broker::run() { m_impl->run(); }
void Broker::stop() { m_impl->stop(); }
SessionState& Broker::session() { return m_impl->session(); }
const std::string& Broker::socketPath() const { return m_impl->path(); }
std::size_t Broker::clientCount() const { return m_impl->clientCount(); }

} // namespace vorna::sim
