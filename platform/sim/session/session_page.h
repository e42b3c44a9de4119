// The part of the session that every process reads often and never writes: the test clock,
// key state, cursor, last input, foreground window and screens. It lives in shared memory, so a
// broker's members read it without asking; in-process it is a private mapping of the same form.
#pragma once

#include "platform/sim/session/session_types.h"

#include <atomic>
#include <cstdint>

namespace vorna::sim {

struct SessionPage {
    static constexpr int screenWords = sizeof(ScreenState) / sizeof(std::int32_t);

    std::atomic<std::int64_t> clockOffsetNs;
    std::atomic<std::uint32_t> lastInputTick;
    std::atomic<std::uint64_t> cursor; // x in the low 32 bits, y in the high
    std::atomic<std::uint64_t> foreground;
    std::atomic<std::uint32_t> hookTimeoutMs;
    std::atomic<std::uint8_t> keys[256]; // 0x80 down, 0x01 toggled
    std::atomic<std::uint32_t> screenSequence; // odd while the screen is being written
    std::atomic<std::int32_t> screen[screenWords];

    ScreenState readScreen() const;
    void writeScreen(const ScreenState& state); // one writer at a time
    POINT readCursor() const;
    void writeCursor(POINT point);
};

static_assert(sizeof(ScreenState) % sizeof(std::int32_t) == 0);
static_assert(std::atomic<std::uint64_t>::is_always_lock_free && std::atomic<std::int64_t>::is_always_lock_free);

// Maps a fresh page (zeroed, defaults set) on a new memfd; the descriptor is kept for sharing.
// Throws std::runtime_error (with nothing left open) when it cannot.
SessionPage* createSessionPage(int& descriptor);
// Maps a broker's page read-only.
const SessionPage* mapSessionPage(int descriptor);
// Unmaps a page and closes its descriptor (either may be absent: nullptr, -1).
void releaseSessionPage(const SessionPage* page, int descriptor);

} // namespace vorna::sim
