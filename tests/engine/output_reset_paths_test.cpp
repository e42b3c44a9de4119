// Every way the output side ends in a full reset, driven through the hook thread as its loop and
// hooks drive it: where the reset's releases fall among the events sent and the record of a
// stopped macro, and the reason the backend reports afterwards.
#include "engine/hook_thread/input_thread.h"

#include "engine/mapping/macro_player.h"
#include "engine_test_support.h"
#include "platform/sim/session/session_api.h"
#include "tests/support/output_notation.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows;
using vorna::core::OutputBatch;

// The output function: errors planned for the next calls (0 succeeds), and work done once from
// inside the next call, as a hook that runs while SendInput waits.
std::vector<DWORD> g_errors;
std::function<void()> g_during;

UINT WINAPI plannedSendInput(UINT count, LPINPUT, int)
{
    if (g_during) {
        const std::function<void()> during = std::move(g_during);
        g_during = nullptr;
        during();
    }
    if (!g_errors.empty()) {
        const DWORD error = g_errors.front();
        g_errors.erase(g_errors.begin());
        if (error != 0) {
            SetLastError(error);
            return 0;
        }
    }
    return count;
}

class OutputResetPaths : public testing::Test {
public: // the table's steps use the fixture's helpers
    void SetUp() override
    {
        g_errors.clear();
        g_during = nullptr;
        session.reset();
        thread = std::make_unique<InputThread>();
        BackendState& s = thread->m_state;
        s.output.outputFunction = &plannedSendInput;
        s.engineEvents.setOpen(true);
        s.observations.setOpen(true);
        s.observing = true;
        s.engine.copySnapshot(snapshot({rule("key_65", "key_66"), rule("key_67", "key_68"), rule("key_120", "macro:1")}));
        s.engine.resume();
        thread->m_layerStacks.reset(0);
        thread->resetPointer();
        // Something the output side holds, for the reset to release.
        press(65);
    }

    void TearDown() override
    {
        g_errors.clear();
        g_during = nullptr;
        session.reset();
    }

    void press(std::uint16_t vk) { thread->processEvent(event(key(vk), vorna::core::kPhaseDown, thread->nowNs()), true, nullptr); }

    void useMacro(const char* steps) { thread->m_state.macros[0] = macroFrom("once", 1, steps); }

    // A cursor clip beyond every monitor: no point to move to.
    static void badScreen()
    {
        vorna::sim::ScreenState screen;
        screen.clipped = 1;
        screen.clip = RECT{3000, 3000, 3100, 3100};
        vorna::sim::processSession().setScreen(screen);
    }

    // What the output side sent and the records around it, in order: "+key_66" sent, "!+key_68"
    // failed, "cursor" / "cursor!" a cursor move, "layer" / "layer!" a layer step, "stop" a
    // stopped macro, "cancel" its awaited operation cancelled; a run of equal entries as
    // "entry x64".
    std::string timeline()
    {
        std::vector<ObservationRecord> records;
        thread->m_state.observations.drain(records);
        std::vector<std::string> entries;
        for (const ObservationRecord& r : records) {
            const bool failed = r.result == kResultFailed;
            if (r.kind == kRecordOutput) {
                const char sign = r.phase == vorna::core::kPhaseUp ? '-' : r.phase == vorna::core::kPhaseDown ? '+' : '*';
                entries.push_back((failed ? "!" : "") + vorna::test::inputText(sign, r.id));
            } else if (r.kind == kRecordCursor) {
                entries.push_back(failed ? "cursor!" : "cursor");
            } else if (r.kind == kRecordEngine && r.result == kResultCancelled) {
                entries.push_back("stop");
            } else if (r.kind == kRecordAction && r.result == kResultCancelled) {
                entries.push_back("cancel");
            } else if (r.kind == kRecordEngine && r.operation.mode == vorna::core::kBatchModeLayerStep) {
                entries.push_back(failed ? "layer!" : "layer");
            }
        }
        std::string text;
        for (std::size_t i = 0; i < entries.size();) {
            std::size_t run = 1;
            while (i + run < entries.size() && entries[i + run] == entries[i])
                ++run;
            text += (text.empty() ? "" : " ") + entries[i] + (run > 1 ? " x" + std::to_string(run) : "");
            i += run;
        }
        return text;
    }

    vorna::sim::SessionApi& session = vorna::sim::processSession();
    std::unique_ptr<InputThread> thread;
};

struct ResetPath {
    const char* what;
    std::function<void(InputThread&, OutputResetPaths&)> run;
    const char* timeline;
    std::uint8_t reason; // the backend's reason afterwards; 0 also when nothing reset
};

TEST_F(OutputResetPaths, EachPathReleasesInOrderAndReportsItsReason)
{
    const auto repeatOf70 = [] {
        OutputBatch repeat;
        repeat.append(key(70), vorna::core::kPhaseRepeat);
        return repeat;
    };
    const ResetPath paths[] = {
        {"a batch that fails in the flush message",
         [](InputThread& t, OutputResetPaths& f) {
             t.m_state.output.inHook = 1;
             f.press(67);
             t.m_state.output.inHook = 0;
             g_errors = {5};
             t.flushOutput();
         },
         "+key_66 !+key_68 -key_66", ResetOutputFailed},
        {"a flush message that cannot be posted again",
         [&](InputThread& t, OutputResetPaths&) {
             t.m_state.output.inHook = 1;
             for (int i = 0; i < 64; ++i)
                 t.queue(repeatOf70());
             t.m_state.output.inHook = 0;
             g_during = [&] { t.queue(repeatOf70()); }; // one more than the message sends
             t.m_state.threadId = GetCurrentThreadId() + 7919;
             t.flushOutput();
         },
         "+key_66 *key_70 x64 -key_66 -key_70", ResetOutputFailed},
        {"a macro whose failed move cannot be cancelled",
         [](InputThread& t, OutputResetPaths& f) {
             f.useMacro(R"([{"type":"down","input":"key_70","ms":0},{"type":"move","input":"10,0","ms":0},
                            {"type":"up","input":"key_70","ms":0}])");
             badScreen();
             t.m_state.engineEvents.setOpen(false);
             f.press(120);
         },
         "+key_66 +key_70 cursor! -key_70 cancel -key_66", ResetOutputFailed},
        {"a macro stopped in another window whose releases fail",
         [](InputThread& t, OutputResetPaths& f) {
             f.useMacro(R"([{"type":"down","input":"key_70","ms":0},{"type":"wait","input":"","ms":50},
                            {"type":"down","input":"key_71","ms":0},{"type":"wait","input":"","ms":50},
                            {"type":"up","input":"key_71","ms":0},{"type":"up","input":"key_70","ms":0}])");
             f.press(120);
             vorna::sim::WindowRecord other;
             other.visible = true;
             other.title = L"Other";
             f.session.setForeground(f.session.addWindow(other));
             g_errors = {5, 5};
             t.queue(vorna::core::MacroPlayer::step(t.m_state.player, t.m_state.player.nextTime));
         },
         "+key_66 +key_70 !-key_70 -key_66 -key_70 stop", ResetOutputFailed},
        {"a reset while a batch is sent",
         [](InputThread& t, OutputResetPaths&) {
             g_during = [&t] { t.resetAll(ResetPanic); };
             OutputBatch two;
             two.append(key(70), vorna::core::kPhaseDown);
             two.append(key(71), vorna::core::kPhaseDown);
             t.queue(two);
         },
         "+key_66 -key_66 +key_70 -key_70", ResetPanic},
        {"a macro's cursor move on a bad screen",
         [](InputThread&, OutputResetPaths& f) {
             f.useMacro(R"([{"type":"move","input":"10,0","ms":0},{"type":"tap","input":"key_70","ms":10}])");
             badScreen();
             f.press(120);
         },
         "+key_66 cursor! cancel", 0},
        {"a pointer move on a bad screen",
         [](InputThread& t, OutputResetPaths&) {
             t.m_state.layers.motion[0].cursorX = 50;
             t.processMouseMove(POINT{100, 100}, 0);
             badScreen();
             t.processMouseMove(POINT{120, 100}, 0);
         },
         "+key_66 cursor! cursor -key_66", ResetOutputFailed},
        {"a macro's layer step without a layer program",
         [](InputThread&, OutputResetPaths& f) {
             f.useMacro(R"([{"type":"layer","input":"layer:3","ms":0},{"type":"tap","input":"key_70","ms":10}])");
             f.press(120);
         },
         "+key_66 layer! cancel", 0},
    };
    for (const ResetPath& path : paths) {
        SCOPED_TRACE(path.what);
        TearDown();
        SetUp();
        path.run(*thread, *this);
        EXPECT_EQ(timeline(), path.timeline);
        EXPECT_EQ(thread->m_stopReason.load(), path.reason);
    }
}

} // namespace
