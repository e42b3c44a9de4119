#include "platform/sim/broker.h"

#include "platform/sim/record_codec.h"
#include "platform/sim/wire.h"

#include <algorithm>
#include <chrono>
#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace vorna::sim {
namespace {

using wire::Op;

struct Connection {
    explicit Connection(int fd) : fd(fd) {}
    ~Connection() { ::close(fd); }
    bool send(Op op, std::uint64_t id, const wire::Writer& payload, int passDescriptor = -1)
    {
        std::lock_guard lock(writeMutex);
        return wire::sendFrame(fd, op, id, payload, passDescriptor);
    }
    const int fd;
    std::mutex writeMutex;
    std::uint8_t role = 0; // 1 member, 2 driver
    DWORD processId = 0;
};

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
    explicit Impl(std::string path) : path_(std::move(path)), session_(*this)
    {
        const sockaddr_un address = addressOf(path_);
        listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (listen_ < 0)
            throw std::runtime_error("cannot create a socket");
        // A live broker keeps its name; only a stale socket file is replaced.
        const int probe = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        const bool live = ::connect(probe, reinterpret_cast<const sockaddr*>(&address), sizeof address) == 0;
        ::close(probe);
        if (live) {
            ::close(listen_);
            throw std::runtime_error("a broker already serves " + path_);
        }
        ::unlink(path_.c_str());
        if (::bind(listen_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0 || ::listen(listen_, 64) != 0) {
            ::close(listen_);
            throw std::runtime_error("cannot listen on " + path_);
        }
        ::chmod(path_.c_str(), 0600);
        if (::pipe2(stopPipe_, O_CLOEXEC) != 0)
            throw std::runtime_error("cannot create a pipe");
    }

    ~Impl() override
    {
        stop();
        if (acceptThread_.joinable())
            acceptThread_.join();
        std::vector<std::thread> readers;
        {
            std::lock_guard lock(mutex_);
            for (auto& c : connections_)
                ::shutdown(c->fd, SHUT_RDWR);
            for (auto& [owner, channel] : channels_)
                ::shutdown(channel->fd, SHUT_RDWR);
            readers.swap(readers_);
        }
        for (std::thread& t : readers)
            t.join();
        ::close(listen_);
        ::close(stopPipe_[0]);
        ::close(stopPipe_[1]);
        ::unlink(path_.c_str());
    }

    void start()
    {
        acceptThread_ = std::thread([this] { run(); });
    }

    void run()
    {
        for (;;) {
            pollfd fds[2] = {{listen_, POLLIN, 0}, {stopPipe_[0], POLLIN, 0}};
            if (::poll(fds, 2, -1) < 0 && errno != EINTR)
                return;
            if (fds[1].revents != 0)
                return;
            if (!(fds[0].revents & POLLIN))
                continue;
            const int fd = ::accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd < 0)
                continue;
            auto connection = std::make_shared<Connection>(fd);
            std::lock_guard lock(mutex_);
            connections_.push_back(connection);
            readers_.emplace_back([this, connection] { serve(connection); });
        }
    }

    void stop()
    {
        [[maybe_unused]] const ssize_t written = ::write(stopPipe_[1], "x", 1);
    }

    SessionState& session() { return session_; }
    const std::string& path() const { return path_; }

    Delivery deliverHookCall(DWORD processId, const HookCall& call, HookAnswerPort*, std::chrono::steady_clock::time_point deadline,
                             LRESULT& result, bool& calledNext) override
    {
        callFrame_.clear();
        callFrame_.put(call);
        if (const auto channel = channelFor(processId, call.threadId))
            return exchange(*channel, processId, call, deadline, result, calledNext);
        const auto member = memberFor(processId);
        return member && member->send(Op::HookCall, 0, callFrame_) ? Delivery::Later : Delivery::Gone;
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
        std::lock_guard lock(mutex_);
        const auto it = channels_.find({processId, threadId});
        return it == channels_.end() ? nullptr : it->second;
    }

    void dropChannel(DWORD processId, DWORD threadId)
    {
        std::lock_guard lock(mutex_);
        channels_.erase({processId, threadId});
    }

    // Writes the call and waits on the channel for its answer; answers to calls given up on
    // earlier are passed over.
    Delivery exchange(Channel& channel, DWORD processId, const HookCall& call, std::chrono::steady_clock::time_point deadline,
                      LRESULT& result, bool& calledNext)
    {
        if (!wire::sendFrame(channel.fd, Op::HookCall, 0, callFrame_)) {
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
            if (ready < 0 || !wire::readFrame(channel.fd, header, answerFrame_)) {
                dropChannel(processId, call.threadId);
                return Delivery::Gone;
            }
            wire::Reader in(answerFrame_.data(), answerFrame_.size());
            if (static_cast<Op>(header.op) != Op::HookAnswer || in.get<std::uint64_t>() != call.callId)
                continue;
            result = in.get<LRESULT>();
            calledNext = in.get<bool>();
            return Delivery::Answered;
        }
    }

    std::shared_ptr<Connection> memberFor(DWORD processId)
    {
        std::lock_guard lock(mutex_);
        const auto it = members_.find(processId);
        return it == members_.end() ? nullptr : it->second.lock();
    }

    // Answers one request; false when it was malformed.
    bool handle(const std::shared_ptr<Connection>& c, Op op, std::uint64_t id, wire::Reader& in, wire::Writer& out, bool& reply,
                bool& handedOver)
    {
        SessionState& s = session_;
        switch (op) {
        case Op::Hello:
            c->role = in.get<std::uint8_t>();
            c->processId = in.get<DWORD>();
            reply = false;
            if (c->role == 3) {
                // A hook channel: the socket passes to the input stream and this reader ends.
                const auto threadId = in.get<DWORD>();
                if (!in.ok() || !c->send(Op::Reply, id, out))
                    return false;
                std::lock_guard lock(mutex_);
                channels_[{c->processId, threadId}] = std::make_shared<Channel>(::dup(c->fd));
                handedOver = true;
                return true;
            }
            if (c->role == 1) {
                std::lock_guard lock(mutex_);
                members_[c->processId] = c;
            }
            return in.ok() && c->send(Op::Reply, id, out, s.pageDescriptor());
        case Op::SendInput: {
            const auto inputs = in.getVector<INPUT>();
            DWORD error = 0;
            const UINT accepted = inputs.empty() ? 0 : s.sendInput(inputs.data(), static_cast<UINT>(inputs.size()), error);
            out.put(accepted).put(error);
            break;
        }
        case Op::InstallHook: {
            const auto kind = static_cast<HookKind>(in.get<std::uint8_t>());
            const auto processId = in.get<DWORD>();
            const auto threadId = in.get<DWORD>();
            DWORD error = 0;
            const HHOOK hook = s.installHook(kind, processId, threadId, error);
            out.put(hook).put(error);
            break;
        }
        case Op::RemoveHook:
            out.put(s.removeHook(in.get<HHOOK>()));
            break;
        case Op::HookAnswer: {
            const auto callId = in.get<std::uint64_t>();
            const auto result = in.get<LRESULT>();
            const auto calledNext = in.get<bool>();
            s.answerHook(callId, result, calledNext);
            reply = false;
            break;
        }
        case Op::RegisterWindow:
            out.put(s.registerWindow(wire::getWindow(in)));
            break;
        case Op::UnregisterWindow:
            s.unregisterWindow(in.get<HWND>());
            break;
        case Op::FindWindow: {
            const auto found = s.findWindow(in.get<HWND>());
            out.put(found.has_value());
            if (found)
                wire::putWindow(out, *found);
            break;
        }
        case Op::RegisterRawInput: {
            const auto devices = in.getVector<RAWINPUTDEVICE>();
            out.put(s.registerRawInput(devices, in.get<DWORD>()));
            break;
        }
        case Op::RawInputDevices: {
            std::vector<RawDevice> devices;
            const DWORD error = s.rawInputDevices(static_cast<FailPoint>(in.get<std::uint8_t>()), devices);
            out.put(error).put(static_cast<std::uint32_t>(devices.size()));
            for (const RawDevice& d : devices)
                wire::putDevice(out, d);
            break;
        }
        case Op::SetSessionNotification: {
            const auto window = in.get<HWND>();
            out.put(s.setSessionNotification(window, in.get<bool>()));
            break;
        }
        case Op::TakeFailure:
            out.put(s.takeFailure(static_cast<FailPoint>(in.get<std::uint8_t>())));
            break;
        case Op::FindProcess: {
            const auto found = s.findProcess(in.get<DWORD>());
            out.put(found.has_value());
            if (found)
                wire::putProcess(out, *found);
            break;
        }
        case Op::InstallWinEventHook: {
            WinEventHookRecord hook = in.get<WinEventHookRecord>();
            hook.processId = c->processId; // a member hooks for itself only
            DWORD error = 0;
            const HWINEVENTHOOK installed = in.ok() ? s.installWinEventHook(hook, error) : nullptr;
            out.put(installed).put(error);
            break;
        }
        case Op::RemoveWinEventHook:
            out.put(s.removeWinEventHook(in.get<HWINEVENTHOOK>()));
            break;
        case Op::Inject: {
            const bool wait = in.get<bool>();
            const auto events = in.getVector<PhysicalEvent>();
            if (!in.ok())
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
            reply = false;
            s.whenIdle([c, id] { c->send(Op::Reply, id, wire::Writer()); });
            break;
        case Op::SetScreen:
            s.setScreen(in.get<ScreenState>());
            break;
        case Op::SetCursor:
            s.setCursor(in.get<POINT>());
            break;
        case Op::SetToggle: {
            const auto key = in.get<UINT>();
            s.setToggle(key, in.get<bool>());
            break;
        }
        case Op::AddWindow:
            out.put(s.addWindow(wire::getWindow(in)));
            break;
        case Op::RemoveWindow:
            s.removeWindow(in.get<HWND>());
            break;
        case Op::SetForeground:
            out.put(s.setForeground(in.get<HWND>()));
            break;
        case Op::Windows: {
            const auto list = s.windows();
            out.put(static_cast<std::uint32_t>(list.size()));
            for (const WindowRecord& w : list)
                wire::putWindow(out, w);
            break;
        }
        case Op::AddProcess:
            s.addProcess(wire::getProcess(in));
            break;
        case Op::ReadSink:
            out.put(s.readSink(in.get<bool>()));
            break;
        case Op::Hooks:
            out.put(s.hooks());
            break;
        case Op::Notify: {
            const auto notice = static_cast<Notice>(in.get<std::uint8_t>());
            out.put(s.notify(notice, in.get<WPARAM>()));
            break;
        }
        case Op::AddRawDevice:
            out.put(s.addRawDevice(wire::getDevice(in)));
            break;
        case Op::RemoveRawDevice:
            out.put(s.removeRawDevice(in.get<std::uint64_t>()));
            break;
        case Op::SetHookTimeout:
            s.setHookTimeout(in.get<DWORD>());
            break;
        case Op::StepClock:
            s.stepClock(in.get<std::int64_t>());
            break;
        case Op::SetFailure: {
            const auto point = static_cast<FailPoint>(in.get<std::uint8_t>());
            s.setFailure(point, in.get<Failure>());
            break;
        }
        case Op::Reset:
            s.reset();
            break;
        case Op::Desktop: {
            const auto request = in.getVector<std::uint8_t>();
            std::vector<std::uint8_t> answer;
            if (in.ok())
                s.desktopCall(request, answer);
            out.put(answer);
            break;
        }
        default:
            return false;
        }
        return in.ok();
    }

    void serve(const std::shared_ptr<Connection>& c)
    {
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        wire::Writer out;
        while (wire::readFrame(c->fd, header, payload)) {
            wire::Reader in(payload.data(), payload.size());
            out.clear();
            bool reply = true;
            bool handedOver = false;
            if (!handle(c, static_cast<Op>(header.op), header.id, in, out, reply, handedOver))
                break; // a peer that breaks the protocol is dropped
            if (handedOver) {
                std::lock_guard lock(mutex_);
                std::erase(connections_, c);
                return;
            }
            if (reply && !c->send(Op::Reply, header.id, out))
                break;
        }
        ::shutdown(c->fd, SHUT_RDWR);
        if (c->role == 1) {
            {
                std::lock_guard lock(mutex_);
                const auto it = members_.find(c->processId);
                if (it != members_.end() && it->second.lock() == c)
                    members_.erase(it);
            }
            {
                std::lock_guard lock(mutex_);
                std::erase_if(channels_, [&](const auto& entry) { return entry.first.first == c->processId; });
            }
            session_.processGone(c->processId);
        }
        std::lock_guard lock(mutex_);
        std::erase(connections_, c);
    }

    std::string path_;
    int listen_ = -1;
    int stopPipe_[2] = {-1, -1};
    std::mutex mutex_;
    std::vector<std::shared_ptr<Connection>> connections_;
    std::map<DWORD, std::weak_ptr<Connection>> members_;
    std::map<std::pair<DWORD, DWORD>, std::shared_ptr<Channel>> channels_; // by process and thread
    wire::Writer callFrame_;                 // the input stream's thread only
    std::vector<std::uint8_t> answerFrame_; // likewise
    std::vector<std::thread> readers_;
    std::thread acceptThread_;
    SessionState session_; // last: it goes first, while the delivery it calls still stands
};

Broker::Broker(const std::string& socketPath) : impl_(std::make_unique<Impl>(socketPath)) {}
Broker::~Broker() = default;
void Broker::start() { impl_->start(); }
void Broker::run() { impl_->run(); }
void Broker::stop() { impl_->stop(); }
SessionState& Broker::session() { return impl_->session(); }
const std::string& Broker::socketPath() const { return impl_->path(); }

} // namespace vorna::sim
