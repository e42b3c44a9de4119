// Fault injection on the shared simulated session: a broker holds the session, the backend
// joins it as a member process would, and a seeded stream of presses, releases, repeats and
// hook losses of mapped, modifier, keypad and panic keys runs through it. At every checkpoint,
// once every key is let go, nothing may be down in the system and the engine must hold nothing;
// where the hooks stayed in place, the engine's physical state must equal the keys held.
//
// VORNA_FAULT_SEED and VORNA_FAULT_EVENTS replace the fixed seed and length for exploration.
#include "engine_test_support.h"
#include "live_session.h"

#include "platform/sim/broker/broker.h"
#include "platform/sim/session/keyboard_hardware.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <map>
#include <random>

// Under ThreadSanitizer: the broker keeps a finished connection's thread until it is destroyed,
// and this process's link to the broker lives as long as the process does. Thread leaks are not
// this test's subject; data races stay reported.
extern "C" const char* __tsan_default_options()
{
    return "report_thread_leaks=0";
}

namespace vorna::enginetest {
namespace {

constexpr std::uint32_t kSeed = 20'240'611;
constexpr int kEvents = 6'000;
constexpr int kCheckpointEvery = 300;

std::uint32_t fromEnvironment(const char* name, std::uint32_t fallback)
{
    const char* text = std::getenv(name);
    return text != nullptr && *text != 0 ? std::uint32_t(std::strtoul(text, nullptr, 10)) : fallback;
}

// The keys the user presses. Pause is seen as VK_CANCEL when a Ctrl key was down at its press.
constexpr unsigned kLeftCtrl = 162, kRightCtrl = 163, kLeftAlt = 164, kPause = 19, kF12 = 123;
constexpr unsigned kKeys[] = {
    65,                // A: mapped to B (in layer 2 to X)
    66,                // B: the mapped output, also pressed by itself
    67,                // C: a chord of Ctrl and V
    75,                // K: Ctrl+K is L
    kLeftCtrl, kRightCtrl, kLeftAlt, 160,
    0x67,              // keypad 7 (Home with NumLock off): mapped to Home
    sim::kNumpadEnter, // mapped to Tab
    kPause, kF12,      // the panic chord's keys
    112,               // F1: holds layer 2
    113,               // F2: holds the horizontal axis lock
    114,               // F3: a hold-mode macro
    90,                // Z: not mapped
};

class FaultInjection : public LiveSession {
public:
    // The backend joins the broker's session through VORNA_SIM_SESSION, as the agent does. The
    // broker serves until the process ends, as this process's link to it lives as long; only
    // its socket's name goes when the suite is done.
    static void SetUpTestSuite()
    {
        socketPath() = (std::filesystem::temp_directory_path() / ("vorna-faults-" + std::to_string(::getpid()) + ".sock"))
                           .string();
        broker() = new sim::Broker(socketPath());
        broker()->start();
        ::setenv("VORNA_SIM_SESSION", socketPath().c_str(), 1);
    }
    static void TearDownTestSuite()
    {
        ::unsetenv("VORNA_SIM_SESSION");
        std::filesystem::remove(socketPath());
    }

protected:
    static std::string& socketPath()
    {
        static std::string path;
        return path;
    }
    static sim::Broker*& broker()
    {
        static sim::Broker* b = nullptr;
        return b;
    }

    core::RulesSnapshot program()
    {
        macros[0] = macroFrom("hold", 1, R"([{"type":"down","input":"key_70","ms":0},{"type":"wait","input":"","ms":40},
                                            {"type":"up","input":"key_70","ms":0},{"type":"wait","input":"","ms":40}])");
        layers->enabled = 1;
        layers->layers[0] = snapshot({rule("key_65", "key_66"), rule("key_67", "chord:key_162+key_86"),
                                      rule("key_75", "key_76", core::kModifierCtrl), rule("key_103", "key_36"),
                                      rule("key_numpad_enter", "key_9"), rule("key_112", "layer:hold:2"),
                                      rule("key_113", "pointer:axis-x"), rule("key_114", "macro:1")});
        layers->layers[1] = snapshot({rule("key_65", "key_88"), rule("key_75", "key_76", core::kModifierCtrl)});
        return layers->layers[0];
    }

    bool ownHooksInstalled()
    {
        int found = 0;
        for (const sim::HookInfo& hook : session.hooks())
            found += hook.processId == DWORD(::getpid());
        return found == 2;
    }

    void loseHooks()
    {
        for (const sim::HookInfo& hook : session.hooks()) {
            if (hook.processId == DWORD(::getpid()))
                session.removeHook(hook.hook);
        }
        lostSinceCheckpoint = true;
    }

    // The user turns mappings on again, as after a panic.
    void applyAgain()
    {
        std::string error;
        ASSERT_TRUE(backend.applyRules(layers->layers[0], ++generation, error, macros, *layers)) << error;
        ASSERT_TRUE(eventually([&] { return backend.status().appliedGeneration == generation; }));
    }

    // The agent's health check: it reinstalls the hooks when input went by without them.
    void healthCheck()
    {
        if (!backend.status().active)
            applyAgain();
        LASTINPUTINFO last{sizeof(LASTINPUTINFO), 0};
        ASSERT_TRUE(GetLastInputInfo(&last));
        session.stepClock(10'500); // past the input's age limit and the back-off between requests
        const uint64_t before = backend.status().hookRecoveries;
        if (backend.checkHookHealth(last.dwTime, false))
            ASSERT_TRUE(eventually([&] { return backend.status().hookRecoveries == before + 1; }));
    }

    void press(unsigned key)
    {
        if (!down.count(key)) {
            const bool ctrl = down.count(kLeftCtrl) || down.count(kRightCtrl);
            down[key] = key == kPause && ctrl ? 3u : key; // the index the engine records it under
        }
        inject({keyDown(key)});
        ++events;
    }

    void release(unsigned key)
    {
        down.erase(key);
        inject({keyUp(key)});
        ++events;
    }

    static int indexOf(unsigned recorded)
    {
        if (recorded == sim::kNumpadEnter)
            return windows::inputIndex(kNumpadEnter);
        return int(recorded);
    }

    // Every key let go, the hooks back in place, the output settled.
    void checkpoint(const std::string& where)
    {
        SCOPED_TRACE(where);
        if (!lostSinceCheckpoint && ownHooksInstalled() && backend.status().hookRecoveries == recoveriesAtCheckpoint) {
            sink();
            const windows::HeldStateSnapshot held = backend.safeStateSnapshot();
            ASSERT_TRUE(held.valid);
            for (unsigned key : kKeys) {
                const auto it = down.find(key);
                const int index = indexOf(it != down.end() ? it->second : key);
                EXPECT_EQ(held.physical[size_t(index)] != 0, it != down.end()) << "key " << key;
            }
        }
        while (!down.empty())
            release(down.begin()->first);
        if (!ownHooksInstalled()) {
            inject({keyDown(90), keyUp(90)}); // input the hooks missed, for the health check to see
            healthCheck();
            ASSERT_TRUE(ownHooksInstalled());
        }
        sink();

        for (int vk = 1; vk < 256; ++vk)
            EXPECT_EQ(GetAsyncKeyState(vk) & 0x8000, 0) << "key " << vk << " is down in the system";
        const windows::HeldStateSnapshot held = backend.safeStateSnapshot();
        ASSERT_TRUE(held.valid);
        for (size_t i = 0; i < held.physical.size(); ++i) {
            EXPECT_EQ(held.physical[i], 0) << "input " << i << " held by the user for the engine";
            EXPECT_EQ(held.output[i], 0) << "input " << i << " held by the engine's output";
        }
        for (unsigned vk = 0; vk < 256; ++vk) {
            EXPECT_EQ(journal->engineHeldKey(vk), 0u) << "key " << vk << " marked as the engine's";
            EXPECT_EQ(journal->physicalKey(vk), 0u) << "key " << vk << " marked as the user's";
        }
        EXPECT_EQ(journal->engineHoldsNumpadEnter(), 0u);
        EXPECT_EQ(journal->numpadEnterPhysical(), 0u);
        EXPECT_FALSE(backend.status().macroActive);
        lostSinceCheckpoint = false;
        recoveriesAtCheckpoint = backend.status().hookRecoveries;
        ++checkpoints;
    }

    std::map<unsigned, unsigned> down; // key held -> the code the engine records it under
    bool lostSinceCheckpoint = false;
    uint64_t recoveriesAtCheckpoint = 0;
    uint64_t generation = 1;
    int events = 0;
    int checkpoints = 0;
};

TEST_F(FaultInjection, NoKeyStaysDownThatTheUserLetGo)
{
    const std::uint32_t seed = fromEnvironment("VORNA_FAULT_SEED", kSeed);
    const int total = int(fromEnvironment("VORNA_FAULT_EVENTS", kEvents));
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    const auto chance = [&](unsigned percent) { return random() % 100 < percent; };

    ASSERT_TRUE(start(program()));
    ASSERT_TRUE(eventually([&] {
        const std::vector<sim::HookInfo> hooks = broker()->session().hooks();
        return std::count_if(hooks.begin(), hooks.end(),
                             [](const sim::HookInfo& h) { return h.processId == DWORD(::getpid()); }) == 2;
    })) << "the backend's hooks are in the broker's session";

    int lastCheckpoint = 0;
    int losses = 0;
    while (events < total && !HasFatalFailure()) {
        if (events - lastCheckpoint >= kCheckpointEvery) {
            lastCheckpoint = events;
            checkpoint("checkpoint after " + std::to_string(events) + " events");
            continue;
        }
        const unsigned roll = random() % 100;
        if (roll < 2 && ownHooksInstalled()) {
            loseHooks();
            ++losses;
        } else if (roll < 5 && !ownHooksInstalled()) {
            healthCheck();
        } else if (roll < 6 && !backend.status().active) {
            applyAgain();
        } else if (roll < 7 && down.count(0x67) == 0) {
            session.setToggle(VK_NUMLOCK, chance(50));
        } else if (roll < 55 || down.empty()) {
            const unsigned key = kKeys[random() % std::size(kKeys)];
            press(key); // a repeat when it is down already
        } else {
            auto it = down.begin();
            std::advance(it, random() % down.size());
            release(it->first);
        }
    }
    checkpoint("the end");
    EXPECT_GE(losses, 20) << "hook losses injected";
    RecordProperty("events", events);
    RecordProperty("hookLosses", losses);
    RecordProperty("checkpoints", checkpoints);
    std::cout << "seed " << seed << ": " << events << " key events, " << losses << " hook losses, " << checkpoints
              << " checkpoints\n";
}

} // namespace
} // namespace vorna::enginetest
