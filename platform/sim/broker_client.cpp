#include "platform/sim/broker_client.h"

#include "platform/sim/record_codec.h"
#include "platform/sim/thread_queue.h"
#include "platform/sim/win32_errors.h"
#include "platform/sim/win32_thread.h"
#include "platform/sim/wire.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace vorna::sim {

using wire::Op;

class BrokerClient::Connection {
public:
    Connection(const std::string& path, Role role, HookAnswerPort& port) : port_(port), path_(path)
    {
        fd_ = connectTo(path);
        if (fd_ < 0)
            throw std::runtime_error("no broker answers at " + path);
        wire::Writer hello;
        hello.put(static_cast<std::uint8_t>(role)).put(static_cast<DWORD>(::getpid()));
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        int pageDescriptor = -1;
        if (!wire::sendFrame(fd_, Op::Hello, 1, hello) || !wire::readFrame(fd_, header, payload, &pageDescriptor) ||
            pageDescriptor < 0 || (page_ = mapSessionPage(pageDescriptor)) == nullptr) {
            ::close(fd_);
            throw std::runtime_error("the broker at " + path + " did not greet");
        }
        ::close(pageDescriptor);
        // Only a member is sent frames it did not ask for; a driver reads its replies itself,
        // which saves a thread hand-off on every call.
        inlineReplies_ = role == Role::Driver;
        waiters_.reserve(64);
        if (!inlineReplies_)
            receiver_ = std::thread([this] { receive(); });
    }

    ~Connection()
    {
        ::shutdown(fd_, SHUT_RDWR);
        if (receiver_.joinable())
            receiver_.join();
        ::close(fd_);
    }

    const SessionPage& page() const { return *page_; }

    // Gives the calling thread its own line for hook calls (see ThreadQueue::attachChannel).
    void openChannel()
    {
        ThreadQueue* queue = currentThreadQueue(true);
        if (queue->hasChannel())
            return;
        const int fd = connectTo(path_);
        if (fd < 0)
            return; // calls keep coming through the process's connection
        wire::Writer hello;
        hello.put(static_cast<std::uint8_t>(3)).put(static_cast<DWORD>(::getpid())).put(GetCurrentThreadId());
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        if (!wire::sendFrame(fd, Op::Hello, 1, hello) || !wire::readFrame(fd, header, payload)) {
            ::close(fd);
            return;
        }
        queue->attachChannel(fd);
    }

    // Sends a request and waits for its reply; false (with an empty reply) once the broker is gone.
    bool call(Op op, const wire::Writer& request, std::vector<std::uint8_t>& reply)
    {
        if (inlineReplies_) {
            std::lock_guard lock(writeMutex_);
            wire::Header header{};
            const std::uint64_t id = nextId_++;
            if (!wire::sendFrame(fd_, op, id, request) || !wire::readFrame(fd_, header, reply) || header.id != id) {
                reply.clear();
                return false;
            }
            return true;
        }
        Waiter waiter{nextId_++, &reply, false};
        {
            std::lock_guard lock(mutex_);
            if (closed_) {
                reply.clear();
                return false;
            }
            waiters_.push_back(&waiter);
        }
        post(op, request, waiter.id);
        std::unique_lock lock(mutex_);
        replied_.wait(lock, [&] { return waiter.done || closed_; });
        std::erase(waiters_, &waiter);
        if (!waiter.done)
            reply.clear();
        return waiter.done;
    }

    void post(Op op, const wire::Writer& request, std::uint64_t id = 0)
    {
        std::lock_guard lock(writeMutex_);
        wire::sendFrame(fd_, op, id, request);
    }

private:
    struct Waiter {
        std::uint64_t id;
        std::vector<std::uint8_t>* reply;
        bool done;
    };

    void receive()
    {
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        while (wire::readFrame(fd_, header, payload)) {
            wire::Reader in(payload.data(), payload.size());
            switch (static_cast<Op>(header.op)) {
            case Op::Reply: {
                std::lock_guard lock(mutex_);
                const auto it = std::find_if(waiters_.begin(), waiters_.end(), [&](Waiter* w) { return w->id == header.id; });
                if (it != waiters_.end()) {
                    (*it)->reply->swap(payload);
                    (*it)->done = true;
                    replied_.notify_all();
                }
                break;
            }
            case Op::HookCall: {
                const auto call = in.get<HookCall>();
                if (const auto queue = findThreadQueue(call.threadId))
                    queue->deliverHookCall(call, &port_);
                else
                    port_.answerHook(call.callId, 0, true); // the thread has ended: pass it on
                break;
            }
            case Op::CancelHookCall: {
                const auto threadId = in.get<DWORD>();
                const auto callId = in.get<std::uint64_t>();
                if (const auto queue = findThreadQueue(threadId))
                    queue->cancelHookCall(callId);
                break;
            }
            case Op::WindowMessage: {
                const auto threadId = in.get<DWORD>();
                const auto message = in.get<MSG>();
                if (const auto queue = findThreadQueue(threadId))
                    queue->post(message);
                break;
            }
            default:
                break;
            }
        }
        std::lock_guard lock(mutex_);
        closed_ = true;
        replied_.notify_all();
    }

    static int connectTo(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (path.empty() || path.size() >= sizeof address.sun_path)
            return -1;
        path.copy(address.sun_path, path.size());
        const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (fd >= 0 && ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            ::close(fd);
            return -1;
        }
        return fd;
    }

    HookAnswerPort& port_;
    const std::string path_;
    int fd_ = -1;
    const SessionPage* page_ = nullptr;
    std::mutex writeMutex_;
    std::mutex mutex_;
    std::condition_variable replied_;
    std::vector<Waiter*> waiters_;
    bool closed_ = false;
    bool inlineReplies_ = false;
    std::atomic<std::uint64_t> nextId_{2};
    std::thread receiver_;
};

namespace {

// Each thread reuses its request and reply buffers, so steady traffic allocates nothing.
struct Buffers {
    wire::Writer request;
    std::vector<std::uint8_t> reply;
};

Buffers& buffers()
{
    thread_local Buffers b;
    b.request.clear();
    return b;
}

} // namespace

BrokerClient::BrokerClient(const std::string& socketPath, Role role)
    : connection_(std::make_unique<Connection>(socketPath, role, *this))
{
}

BrokerClient::~BrokerClient() = default;

const SessionPage& BrokerClient::page()
{
    return connection_->page();
}

UINT BrokerClient::sendInput(const INPUT* inputs, UINT count, DWORD& error)
{
    Buffers& b = buffers();
    b.request.put(count);
    for (UINT i = 0; i < count; ++i)
        b.request.put(inputs[i]);
    if (!connection_->call(Op::SendInput, b.request, b.reply)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return 0;
    }
    wire::Reader in(b.reply.data(), b.reply.size());
    const auto accepted = in.get<UINT>();
    error = in.get<DWORD>();
    return accepted;
}

HHOOK BrokerClient::installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(kind)).put(processId).put(threadId);
    if (!connection_->call(Op::InstallHook, b.request, b.reply)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    wire::Reader in(b.reply.data(), b.reply.size());
    const auto hook = in.get<HHOOK>();
    error = in.get<DWORD>();
    if (hook != nullptr && threadId == GetCurrentThreadId())
        connection_->openChannel();
    return hook;
}

bool BrokerClient::removeHook(HHOOK hook)
{
    Buffers& b = buffers();
    b.request.put(hook);
    connection_->call(Op::RemoveHook, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

void BrokerClient::answerHook(std::uint64_t callId, LRESULT result, bool calledNext)
{
    Buffers& b = buffers();
    b.request.put(callId).put(result).put(calledNext);
    connection_->post(Op::HookAnswer, b.request);
}

HWND BrokerClient::registerWindow(const WindowRecord& window)
{
    Buffers& b = buffers();
    wire::putWindow(b.request, window);
    connection_->call(Op::RegisterWindow, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<HWND>();
}

void BrokerClient::unregisterWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    connection_->call(Op::UnregisterWindow, b.request, b.reply);
}

std::optional<WindowRecord> BrokerClient::findWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    connection_->call(Op::FindWindow, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    if (!in.get<bool>())
        return std::nullopt;
    return wire::getWindow(in);
}

DWORD BrokerClient::registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId)
{
    Buffers& b = buffers();
    b.request.put(devices).put(processId);
    if (!connection_->call(Op::RegisterRawInput, b.request, b.reply))
        return ERROR_NOT_ENOUGH_MEMORY;
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

DWORD BrokerClient::rawInputDevices(FailPoint call, std::vector<RawDevice>& devices)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(call));
    if (!connection_->call(Op::RawInputDevices, b.request, b.reply))
        return ERROR_NOT_ENOUGH_MEMORY;
    wire::Reader in(b.reply.data(), b.reply.size());
    const auto error = in.get<DWORD>();
    const auto count = in.get<std::uint32_t>();
    devices.clear();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        devices.push_back(wire::getDevice(in));
    return error;
}

DWORD BrokerClient::setSessionNotification(HWND window, bool on)
{
    Buffers& b = buffers();
    b.request.put(window).put(on);
    if (!connection_->call(Op::SetSessionNotification, b.request, b.reply))
        return ERROR_NOT_ENOUGH_MEMORY;
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

DWORD BrokerClient::takeFailure(FailPoint call)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(call));
    if (!connection_->call(Op::TakeFailure, b.request, b.reply))
        return 0; // no broker, no forced failure
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

std::optional<ProcessRecord> BrokerClient::findProcess(DWORD processId)
{
    Buffers& b = buffers();
    b.request.put(processId);
    connection_->call(Op::FindProcess, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    if (!in.get<bool>())
        return std::nullopt;
    return wire::getProcess(in);
}

void BrokerClient::desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply)
{
    Buffers& b = buffers();
    b.request.put(request);
    reply.clear();
    if (connection_->call(Op::Desktop, b.request, b.reply)) {
        wire::Reader in(b.reply.data(), b.reply.size());
        reply = in.getVector<std::uint8_t>();
    }
}

HWINEVENTHOOK BrokerClient::installWinEventHook(const WinEventHookRecord& hook, DWORD& error)
{
    Buffers& b = buffers();
    b.request.put(hook);
    if (!connection_->call(Op::InstallWinEventHook, b.request, b.reply)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    wire::Reader in(b.reply.data(), b.reply.size());
    const auto installed = in.get<HWINEVENTHOOK>();
    error = in.get<DWORD>();
    return installed;
}

bool BrokerClient::removeWinEventHook(HWINEVENTHOOK hook)
{
    Buffers& b = buffers();
    b.request.put(hook);
    connection_->call(Op::RemoveWinEventHook, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

std::vector<bool> BrokerClient::inject(const std::vector<PhysicalEvent>& events, bool wait)
{
    Buffers& b = buffers();
    b.request.put(wait).put(events);
    if (!connection_->call(Op::Inject, b.request, b.reply))
        return std::vector<bool>(wait ? events.size() : 0, false);
    if (!wait)
        return {};
    wire::Reader in(b.reply.data(), b.reply.size());
    std::vector<bool> outcomes;
    for (std::uint8_t passed : in.getVector<std::uint8_t>())
        outcomes.push_back(passed != 0);
    return outcomes;
}

void BrokerClient::waitIdle()
{
    Buffers& b = buffers();
    connection_->call(Op::WaitIdle, b.request, b.reply);
}

void BrokerClient::setScreen(const ScreenState& screen)
{
    Buffers& b = buffers();
    b.request.put(screen);
    connection_->call(Op::SetScreen, b.request, b.reply);
}

void BrokerClient::setCursor(POINT point)
{
    Buffers& b = buffers();
    b.request.put(point);
    connection_->call(Op::SetCursor, b.request, b.reply);
}

void BrokerClient::setToggle(UINT virtualKey, bool on)
{
    Buffers& b = buffers();
    b.request.put(virtualKey).put(on);
    connection_->call(Op::SetToggle, b.request, b.reply);
}

HWND BrokerClient::addWindow(const WindowRecord& window)
{
    Buffers& b = buffers();
    wire::putWindow(b.request, window);
    connection_->call(Op::AddWindow, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<HWND>();
}

void BrokerClient::removeWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    connection_->call(Op::RemoveWindow, b.request, b.reply);
}

bool BrokerClient::setForeground(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    connection_->call(Op::SetForeground, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

std::vector<WindowRecord> BrokerClient::windows()
{
    Buffers& b = buffers();
    connection_->call(Op::Windows, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    std::vector<WindowRecord> list;
    const auto count = in.get<std::uint32_t>();
    for (std::uint32_t i = 0; i < count && in.ok(); ++i)
        list.push_back(wire::getWindow(in));
    return list;
}

void BrokerClient::addProcess(const ProcessRecord& process)
{
    Buffers& b = buffers();
    wire::putProcess(b.request, process);
    connection_->call(Op::AddProcess, b.request, b.reply);
}

std::vector<SinkEvent> BrokerClient::readSink(bool clear)
{
    Buffers& b = buffers();
    b.request.put(clear);
    connection_->call(Op::ReadSink, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    return in.getVector<SinkEvent>();
}

std::vector<HookInfo> BrokerClient::hooks()
{
    Buffers& b = buffers();
    connection_->call(Op::Hooks, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    return in.getVector<HookInfo>();
}

int BrokerClient::notify(Notice notice, WPARAM code)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(notice)).put(code);
    connection_->call(Op::Notify, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<int>();
}

std::uint64_t BrokerClient::addRawDevice(const RawDevice& device)
{
    Buffers& b = buffers();
    wire::putDevice(b.request, device);
    connection_->call(Op::AddRawDevice, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<std::uint64_t>();
}

bool BrokerClient::removeRawDevice(std::uint64_t handle)
{
    Buffers& b = buffers();
    b.request.put(handle);
    connection_->call(Op::RemoveRawDevice, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

void BrokerClient::setHookTimeout(DWORD milliseconds)
{
    Buffers& b = buffers();
    b.request.put(milliseconds);
    connection_->call(Op::SetHookTimeout, b.request, b.reply);
}

void BrokerClient::stepClock(std::int64_t milliseconds)
{
    Buffers& b = buffers();
    b.request.put(milliseconds);
    connection_->call(Op::StepClock, b.request, b.reply);
}

void BrokerClient::setFailure(FailPoint point, const Failure& failure)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(point)).put(failure);
    connection_->call(Op::SetFailure, b.request, b.reply);
}

void BrokerClient::reset()
{
    Buffers& b = buffers();
    connection_->call(Op::Reset, b.request, b.reply);
}

} // namespace vorna::sim
