#include "live_session.h"

#include "core/input_id.h"
#include "tests/support/condition_wait.h"
#include "tests/support/output_notation.h"

#include <thread>

namespace vorna::enginetest {

using Type = sim::PhysicalEvent::Type;

Physical keyDown(unsigned vk) { return Physical{Type::KeyDown, vk}; }
Physical keyUp(unsigned vk) { return Physical{Type::KeyUp, vk}; }
Physical buttonDown(unsigned button) { return Physical{Type::ButtonDown, button}; }
Physical buttonUp(unsigned button) { return Physical{Type::ButtonUp, button}; }
Physical wheelTurn(int delta, bool horizontal)
{
    Physical p{horizontal ? Type::HWheel : Type::Wheel};
    p.x = delta;
    return p;
}
Physical moveBy(int dx, int dy)
{
    Physical p{Type::MoveBy};
    p.x = dx;
    p.y = dy;
    return p;
}

std::string describe(const sim::SinkEvent& e)
{
    if (e.kind == sim::HookKind::Keyboard) {
        const bool up = e.message == WM_KEYUP || e.message == WM_SYSKEYUP;
        return test::withMarks(test::keyText(up ? '-' : '+', e.key.vkCode), (e.key.flags & LLKHF_EXTENDED) != 0,
                               (e.key.flags & LLKHF_INJECTED) != 0);
    }
    const int data = int16_t(uint16_t(e.mouse.mouseData >> 16));
    std::string text;
    switch (e.message) {
    case WM_MOUSEMOVE: text = test::moveText(e.mouse.pt.x, e.mouse.pt.y); break;
    case WM_MOUSEWHEEL: text = test::wheelTurnText(false, data); break;
    case WM_MOUSEHWHEEL: text = test::wheelTurnText(true, data); break;
    case WM_LBUTTONDOWN: text = test::buttonText('+', 1); break;
    case WM_LBUTTONUP: text = test::buttonText('-', 1); break;
    case WM_RBUTTONDOWN: text = test::buttonText('+', 2); break;
    case WM_RBUTTONUP: text = test::buttonText('-', 2); break;
    case WM_MBUTTONDOWN: text = test::buttonText('+', 3); break;
    case WM_MBUTTONUP: text = test::buttonText('-', 3); break;
    case WM_XBUTTONDOWN: text = test::buttonText('+', unsigned(3 + data)); break;
    case WM_XBUTTONUP: text = test::buttonText('-', unsigned(3 + data)); break;
    default: text = "mouse" + std::to_string(e.message); break;
    }
    return test::withMarks(text, false, (e.mouse.flags & LLMHF_INJECTED) != 0);
}

void LiveSession::SetUp()
{
    session.reset();
    // A hook removed for a slow answer makes the engine release its outputs: only the tests of
    // that time-out want it, and they shorten it themselves.
    session.setHookTimeout(60000);
    backend.setJournal(journal.get());
}

void LiveSession::TearDown()
{
    backend.stop();
    session.reset();
}

bool LiveSession::start(const core::RulesSnapshot& rules, uint64_t generation)
{
    std::string error;
    const bool ok = backend.start(rules, error, macros, *layers, generation);
    EXPECT_TRUE(ok) << error;
    return ok;
}

std::string LiveSession::startError(const core::RulesSnapshot& rules)
{
    std::string error;
    EXPECT_FALSE(backend.start(rules, error, macros, *layers, 1));
    return error;
}

void LiveSession::inject(const std::vector<Physical>& events)
{
    session.inject(events, true);
}

std::vector<std::string> LiveSession::type(const std::vector<Physical>& events)
{
    std::vector<std::string> seen;
    for (const Physical& event : events) {
        inject({event});
        for (std::string& text : sink())
            seen.push_back(std::move(text));
    }
    return seen;
}

std::vector<std::string> LiveSession::sink(size_t atLeast)
{
    std::vector<std::string> seen;
    const auto collect = [&] {
        for (const sim::SinkEvent& e : session.readSink(true))
            seen.push_back(describe(e));
    };
    const auto deadline = std::chrono::steady_clock::now() + test::kConditionLimit;
    for (;;) {
        session.waitIdle();
        collect();
        if (seen.size() >= atLeast || std::chrono::steady_clock::now() > deadline)
            break;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    // Quiet for a moment: the hook thread sends after its hooks return.
    for (size_t before = ~size_t(0); before != seen.size();) {
        before = seen.size();
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
        session.waitIdle();
        collect();
    }
    return seen;
}

bool LiveSession::eventually(const std::function<bool()>& condition, std::chrono::milliseconds limit)
{
    return test::waitFor(condition, limit, std::chrono::milliseconds(2));
}

HWND LiveSession::addForegroundWindow(const wchar_t* title)
{
    sim::WindowRecord record;
    record.visible = true;
    record.title = title;
    record.className = L"EditorWindow";
    const HWND window = session.addWindow(record);
    session.setForeground(window);
    return window;
}

} // namespace vorna::enginetest
