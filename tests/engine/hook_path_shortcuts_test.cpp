// The hook path's shortcuts while nobody observes (contexts not built for events that record
// nothing, mapping batches queued without contexts and sent from their queue slot) against the
// plain route, which an observing thread takes for every event: randomised key streams with fixed
// seeds through two threads with the same program, one observing from the start and one from the
// middle of the stream, with batches queued by one event and sent after the next. Swallowing, what is sent, the engine events and, once both observe, every
// observation record must be the same.
#include "engine/hook_thread/input_thread.h"
#include "engine_test_support.h"

#include <gtest/gtest.h>

#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using vorna::core::kPhaseDown;
using vorna::core::kPhaseRepeat;
using vorna::core::kPhaseUp;
using vorna::core::TriggerKind;
using vorna::windows::InputThread;
using vorna::windows::ObservationRecord;

std::string* g_sent = nullptr;

UINT WINAPI recordSent(UINT count, LPINPUT inputs, int)
{
    for (UINT i = 0; i < count; ++i) {
        const INPUT& input = inputs[i];
        *g_sent += input.type == INPUT_KEYBOARD
                       ? ((input.ki.dwFlags & KEYEVENTF_KEYUP) ? "-" : "+") + std::to_string(input.ki.wVk) + " "
                       : "m" + std::to_string(input.mi.dwFlags) + " ";
    }
    return count;
}

// Everything a record says but its place in its ring and its time.
std::string describeRecord(const ObservationRecord& r)
{
    std::ostringstream out;
    out << int(r.kind) << '/' << int(r.result) << " id " << r.id << " ph " << int(r.phase) << " or " << int(r.origin)
        << " dev " << r.device << " mods " << int(r.modifiers) << " sup " << int(r.suppressed) << " ex " << r.execution
        << " rev " << r.revision << " rule " << r.rule << " macro " << r.macro << " step " << r.step << " cmd "
        << r.command << " fg " << r.foregroundWindow << " op " << int(r.operation.mode) << ':' << r.operation.owner
        << " prof " << int(r.profileIndex) << " layer " << int(r.layerIndex) << " out " << int(r.gestureOutcome)
        << " delta " << r.delta << " pm " << int(r.pointerMode);
    return out.str();
}

std::vector<std::string> drain(vorna::windows::ObservationRing& ring)
{
    std::vector<ObservationRecord> records;
    ring.drain(records);
    std::vector<std::string> described;
    for (const ObservationRecord& record : records)
        described.push_back(describeRecord(record));
    return described;
}

// A remap, an action, a macro with an operation, a hold-tap, a chord and a held layer.
struct Subject {
    std::unique_ptr<InputThread> thread = std::make_unique<InputThread>();
    std::string sent;

    explicit Subject(bool observing)
    {
        vorna::windows::BackendState& s = thread->m_state;
        s.output.outputFunction = &recordSent;
        s.engineEvents.setOpen(true);
        s.observations.setOpen(true);
        s.observing = observing;
        s.macros[0] = macroFrom("once", 1, R"([{"type":"down","input":"key_80","ms":0},
            {"type":"command","input":"action:1","ms":0},{"type":"up","input":"key_80","ms":0}])");
        auto program = std::make_unique<vorna::windows::LayerProgram>();
        program->enabled = 1;
        program->layers[0] = snapshot({rule("key_65", "key_66"), rule("key_88", "action:1"), rule("key_77", "macro:1"),
                                       timedRule("key_72", "key_73", TriggerKind::HoldTap, "key_89", 200),
                                       chordRule("key_75", "key_78", {"key_74"}, 500), rule("key_76", "layer:hold:2")});
        program->layers[1] = snapshot({rule("key_65", "key_66"), rule("key_88", "action:1"), rule("key_77", "macro:1"),
                                       timedRule("key_72", "key_73", TriggerKind::HoldTap, "key_89", 200),
                                       chordRule("key_75", "key_78", {"key_74"}, 500), rule("key_76", "layer:hold:2"),
                                       rule("key_85", "key_86")});
        s.loadLayers(*program);
        thread->m_layerStacks.reset(0);
        s.engine.copySnapshot(program->layers[0]);
        s.engine.resume();
        thread->resetPointer();
    }

    // As the keyboard hook hands an event over; the loop flushes after it, or after a later one.
    bool process(const vorna::windows::InputEvent& e, bool flush)
    {
        g_sent = &sent;
        vorna::windows::OutputSink& output = thread->m_state.output;
        output.inHook = 1;
        const bool swallowed = thread->processEvent(e, true, nullptr);
        output.inHook = 0;
        if (flush)
            output.onFlushMessage();
        g_sent = nullptr;
        return swallowed;
    }
};

TEST(HookPathShortcuts, ThreadsThatDoNotObserveDecideSendAndReportAsObservingOnesDo)
{
    const std::uint16_t keys[] = {65, 88, 77, 72, 75, 74, 76, 85, 66, 160};
    for (unsigned seed : {1u, 7u, 34u, 2026u}) {
        SCOPED_TRACE(seed);
        std::mt19937 random(seed);
        const auto below = [&](int n) { return std::uniform_int_distribution<int>(0, n - 1)(random); };
        Subject plain(true);
        Subject shortcut(false);
        bool down[256] = {};
        std::uint64_t time = ms(1000);
        constexpr int kEvents = 400;
        for (int n = 0; n < kEvents; ++n) {
            SCOPED_TRACE(n);
            // Half the time the next event comes before the loop flushed, so that queued batches
            // are sent while another event's context is current.
            const bool flush = n + 1 == kEvents / 2 || below(2) == 0;
            if (n == kEvents / 2)
                shortcut.thread->m_state.observing = true; // after a flush, as the loop turns it on
            const std::uint16_t vk = keys[below(int(std::size(keys)))];
            const std::uint8_t phase = !down[vk] ? kPhaseDown : below(4) == 0 ? kPhaseRepeat : kPhaseUp;
            down[vk] = phase != kPhaseUp;
            time += ms(std::uint64_t(below(300)));
            const vorna::windows::InputEvent e = event(key(vk), phase, time);

            ASSERT_EQ(plain.process(e, flush), shortcut.process(e, flush));
            ASSERT_EQ(plain.sent, shortcut.sent);
            ASSERT_EQ(drain(plain.thread->m_state.engineEvents), drain(shortcut.thread->m_state.engineEvents));
            ASSERT_EQ(plain.thread->m_state.contexts.executionCounter, shortcut.thread->m_state.contexts.executionCounter);
            const std::vector<std::string> observed = drain(plain.thread->m_state.observations);
            if (n >= kEvents / 2)
                ASSERT_EQ(observed, drain(shortcut.thread->m_state.observations));
            else
                ASSERT_TRUE(drain(shortcut.thread->m_state.observations).empty());
        }
        EXPECT_NE(plain.sent.find("+66"), std::string::npos) << "the stream ran the rules";
        EXPECT_NE(plain.sent.find("+78"), std::string::npos) << "the stream ran the chord";
    }
}

// A hook call takes the observation request before its event, so recording can begin while a
// batch queued unobserved (with no contexts of its own) still waits for the loop's flush. That
// batch goes out unrecorded, as if sent a moment before; the events after it are recorded whole.
TEST(HookPathShortcuts, ABatchQueuedBeforeObservationBeganGoesOutUnrecorded)
{
    Subject subject(false);
    std::uint64_t time = ms(1000);
    ASSERT_TRUE(subject.process(event(key(65), kPhaseDown, time), false));
    subject.thread->m_state.observing = true; // the next hook call took the request
    ASSERT_TRUE(subject.process(event(key(65), kPhaseUp, time += ms(5)), true));
    EXPECT_EQ(subject.sent, "+66 -66 ");

    std::vector<ObservationRecord> records;
    subject.thread->m_state.observations.drain(records);
    std::vector<std::uint8_t> outputPhases;
    for (const ObservationRecord& r : records)
        if (r.kind == vorna::windows::kRecordOutput)
            outputPhases.push_back(r.phase);
    EXPECT_EQ(outputPhases, std::vector<std::uint8_t>{kPhaseUp}) << "only the release, queued while observing, is recorded";
}

} // namespace
