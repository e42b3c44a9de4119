// One call of a low-level hook procedure, as the session's input stream hands it to the thread
// that installed the hook, and the port its answer goes back through.
#pragma once

#include "platform/sim/win32/win32_input.h"

#include <cstdint>

namespace vorna::sim {

enum class HookKind : std::uint8_t { Keyboard = 0, Mouse = 1 };

struct HookCall {
    std::uint64_t callId = 0;
    HHOOK hook = nullptr;
    DWORD threadId = 0;
    HookKind kind = HookKind::Keyboard;
    WPARAM message = 0;
    KBDLLHOOKSTRUCT key{};
    MSLLHOOKSTRUCT mouse{};
};

class HookAnswerPort {
public:
    virtual ~HookAnswerPort() = default;
    // calledNext: the procedure called CallNextHookEx, so later hooks see the event.
    virtual void answerHook(std::uint64_t callId, LRESULT result, bool calledNext) = 0;
};

} // namespace vorna::sim
