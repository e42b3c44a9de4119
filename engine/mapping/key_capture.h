// Shortcut capture: while the settings window records a shortcut, the keyboard hook records up
// to four keys pressed together instead of mapping them. The record lives on the hook thread;
// the main thread sees only the published capture word.
#pragma once

#include "core/agent_protocol.h"

#include <atomic>
#include <cstdint>

namespace vorna::windows {

// The capture states are the agent protocol's "keyCapture" statuses.
using enum protocol::CaptureStatus;

constexpr uint16_t kCaptureNumpadEnter = 256; // capture code of the numpad Enter key
constexpr uint64_t kCaptureTimeoutMs = 10'000;

// Unpacked capture word.
struct CaptureState {
    uint8_t state = 0;
    uint8_t count = 0;
    bool keysDown = false;
    uint16_t codes[4] = {};
};

struct KeyCapture {
    uint8_t state = CaptureIdle;
    uint16_t codes[4] = {};
    uint8_t count = 0;
    bool heldAtStart[257] = {};
    uint16_t heldCount = 0;
    bool capturedDown[257] = {};
    uint16_t downCount = 0;
    uint64_t deadline = 0; // GetTickCount64 ms
    bool anyReleased = false;
    void* window = nullptr; // the window the capture was requested for
    std::atomic<uint64_t> word{0};

    bool running() const { return state == CaptureWaiting || state == CaptureCapturing; }

    // Starts a capture unless captured keys are still down or one is running; `held` tells which
    // keys are down now by capture code (8-256, generic Shift, Ctrl and Alt ignored). Republishes.
    void begin(const bool (&held)[kCaptureNumpadEnter + 1], void* forWindow, uint64_t nowMs);
    // Forgets captured keys that `down` (by capture code) says are up: their releases were not seen.
    void forgetReleased(const bool (&down)[kCaptureNumpadEnter + 1]);
    // A running capture ends as cancelled (also what every reset does). Republishes.
    void cancel();

    // Ends a running capture when the foreground moved away or the time ran out. Republishes.
    void checkTimeAndFocus(bool foregroundIsWindow, uint64_t nowMs);

    // The capture rules for one physical key event; true when the capture takes (swallows) it.
    // `code` is the virtual-key code, or 256 for numpad Enter; `supported` says whether the
    // engine can map and send the key. Republishes the word.
    bool onKey(uint16_t code, uint8_t phase, bool supported);

    uint64_t pack() const;
    void publish() { word.store(pack(), std::memory_order_release); }
};

CaptureState unpackCaptureWord(uint64_t word);

} // namespace vorna::windows
