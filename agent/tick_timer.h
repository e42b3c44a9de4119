// An elapsed-time timer on the session's millisecond clock (GetTickCount64), used where the
// agent measures trials, acknowledgements, device periods and capture starts. The same clock
// as the hook thread's deadlines and the safety journal's heartbeats, so a test can step it.
#pragma once

#include "platform/win32.h"

#include <cstdint>

namespace vorna::ipc {

class TickTimer {
public:
    void start() { m_startMs = GetTickCount64(); m_valid = true; }
    void invalidate() { m_valid = false; }
    bool isValid() const { return m_valid; }
    // Milliseconds since start; 0 while invalid.
    std::int64_t elapsed() const
    {
        if (!m_valid)
            return 0;
        const std::uint64_t now = GetTickCount64();
        return now > m_startMs ? static_cast<std::int64_t>(now - m_startMs) : 0;
    }
    bool hasExpired(std::int64_t ms) const { return m_valid && elapsed() > ms; }

private:
    std::uint64_t m_startMs = 0;
    bool m_valid = false;
};

} // namespace vorna::ipc
