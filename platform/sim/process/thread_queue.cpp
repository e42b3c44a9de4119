#include "platform/sim/process/thread_queue.h"

#include <cstring>

#include "platform/sim/win32/win32_errors.h"
#include "platform/sim/win32/win32_screen.h"
#include "platform/sim/win32/win32_thread.h"
#include "platform/sim/win32/win32_time.h"

#include "platform/sim/session/session_types.h"
#include "platform/sim/broker/wire.h"

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
    : threadId_(threadId), wakeFd_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK)), pollFd_(epoll_create1(EPOLL_CLOEXEC))
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = wakeFd_;
    epoll_ctl(pollFd_, EPOLL_CTL_ADD, wakeFd_, &event);
}

ThreadQueue::~ThreadQueue()
{
    if (channel_.fd >= 0)
        ::close(channel_.fd);
    ::close(pollFd_);
    ::close(wakeFd_);
}

void ThreadQueue::attachChannel(int socket)
{
    if (channel_.fd >= 0)
        ::close(channel_.fd);
    channel_.fd = socket;
    channel_.pending.clear();
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = socket;
    epoll_ctl(pollFd_, EPOLL_CTL_ADD, socket, &event);
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
    if (channel_.fd < 0)
        return;
    std::uint8_t buffer[4096];
    for (;;) {
        const ssize_t got = ::recv(channel_.fd, buffer, sizeof buffer, MSG_DONTWAIT);
        if (got > 0) {
            channel_.pending.insert(channel_.pending.end(), buffer, buffer + got);
            continue;
        }
        if (got < 0 && errno == EINTR)
            continue;
        if (got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) {
            // The broker is gone: no more calls come this way.
            epoll_ctl(pollFd_, EPOLL_CTL_DEL, channel_.fd, nullptr);
            ::close(channel_.fd);
            channel_.fd = -1;
            channel_.pending.clear();
            return;
        }
        break;
    }
    std::size_t at = 0;
    while (channel_.pending.size() - at >= sizeof(wire::Header)) {
        wire::Header header;
        std::memcpy(&header, channel_.pending.data() + at, sizeof header);
        if (channel_.pending.size() - at - sizeof header < header.size)
            break;
        wire::Reader in(channel_.pending.data() + at + sizeof header, header.size);
        if (static_cast<wire::Op>(header.op) == wire::Op::HookCall) {
            const HookCall call = in.get<HookCall>();
            std::lock_guard lock(mutex_);
            call_ = call;
            callPort_ = &channel_;
            callPending_ = true;
        } else if (static_cast<wire::Op>(header.op) == wire::Op::CancelHookCall) {
            in.get<DWORD>();
            cancelHookCall(in.get<std::uint64_t>());
        }
        at += sizeof header + header.size;
    }
    channel_.pending.erase(channel_.pending.begin(), channel_.pending.begin() + static_cast<std::ptrdiff_t>(at));
}

void ThreadQueue::wake()
{
    const std::uint64_t one = 1;
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ThreadQueue::drainWake()
{
    std::uint64_t value = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &value, sizeof value);
}

bool ThreadQueue::post(const MSG& message)
{
    {
        std::lock_guard lock(mutex_);
        if (count_ + winEvents_.size() >= quota) {
            SetLastError(ERROR_NOT_ENOUGH_QUOTA);
            return false;
        }
        if (message.message == winEventMessage) {
            winEvents_.push_back(message); // runs at the next retrieval, never returned as a message
        } else {
            if (count_ == ring_.size()) {
                // Grow by re-laying the ring out from its head; happens only until the largest
                // backlog seen so far.
                std::vector<MSG> larger(std::min(quota, std::max<std::size_t>(16, ring_.size() * 2)));
                for (std::size_t i = 0; i < count_; ++i)
                    larger[i] = ring_[(head_ + i) % ring_.size()];
                ring_.swap(larger);
                head_ = 0;
            }
            ring_[(head_ + count_) % ring_.size()] = message;
            ++count_;
            ++postedSerial_;
        }
    }
    wake();
    return true;
}

void ThreadQueue::deliverHookCall(const HookCall& call, HookAnswerPort* port)
{
    {
        std::lock_guard lock(mutex_);
        // The session runs one hook call at a time; a call still here was given up on.
        call_ = call;
        callPort_ = port;
        callPending_ = true;
    }
    wake();
}

void ThreadQueue::cancelHookCall(std::uint64_t callId)
{
    std::lock_guard lock(mutex_);
    if (callPending_ && call_.callId == callId)
        callPending_ = false;
}

void ThreadQueue::serveHookCalls()
{
    pullChannel();
    for (;;) {
        HookCall call;
        HookAnswerPort* port;
        {
            std::lock_guard lock(mutex_);
            if (!callPending_)
                return;
            call = call_;
            port = callPort_;
            callPending_ = false;
        }
        bool calledNext = false;
        const LRESULT result = runLowLevelHook(call, calledNext);
        port->answerHook(call.callId, result, calledNext);
    }
}

bool ThreadQueue::take(MSG* message, HWND window, UINT first, UINT last, bool remove)
{
    std::lock_guard lock(mutex_);
    seenSerial_ = postedSerial_;
    for (std::size_t i = 0; i < count_; ++i) {
        const std::size_t at = (head_ + i) % ring_.size();
        if (!matches(ring_[at], window, first, last))
            continue;
        *message = ring_[at];
        if (remove) {
            // Close the gap, keeping the order of the others.
            for (std::size_t j = i; j > 0; --j)
                ring_[(head_ + j) % ring_.size()] = ring_[(head_ + j - 1) % ring_.size()];
            head_ = (head_ + 1) % ring_.size();
            --count_;
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
            std::lock_guard lock(mutex_);
            if (winEvents_.empty())
                return;
            event = winEvents_.front();
            winEvents_.erase(winEvents_.begin());
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
        pollfd fd{pollFd_, POLLIN, 0};
        ::poll(&fd, 1, -1);
        drainWake();
    }
}

bool ThreadQueue::wakeReady(DWORD wakeMask, DWORD flags)
{
    pullChannel();
    std::lock_guard lock(mutex_);
    // A pending hook call is input the thread must come back for.
    if (callPending_ && (wakeMask & (QS_INPUT | QS_SENDMESSAGE)) != 0)
        return true;
    // WinEvents reach an out-of-context hook as sent messages do.
    if (!winEvents_.empty() && (wakeMask & (QS_SENDMESSAGE | QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) != 0)
        return true;
    if ((wakeMask & (QS_POSTMESSAGE | QS_ALLPOSTMESSAGE)) == 0 || count_ == 0)
        return false;
    if ((flags & MWMO_INPUTAVAILABLE) != 0)
        return true;
    return postedSerial_ > seenSerial_;
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
