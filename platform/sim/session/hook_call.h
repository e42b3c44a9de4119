// One call of a low-level hook procedure, as the session's input stream hands it to the thread
// that installed the hook, and the port its answer goes back through.
//
// The way one call takes, hop by hop (a broker adds the wire between the session and the member):
//  1. session/session_state_input_stream.cpp: SessionState::runStream takes the next event and
//     callHook hands it to each hook of its chain in turn, newest first, with a deadline.
//  2. SessionDelivery::deliverHookCall finds the installing thread. In-process,
//     broker/process_session.cpp (LocalDelivery) puts the call on that thread's ThreadQueue. In a
//     broker, broker/broker.cpp writes it on the thread's own channel and waits there for the
//     answer, or, for a thread without one, sends it on the member's connection, where
//     broker/broker_client.cpp (Connection::receive) puts it on the thread's ThreadQueue.
//  3. process/thread_queue.cpp: the queue keeps the one pending call until its thread retrieves
//     messages (serveHookCalls), never on another thread.
//  4. stand_ins/win32_message.cpp: PeekMessageW and GetMessageW run it; MsgWaitForMultipleObjectsEx
//     returns for it as for input, so the thread comes back to retrieve.
//  5. stand_ins/win32_input_hooks.cpp: runLowLevelHook calls the procedure; CallNextHookEx inside
//     it records that the chain goes on.
//  6. The answer goes to the HookAnswerPort the call came with: the SessionState itself
//     in-process; over a broker, the thread's channel (ThreadQueue's Channel, read back in step 2)
//     or the member's connection (Connection::answerHook, a HookAnswer frame that
//     broker/broker.cpp hands to SessionState::answerHook).
//  7. session/session_state_input_stream.cpp: callHook takes the answer, or skips and removes a
//     hook that missed its deadline, and the stream goes on to the next hook or applies the event.
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

// Where a hook's answer goes: the session state that waits for it, or the line back to it.
class HookAnswerPort {
public:
    virtual ~HookAnswerPort() = default;
    // calledNext: the procedure called CallNextHookEx, so later hooks see the event.
    virtual void answerHook(std::uint64_t callId, LRESULT result, bool calledNext) = 0;
};

} // namespace vorna::sim
