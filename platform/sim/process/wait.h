// Real waits on kernel objects: poll() on their descriptors with a CLOCK_MONOTONIC deadline,
// never returning before the deadline has passed.
#pragma once

#include "platform/sim/process/handle_table.h"
#include "platform/sim/session/monotonic_clock.h"

#include <cstdint>
#include <memory>

namespace vorna::sim {

class Deadline {
public:
    static Deadline afterMs(DWORD milliseconds); // INFINITE never expires
    bool infinite() const { return m_infinite; }
    bool passed() const { return !m_infinite && monotonicNs() >= m_atNs; }
    // Nanoseconds left, at least 0; -1 when infinite.
    std::int64_t remainingNs() const;

private:
    bool m_infinite = true;
    std::int64_t m_atNs = 0;
};

enum class WaitOutcome { Object, Extra, Timeout, Failed };

struct WaitResult {
    WaitOutcome outcome;
    DWORD index; // the signalled object for WaitOutcome::Object
};

// The extra condition of a wait: a function and what it looks at. Plain pointers, so that a
// wait allocates nothing (a message loop waits on every wake).
struct ExtraCondition {
    bool (*ready)(void* context) = nullptr;
    void* context = nullptr;
};

// Waits until one of the objects is signalled (the lowest index wins), or extraDescriptor polls
// readable and the extra condition agrees, or the deadline passes. The condition is also asked
// before the first sleep; extraDescriptor may be -1.
WaitResult waitForObjects(const std::shared_ptr<KernelObject>* objects, DWORD count, int extraDescriptor,
                          ExtraCondition extra, const Deadline& deadline);

} // namespace vorna::sim
