#include "platform/sim/session/session_page.h"

#include <cerrno>
#include <cstring>
#include <new>
#include <sys/mman.h>
#include <stdexcept>
#include <string>
#include <unistd.h>

namespace vorna::sim {

ScreenState SessionPage::readScreen() const
{
    std::int32_t words[screenWords];
    for (;;) {
        const std::uint32_t before = screenSequence.load(std::memory_order_acquire);
        if (before & 1u)
            continue;
        for (int i = 0; i < screenWords; ++i)
            words[i] = screen[i].load(std::memory_order_relaxed);
        std::atomic_thread_fence(std::memory_order_acquire);
        if (screenSequence.load(std::memory_order_relaxed) == before)
            break;
    }
    ScreenState state;
    std::memcpy(&state, words, sizeof state);
    return state;
}

void SessionPage::writeScreen(const ScreenState& state)
{
    std::int32_t words[screenWords];
    std::memcpy(words, &state, sizeof state);
    screenSequence.fetch_add(1, std::memory_order_relaxed);
    std::atomic_thread_fence(std::memory_order_release);
    for (int i = 0; i < screenWords; ++i)
        screen[i].store(words[i], std::memory_order_relaxed);
    screenSequence.fetch_add(1, std::memory_order_release);
}

POINT SessionPage::readCursor() const
{
    const std::uint64_t packed = cursor.load(std::memory_order_acquire);
    return {static_cast<LONG>(static_cast<std::uint32_t>(packed)), static_cast<LONG>(static_cast<std::uint32_t>(packed >> 32))};
}

void SessionPage::writeCursor(POINT point)
{
    cursor.store(std::uint64_t(static_cast<std::uint32_t>(point.x)) | std::uint64_t(static_cast<std::uint32_t>(point.y)) << 32,
                 std::memory_order_release);
}

SessionPage* createSessionPage(int& descriptor)
{
    descriptor = memfd_create("vorna-sim-session", MFD_CLOEXEC);
    if (descriptor < 0)
        throw std::runtime_error(std::string("cannot create the session page: ") + std::strerror(errno));
    void* memory = MAP_FAILED;
    if (ftruncate(descriptor, sizeof(SessionPage)) == 0)
        memory = mmap(nullptr, sizeof(SessionPage), PROT_READ | PROT_WRITE, MAP_SHARED, descriptor, 0);
    if (memory == MAP_FAILED) {
        const int error = errno;
        ::close(descriptor);
        descriptor = -1;
        throw std::runtime_error(std::string("cannot map the session page: ") + std::strerror(error));
    }
    auto* page = new (memory) SessionPage; // the mapping is zero: every atomic starts at 0
    page->hookTimeoutMs.store(300);
    page->writeScreen(ScreenState{});
    page->writeCursor({960, 540});
    return page;
}

void releaseSessionPage(const SessionPage* page, int descriptor)
{
    if (page != nullptr)
        munmap(const_cast<SessionPage*>(page), sizeof(SessionPage));
    if (descriptor >= 0)
        ::close(descriptor);
}

const SessionPage* mapSessionPage(int descriptor)
{
    void* memory = mmap(nullptr, sizeof(SessionPage), PROT_READ, MAP_SHARED, descriptor, 0);
    return memory == MAP_FAILED ? nullptr : static_cast<const SessionPage*>(memory);
}

} // namespace vorna::sim
