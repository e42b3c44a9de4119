#include "platform/sim/broker/broker_client.h"

#include "platform/sim/process/thread_queue.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "platform/sim/session/record_codec.h"
#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_thread.h"
#include "platform/sim/wire/wire.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <mutex>
#include <poll.h>
#include <stdexcept>
#include <sys/socket.h>
#include <sys/time.h>
#include <sys/un.h>
#include <thread>
#include <unistd.h>

namespace vorna::sim {

using wire::Op;

namespace {

using Clock = std::chrono::steady_clock;

std::string milliseconds(std::chrono::milliseconds value)
{
    return std::to_string(value.count()) + " ms";
}

// A socket whose connect, sends and reads inside a frame give up after the time-out. A listener
// whose queue is full makes connect wait: the send time-out bounds that wait too.
int connectTo(const std::string& path, std::chrono::milliseconds timeout, std::string& why)
{
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.empty() || path.size() >= sizeof address.sun_path) {
        why = "the socket path is empty or too long";
        return -1;
    }
    path.copy(address.sun_path, path.size());
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (fd < 0) {
        why = std::strerror(errno);
        return -1;
    }
    const timeval limit{static_cast<time_t>(timeout.count() / 1000), static_cast<suseconds_t>(timeout.count() % 1000 * 1000)};
    ::setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &limit, sizeof limit);
    ::setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &limit, sizeof limit);
    if (::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        why = errno == EAGAIN ? "it did not take the connection within " + milliseconds(timeout) : std::strerror(errno);
        ::close(fd);
        return -1;
    }
    return fd;
}

// Waits until the socket has something to read (or has hung up); false at the deadline.
bool readableBy(int fd, Clock::time_point deadline)
{
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        pollfd p{fd, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::clamp<std::int64_t>(left, 0, 60'000)));
        if (ready > 0)
            return true;
        if (ready < 0 && errno != EINTR)
            return true; // the read that follows finds the fault
        if (ready == 0 && Clock::now() >= deadline)
            return false;
    }
}

} // namespace

// Hook calls for this process's threads arrive on the connection and their answers leave on it.
class BrokerClient::Connection final : public HookAnswerPort {
public:
    Connection(const std::string& path, Role role, std::chrono::milliseconds timeout)
        : m_path(path), m_role(role), m_timeout(std::max(timeout, std::chrono::milliseconds(1)))
    {
        std::string why;
        m_fd = connectTo(path, m_timeout, why);
        if (m_fd < 0)
            throw std::runtime_error("no broker answers at " + path + ": " + why);
        wire::Writer hello;
        hello.put(static_cast<std::uint8_t>(role)).put(static_cast<DWORD>(::getpid()));
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        int pageDescriptor = -1;
        const auto deadline = Clock::now() + m_timeout;
        if (!wire::sendFrame(m_fd, Op::Hello, 1, hello))
            why = "it did not take the greeting within " + milliseconds(m_timeout);
        else if (!readableBy(m_fd, deadline) || !wire::readFrame(m_fd, header, payload, &pageDescriptor))
            why = "it did not greet within " + milliseconds(m_timeout);
        else if (static_cast<Op>(header.op) == Op::Refused)
            why = "it refused this client: " + wire::readRefusal(payload);
        else if (static_cast<Op>(header.op) != Op::Reply || header.id != 1 || pageDescriptor < 0)
            why = "its greeting was not a broker's";
        else if ((m_page = mapSessionPage(pageDescriptor)) == nullptr)
            why = "its session page cannot be mapped";
        if (pageDescriptor >= 0)
            ::close(pageDescriptor);
        if (m_page == nullptr) {
            ::close(m_fd);
            throw std::runtime_error("the broker at " + path + " cannot be joined: " + why);
        }
        heard();
        // Only a member is sent frames it did not ask for; a driver reads its replies itself,
        // which saves a thread hand-off on every call.
        m_inlineReplies = role == Role::Driver;
        m_waiters.reserve(64);
        if (!m_inlineReplies)
            m_receiver = std::thread([this] { receive(); });
    }

    ~Connection()
    {
        ::shutdown(m_fd, SHUT_RDWR);
        if (m_receiver.joinable())
            m_receiver.join();
        ::close(m_fd);
        releaseSessionPage(m_page, -1);
    }

    const SessionPage& page() const { return *m_page; }

    // Gives the calling thread its own line for hook calls (see ThreadQueue::attachChannel).
    void openChannel()
    {
        ThreadQueue* queue = currentThreadQueue(true);
        if (queue->hasChannel())
            return;
        std::string why;
        const int fd = connectTo(m_path, m_timeout, why);
        if (fd < 0)
            return; // calls keep coming through the process's connection
        wire::Writer hello;
        hello.put(static_cast<std::uint8_t>(3)).put(static_cast<DWORD>(::getpid())).put(GetCurrentThreadId());
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        if (!wire::sendFrame(fd, Op::Hello, 1, hello) || !readableBy(fd, Clock::now() + m_timeout) ||
            !wire::readFrame(fd, header, payload) || static_cast<Op>(header.op) != Op::Reply) {
            ::close(fd);
            return;
        }
        queue->attachChannel(fd);
    }

    // Sends a request and waits for its reply. When the connection fails (the broker has gone,
    // refused the request, or stopped answering), every call from then on fails: a driver's
    // throws std::runtime_error with the reason, a member's returns false with an empty reply
    // (the reason goes to standard error once).
    bool call(Op op, const wire::Writer& request, std::vector<std::uint8_t>& reply)
    {
        const bool done = m_inlineReplies ? callInline(op, request, reply) : callThroughReceiver(op, request, reply);
        if (done)
            return true;
        reply.clear();
        std::string reason;
        {
            std::lock_guard lock(m_mutex);
            reason = m_failure;
        }
        if (m_role == Role::Driver)
            throw std::runtime_error(reason);
        return false;
    }

    // The answer of a hook procedure of this process, to the session in the broker.
    void answerHook(std::uint64_t callId, LRESULT result, bool calledNext) override
    {
        thread_local wire::Writer answer;
        answer.clear();
        answer.put(callId).put(result).put(calledNext);
        post(Op::HookAnswer, answer);
    }

    void post(Op op, const wire::Writer& request, std::uint64_t id = 0)
    {
        std::lock_guard lock(m_writeMutex);
        if (!wire::sendFrame(m_fd, op, id, request) && !failed())
            failWith("the broker at " + m_path + " did not take a request within " + milliseconds(m_timeout));
    }

private:
    struct Waiter {
        std::uint64_t id;
        std::vector<std::uint8_t>* reply;
        bool done;
    };

    // The connection has failed for this reason (the first one stays); nothing more goes over it.
    // A member says so on standard error, unless the broker simply went away.
    void failWith(const std::string& reason, bool quiet = false)
    {
        bool first = false;
        {
            std::lock_guard lock(m_mutex);
            if (m_failure.empty()) {
                m_failure = reason;
                first = true;
            }
            m_closed = true;
            m_replied.notify_all();
        }
        ::shutdown(m_fd, SHUT_RDWR);
        if (first && !quiet && m_role == Role::Member)
            std::fprintf(stderr, "vorna-sim: %s; this process has left the session\n", reason.c_str());
    }

    bool failed()
    {
        std::lock_guard lock(m_mutex);
        return m_closed;
    }

    void heard() { m_lastHeard.store(Clock::now().time_since_epoch().count(), std::memory_order_relaxed); }
    Clock::time_point lastHeard() const { return Clock::time_point(Clock::duration(m_lastHeard.load(std::memory_order_relaxed))); }

    std::string silence() const { return "the broker at " + m_path + " did not answer within " + milliseconds(m_timeout); }

    // A driver: the reply is read on this thread. A broker that is slow to reply (a wait for
    // input behind slow hooks) is asked whether it still answers; one that answers nothing, not
    // even that, for the time-out has failed.
    bool callInline(Op op, const wire::Writer& request, std::vector<std::uint8_t>& reply)
    {
        std::lock_guard lock(m_writeMutex);
        if (failed())
            return false;
        const std::uint64_t id = m_nextId++;
        if (!wire::sendFrame(m_fd, op, id, request)) {
            failWith("the broker at " + m_path + " did not take a request within " + milliseconds(m_timeout));
            return false;
        }
        auto since = Clock::now();
        bool asked = false;
        wire::Header header{};
        for (;;) {
            if (!readableBy(m_fd, since + (asked ? m_timeout : m_timeout / 2))) {
                if (asked) {
                    failWith(silence());
                    return false;
                }
                if (!wire::sendFrame(m_fd, Op::Ping, m_nextId++, wire::Writer())) {
                    failWith(silence());
                    return false;
                }
                asked = true;
                continue;
            }
            if (!wire::readFrame(m_fd, header, reply)) {
                failWith("the broker at " + m_path + " closed the connection");
                return false;
            }
            since = Clock::now();
            asked = false;
            if (static_cast<Op>(header.op) == Op::Refused) {
                failWith("the broker at " + m_path + " refused a request: " + wire::readRefusal(reply));
                return false;
            }
            if (static_cast<Op>(header.op) == Op::Reply && header.id == id)
                return true;
            // An answer to a ping: the broker is alive, and the reply is still to come.
        }
    }

    // A member: its receiver thread reads every frame and hands replies over.
    bool callThroughReceiver(Op op, const wire::Writer& request, std::vector<std::uint8_t>& reply)
    {
        Waiter waiter{m_nextId++, &reply, false};
        {
            std::lock_guard lock(m_mutex);
            if (m_closed)
                return false;
            m_waiters.push_back(&waiter);
        }
        post(op, request, waiter.id);
        std::unique_lock lock(m_mutex);
        auto since = Clock::now();
        bool asked = false;
        for (;;) {
            if (m_replied.wait_until(lock, since + (asked ? m_timeout : m_timeout / 2), [&] { return waiter.done || m_closed; }))
                break;
            if (lastHeard() > since) {
                since = lastHeard(); // the broker has said something since: it still answers
                asked = false;
                continue;
            }
            if (asked) {
                lock.unlock();
                failWith(silence());
                lock.lock();
                break;
            }
            lock.unlock();
            post(Op::Ping, wire::Writer(), m_nextId++);
            lock.lock();
            asked = true;
        }
        std::erase(m_waiters, &waiter);
        return waiter.done;
    }

    void receive()
    {
        wire::Header header{};
        std::vector<std::uint8_t> payload;
        std::string reason;
        for (;;) {
            pollfd p{m_fd, POLLIN, 0};
            if (::poll(&p, 1, -1) < 0 && errno != EINTR)
                break;
            if (!wire::readFrame(m_fd, header, payload))
                break;
            heard();
            wire::Reader in(payload.data(), payload.size());
            switch (static_cast<Op>(header.op)) {
            case Op::Reply: {
                std::lock_guard lock(m_mutex);
                const auto it = std::find_if(m_waiters.begin(), m_waiters.end(), [&](Waiter* w) { return w->id == header.id; });
                if (it != m_waiters.end()) {
                    (*it)->reply->swap(payload);
                    (*it)->done = true;
                }
                m_replied.notify_all(); // also a sign of life to callers still waiting
                break;
            }
            case Op::Refused:
                reason = "the broker at " + m_path + " refused a request: " + wire::readRefusal(payload);
                break;
            case Op::HookCall: {
                const auto call = in.get<HookCall>();
                if (const auto queue = findThreadQueue(call.threadId))
                    queue->deliverHookCall(call, this);
                else
                    answerHook(call.callId, 0, true); // the thread has ended: pass it on
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
        if (reason.empty())
            failWith("the broker at " + m_path + " closed the connection", true);
        else
            failWith(reason);
    }

    const std::string m_path;
    const Role m_role;
    const std::chrono::milliseconds m_timeout;
    int m_fd = -1;
    const SessionPage* m_page = nullptr;
    std::mutex m_writeMutex;
    std::mutex m_mutex;
    std::condition_variable m_replied;
    std::vector<Waiter*> m_waiters;
    bool m_closed = false;
    std::string m_failure; // why the connection failed, once it has
    bool m_inlineReplies = false;
    std::atomic<std::uint64_t> m_nextId{2};
    std::atomic<Clock::rep> m_lastHeard{0};
    std::thread m_receiver;
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

std::chrono::milliseconds BrokerClient::defaultTimeout()
{
    if (const char* text = std::getenv("VORNA_SIM_TIMEOUT_MS")) {
        char* end = nullptr;
        errno = 0;
        const long long value = std::strtoll(text, &end, 10);
        if (*text != 0 && *end == 0 && errno == 0 && value > 0 && value <= 86'400'000)
            return std::chrono::milliseconds(value);
    }
    return std::chrono::milliseconds(10'000);
}

BrokerClient::BrokerClient(const std::string& socketPath, Role role, std::chrono::milliseconds timeout)
    : m_connection(std::make_unique<Connection>(socketPath, role, timeout))
{
}

BrokerClient::~BrokerClient() = default;

const SessionPage& BrokerClient::page()
{
    return m_connection->page();
}

UINT BrokerClient::sendInput(const INPUT* inputs, UINT count, DWORD& error)
{
    Buffers& b = buffers();
    b.request.put(count);
    for (UINT i = 0; i < count; ++i)
        b.request.put(inputs[i]);
    if (!m_connection->call(Op::SendInput, b.request, b.reply)) {
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
    if (!m_connection->call(Op::InstallHook, b.request, b.reply)) {
        error = ERROR_NOT_ENOUGH_MEMORY;
        return nullptr;
    }
    wire::Reader in(b.reply.data(), b.reply.size());
    const auto hook = in.get<HHOOK>();
    error = in.get<DWORD>();
    if (hook != nullptr && threadId == GetCurrentThreadId())
        m_connection->openChannel();
    return hook;
}

bool BrokerClient::removeHook(HHOOK hook)
{
    Buffers& b = buffers();
    b.request.put(hook);
    m_connection->call(Op::RemoveHook, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

HWND BrokerClient::registerWindow(const WindowRecord& window)
{
    Buffers& b = buffers();
    wire::putWindow(b.request, window);
    m_connection->call(Op::RegisterWindow, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<HWND>();
}

void BrokerClient::unregisterWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    m_connection->call(Op::UnregisterWindow, b.request, b.reply);
}

std::optional<WindowRecord> BrokerClient::findWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    m_connection->call(Op::FindWindow, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    if (!in.get<bool>())
        return std::nullopt;
    return wire::getWindow(in);
}

DWORD BrokerClient::registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId)
{
    Buffers& b = buffers();
    b.request.put(devices).put(processId);
    if (!m_connection->call(Op::RegisterRawInput, b.request, b.reply))
        return ERROR_NOT_ENOUGH_MEMORY;
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

DWORD BrokerClient::rawInputDevices(FailPoint call, std::vector<RawDevice>& devices)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(call));
    if (!m_connection->call(Op::RawInputDevices, b.request, b.reply))
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
    if (!m_connection->call(Op::SetSessionNotification, b.request, b.reply))
        return ERROR_NOT_ENOUGH_MEMORY;
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

DWORD BrokerClient::takeFailure(FailPoint call)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(call));
    if (!m_connection->call(Op::TakeFailure, b.request, b.reply))
        return 0; // no broker, no forced failure
    return wire::Reader(b.reply.data(), b.reply.size()).get<DWORD>();
}

std::optional<ProcessRecord> BrokerClient::findProcess(DWORD processId)
{
    Buffers& b = buffers();
    b.request.put(processId);
    m_connection->call(Op::FindProcess, b.request, b.reply);
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
    if (m_connection->call(Op::Desktop, b.request, b.reply)) {
        wire::Reader in(b.reply.data(), b.reply.size());
        reply = in.getVector<std::uint8_t>();
    }
}

HWINEVENTHOOK BrokerClient::installWinEventHook(const WinEventHookRecord& hook, DWORD& error)
{
    Buffers& b = buffers();
    b.request.put(hook);
    if (!m_connection->call(Op::InstallWinEventHook, b.request, b.reply)) {
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
    m_connection->call(Op::RemoveWinEventHook, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

std::vector<bool> BrokerClient::inject(const std::vector<PhysicalEvent>& events, bool wait)
{
    Buffers& b = buffers();
    b.request.put(wait).put(events);
    if (!m_connection->call(Op::Inject, b.request, b.reply))
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
    m_connection->call(Op::WaitIdle, b.request, b.reply);
}

void BrokerClient::setScreen(const ScreenState& screen)
{
    Buffers& b = buffers();
    b.request.put(screen);
    m_connection->call(Op::SetScreen, b.request, b.reply);
}

void BrokerClient::setCursor(POINT point)
{
    Buffers& b = buffers();
    b.request.put(point);
    m_connection->call(Op::SetCursor, b.request, b.reply);
}

void BrokerClient::setToggle(UINT virtualKey, bool on)
{
    Buffers& b = buffers();
    b.request.put(virtualKey).put(on);
    m_connection->call(Op::SetToggle, b.request, b.reply);
}

void BrokerClient::setKeyboardLayout(DWORD threadId, std::uint64_t layout)
{
    Buffers& b = buffers();
    b.request.put(threadId).put(layout);
    m_connection->call(Op::SetKeyboardLayout, b.request, b.reply);
}

std::uint64_t BrokerClient::keyboardLayout(DWORD threadId)
{
    Buffers& b = buffers();
    b.request.put(threadId);
    if (!m_connection->call(Op::KeyboardLayout, b.request, b.reply))
        return kLayoutUsEnglish; // no broker: the layout of a fresh session
    return wire::Reader(b.reply.data(), b.reply.size()).get<std::uint64_t>();
}

HWND BrokerClient::addWindow(const WindowRecord& window)
{
    Buffers& b = buffers();
    wire::putWindow(b.request, window);
    m_connection->call(Op::AddWindow, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<HWND>();
}

void BrokerClient::removeWindow(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    m_connection->call(Op::RemoveWindow, b.request, b.reply);
}

bool BrokerClient::setForeground(HWND window)
{
    Buffers& b = buffers();
    b.request.put(window);
    m_connection->call(Op::SetForeground, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

std::vector<WindowRecord> BrokerClient::windows()
{
    Buffers& b = buffers();
    m_connection->call(Op::Windows, b.request, b.reply);
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
    m_connection->call(Op::AddProcess, b.request, b.reply);
}

std::vector<SinkEvent> BrokerClient::readSink(bool clear)
{
    Buffers& b = buffers();
    b.request.put(clear);
    m_connection->call(Op::ReadSink, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    return in.getVector<SinkEvent>();
}

std::vector<HookInfo> BrokerClient::hooks()
{
    Buffers& b = buffers();
    m_connection->call(Op::Hooks, b.request, b.reply);
    wire::Reader in(b.reply.data(), b.reply.size());
    return in.getVector<HookInfo>();
}

int BrokerClient::notify(Notice notice, WPARAM code)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(notice)).put(code);
    m_connection->call(Op::Notify, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<int>();
}

std::uint64_t BrokerClient::addRawDevice(const RawDevice& device)
{
    Buffers& b = buffers();
    wire::putDevice(b.request, device);
    m_connection->call(Op::AddRawDevice, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<std::uint64_t>();
}

bool BrokerClient::removeRawDevice(std::uint64_t handle)
{
    Buffers& b = buffers();
    b.request.put(handle);
    m_connection->call(Op::RemoveRawDevice, b.request, b.reply);
    return wire::Reader(b.reply.data(), b.reply.size()).get<bool>();
}

void BrokerClient::setHookTimeout(DWORD milliseconds)
{
    Buffers& b = buffers();
    b.request.put(milliseconds);
    m_connection->call(Op::SetHookTimeout, b.request, b.reply);
}

void BrokerClient::stepClock(std::int64_t milliseconds)
{
    Buffers& b = buffers();
    b.request.put(milliseconds);
    m_connection->call(Op::StepClock, b.request, b.reply);
}

void BrokerClient::setFailure(FailPoint point, const Failure& failure)
{
    Buffers& b = buffers();
    b.request.put(static_cast<std::uint8_t>(point)).put(failure);
    m_connection->call(Op::SetFailure, b.request, b.reply);
}

void BrokerClient::reset()
{
    Buffers& b = buffers();
    m_connection->call(Op::Reset, b.request, b.reply);
}

} // namespace vorna::sim
