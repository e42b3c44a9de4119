// The backend's life on the simulated session: starting, handing over configurations, the
// resets that session, power and device notices and the panic chord cause, and hook recovery.
#include "engine_test_support.h"
#include "live_session.h"

#include "engine/raw_input_devices.h"
#include "platform/sim/session/keyboard_hardware.h"
#include "tests/support/output_notation.h"

#include <unistd.h>

#include <algorithm>
#include <thread>

namespace vorna::enginetest {
namespace {

using Strings = std::vector<std::string>;

Strings injectedOnly(const Strings& events)
{
    Strings out;
    std::copy_if(events.begin(), events.end(), std::back_inserter(out), test::isInjected);
    return out;
}

TEST_F(LiveSession, SecondBackendInTheProcessIsRefusedAndTheFirstKeepsRunning)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    windows::WindowsInputBackend other;
    std::string error;
    EXPECT_FALSE(other.start(core::RulesSnapshot{}, error, macros, *layers, 1));
    EXPECT_EQ(error, "Another Windows input backend is already active in this process.");
    EXPECT_FALSE(other.status().running);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_66/i", "-key_66/i"}));

    backend.stop();
    EXPECT_TRUE(other.start(core::RulesSnapshot{}, error, macros, *layers, 1)) << error;
    other.stop();
}

TEST_F(LiveSession, StartTwiceReplacesTheThreadAndKeepsObservation)
{
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    backend.setObservation(true);
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")}), 2));
    EXPECT_EQ(backend.status().appliedGeneration, 2u);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_66/i", "-key_66/i"}));
    const std::vector<windows::ObservationRecord> seen = backend.drainObservations();
    EXPECT_TRUE(std::any_of(seen.begin(), seen.end(), [](const windows::ObservationRecord& r) {
        return r.kind == windows::kRecordInput && r.id == key(65) && r.suppressed == 1;
    }));
    backend.setObservation(false);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}).size(), 2u);
    EXPECT_TRUE(backend.drainObservations().empty());
}

TEST_F(LiveSession, HookThatCannotBeInstalledFailsTheStartWithItsError)
{
    session.setFailure(sim::FailPoint::SetWindowsHook, sim::Failure{5, 1, 0});
    EXPECT_EQ(startError(core::RulesSnapshot{}), "Windows input backend could not start. Win32 error 5");
    const windows::BackendStatus status = backend.status();
    EXPECT_FALSE(status.running);
    EXPECT_EQ(status.stopReason, windows::ResetWin32Failure);
    EXPECT_EQ(status.win32Error, 5u);
    EXPECT_TRUE(start(core::RulesSnapshot{})); // the failure was a single one
}

TEST_F(LiveSession, TwoAppliesInARowLeaveTheSecondInForce)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    std::string error;
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_67")}), 2, error, macros, *layers)) << error;
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_68")}), 3, error, macros, *layers)) << error;
    ASSERT_TRUE(eventually([&] { return backend.status().appliedGeneration == 3; }));
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_68/i", "-key_68/i"}));
}

TEST_F(LiveSession, ApplyIsRefusedWhileACaptureRunsOrItsKeysAreDown)
{
    ASSERT_TRUE(start(core::RulesSnapshot{}));
    const HWND window = addForegroundWindow();
    ASSERT_TRUE(backend.beginCapture(window));
    ASSERT_TRUE(eventually([&] { return backend.captureState().state == windows::CaptureCapturing; }));
    std::string error;
    EXPECT_FALSE(backend.applyRules(snapshot({rule("key_65", "key_66")}), 2, error, macros, *layers));
    EXPECT_EQ(error, "Finish shortcut capture and release its keys before applying mappings.");

    EXPECT_TRUE(type({keyDown(65)}).empty());
    EXPECT_EQ(backend.captureState().state, windows::CaptureCapturing);
    EXPECT_TRUE(type({keyUp(65)}).empty());
    EXPECT_EQ(backend.captureState().state, windows::CaptureComplete);
    EXPECT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_66")}), 2, error, macros, *layers)) << error;
    ASSERT_TRUE(eventually([&] { return backend.status().appliedGeneration == 2; }));
}

TEST_F(LiveSession, LockedSessionDropsTheConfigurationUntilUnlocked)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    EXPECT_EQ(type({keyDown(65)}), (Strings{"+key_66/i"}));
    session.notify(sim::Notice::Session, WTS_SESSION_LOCK);
    EXPECT_EQ(sink(1), (Strings{"-key_66/i"}));
    EXPECT_EQ(backend.status().stopReason, windows::ResetSession);

    std::string error;
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_67")}), 2, error, macros, *layers)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(backend.status().appliedGeneration, 1u);

    session.notify(sim::Notice::Session, WTS_SESSION_LOGON); // changes nothing
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_67")}), 3, error, macros, *layers)) << error;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    EXPECT_EQ(backend.status().appliedGeneration, 1u);

    session.notify(sim::Notice::Session, WTS_SESSION_UNLOCK);
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_67")}), 4, error, macros, *layers)) << error;
    ASSERT_TRUE(eventually([&] { return backend.status().appliedGeneration == 4; }));
    type({keyUp(65)});
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_67/i", "-key_67/i"}));
}

// Every reset releases each held output exactly once and leaves nothing marked in the journal.
class Resets;

struct ResetCase {
    const char* name;
    uint8_t reason;
    // Returns what reached the system while the cause was typed (nothing for a notice).
    Strings (*cause)(Resets&, sim::SessionApi&);
    Strings physical; // what of the cause itself reaches the system
    bool running = true;
    bool active = false;
    Strings sourceReleases = {};            // when the held sources are let go afterwards
    Strings laterTap = {"+key_65", "-key_65"};      // a later tap of the remapped key
};

core::RulesSnapshot heldOutputRules()
{
    return snapshot({rule("key_65", "key_66"), rule("key_112", "chord:key_160+key_67"), rule("key_113", "toggle:key_69"),
                     rule("key_114", "key_70")});
}

class Resets : public LiveSession, public testing::WithParamInterface<ResetCase> {
public:
    using LiveSession::type;

    Strings applyAgain()
    {
        std::string error;
        EXPECT_TRUE(backend.applyRules(heldOutputRules(), 2, error, macros, *layers)) << error;
        EXPECT_TRUE(eventually([&] { return backend.status().appliedGeneration == 2; }));
        return {};
    }
    Strings stopBackend()
    {
        backend.stop();
        return {};
    }
    // The system dropped the hooks and installing them again fails: the thread gives up.
    Strings failReinstall()
    {
        for (const sim::HookInfo& hook : session.hooks()) {
            if (hook.processId == DWORD(::getpid()))
                session.removeHook(hook.hook);
        }
        session.setFailure(sim::FailPoint::SetWindowsHook, sim::Failure{5, 1, 0});
        // Input that no hook saw: what shows the loss.
        inject({moveBy(1, 0)});
        session.waitIdle();
        session.readSink(true);
        LASTINPUTINFO last{sizeof(LASTINPUTINFO), 0};
        EXPECT_TRUE(GetLastInputInfo(&last));
        session.stepClock(2'500);
        EXPECT_TRUE(backend.checkHookHealth(last.dwTime, false));
        EXPECT_TRUE(eventually([&] { return !backend.status().running; }));
        EXPECT_EQ(backend.status().hookRecoveryError, 5u);
        return {};
    }
};

TEST_P(Resets, ReleaseEveryHeldOutputOnceAndClearTheJournal)
{
    const ResetCase& c = GetParam();
    ASSERT_TRUE(start(heldOutputRules()));
    EXPECT_EQ(type({keyDown(65), keyDown(112), keyDown(113), keyUp(113)}), (Strings{"+key_66/i", "+key_160/i", "+key_67/i", "+key_69/i"}));
    for (unsigned vk : {66u, 67u, 69u, 160u})
        EXPECT_EQ(journal->engineHeldKey(vk), 1u) << vk;
    EXPECT_TRUE(backend.status().active);

    Strings seen = c.cause(*this, session);
    for (std::string& e : sink(4 - std::min<size_t>(4, injectedOnly(seen).size())))
        seen.push_back(std::move(e));
    EXPECT_EQ(injectedOnly(seen), (Strings{"-key_66/i", "-key_67/i", "-key_69/i", "-key_160/i"}));
    seen.erase(std::remove_if(seen.begin(), seen.end(), test::isInjected), seen.end());
    EXPECT_EQ(seen, c.physical);

    const windows::BackendStatus status = backend.status();
    EXPECT_EQ(status.stopReason, c.reason);
    EXPECT_EQ(status.active, c.active);
    EXPECT_EQ(status.running, c.running);
    EXPECT_EQ(journal->hooksArmed(), c.running);
    for (unsigned vk = 0; vk < 256; ++vk)
        EXPECT_EQ(journal->engineHeldKey(vk), 0u) << vk;
    EXPECT_EQ(journal->engineHoldsNumpadEnter(), 0u);

    // The sources' own releases send nothing more.
    EXPECT_EQ(type({keyUp(65), keyUp(112)}), c.sourceReleases);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), c.laterTap);
}

Strings panic(Resets& test, unsigned ctrl, unsigned alt, unsigned key)
{
    return test.type({keyDown(ctrl), keyDown(alt), keyDown(key), keyDown(key), keyUp(key), keyUp(alt), keyUp(ctrl)});
}

Strings notice(sim::SessionApi& s, sim::Notice notice, WPARAM code)
{
    s.notify(notice, code);
    return {};
}

INSTANTIATE_TEST_SUITE_P(Reasons, Resets, testing::Values(
    ResetCase{"new_rules", windows::ResetNewRules, [](Resets& t, sim::SessionApi&) { return t.applyAgain(); }, {},
              true, true, {}, {"+key_66/i", "-key_66/i"}},
    ResetCase{"output_failed", windows::ResetOutputFailed,
              [](Resets& t, sim::SessionApi& s) {
                  s.setFailure(sim::FailPoint::SendInput, sim::Failure{5, 1, 0});
                  return t.type({keyDown(114), keyUp(114)});
              },
              {}},
    ResetCase{"hooks_lost_for_good", windows::ResetWin32Failure,
              [](Resets& t, sim::SessionApi&) { return t.failReinstall(); }, {}, false, false, {"-key_65", "-key_112"}},
    ResetCase{"stop", windows::ResetStop, [](Resets& t, sim::SessionApi&) { return t.stopBackend(); }, {}, false,
              false, {"-key_65", "-key_112"}},
    ResetCase{"device_removed", windows::ResetDeviceRemoved,
              [](Resets&, sim::SessionApi& s) {
                  const windows::RawInputDeviceList list = windows::RawInputDevices::list();
                  EXPECT_FALSE(list.devices.empty());
                  if (!list.devices.empty())
                      s.removeRawDevice(list.devices.front().handle);
                  return Strings{};
              },
              {}},
    ResetCase{"session_locked", windows::ResetSession,
              [](Resets&, sim::SessionApi& s) { return notice(s, sim::Notice::Session, WTS_SESSION_LOCK); }, {}},
    ResetCase{"logoff", windows::ResetSession,
              [](Resets&, sim::SessionApi& s) { return notice(s, sim::Notice::Session, WTS_SESSION_LOGOFF); }, {}},
    ResetCase{"end_of_session", windows::ResetSession,
              [](Resets&, sim::SessionApi& s) { return notice(s, sim::Notice::QueryEndSession, 0); }, {}},
    ResetCase{"suspend", windows::ResetSuspend,
              [](Resets&, sim::SessionApi& s) { return notice(s, sim::Notice::Power, PBT_APMSUSPEND); }, {}},
    ResetCase{"panic_left_ctrl_alt_pause", windows::ResetPanic,
              [](Resets& t, sim::SessionApi&) { return panic(t, 162, 164, 19); }, {"+key_162", "+key_164", "-key_164", "-key_162"}},
    ResetCase{"panic_right_ctrl_alt_f12", windows::ResetPanic,
              [](Resets& t, sim::SessionApi&) { return panic(t, 163, 165, 123); }, {"+key_163/x", "+key_165/x", "-key_165/x", "-key_163/x"}},
    ResetCase{"panic_mixed_sides_f12", windows::ResetPanic,
              [](Resets& t, sim::SessionApi&) { return panic(t, 162, 165, 123); }, {"+key_162", "+key_165/x", "-key_165/x", "-key_162"}}),
    [](const testing::TestParamInfo<ResetCase>& i) { return std::string(i.param.name); });

// The chord's key swallows its repeats after Alt is let go, as well as its release: otherwise
// a repeat reaches the system as a down whose up is then swallowed.
TEST_F(LiveSession, APanicKeyRepeatingAfterAltIsLetGoNeverReachesTheSystem)
{
    for (unsigned panicKey : {123u, 19u}) {
        SCOPED_TRACE(panicKey);
        ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
        EXPECT_EQ(type({keyDown(162), keyDown(164), keyDown(panicKey), keyUp(164), keyDown(panicKey), keyDown(panicKey),
                        keyUp(panicKey), keyUp(162)}),
                  (Strings{"+key_162", "+key_164", "-key_164", "-key_162"}));
        EXPECT_EQ(backend.status().stopReason, windows::ResetPanic);
        for (int vk = 1; vk < 256; ++vk)
            EXPECT_EQ(GetAsyncKeyState(vk) & 0x8000, 0) << vk;
        backend.stop();
    }
}

TEST_F(LiveSession, ResumeAfterSuspendAcceptsNewRules)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    session.notify(sim::Notice::Power, PBT_APMSUSPEND);
    ASSERT_TRUE(eventually([&] { return backend.status().stopReason == windows::ResetSuspend; }));
    session.notify(sim::Notice::Power, PBT_APMRESUMEAUTOMATIC);
    std::string error;
    ASSERT_TRUE(backend.applyRules(snapshot({rule("key_65", "key_67")}), 2, error, macros, *layers)) << error;
    ASSERT_TRUE(eventually([&] { return backend.status().appliedGeneration == 2; }));
    EXPECT_EQ(backend.status().stopReason, 0);
    EXPECT_TRUE(backend.status().active);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_67/i", "-key_67/i"}));
}

TEST_F(LiveSession, SoftResetReleasesTogglesAndEndsTheMacroButKeepsMappings)
{
    core::Macro slow;
    slow.steps[0].kind = core::MacroStepKind::Down;
    slow.steps[0].input = key(70);
    slow.steps[1].kind = core::MacroStepKind::Wait;
    slow.steps[1].time = 10'000;
    slow.steps[2].kind = core::MacroStepKind::Up;
    slow.steps[2].input = key(70);
    slow.stepCount = 3;
    macros[0] = slow;
    ASSERT_TRUE(start(snapshot({rule("key_113", "toggle:key_69"), rule("key_114", "macro:1"), rule("key_65", "key_66")})));
    EXPECT_EQ(type({keyDown(113), keyUp(113), keyDown(114), keyUp(114)}), (Strings{"+key_69/i", "+key_70/i"}));
    EXPECT_TRUE(backend.status().macroActive);
    backend.resetState();
    Strings released = sink(2);
    std::sort(released.begin(), released.end());
    EXPECT_EQ(released, (Strings{"-key_69/i", "-key_70/i"}));
    EXPECT_FALSE(backend.status().macroActive);
    EXPECT_TRUE(backend.status().active);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_66/i", "-key_66/i"}));
}

bool ownKeyboardHookInstalled(sim::SessionApi& session)
{
    const std::vector<sim::HookInfo> hooks = session.hooks();
    return std::any_of(hooks.begin(), hooks.end(), [](const sim::HookInfo& h) {
        return h.processId == DWORD(::getpid()) && h.kind == sim::HookKind::Keyboard;
    });
}

// Keyboard input runs only the keyboard hook: a mouse that stayed still meanwhile is no sign of
// lost hooks. Taking it for one would release a held output two seconds after the last input.
TEST_F(LiveSession, KeyboardOnlyInputSeenByTheHooksNeedsNoReinstall)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    EXPECT_EQ(type({keyDown(65)}), (Strings{"+key_66/i"}));
    LASTINPUTINFO last{sizeof(LASTINPUTINFO), 0};
    ASSERT_TRUE(GetLastInputInfo(&last));
    session.stepClock(2'500);
    EXPECT_FALSE(backend.checkHookHealth(last.dwTime, false));
    EXPECT_EQ(backend.status().hookRecoveries, 0u);
    EXPECT_EQ(type({keyUp(65)}), (Strings{"-key_66/i"}));
}

TEST_F(LiveSession, TimedOutHookIsReinstalledByTheHealthCheck)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    // A hook that answers too late is skipped and silently removed by the system.
    session.setHookTimeout(0);
    for (int attempt = 0; attempt < 50 && ownKeyboardHookInstalled(session); ++attempt)
        type({keyDown(90), keyUp(90)});
    session.setHookTimeout(300);
    ASSERT_FALSE(ownKeyboardHookInstalled(session));
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_65", "-key_65"})); // nobody maps it any more

    LASTINPUTINFO last{sizeof(LASTINPUTINFO), 0};
    ASSERT_TRUE(GetLastInputInfo(&last));
    EXPECT_FALSE(backend.checkHookHealth(last.dwTime, false)); // input too recent to judge
    session.stepClock(2'500);
    EXPECT_FALSE(backend.checkHookHealth(last.dwTime, true)); // an elevated window has the focus
    EXPECT_TRUE(backend.checkHookHealth(last.dwTime, false));
    ASSERT_TRUE(eventually([&] { return backend.status().hookRecoveries == 1; }));
    EXPECT_EQ(backend.status().hookRecoveryError, 0u);
    EXPECT_TRUE(ownKeyboardHookInstalled(session));
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), (Strings{"+key_66/i", "-key_66/i"}));
    EXPECT_FALSE(backend.checkHookHealth(last.dwTime, false)); // within the back-off
}

// The system dropped the hooks while keys were held and let go: the health check's reinstall
// releases what the engine holds and reads the held keys again, so that no kind of held state
// outlives a release the engine never saw.
struct LostHookCase {
    const char* name;
    core::RulesSnapshot (*setUp)(windows::MacroBank&, windows::LayerProgram&);
    std::vector<Physical> held;     // pressed before the hooks go
    std::vector<Physical> released; // let go while they are gone
    Strings resync;                 // what the reinstall sends
    std::vector<Physical> probe;    // typed afterwards
    Strings probeSeen;
};

class LostHooks : public LiveSession, public testing::WithParamInterface<LostHookCase> {
protected:
    void loseHooks()
    {
        for (const sim::HookInfo& hook : session.hooks()) {
            if (hook.processId == DWORD(::getpid()))
                session.removeHook(hook.hook);
        }
    }
    void reinstall(uint64_t recoveries)
    {
        LASTINPUTINFO last{sizeof(LASTINPUTINFO), 0};
        ASSERT_TRUE(GetLastInputInfo(&last));
        session.stepClock(2'500);
        ASSERT_TRUE(backend.checkHookHealth(last.dwTime, false));
        ASSERT_TRUE(eventually([&] { return backend.status().hookRecoveries == recoveries; }));
    }
};

TEST_P(LostHooks, TheReinstallReleasesWhatTheEngineHoldsAndReadsTheKeysAgain)
{
    const LostHookCase& c = GetParam();
    ASSERT_TRUE(start(c.setUp(macros, *layers)));
    type(c.held);
    loseHooks();
    type(c.released);
    reinstall(1);
    EXPECT_EQ(sink(c.resync.size()), c.resync);

    const windows::BackendStatus status = backend.status();
    EXPECT_TRUE(status.running);
    EXPECT_TRUE(status.active) << "the engine resumes";
    EXPECT_EQ(status.stopReason, 0);
    EXPECT_FALSE(status.macroActive);
    const windows::HeldStateSnapshot held = backend.safeStateSnapshot();
    ASSERT_TRUE(held.valid);
    for (size_t i = 0; i < held.physical.size(); ++i) {
        EXPECT_EQ(held.physical[i], 0) << "input " << i;
        EXPECT_EQ(held.output[i], 0) << "input " << i;
    }
    for (unsigned vk = 0; vk < 256; ++vk) {
        EXPECT_EQ(journal->engineHeldKey(vk), 0u) << vk;
        EXPECT_EQ(journal->physicalKey(vk), 0u) << vk;
    }
    EXPECT_EQ(type(c.probe), c.probeSeen);
}

core::RulesSnapshot remapAToB(windows::MacroBank&, windows::LayerProgram&)
{
    return snapshot({rule("key_65", "key_66")});
}

INSTANTIATE_TEST_SUITE_P(HeldState, LostHooks, testing::Values(
    LostHookCase{"mapped_output", remapAToB, {keyDown(65)}, {keyUp(65)}, {"-key_66/i"}, {keyDown(65), keyUp(65)},
                 {"+key_66/i", "-key_66/i"}},
    LostHookCase{"pass_through_entry", remapAToB, {keyDown(66)}, {keyUp(66)}, {}, {keyDown(65), keyUp(65)},
                 {"+key_66/i", "-key_66/i"}},
    LostHookCase{"modifier",
                 [](windows::MacroBank&, windows::LayerProgram&) {
                     return snapshot({rule("key_75", "key_76", core::kModifierCtrl)});
                 },
                 {keyDown(162)}, {keyUp(162)}, {}, {keyDown(75), keyUp(75)}, {"+key_75", "-key_75"}},
    LostHookCase{"layer_hold",
                 [](windows::MacroBank&, windows::LayerProgram& l) {
                     l.enabled = 1;
                     l.layers[0] = snapshot({rule("key_112", "layer:hold:2")});
                     l.layers[1] = snapshot({rule("key_65", "key_66")});
                     return l.layers[0];
                 },
                 {keyDown(112)}, {keyUp(112)}, {}, {keyDown(65), keyUp(65)}, {"+key_65", "-key_65"}},
    LostHookCase{"pointer_hold",
                 [](windows::MacroBank&, windows::LayerProgram&) { return snapshot({rule("key_112", "pointer:axis-x")}); },
                 {keyDown(112)}, {keyUp(112)}, {}, {moveBy(5, 20)}, {"move(965,560)"}},
    LostHookCase{"hold_mode_macro",
                 [](windows::MacroBank& m, windows::LayerProgram&) {
                     m[0] = macroFrom("hold", 1, R"([{"type":"down","input":"key_70","ms":0},
                                                     {"type":"wait","input":"","ms":60000},
                                                     {"type":"up","input":"key_70","ms":0}])");
                     return snapshot({rule("key_114", "macro:1")});
                 },
                 {keyDown(114)}, {keyUp(114)}, {"-key_70/i"}, {keyDown(65), keyUp(65)}, {"+key_65", "-key_65"}}),
    [](const testing::TestParamInfo<LostHookCase>& i) { return std::string(i.param.name); });

TEST_F(LiveSession, StatusPercentilesFollowTheHistogram)
{
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    windows::BackendStatus status = backend.status();
    EXPECT_EQ(status.timedEvents, 0u);
    EXPECT_EQ(status.p50Ns, 0u);
    EXPECT_EQ(status.p99Ns, 0u);
    type({keyDown(65), keyUp(65), keyDown(67), keyUp(67)});
    status = backend.status();
    EXPECT_EQ(status.timedEvents, 2u); // only events a rule applied to
    EXPECT_EQ(status.inputEvents, 4u);
    EXPECT_EQ(status.suppressed, 2u);
    EXPECT_EQ(status.outputEvents, 2u);
    EXPECT_GE(status.p99Ns, status.p50Ns);
    EXPECT_GT(status.p50Ns, 0u);
    EXPECT_LE(status.maxNs, status.p99Ns);
}

TEST_F(LiveSession, SafeStateSnapshotShowsPhysicalAndOutputState)
{
    EXPECT_FALSE(backend.safeStateSnapshot().valid); // nothing runs yet
    inject({keyDown(90)});                           // held before the thread begins
    ASSERT_TRUE(start(snapshot({rule("key_65", "key_66")})));
    type({keyDown(65)});
    const windows::HeldStateSnapshot held = backend.safeStateSnapshot();
    ASSERT_TRUE(held.valid);
    EXPECT_EQ(held.physical[90], 2);
    EXPECT_EQ(held.physical[65], 1);
    EXPECT_EQ(held.output[66], 1);
    EXPECT_EQ(held.output[65], 0);
    EXPECT_EQ(type({keyUp(90)}), (Strings{"-key_90"})); // the user's own key stays the user's
}

// The key state names numpad Enter as Enter and, with NumLock off, keypad 7 as Home: a key held
// while the backend starts is released under its own name, and that release must clear it.
struct RenamedKeyCase {
    const char* name;
    unsigned held;     // physical key held while the backend starts
    const char* target; // of the rule key_65 -> target
    Strings release;   // what the held key's release gives the system
    Strings tap;       // a tap of key_65 afterwards
};

class RenamedAtStart : public LiveSession, public testing::WithParamInterface<RenamedKeyCase> {};

TEST_P(RenamedAtStart, ItsReleaseClearsIt)
{
    const RenamedKeyCase& c = GetParam();
    inject({keyDown(c.held)});
    sink();
    ASSERT_TRUE(start(snapshot({rule("key_65", c.target)})));
    EXPECT_EQ(type({keyUp(c.held)}), c.release);
    EXPECT_EQ(type({keyDown(65), keyUp(65)}), c.tap);
    const windows::HeldStateSnapshot held = backend.safeStateSnapshot();
    ASSERT_TRUE(held.valid);
    for (size_t i = 0; i < held.physical.size(); ++i)
        EXPECT_EQ(held.physical[i], 0) << "input " << i;
}

INSTANTIATE_TEST_SUITE_P(Keys, RenamedAtStart, testing::Values(
    RenamedKeyCase{"numpad_enter", sim::kNumpadEnter, "key_13", {"-key_13/x"}, {"+key_13/i", "-key_13/i"}},
    RenamedKeyCase{"keypad_7_without_num_lock", 0x67, "key_36", {"-key_36"}, {"+key_36/xi", "-key_36/xi"}},
    RenamedKeyCase{"main_enter", 13, "key_13", {"-key_13"}, {"+key_13/i", "-key_13/i"}},
    RenamedKeyCase{"navigation_home", 0x24, "key_36", {"-key_36/x"}, {"+key_36/xi", "-key_36/xi"}}),
    [](const testing::TestParamInfo<RenamedKeyCase>& i) { return std::string(i.param.name); });

} // namespace
} // namespace vorna::enginetest
