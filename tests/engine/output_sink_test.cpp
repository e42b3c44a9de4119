#include "engine/hook_thread/output_sink.h"

#include "engine/hook_thread/backend_state.h"
#include "engine/hook_thread/system_reads.h"
#include "engine/mapping/cursor_math.h"
#include "engine/mapping/injection_marker.h"
#include "engine/mapping/rule_evaluation.h"
#include "engine_test_support.h"
#include "platform/sim/session/session_api.h"
#include "tests/support/bytes.h"
#include "tests/support/output_notation.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace {

using namespace vorna::enginetest;
using namespace vorna::windows;
using vorna::core::InputId;
using vorna::core::MacroPlayer;
using vorna::core::OutputBatch;

// Every SendInput call the output side makes, and the failures planned for the next calls.
struct SendLog {
    std::vector<INPUT> attempts;
    std::vector<INPUT> delivered;
    std::vector<DWORD> plannedErrors; // per upcoming call: 0 succeeds
    std::function<void(std::size_t call)> during;
};
SendLog g_log;

UINT WINAPI recordingSendInput(UINT count, LPINPUT inputs, int size)
{
    EXPECT_EQ(count, 1u) << "one event per call";
    EXPECT_EQ(size, 40);
    g_log.attempts.push_back(inputs[0]);
    if (g_log.during)
        g_log.during(g_log.attempts.size());
    if (!g_log.plannedErrors.empty()) {
        const DWORD error = g_log.plannedErrors.front();
        g_log.plannedErrors.erase(g_log.plannedErrors.begin());
        if (error != 0) {
            SetLastError(error);
            return 0;
        }
    }
    g_log.delivered.push_back(inputs[0]);
    return 1;
}

// What an INPUT means, in the tests' output notation: "+key_65", "-mouse_left", "w:wheel_up:120",
// "+key_numpad_enter" (sent by scan code).
std::string describeInput(const INPUT& input)
{
    if (input.type == INPUT_KEYBOARD) {
        const char sign = (input.ki.dwFlags & KEYEVENTF_KEYUP) ? '-' : '+';
        if (input.ki.dwFlags & KEYEVENTF_SCANCODE)
            return vorna::test::inputText(sign, kNumpadEnter);
        return vorna::test::keyText(sign, input.ki.wVk);
    }
    const DWORD f = input.mi.dwFlags;
    if (f & (MOUSEEVENTF_WHEEL | MOUSEEVENTF_HWHEEL))
        return vorna::test::wheelTurnText((f & MOUSEEVENTF_HWHEEL) != 0, std::int32_t(input.mi.mouseData));
    const bool down = f & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_MIDDLEDOWN | MOUSEEVENTF_XDOWN);
    unsigned number = 0;
    if (f & (MOUSEEVENTF_LEFTDOWN | MOUSEEVENTF_LEFTUP))
        number = 1;
    else if (f & (MOUSEEVENTF_RIGHTDOWN | MOUSEEVENTF_RIGHTUP))
        number = 2;
    else if (f & (MOUSEEVENTF_MIDDLEDOWN | MOUSEEVENTF_MIDDLEUP))
        number = 3;
    else
        number = 3 + unsigned(input.mi.mouseData);
    return vorna::test::buttonText(down ? '+' : '-', number);
}

std::string describeAll(const std::vector<INPUT>& inputs)
{
    std::string text;
    for (const INPUT& input : inputs)
        text += (text.empty() ? "" : " ") + describeInput(input);
    return text;
}

// The hook thread's layer step, reduced to what these tests watch.
struct FakeStepper final : LayerStepper {
    bool stepLayer(std::uint8_t layer) override
    {
        steps.push_back(layer);
        return layer <= 9;
    }
    std::vector<std::uint8_t> steps;
};

class OutputSinkTest : public testing::Test {
protected:
    OutputSinkTest() : journal(std::make_unique<SafetyJournalView>()) { fresh(); }

    // A new backend state wired to the recording output function, the fake host and a journal.
    void fresh()
    {
        state = std::make_unique<BackendState>();
        g_log = SendLog{};
        journal->clear();
        state->journal = journal.get();
        state->output.outputFunction = &recordingSendInput;
        state->layerStepper = &stepper;
        state->engineEvents.setOpen(true);
        state->observations.setOpen(true);
        state->observing = true;
    }

    static OutputBatch batch(std::initializer_list<std::pair<const char*, char>> events)
    {
        OutputBatch made;
        for (const auto& [input, action] : events)
            made.append(id(input), action == '+' ? 0 : action == '-' ? 1 : 2);
        return made;
    }

    // The output side of the full reset: queue dropped, the macro finished, the engine released,
    // and everything the output side holds released once.
    void resetOutput()
    {
        state->output.clearQueue();
        const OutputBatch finished = MacroPlayer::finish(state->player);
        OutputBatch ignored;
        state->engine.releaseAll(ignored);
        OutputBatch releaseAll = state->output.buildReleaseAll();
        releaseAll.copyOperation(finished);
        if (!state->output.enqueue(releaseAll))
            static_cast<void>(state->output.enqueue(releaseAll));
    }

    std::vector<ObservationRecord> observed()
    {
        std::vector<ObservationRecord> records;
        state->observations.drain(records);
        return records;
    }

    std::unique_ptr<BackendState> state;
    std::unique_ptr<SafetyJournalView> journal;
    FakeStepper stepper;
};

struct InputRow {
    const char* what;
    InputId input;
    std::uint8_t phase;
    std::uint32_t amount;
    DWORD type;
    WORD vk;
    WORD scan;
    DWORD flags;
    DWORD mouseData;
};

TEST(OutputInput, EveryOutputBecomesItsMarkedInputRecord)
{
    const DWORD kUp = KEYEVENTF_KEYUP;
    const DWORD kExt = KEYEVENTF_EXTENDEDKEY;
    const InputRow rows[] = {
        {"A down", key(65), 0, 120, INPUT_KEYBOARD, 65, 0, 0, 0},
        {"A up", key(65), 1, 120, INPUT_KEYBOARD, 65, 0, kUp, 0},
        {"A repeat is a down", key(65), 2, 120, INPUT_KEYBOARD, 65, 0, 0, 0},
        {"Space, below the extended range", key(32), 0, 120, INPUT_KEYBOARD, 32, 0, 0, 0},
        {"Page Up", key(33), 0, 120, INPUT_KEYBOARD, 33, 0, kExt, 0},
        {"Down arrow up", key(40), 1, 120, INPUT_KEYBOARD, 40, 0, kExt | kUp, 0},
        {"Select", key(41), 0, 120, INPUT_KEYBOARD, 41, 0, 0, 0},
        {"Print Screen", key(44), 0, 120, INPUT_KEYBOARD, 44, 0, kExt, 0},
        {"Delete", key(46), 0, 120, INPUT_KEYBOARD, 46, 0, kExt, 0},
        {"Help", key(47), 0, 120, INPUT_KEYBOARD, 47, 0, 0, 0},
        {"left Windows", key(91), 0, 120, INPUT_KEYBOARD, 91, 0, kExt, 0},
        {"Apps", key(93), 0, 120, INPUT_KEYBOARD, 93, 0, kExt, 0},
        {"numpad divide", key(111), 0, 120, INPUT_KEYBOARD, 111, 0, kExt, 0},
        {"numpad multiply", key(106), 0, 120, INPUT_KEYBOARD, 106, 0, 0, 0},
        {"Num Lock", key(144), 0, 120, INPUT_KEYBOARD, 144, 0, kExt, 0},
        {"Scroll Lock", key(145), 0, 120, INPUT_KEYBOARD, 145, 0, 0, 0},
        {"left Ctrl", key(162), 0, 120, INPUT_KEYBOARD, 162, 0, 0, 0},
        {"right Ctrl", key(163), 0, 120, INPUT_KEYBOARD, 163, 0, kExt, 0},
        {"left Alt", key(164), 0, 120, INPUT_KEYBOARD, 164, 0, 0, 0},
        {"right Alt up", key(165), 1, 120, INPUT_KEYBOARD, 165, 0, kExt | kUp, 0},
        {"numpad Enter by scan code", kNumpadEnter, 0, 120, INPUT_KEYBOARD, 0, 0x1C, 9, 0},
        {"numpad Enter up", kNumpadEnter, 1, 120, INPUT_KEYBOARD, 0, 0x1C, 9 | kUp, 0},
        {"left button", button(1), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_LEFTDOWN, 0},
        {"left button up", button(1), 1, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_LEFTUP, 0},
        {"right button", button(2), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_RIGHTDOWN, 0},
        {"right button up", button(2), 1, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_RIGHTUP, 0},
        {"middle button", button(3), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_MIDDLEDOWN, 0},
        {"middle button up", button(3), 1, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_MIDDLEUP, 0},
        {"back button", button(4), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_XDOWN, XBUTTON1},
        {"back button up", button(4), 1, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_XUP, XBUTTON1},
        {"forward button", button(5), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_XDOWN, XBUTTON2},
        {"forward button up", button(5), 1, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_XUP, XBUTTON2},
        {"wheel up", wheel(1), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_WHEEL, 120},
        {"wheel down", wheel(2), 0, 120, INPUT_MOUSE, 0, 0, MOUSEEVENTF_WHEEL, DWORD(-120)},
        {"wheel left", wheel(3), 0, 240, INPUT_MOUSE, 0, 0, MOUSEEVENTF_HWHEEL, DWORD(-240)},
        {"wheel right", wheel(4), 0, 60, INPUT_MOUSE, 0, 0, MOUSEEVENTF_HWHEEL, 60},
        {"largest wheel up", wheel(1), 0, 32760, INPUT_MOUSE, 0, 0, MOUSEEVENTF_WHEEL, 32760},
        {"largest wheel down", wheel(2), 0, 32760, INPUT_MOUSE, 0, 0, MOUSEEVENTF_WHEEL, DWORD(-32760)},
    };
    for (const InputRow& row : rows) {
        SCOPED_TRACE(row.what);
        INPUT input;
        std::memset(&input, 0xAB, sizeof input);
        ASSERT_TRUE(OutputSink::buildKeyInput({row.input, row.phase, row.amount}, input));
        EXPECT_EQ(input.type, row.type);
        if (row.type == INPUT_KEYBOARD) {
            EXPECT_EQ(input.ki.wVk, row.vk);
            EXPECT_EQ(input.ki.wScan, row.scan);
            EXPECT_EQ(input.ki.dwFlags, row.flags);
            EXPECT_EQ(input.ki.time, 0u);
            EXPECT_EQ(std::uint64_t(input.ki.dwExtraInfo), kInjectionMarker);
        } else {
            EXPECT_EQ(input.mi.dwFlags, row.flags);
            EXPECT_EQ(input.mi.mouseData, row.mouseData);
            EXPECT_EQ(input.mi.dx, 0);
            EXPECT_EQ(input.mi.dy, 0);
            EXPECT_EQ(std::uint64_t(input.mi.dwExtraInfo), kInjectionMarker);
        }
    }
    EXPECT_EQ(vorna::test::wordOfCharacters("RTIanroV"), kInjectionMarker);

    const std::pair<const char*, vorna::core::OutputEvent> refused[] = {
        {"wheel release", {wheel(1), 1, 120}},
        {"wheel amount beyond one event", {wheel(1), 0, 32768}},
        {"generic Shift", {key(16), 0, 120}},
        {"button 6", {button(6), 0, 120}},
        {"other extended key", {vorna::core::makeInputId(0, 1, 285), 0, 120}},
    };
    for (const auto& [what, event] : refused) {
        INPUT input;
        EXPECT_FALSE(OutputSink::buildKeyInput(event, input)) << what;
    }
}

TEST_F(OutputSinkTest, OutsideAHookABatchIsSentAtOnceInsideItWaitsForTheFlushMessage)
{
    EXPECT_TRUE(state->output.enqueue(batch({{"key_65", '+'}, {"key_65", '-'}})));
    EXPECT_EQ(describeAll(g_log.delivered), "+key_65 -key_65");

    g_log = SendLog{};
    state->output.inHook = 1;
    EXPECT_TRUE(state->output.enqueue(batch({{"key_66", '+'}})));
    EXPECT_TRUE(state->output.enqueue(batch({{"key_66", '-'}, {"mouse_back", '+'}})));
    state->output.onFlushMessage();
    EXPECT_EQ(describeAll(g_log.attempts), "") << "nothing leaves while the hook runs";
    EXPECT_EQ(state->output.queued(), 2u);

    state->output.inHook = 0;
    EXPECT_TRUE(state->output.enqueue(batch({{"mouse_back", '-'}})));
    EXPECT_EQ(state->output.queued(), 3u) << "behind queued batches, a batch waits its turn";
    EXPECT_TRUE(state->output.onFlushMessage()) << "nothing to reset";
    EXPECT_EQ(describeAll(g_log.delivered), "+key_66 -key_66 +mouse_back -mouse_back");
    EXPECT_EQ(state->output.queued(), 0u);
    EXPECT_EQ(state->outputEvents.load(), 6u);
}

// A soft reset can land between the hook that swallowed a key and the flush of what it mapped
// to: the mapping's output must survive it, or the key is lost for good.
TEST_F(OutputSinkTest, ASoftResetKeepsAMappingsQueuedOutputAndHeldReleasesButNotMacroWork)
{
    state->output.markHeld(id("key_68"));
    state->output.inHook = 1;
    EXPECT_TRUE(state->output.enqueue(batch({{"key_66", '+'}})));
    OutputBatch macroWork = batch({{"key_67", '+'}, {"key_67", '-'}, {"key_68", '-'}});
    macroWork.owner = 5;
    EXPECT_TRUE(state->output.enqueue(macroWork));

    OutputBatch kept;
    EXPECT_TRUE(state->output.takeSoftResetKeep(kept));
    EXPECT_EQ(describe(kept), "+key_66 -key_68");
    EXPECT_EQ(state->output.queued(), 0u);

    // What cannot be kept in one batch is reported, so the caller resets everything instead.
    OutputBatch taps;
    for (int i = 0; i < 10; ++i)
        taps.append(id("key_65"), i % 2);
    for (int i = 0; i < 60; ++i) // 600 events: more than one batch holds
        EXPECT_TRUE(state->output.enqueue(taps));
    OutputBatch tooMuch;
    EXPECT_FALSE(state->output.takeSoftResetKeep(tooMuch));
    EXPECT_EQ(state->output.queued(), 0u);
}

TEST_F(OutputSinkTest, TheFirstQueuedBatchWakesTheHookThreadOnce)
{
    MSG message;
    PeekMessageW(&message, nullptr, WM_USER, WM_USER, PM_NOREMOVE); // this thread gets a queue
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
    }
    state->threadId = GetCurrentThreadId();
    state->output.inHook = 1;
    EXPECT_TRUE(state->output.enqueue(batch({{"key_65", '+'}})));
    EXPECT_TRUE(state->output.enqueue(batch({{"key_65", '-'}})));
    ASSERT_TRUE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(message.message, kFlushMessage);
    EXPECT_FALSE(PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) << "one message for the whole queue";

    // A hook thread that cannot be reached: the batch is refused, not left waiting for nobody.
    auto other = std::make_unique<BackendState>();
    other->output.outputFunction = &recordingSendInput;
    other->threadId = GetCurrentThreadId() + 7919;
    other->output.inHook = 1;
    EXPECT_FALSE(other->output.enqueue(batch({{"key_66", '+'}})));
    EXPECT_EQ(other->win32Error.load(), 1444u);
    EXPECT_EQ(other->outputFailures.load(), 1u);
    EXPECT_EQ(other->output.queued(), 0u);
}

TEST_F(OutputSinkTest, The65thQueuedBatchIsRefused)
{
    state->output.inHook = 1;
    for (int i = 0; i < 64; ++i)
        ASSERT_TRUE(state->output.enqueue(batch({{"key_65", '*'}}))) << i;
    EXPECT_FALSE(state->output.enqueue(batch({{"key_66", '+'}})));
    EXPECT_EQ(state->win32Error.load(), 8u);
    EXPECT_EQ(state->outputFailures.load(), 1u);
    EXPECT_EQ(state->output.queued(), 64u);
    EXPECT_TRUE(state->output.enqueue(OutputBatch{})) << "an empty batch costs nothing";
}

TEST_F(OutputSinkTest, KeysAreSentOnlyWhenTheSystemDoesNotAlreadyHaveThem)
{
    // The user holds key_66 physically: a pass-through source.
    engine::evaluateInput(state->engine, event(key(66), 0, ms(1)));
    EXPECT_TRUE(state->output.enqueue(batch({{"key_66", '+'}, {"key_66", '-'}})));
    EXPECT_EQ(describeAll(g_log.attempts), "") << "neither the down nor the up of a key the user holds";

    EXPECT_TRUE(state->output.enqueue(batch({{"key_67", '+'}, {"key_67", '+'}, {"key_67", '*'}, {"key_68", '-'}})));
    EXPECT_EQ(describeAll(g_log.attempts), "+key_67 +key_67") << "a second down is skipped, a repeat always sent, an "
                                                         "up of a key never pressed is not sent";
    EXPECT_TRUE(state->output.held(key(67)));
    EXPECT_EQ(journal->engineHeldKey(67), 1u);
    HeldStateSnapshot copy;
    ASSERT_TRUE(state->heldState.tryRead(copy));
    EXPECT_EQ(copy.output[67], 1);
}

TEST_F(OutputSinkTest, AResetReleasesEveryHeldKeyExactlyOnceAndClearsTheJournal)
{
    EXPECT_TRUE(state->output.enqueue(batch(
        {{"key_65", '+'}, {"key_163", '+'}, {"key_numpad_enter", '+'}, {"mouse_left", '+'}, {"mouse_forward", '+'}})));
    EXPECT_EQ(journal->engineHeldKey(65), 1u);
    EXPECT_EQ(journal->engineHeldKey(163), 1u);
    EXPECT_EQ(journal->engineHoldsNumpadEnter(), 1u);
    EXPECT_EQ(journal->engineHeldKey(13), 0u) << "numpad Enter has its own word";
    EXPECT_EQ(journal->engineHeldButton(1), 1u);
    EXPECT_EQ(journal->engineHeldButton(5), 1u);

    // Queued work dies with the reset; held keys go up.
    state->output.inHook = 1;
    EXPECT_TRUE(state->output.enqueue(batch({{"key_70", '+'}})));
    state->output.inHook = 0;
    g_log = SendLog{};
    resetOutput();
    EXPECT_EQ(describeAll(g_log.delivered), "-key_65 -key_163 -mouse_left -mouse_forward -key_numpad_enter");
    resetOutput();
    EXPECT_EQ(describeAll(g_log.delivered), "-key_65 -key_163 -mouse_left -mouse_forward -key_numpad_enter") << "nothing goes up twice";

    for (std::uint32_t vk = 0; vk < 256; ++vk)
        EXPECT_EQ(journal->engineHeldKey(vk), 0u) << vk;
    for (std::uint32_t b = 0; b < 6; ++b)
        EXPECT_EQ(journal->engineHeldButton(b), 0u) << b;
    EXPECT_EQ(journal->engineHoldsNumpadEnter(), 0u);
    HeldStateSnapshot copy;
    ASSERT_TRUE(state->heldState.tryRead(copy));
    for (std::uint8_t byte : copy.output)
        EXPECT_EQ(byte, 0);
}

TEST_F(OutputSinkTest, AResetLeavesKeysTheUserHoldsToTheUser)
{
    EXPECT_TRUE(state->output.enqueue(batch({{"key_65", '+'}})));
    engine::evaluateInput(state->engine, event(key(65), 0, ms(1))); // the user now holds it too
    g_log = SendLog{};
    const OutputBatch all = state->output.buildReleaseAll();
    EXPECT_EQ(describe(all), "");
    EXPECT_FALSE(state->output.held(key(65)));
    EXPECT_EQ(journal->engineHeldKey(65), 0u);
}

struct FaultCase {
    const char* what;
    const char* setup;   // pressed first, successfully: "" or a key
    char action;         // '+' or '-'
    std::vector<DWORD> errors;
    const char* attempts;
    bool sent;
    bool heldAfter;
    std::uint32_t markAfter;
};

TEST_F(OutputSinkTest, FailedSendsAreCountedAFailedUpIsTriedOnceMore)
{
    const FaultCase cases[] = {
        {"a failed down is not retried and leaves no mark", "", '+', {5}, "+key_65", false, false, 0},
        {"a failed up is tried once more and succeeds", "key_65", '-', {5, 0}, "-key_65 -key_65", true, false, 0},
        {"an up that fails twice stays held for the next reset", "key_65", '-', {5, 1450}, "-key_65 -key_65", false, true, 1},
        {"a failed repeat keeps the mark of the held key", "key_65", '*', {5}, "+key_65", false, true, 1},
    };
    for (const FaultCase& c : cases) {
        SCOPED_TRACE(c.what);
        fresh();
        if (*c.setup) {
            ASSERT_TRUE(state->output.enqueue(batch({{c.setup, '+'}})));
        }
        g_log = SendLog{};
        g_log.plannedErrors = c.errors;
        observed();

        EXPECT_EQ(state->output.flush(batch({{"key_65", c.action}})).ok(), c.sent);
        EXPECT_EQ(describeAll(g_log.attempts), c.attempts);
        EXPECT_EQ(state->output.held(key(65)), c.heldAfter);
        EXPECT_EQ(journal->engineHeldKey(65), c.markAfter);
        EXPECT_EQ(state->outputFailures.load(), 1u) << "one failed event, however many tries";
        EXPECT_EQ(state->win32Error.load(), 5u);
        const std::vector<ObservationRecord> records = observed();
        ASSERT_FALSE(records.empty());
        EXPECT_EQ(records.front().kind, kRecordOutput);
        EXPECT_EQ(records.front().result, kResultFailed);
        EXPECT_EQ(records.front().error, 5u);
    }

    // The key that could not be released goes up with the next reset, once.
    g_log = SendLog{};
    resetOutput();
    EXPECT_EQ(describeAll(g_log.delivered), "-key_65");
}

TEST_F(OutputSinkTest, AnUnsupportedOutputIsSkippedWithError50)
{
    OutputBatch mixed;
    mixed.append(key(16), 0);
    mixed.append(key(66), 0);
    EXPECT_FALSE(state->output.flush(mixed));
    EXPECT_EQ(describeAll(g_log.attempts), "+key_66") << "the rest of the batch still goes";
    EXPECT_EQ(state->win32Error.load(), 50u);
}

TEST_F(OutputSinkTest, ASourceReleasedWhileAnotherMappingHoldsItsOutputIsTakenOver)
{
    // key_65 -> key_66 while the user holds key_66: the mapping sends no down.
    state->engine.copySnapshot(snapshot({rule("key_65", "key_66")}));
    auto press = [&](InputId input, std::uint8_t phase, std::uint64_t at) {
        const engine::EvaluationResult result = engine::evaluateInput(state->engine, event(input, phase, ms(at)));
        EXPECT_TRUE(state->output.enqueue(result.batch));
        return result;
    };
    press(key(66), 0, 1);
    press(key(65), 0, 2);
    const engine::EvaluationResult physicalUp = press(key(66), 1, 3);
    ASSERT_EQ(physicalUp.suppress, 1) << "the system must keep seeing key_66 down";
    // What event processing does with a swallowed up of a held output.
    state->output.markHeld(key(66));
    EXPECT_EQ(journal->engineHeldKey(66), 1u);
    press(key(65), 1, 4);
    EXPECT_EQ(describeAll(g_log.delivered), "-key_66") << "the mapping's release reaches the system once";
    EXPECT_FALSE(state->output.held(key(66)));
    EXPECT_EQ(journal->engineHeldKey(66), 0u);
}

TEST_F(OutputSinkTest, PendingDownsAreFoundInQueueOrder)
{
    state->output.inHook = 1;
    state->output.enqueue(batch({{"key_65", '+'}, {"key_66", '+'}}));
    state->output.enqueue(batch({{"key_65", '-'}}));
    state->output.enqueue(batch({{"key_67", '-'}, {"key_67", '*'}}));
    EXPECT_FALSE(state->output.isPendingDown(key(65)));
    EXPECT_TRUE(state->output.isPendingDown(key(66)));
    EXPECT_TRUE(state->output.isPendingDown(key(67)));
    EXPECT_FALSE(state->output.isPendingDown(key(68)));
}

TEST_F(OutputSinkTest, PurgingKeepsOnlyTheReleasesOfHeldKeysOfMacroBatches)
{
    ASSERT_TRUE(state->output.enqueue(batch({{"key_66", '+'}})));
    state->output.inHook = 1;
    OutputBatch withAction = batch({{"key_65", '+'}, {"key_66", '-'}, {"key_67", '-'}});
    withAction.mode = vorna::core::kBatchModeCommand;
    withAction.owner = 7;
    state->output.enqueue(withAction);
    OutputBatch macroKeys = batch({{"key_68", '+'}});
    macroKeys.owner = vorna::core::kMacroOwnerToken;
    state->output.enqueue(macroKeys);
    state->output.enqueue(batch({{"key_69", '+'}})); // a mapping's output: no owner
    OutputBatch cancel = batch({{"key_70", '+'}});
    cancel.mode = vorna::core::kBatchModeCancel;
    cancel.owner = 9;
    state->output.enqueue(cancel);
    ASSERT_EQ(state->output.queued(), 4u);

    state->output.purgeQueue();
    ASSERT_EQ(state->output.queued(), 3u) << "a batch left empty is removed";
    EXPECT_EQ(describe(state->output.queuedBatch(0)), "-key_66");
    EXPECT_EQ(state->output.queuedBatch(0).mode, 0);
    EXPECT_EQ(describe(state->output.queuedBatch(1)), "+key_69");
    EXPECT_EQ(state->output.queuedBatch(2).count, 0u);
    EXPECT_EQ(state->output.queuedBatch(2).mode, vorna::core::kBatchModeCancel);

    state->output.inHook = 0;
    state->output.onFlushMessage();
    EXPECT_EQ(describeAll(g_log.delivered), "+key_66 -key_66 +key_69");
    EXPECT_EQ(state->output.purges(), 1u);
}

TEST_F(OutputSinkTest, OutputRecordsCarryTheContextOfTheirCause)
{
    state->contexts.current.execution = 41;
    state->contexts.current.rule = 3;
    state->output.inHook = 1;
    state->output.enqueue(batch({{"key_65", '+'}}));
    state->contexts.current.execution = 42; // the next event, before the flush
    state->output.inHook = 0;
    observed();
    state->output.onFlushMessage();
    const std::vector<ObservationRecord> records = observed();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].kind, kRecordOutput);
    EXPECT_EQ(records[0].result, kResultSent);
    EXPECT_EQ(records[0].origin, 2);
    EXPECT_EQ(records[0].id, key(65));
    EXPECT_EQ(records[0].delta, 120);
    EXPECT_EQ(records[0].execution, 41u);
    EXPECT_EQ(records[0].rule, 3u);
    EXPECT_EQ(state->contexts.current.execution, 42u) << "the flush restores the context";

    state->observing = false;
    state->output.enqueue(batch({{"key_65", '-'}}));
    EXPECT_TRUE(observed().empty()) << "no records while nobody observes";
}

TEST_F(OutputSinkTest, ActionProfileAndCancelOperationsBecomeActionRecords)
{
    struct Case {
        std::uint8_t mode;
        std::uint8_t layer;
        std::uint8_t result;
    };
    const Case cases[] = {{vorna::core::kBatchModeCommand, 0, kResultQueued},
                          {vorna::core::kBatchModeProfileStep, 0xFF, kResultQueued},
                          {vorna::core::kBatchModeCancel, 0, kResultCancelled}};
    state->contexts.current.phase = 1;
    state->output.currentStep = 4;
    for (const Case& c : cases) {
        OutputBatch operation;
        operation.mode = c.mode;
        operation.owner = 12;
        operation.command = 7;
        operation.layer = c.layer;
        EXPECT_TRUE(state->output.flush(operation));
        std::vector<ObservationRecord> actions;
        state->engineEvents.drain(actions);
        ASSERT_EQ(actions.size(), 1u);
        EXPECT_EQ(actions[0].kind, kRecordAction);
        EXPECT_EQ(actions[0].result, c.result);
        EXPECT_EQ(actions[0].phase, 0) << "operations carry phase 0";
        EXPECT_EQ(actions[0].command, 7);
        EXPECT_EQ(actions[0].step, 4);
        EXPECT_EQ(actions[0].operation.mode, c.mode);
        EXPECT_EQ(actions[0].operation.owner, 12u);
        EXPECT_EQ(observed().size(), 1u) << "also shown while observing";
    }
    std::vector<ObservationRecord> profile;
    OutputBatch previous;
    previous.mode = vorna::core::kBatchModeProfileStep;
    previous.layer = std::uint8_t(std::int8_t(-1));
    state->output.flush(previous);
    state->engineEvents.drain(profile);
    ASSERT_EQ(profile.size(), 1u);
    EXPECT_EQ(vorna::core::profileDirection(profile[0].operation.layer), -1);

    state->engineEvents.setOpen(false);
    EXPECT_FALSE(state->output.flush(previous)) << "an action the agent cannot see is not sent";
}

struct MacroFixture : OutputSinkTest {
    ~MacroFixture() override { session.reset(); }

    OutputBatch start(const vorna::core::Macro& m)
    {
        return MacroPlayer::trigger(state->player, m, 1, 0, now, kKeyboard, key(120), foregroundWindow());
    }

    void focusAnotherWindow()
    {
        vorna::sim::WindowRecord other;
        other.visible = true;
        other.title = L"Other";
        ASSERT_TRUE(session.setForeground(session.addWindow(other)));
    }

    vorna::sim::SessionApi& session = vorna::sim::processSession();
    std::uint64_t now = 0;
};

TEST_F(MacroFixture, ACursorMoveIsClampedToTheScreenAndContinuesTheRun)
{
    const vorna::core::Macro m = macroFrom("once", 1, R"([{"type":"move","input":"-500,20","ms":0},{"type":"tap","input":"key_65","ms":10}])");
    session.setCursor(POINT{100, 100});
    EXPECT_TRUE(state->output.enqueue(start(m)));
    ASSERT_EQ(g_log.attempts.size(), 1u) << "one absolute move to (0, 120)";
    EXPECT_EQ(g_log.attempts[0].mi.dwFlags, DWORD(MOUSEEVENTF_MOVE | MOUSEEVENTF_VIRTUALDESK | MOUSEEVENTF_ABSOLUTE));
    EXPECT_EQ(g_log.attempts[0].mi.dx, absoluteCoordinate(0, 0, 1920));
    EXPECT_EQ(g_log.attempts[0].mi.dy, absoluteCoordinate(120, 0, 1080));
    EXPECT_EQ(state->player.waiting, 0u) << "the run goes on";
    const std::vector<ObservationRecord> records = observed();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().kind, kRecordCursor);
    EXPECT_EQ(records.back().result, kResultSent);
    EXPECT_EQ(records.back().delta, -100);
    EXPECT_EQ(records.back().dy, 20);
    EXPECT_EQ(records.back().operation.mode, vorna::core::kBatchModeCursorMove);

    EXPECT_TRUE(state->output.enqueue(MacroPlayer::finish(state->player)));
    vorna::sim::ScreenState clippedAway; // a clip beyond every monitor: nowhere to move
    clippedAway.clipped = 1;
    clippedAway.clip = RECT{3000, 3000, 3100, 3100};
    session.setScreen(clippedAway);
    EXPECT_TRUE(state->output.enqueue(start(m)));
    EXPECT_FALSE(state->player.running()) << "a failed move ends the run";
    std::vector<ObservationRecord> failed = observed();
    ASSERT_FALSE(failed.empty());
    const auto cursor = std::find_if(failed.begin(), failed.end(), [](const ObservationRecord& r) { return r.kind == kRecordCursor; });
    ASSERT_NE(cursor, failed.end());
    EXPECT_EQ(cursor->result, kResultFailed);
    EXPECT_EQ(cursor->error, 87u);
}

TEST_F(MacroFixture, ALayerStepIsDoneByTheHookThreadAndReported)
{
    const vorna::core::Macro m = macroFrom("once", 1, R"([{"type":"layer","input":"layer:3","ms":0},{"type":"tap","input":"key_65","ms":10}])");
    EXPECT_TRUE(state->output.enqueue(start(m)));
    EXPECT_EQ(stepper.steps, std::vector<std::uint8_t>{2});
    EXPECT_TRUE(state->player.running());
    EXPECT_EQ(state->player.waiting, 0u);
    const std::vector<ObservationRecord> records = observed();
    ASSERT_FALSE(records.empty());
    EXPECT_EQ(records.back().kind, kRecordEngine);
    EXPECT_EQ(records.back().result, kResultLayer);
    EXPECT_EQ(records.back().operation.layer, 2);
}

TEST_F(MacroFixture, AMacroBatchIsNotSentIntoAnotherWindow)
{
    const vorna::core::Macro m = macroFrom("once", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":50},
                                          {"type":"down","input":"key_66","ms":0},{"type":"wait","input":"","ms":50},
                                          {"type":"up","input":"key_66","ms":0},{"type":"up","input":"key_65","ms":0}])");
    EXPECT_TRUE(state->output.enqueue(start(m)));
    EXPECT_EQ(describeAll(g_log.delivered), "+key_65");
    focusAnotherWindow();
    now += ms(50);
    observed();
    EXPECT_TRUE(state->output.enqueue(MacroPlayer::step(state->player, now)));
    EXPECT_EQ(describeAll(g_log.delivered), "+key_65 -key_65") << "key_66 never goes down; key_65 goes up";
    EXPECT_FALSE(state->player.running());
    const std::vector<ObservationRecord> records = observed();
    const auto stopped = std::find_if(records.begin(), records.end(), [](const ObservationRecord& r) {
        return r.kind == kRecordEngine && r.result == kResultCancelled;
    });
    const auto released = std::find_if(records.begin(), records.end(), [](const ObservationRecord& r) {
        return r.kind == kRecordOutput && r.id == key(65) && r.phase == 1;
    });
    ASSERT_NE(stopped, records.end());
    ASSERT_NE(released, records.end());
    EXPECT_LT(released - records.begin(), stopped - records.begin()) << "the stop is reported after its releases";
}

TEST_F(MacroFixture, WhatADroppedRunQueuedIsNotSentEither)
{
    const vorna::core::Macro m = macroFrom("once", 1, R"([{"type":"down","input":"key_65","ms":0},{"type":"wait","input":"","ms":50},
                                          {"type":"down","input":"key_66","ms":0},{"type":"wait","input":"","ms":50},
                                          {"type":"up","input":"key_66","ms":0},{"type":"up","input":"key_65","ms":0}])");
    state->output.inHook = 1; // both batches wait in the queue
    EXPECT_TRUE(state->output.enqueue(start(m)));
    now += ms(50);
    EXPECT_TRUE(state->output.enqueue(MacroPlayer::step(state->player, now)));
    ASSERT_EQ(state->output.queued(), 2u);
    focusAnotherWindow();
    state->output.inHook = 0;
    EXPECT_TRUE(state->output.onFlushMessage());
    EXPECT_EQ(describeAll(g_log.delivered), "") << "neither key goes down in the other window";
    EXPECT_FALSE(state->player.running());
    EXPECT_FALSE(state->output.held(key(66)));
}

TEST_F(OutputSinkTest, AResetWhileSendingResetsAgainAndStops)
{
    ASSERT_TRUE(state->output.enqueue(batch({{"key_65", '+'}})));
    g_log = SendLog{};
    bool resetDone = false;
    g_log.during = [&](std::size_t) {
        if (!resetDone) {
            resetDone = true;
            resetOutput(); // a reset from inside the send
        }
    };
    const OutputResult result = state->output.flush(batch({{"key_66", '+'}, {"key_67", '+'}}));
    EXPECT_TRUE(result.resetRan) << "the hook thread must reset again";
    resetOutput(); // as it does on that answer
    EXPECT_EQ(describeAll(g_log.delivered), "-key_65 +key_66 -key_66") << "key_66 goes up again; key_67 is not sent";
    EXPECT_FALSE(state->output.held(key(66)));
}

} // namespace
