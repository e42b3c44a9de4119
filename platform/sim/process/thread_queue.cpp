#include "platform/sim/process/thread_queue.h"

#include <cstring>

#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_screen.h"
#include "platform/sim/win32/win32_thread.h"
#include "platform/sim/win32/win32_time.h"

#include "platform/sim/session/session_types.h"
#include "platform/sim/wire/wire.h"

#include <cerrno>
#include <poll.h>
#include <sys/epoll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>
#include <unordered_map>

namespace vorna::sim {
namespace {

struct QueueRegistry {
    std::mutex mutex;
    std::unordered_map<DWORD, std::shared_ptr<ThreadQueue>> queues;
};

QueueRegistry& registry()
{
    static auto* instance = new QueueRegistry;
    return *instance;
}

// Owns the calling thread's queue; at thread end its hooks and windows go with it.
struct ThreadQueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~ThreadQueueHolder()
    {
        if (!queue)
            return;
        const DWORD id = queue->threadId();
        releaseThreadHooks(id);
        releaseThreadWinEvents(id);
        releaseThreadWindows(id);
        std::lock_guard lock(registry().mutex);
        registry().queues.erase(id);
    }
};

thread_local ThreadQueueHolder holder;

bool matches(const MSG& message, HWND window, UINT first, UINT last)
{
    if (message.message != WM_QUIT) {
        if (first != 0 || last != 0) {
            if (message.message < first || (last != 0 && message.message > last))
                return false;
        }
    }
    if (window == nullptr)
        return true;
    if (window == reinterpret_cast<HWND>(static_cast<LONG_PTR>(-1)))
        return message.hwnd == nullptr;
    return message.hwnd == window || message.message == WM_QUIT;
}

} // namespace

ThreadQueue::ThreadQueue(DWORD threadId)
    : m_threadId(threadId), m_wakeFd(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), m_pollFd(epoll_create1(EPOLL_CLOEXEC))
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = m_wakeFd;
    epoll_ctl(m_pollFd, EPOLL_CTL_ADD, m_wakeFd, &event);
}

ThreadQueue::~ThreadQueue()
{
    if (m_channel.fd >= 0)
        ::close(m_channel.fd);
    ::close(m_pollFd);
    ::close(m_wakeFd);
}

void ThreadQueue::attachChannel(int socket)
{
    if (m_channel.fd >= 0)
        ::close(m_channel.fd);
    m_channel.fd = socket;
    m_channel.pending.clear();
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = socket;
    epoll_ctl(m_pollFd, EPOLL_CTL_ADD, socket, &event);
}

void ThreadQueue::Channel::answerHook(std::uint64_t callId, LRESULT result, bool calledNext)
{
    wire::Writer answer;
    answer.put(callId).put(result).put(calledNext);
    if (fd >= 0)
        wire::sendFrame(fd, wire::Op::HookAnswer, 0, answer);
}

// Takes what the channel has without blocking: the newest hook call becomes the pending one (an
// older one still here was given up on), and a cancel removes the call it names.
void ThreadQueue::pullChannel()
{
    if (m_channel.fd < 0)
        return;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(m_channel.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            m_channel.pending.insert(m_channel.pending.end(), buffer, buffer + got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // The broker is gone: no more calls come this way.
            epoll_ctl(m_pollFd, EPOLL_CTL_DEL, m_channel.fd, nullptr);
            ::close(m_channel.fd);
            m_channel.fd = -1;
            m_channel.pending.clear();
            return;
        }
        break;
    }
    std::size_t at = 0;
    while (m_channel.pending.size() - at >= sizeof(wire::Header)) {
        wire::Header header;
        std::memcpy(&header, m_channel.pending.data() + at, sizeof header);
        if (m_channel.pending.size() - at - sizeof header < header.size)
            break;
        wire::Reader in(m_channel.pending.data() + at + sizeof header, header.size);
        if (static_cast<wire::Op>(header.op) == wire::Op::HookCall) {
            const HookCall call = in.get<HookCall>();
            std::lock_guard lock(m_mutex);
            m_call = call;
            m_callPort = &m_channel;
            m_callPending = true;
        } else if (static_cast<wire::Op>(header.op) == wire::Op::CancelHookCall) {
            in.get<DWORD>();
            cancelHookCall(in.get<std::uint64_t>());
        }
        at += sizeof header + header.size;
    }
    m_channel.pending.erase(m_channel.pending.begin(), m_channel.pending.begin() + static_cast<std::ptrdiff_t>(at));
}

void ThreadQueue::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(m_wakeFd, &one, sizeof one);
}

void ThreadQueue::drainWake()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t read = ::read(m_wakeFd, &value, sizeof value);
}

bool ThreadQueue::post(const MSG& message)
{
    {
        std::lock_guard lock(m_mutex);
        if (m_count + m_winEvents.size() >= quota) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        if (message.message == winEventMessage) {
            m_winEvents.push_back(message); // runs at the next retrieval, never returned as a message
        } else {
            if (m_count == m_ring.size()) {
                // Grow by re-laying the ring out from its head; happens only until the largest
                // backlog seen so far.
                std::vector<MSG> larger(std::min(quota, std::max<std::size_t>(16, m_ring.size() * 2)));
                for (std::size_t i = 0; i < m_count; ++i)
                    larger[i] = m_ring[(m_head + i) % m_ring.size()];
                m_ring.swap(larger);
                m_head = 0;
            }
            m_ring[(m_head + m_count) % m_ring.size()] = message;
            ++m_count;
            ++m_postedSerial;
        }
    }
    wake();
    return true;
}

void ThreadQueue::deliverHookCall(const HookCall& call, HookAnswerPort* port)
{
    {
        std::lock_guard lock(m_mutex);
        // The session runs one hook call at a time; a call still here was given up on.
        m_call = call;
        m_callPort = port;
        m_callPending = true;
    }
    wake();
}

void ThreadQueue::cancelHookCall(std::uint64_t callId)
{
    std::lock_guard lock(m_mutex);
    if (m_callPending && m_call.callId == callId)
        m_callPending = false;
}

void ThreadQueue::serveHookCalls()
{
    pullChannel();
    for (;;) {
        HookCall call;
        HookAnswerPort* port;
        {
            std::lock_guard lock(m_mutex);
            if (!m_callPending)
                return;
            call = m_call;
            port = m_callPort;
            m_callPending = false;
        }
        bool calledNext = false;
        const LRESULT result = runLowLevelHook(call, calledNext);
        port->answerHook(call.callId, result, calledNext);
    }
}

bool ThreadQueue::take(MSG* message, HWND window, UINT first, UINT last, bool remove)
{
    std::lock_guard lock(m_mutex);
    m_seenSerial = m_postedSerial;
    for (std::size_t i = 0; i < m_count; ++i) {
        const std::size_t at = (m_head + i) % m_ring.size();
        if (!matches(m_ring[at], window, first, last))
            continue;
        *message = m_ring[at];
        if (remove) {
            // Close the gap, keeping the order of the others.
            for (std::size_t j = i; j > 0; --j)
                m_ring[(m_head + j) % m_ring.size()] = m_ring[(m_head + j - 1) % m_ring.size()];
            m_head = (m_head + 1) % m_ring.size();
            --m_count;
        }
        return true;
    }
    return false;
}

// WinEvents run in the order they came, each with the queue unlocked: a callback may post.
void ThreadQueue::serveWinEvents()
{
    for (;;) {
        MSG event;
        {
            std::lock_guard lock(m_mutex);
            if (m_winEvents.empty())
                return;
            event = m_winEvents.front();
            m_winEvents.erase(m_winEvents.begin());
        }
        runWinEvent(event);
    }
}

bool ThreadQueue::peek(MSG* message, HWND window, UINT first, UINT last, UINT removal)
{
    serveHookCalls();
    serveWinEvents();
    return take(message, window, first, last, (removal & PM_REMOVE) != 0);
}

BOOL ThreadQueue::get(MSG* message, HWND window, UINT first, UINT last)
{
    for (;;) {
        serveHookCalls();
        serveWinEvents();
        if (take(message, window, first, last, true))
            return message->message == WM_QUIT ? FALSE : TRUE;
        pollfd fd{m_pollFd, POLLIN, 0};
        ::poll(&fd, 1, -1);
        drainWake();
    }
}

bool ThreadQueue::wakeReady(DWORD wakeMask, DWORD flags)
{
    pullChannel();
    std::lock_guard lock(m_mutex);
    // A pending hook call is input the thread must come back for.
    if (m_callPending && (wakeMask & (QS_INPUT | QS_SENDMESSAGE)) != 0)
        return true;
    // WinEvents reach an out-of-context hook as sent messages do.
    if (!m_winEvents.empty() && (wakeMask & (QS_SENDMESSAGE | QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0)
        return true;
    if ((wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) == 0 || m_count == 0)
        return false;
    if ((flags & MWMO_INPUTAVAILABLE) != 0)
        return true;
    return m_postedSerial > m_seenSerial;
}

ThreadQueue* currentThreadQueue(bool create)
{
    if (!holder.queue && create) {
        auto queue = std::make_shared<ThreadQueue>(GetCurrentThreadId());
        {
            std::lock_guard lock(registry().mutex);
            registry().queues[queue->threadId()] = queue;
        }
        holder.queue = std::move(queue);
    }
    return holder.queue.get();
}

std::shared_ptr<ThreadQueue> findThreadQueue(DWORD threadId)
{
    std::lock_guard lock(registry().mutex);
    const auto it = registry().queues.find(threadId);
    return it == registry().queues.end() ? nullptr : it->second;
}

} // namespace vorna::sim
