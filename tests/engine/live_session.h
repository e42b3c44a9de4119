// A real backend on the simulated session: physical input goes in through the session's
// driver, the hook thread answers the hooks, and what reached the system is read back from the
// session's sink as short text ("+key_66/i": key 66 down, injected; "w:wheel_down:120/i"; "move(10,20)/i").
#pragma once

#include "engine/mapping/layer_program.h"
#include "engine/safety/safety_journal.h"
#include "engine/windows_input_backend.h"
#include "platform/sim/session/session_api.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace vorna::enginetest {

using Physical = sim::PhysicalEvent;

Physical keyDown(unsigned vk);
Physical keyUp(unsigned vk);
Physical buttonDown(unsigned button);
Physical buttonUp(unsigned button);
Physical wheelTurn(int delta, bool horizontal = false);
Physical moveBy(int dx, int dy);

// What reached the system, in the tests' output notation ("+key_66/i", "w:wheel_up:120").
std::string describe(const sim::SinkEvent& event);

class LiveSession : public testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the backend with the fixture's macros, layer program and journal.
    bool start(const core::RulesSnapshot& rules, uint64_t generation = 1);
    std::string startError(const core::RulesSnapshot& rules);

    // Injects physical events and waits until each passed or was swallowed.
    void inject(const std::vector<Physical>& events);
    // Injects the events one at a time, letting the backend's output settle after each (as a
    // person types), and returns what reached the system.
    std::vector<std::string> type(const std::vector<Physical>& events);
    // What reached the system since the last call, once the backend's output has settled:
    // waits for at least `atLeast` events, then until nothing more arrives for a moment.
    std::vector<std::string> sink(size_t atLeast = 0);
    // Polls `condition` until it holds (or the generous limit of a condition wait passes).
    static bool eventually(const std::function<bool()>& condition,
                           std::chrono::milliseconds limit = std::chrono::milliseconds(30000));

    HWND addForegroundWindow(const wchar_t* title = L"Editor");

    sim::SessionApi& session = sim::processSession();
    windows::WindowsInputBackend backend;
    windows::MacroBank macros{};
    std::unique_ptr<windows::LayerProgram> layers = std::make_unique<windows::LayerProgram>();
    std::unique_ptr<windows::SafetyJournalView> journal = std::make_unique<windows::SafetyJournalView>();
};

} // namespace vorna::enginetest
