// What the agent and its clients (the settings window, vornactl) say to each other, declared
// once: the engine that records the codes, the agent that sends them, the window and its QML
// that read them all include this header, so a code, a limit or the version cannot drift
// between two ends. The numbers are on the wire and in stored traces: never renumber them.
#pragma once

#include <QJsonObject>
#include <QLatin1String>
#include <QObject>
#include <QString>
#include <QtGlobal>

#include <cstdint>

namespace vorna::protocol {
Q_NAMESPACE

// ---- Versions ----

// Every request line carries "version": 1; the agent refuses any other.
inline constexpr int kRequestVersion = 1;
// The "agentVersion" this agent reports in "state".
inline constexpr int kAgentVersion = 10;
// Agents up to this "agentVersion" are an older engine: no observation, no configure.
inline constexpr int kOlderEngineVersion = 9;

// ---- Line framing ----

// Longest line in either direction, its "\n" included.
inline constexpr qint64 kMaxLineBytes = 262144;
// A reader's buffer, and the limit it reads a line with: one byte more than the longest line,
// so a line that is too long is seen as too long instead of as one that has not ended yet.
inline constexpr qint64 kReadBufferBytes = kMaxLineBytes + 1;

// ---- Message types: the "type" of every line the agent sends ----

inline constexpr QLatin1String kTypeKey("type");
inline constexpr QLatin1String kStateMessage("state");
inline constexpr QLatin1String kTraceMessage("trace");
inline constexpr QLatin1String kHeldMessage("held");
inline constexpr QLatin1String kKeyCaptureMessage("keyCapture");
// Input events, which agents before observation sent to the window.
inline constexpr QLatin1String kInputMessage("input");

// ---- Records of a trace: "kind" ----

enum RecordKind : std::uint8_t {
    kRecordInput = 0,   // an input as the engine saw it
    kRecordOutput = 1,  // an output the engine sent
    kRecordEngine = 2,  // a trigger, layer or macro event
    kRecordPointer = 3, // pointer movement
    kRecordAction = 4,  // a custom action: its request and its executor's events
    kRecordCursor = 5,  // pointer output
};

// ---- Records of a trace: "result". One name per number, whichever kind carries it ----

enum ResultCode : std::uint8_t {
    kResultPassed = 0,
    kResultSwallowed = 1,    // input; engine: trigger resolved to a block
    kResultSent = 2,
    kResultFailed = 3,       // an output or an action failed or was refused
    kResultLayer = 4,
    kResultMacroRunning = 5,
    kResultCancelled = 6,    // a macro stopped or reset; an action's transfer aborted because the
                             // window changed, or cancelled
    kResultCompleted = 7,    // a trigger resolved to its other target, a macro ended, a paste
                             // finished (clipboard put back, or dropped because it had changed)
    kResultPending = 8,      // trigger pending (slot opened): processed, no new output yet
    kResultQueued = 9,       // an action request queued for the executor, or held until the user
                             // releases modifier keys
    kResultAccepted = 10,    // an action's worker reports success
    kResultStepSent = 11,    // typing progress, paste shortcut submitted
    kResultCommandApplied = 12, // a command took effect: a pointer mode engaged, or a profile
                                // step the engine has applied
};

// ---- Shortcut capture: "status" of a "keyCapture" line (the backend's capture state) ----

enum CaptureStatus : std::uint8_t {
    CaptureIdle = 0,
    CaptureWaiting = 1, // keys held when the capture began must be released first
    CaptureCapturing = 2,
    CaptureComplete = 3,
    CaptureCancelled = 4, // also: the agent ended the capture, or it never started
    CaptureTimedOut = 5,
    CaptureFocusLost = 6,
    CaptureTooMany = 7,
    CaptureInvalid = 8,
};

// The result codes for QML, whose enumerators must begin with a capital letter: the settings
// window registers this as "AgentProtocol.Result", so QML names the codes it tests.
enum class Result {
    Passed = kResultPassed,
    Swallowed = kResultSwallowed,
    Sent = kResultSent,
    Failed = kResultFailed,
    Layer = kResultLayer,
    MacroRunning = kResultMacroRunning,
    Cancelled = kResultCancelled,
    Completed = kResultCompleted,
    Pending = kResultPending,
    Queued = kResultQueued,
    Accepted = kResultAccepted,
    StepSent = kResultStepSent,
    CommandApplied = kResultCommandApplied,
};
Q_ENUM_NS(Result)

// ---- The library the agent runs ----

// SHA-256 of the library's compact JSON (keys in ascending order, the bytes the file holds), as
// 64 lower-case hexadecimal digits: what the agent reports as "documentHash" for the library it
// runs, and what the window compares it with to say "Saved and applied".
QString documentHash(const QJsonObject& library);

// A copy in which no rule of any layer of any profile carries a "name"; everything else as it
// was. Two libraries that differ only by rule names run identically.
QJsonObject stripRuleNames(const QJsonObject& library);

} // namespace vorna::protocol
