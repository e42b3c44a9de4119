#include "engine/mapping/key_capture.h"

namespace vorna::windows {

namespace {

constexpr uint16_t kEscape = 27;
constexpr uint16_t kEnter = 13;

void setFlag(bool (&flags)[257], uint16_t& counter, uint16_t code, bool value)
{
    if (flags[code] == value)
        return;
    flags[code] = value;
    if (value)
        ++counter;
    else
        --counter;
}

} // namespace

void KeyCapture::begin(const bool (&held)[kCaptureNumpadEnter + 1], void* forWindow, uint64_t nowMs)
{
    if (downCount == 0 && !running()) {
        state = CaptureIdle;
        for (uint16_t& c : codes)
            c = 0;
        count = 0;
        for (bool& h : heldAtStart)
            h = false;
        heldCount = 0;
        for (int code = 8; code <= kCaptureNumpadEnter; ++code) {
            if (code == 16 || code == 17 || code == 18 || !held[code])
                continue;
            heldAtStart[code] = true;
            ++heldCount;
        }
        window = forWindow;
        deadline = nowMs + kCaptureTimeoutMs;
        anyReleased = false;
        state = heldCount > 0 ? CaptureWaiting : CaptureCapturing;
    }
    publish();
}

void KeyCapture::forgetReleased(const bool (&down)[kCaptureNumpadEnter + 1])
{
    for (uint16_t code = 0; code <= kCaptureNumpadEnter; ++code) {
        if (!down[code])
            setFlag(capturedDown, downCount, code, false);
    }
    publish();
}

void KeyCapture::cancel()
{
    if (running())
        state = CaptureCancelled;
    publish();
}

void KeyCapture::checkTimeAndFocus(bool foregroundIsWindow, uint64_t nowMs)
{
    if (running()) {
        if (!foregroundIsWindow)
            state = CaptureFocusLost;
        else if (nowMs >= deadline)
            state = CaptureTimedOut;
    }
    publish();
}

bool KeyCapture::onKey(uint16_t code, uint8_t phase, bool supported)
{
    const bool release = phase == 1;
    bool taken = false;
    if (state == CaptureWaiting && code == kCaptureNumpadEnter && release) {
        // The scan at the start saw numpad Enter as Enter (13): its release counts for 13 first.
        if (capturedDown[kEnter]) {
            setFlag(capturedDown, downCount, kEnter, false);
            anyReleased = true;
        } else {
            setFlag(heldAtStart, heldCount, kEnter, false);
            if (heldCount == 0)
                state = CaptureCapturing;
        }
    }
    if (capturedDown[code] && !release) {
        taken = true;
    } else if (capturedDown[code]) {
        setFlag(capturedDown, downCount, code, false);
        anyReleased = true;
        if (state == CaptureCapturing && downCount == 0)
            state = CaptureComplete;
        taken = true;
    } else if (state == CaptureWaiting) {
        setFlag(heldAtStart, heldCount, code, !release);
        if (heldCount == 0)
            state = CaptureCapturing;
    } else if (state == CaptureCapturing && phase == 0) {
        setFlag(capturedDown, downCount, code, true);
        if (code == kEscape)
            state = CaptureCancelled;
        else if (!supported || anyReleased)
            state = CaptureInvalid;
        else if (count == 4)
            state = CaptureTooMany;
        else
            codes[count++] = code;
        taken = true;
    }
    publish();
    return taken;
}

uint64_t KeyCapture::pack() const
{
    uint64_t w = uint64_t(state & 0xF) | (uint64_t(count & 0x7) << 4) | (uint64_t(downCount != 0) << 7);
    for (int i = 0; i < 4; ++i)
        w |= uint64_t(codes[i] & 0x1FF) << (8 + 9 * i);
    return w;
}

CaptureState unpackCaptureWord(uint64_t word)
{
    CaptureState s;
    s.state = uint8_t(word & 0xF);
    s.count = uint8_t((word >> 4) & 0x7);
    s.keysDown = ((word >> 7) & 1) != 0;
    for (int i = 0; i < 4; ++i)
        s.codes[i] = uint16_t((word >> (8 + 9 * i)) & 0x1FF);
    return s;
}

} // namespace vorna::windows
