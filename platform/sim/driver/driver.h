// Drives a simulated session the way a person at the machine would: keys, buttons, wheel and
// cursor as physical input, windows and notices, and reads what reached the system. Tests use
// it in C++; the vorna-sim tool offers the same on the command line.
#pragma once

#include "platform/sim/session/desktop_client.h"
#include "platform/sim/session/session_api.h"

#include <chrono>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vorna::sim {

class BrokerClient;

// The physical input that types each character of `text` on the US layout (Shift around it
// where needed), one group per character; nothing when a character has no key there.
std::optional<std::vector<std::vector<PhysicalEvent>>> usTypingEvents(std::wstring_view text);

class Driver {
public:
    // This process's own session (a broker's when VORNA_SIM_SESSION is set).
    Driver();
    // The broker listening on this socket; throws std::runtime_error when it cannot be reached
    // or does not greet within the time-out (BrokerClient::defaultTimeout() unless given). Once
    // connected, a call whose reply does not come in time (see BrokerClient) throws it too.
    explicit Driver(const std::string& socketPath);
    Driver(const std::string& socketPath, std::chrono::milliseconds timeout);
    ~Driver();
    Driver(const Driver&) = delete;
    Driver& operator=(const Driver&) = delete;

    SessionApi& session() { return *m_session; }
    // The clipboard, notification area, shell log and drive letters of the session.
    DesktopClient desktop() { return DesktopClient(*m_session); }

    // Physical input. Each call waits until the event has passed every hook or been swallowed
    // and returns true when it reached the system. Virtual keys name physical keys: VK_HOME is
    // the navigation block's, VK_NUMPAD7 the keypad's (it arrives as VK_HOME with Num Lock off),
    // kNumpadEnter the keypad's Enter; generic Shift, Ctrl and Alt are the left keys.
    bool keyDown(UINT virtualKey);
    bool keyUp(UINT virtualKey);
    bool tap(UINT virtualKey);
    bool scanDown(WORD scan, bool extended);
    bool scanUp(WORD scan, bool extended);
    // Types text on the US layout, with Shift where needed. False, with nothing sent, when a
    // character has no key there; false too when a hook swallowed any of the keys sent.
    bool type(std::wstring_view text);
    bool moveBy(LONG dx, LONG dy);
    bool moveTo(LONG x, LONG y);
    bool buttonDown(UINT button); // 1 left, 2 right, 3 middle, 4 and 5 the X buttons
    bool buttonUp(UINT button);
    bool click(UINT button);
    bool wheel(LONG delta);
    bool hwheel(LONG delta);
    std::vector<bool> send(const std::vector<PhysicalEvent>& events, bool wait = true);

    // What reached the system since the last call.
    std::vector<SinkEvent> takeSink() { return m_session->readSink(true); }
    bool isDown(UINT virtualKey);
    bool isToggled(UINT virtualKey);
    POINT cursor() { return m_session->page().readCursor(); }
    void setNumLock(bool on) { m_session->setToggle(VK_NUMLOCK, on); }
    // Thread 0: the session's default layout, which every thread without its own has.
    void setKeyboardLayout(std::uint64_t layout, DWORD threadId = 0) { m_session->setKeyboardLayout(threadId, layout); }

private:
    std::unique_ptr<BrokerClient> m_client;
    SessionApi* m_session;
};

// The key and Shift state that type a character on the US layout; false when none does.
bool usKeyFor(wchar_t character, WORD& virtualKey, bool& shift);

} // namespace vorna::sim
