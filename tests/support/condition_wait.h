// Waiting for a condition in tests: polls until it holds or a limit passes. The limit only ends
// a wait that would otherwise never end; it is generous, because a loaded two-core machine under
// the sanitizers can take seconds for what takes microseconds elsewhere, and a wait that ends on
// its limit makes the test fail, not pass.
#pragma once

#include <chrono>
#include <thread>

namespace vorna::test {

// Two loaded cores running four sanitized tests beside two busy loops give a window test a third
// of a core: 30 s was seen to pass before a settings window had finished a macro preview.
inline constexpr std::chrono::milliseconds kConditionLimit{120000};

template <typename Condition>
bool waitFor(Condition condition, std::chrono::milliseconds limit = kConditionLimit,
             std::chrono::milliseconds poll = std::chrono::milliseconds(10))
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(poll);
    }
    return true;
}

} // namespace vorna::test
