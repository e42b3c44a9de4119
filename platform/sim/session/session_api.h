// Everything a process or a driver asks of the simulated session. SessionState implements it
// in the process that holds the session; BrokerClient forwards it to a broker that does.
#pragma once

#include "platform/sim/session/hook_call.h" // HookKind
#include "platform/sim/session/session_page.h"
#include "platform/sim/session/session_types.h"
#include "platform/sim/win32/win32_input.h"
#include "platform/sim/win32/win32_raw_input.h"

#include <functional>
#include <optional>
#include <vector>

namespace vorna::sim {

class SessionApi {
public:
    virtual ~SessionApi() = default;

    // --- what the Win32 stand-in of a member process uses
    virtual const SessionPage& page() = 0;
    // Queues the events; returns how many were taken, with error set when not all.
    virtual UINT sendInput(const INPUT* inputs, UINT count, DWORD& error) = 0;
    virtual HHOOK installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error) = 0;
    virtual bool removeHook(HHOOK hook) = 0;
    virtual HWND registerWindow(const WindowRecord& window) = 0;
    virtual void unregisterWindow(HWND window) = 0;
    virtual std::optional<WindowRecord> findWindow(HWND window) = 0;
    // Returns the Win32 error, 0 on success.
    virtual DWORD registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId) = 0;
    // The device list, or the error a forced failure of that call gives.
    virtual DWORD rawInputDevices(FailPoint call, std::vector<RawDevice>& devices) = 0;
    virtual DWORD setSessionNotification(HWND window, bool on) = 0;
    virtual std::optional<ProcessRecord> findProcess(DWORD processId) = 0;
    // The desktop half (clipboard, notification area, shell, drives): a request DesktopClient
    // wrote and the reply it reads.
    virtual void desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply) = 0;
    // The error of a forced failure of a call that asks nothing else of the session; 0 when the
    // call is to succeed.
    virtual DWORD takeFailure(FailPoint call) = 0;
    // Null with the error set when the hook cannot be installed.
    virtual HWINEVENTHOOK installWinEventHook(const WinEventHookRecord& hook, DWORD& error) = 0;
    virtual bool removeWinEventHook(HWINEVENTHOOK hook) = 0;
    // The keyboard layout handle of a thread: its own, else the session's default.
    virtual std::uint64_t keyboardLayout(DWORD threadId) = 0;

    // --- what a driver uses
    // Queues physical input. With wait, returns once every event has passed or been swallowed,
    // one entry per event: true when it reached the system.
    virtual std::vector<bool> inject(const std::vector<PhysicalEvent>& events, bool wait) = 0;
    virtual void waitIdle() = 0;
    virtual void setScreen(const ScreenState& screen) = 0;
    virtual void setCursor(POINT point) = 0;
    virtual void setToggle(UINT virtualKey, bool on) = 0;
    // Gives a thread its own keyboard layout; thread 0 sets the session's default, which every
    // thread without its own has (US English in a fresh session).
    virtual void setKeyboardLayout(DWORD threadId, std::uint64_t layout) = 0;
    virtual HWND addWindow(const WindowRecord& window) = 0;
    virtual void removeWindow(HWND window) = 0;
    virtual bool setForeground(HWND window) = 0;
    // Top-level and child windows, from the top of the Z order down.
    virtual std::vector<WindowRecord> windows() = 0;
    virtual void addProcess(const ProcessRecord& process) = 0;
    virtual std::vector<SinkEvent> readSink(bool clear) = 0;
    virtual std::vector<HookInfo> hooks() = 0;
    // Sends a notice to the windows that receive it; returns how many did.
    virtual int notify(Notice notice, WPARAM code) = 0;
    virtual std::uint64_t addRawDevice(const RawDevice& device) = 0; // tells registered windows
    virtual bool removeRawDevice(std::uint64_t handle) = 0;          // likewise
    virtual void setHookTimeout(DWORD milliseconds) = 0;
    virtual void stepClock(std::int64_t milliseconds) = 0;
    virtual void setFailure(FailPoint point, const Failure& failure) = 0;
    // Back to a fresh session; hooks and windows of live threads stay.
    virtual void reset() = 0;
};

// The session this process belongs to: a broker's when VORNA_SIM_SESSION names its socket,
// else one of its own (chosen in broker/process_session.cpp).
SessionApi& processSession();

} // namespace vorna::sim
