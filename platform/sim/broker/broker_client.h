// A session held by a broker process, reached through its Unix socket. A member connection is
// the process's own link: hook calls and window messages for its threads arrive on it. A
// driver connection only asks.
#pragma once

#include "platform/sim/session/session_api.h"

#include <chrono>
#include <memory>
#include <string>

namespace vorna::sim {

class BrokerClient final : public SessionApi {
public:
    enum class Role : std::uint8_t { Member = 1, Driver = 2 };

    // How long the broker may stay silent: connecting and greeting, and each reply (a broker that
    // is slow to reply but answers a ping in time is waited for). VORNA_SIM_TIMEOUT_MS when it
    // holds a number of milliseconds (1 to a day), else 10 s.
    static std::chrono::milliseconds defaultTimeout();

    // Throws std::runtime_error when the broker cannot be reached or does not greet in time.
    // A driver's calls throw std::runtime_error, with the reason, once the connection has failed
    // (the broker has gone, refused a request, or not answered in time); a member's calls fail
    // as their Win32 functions do, and the reason goes to standard error once.
    BrokerClient(const std::string& socketPath, Role role, std::chrono::milliseconds timeout = defaultTimeout());
    ~BrokerClient() override;

    const SessionPage& page() override;
    UINT sendInput(const INPUT* inputs, UINT count, DWORD& error) override;
    HHOOK installHook(HookKind kind, DWORD processId, DWORD threadId, DWORD& error) override;
    bool removeHook(HHOOK hook) override;
    HWND registerWindow(const WindowRecord& window) override;
    void unregisterWindow(HWND window) override;
    std::optional<WindowRecord> findWindow(HWND window) override;
    DWORD registerRawInput(const std::vector<RAWINPUTDEVICE>& devices, DWORD processId) override;
    DWORD rawInputDevices(FailPoint call, std::vector<RawDevice>& devices) override;
    DWORD setSessionNotification(HWND window, bool on) override;
    DWORD takeFailure(FailPoint call) override;
    std::optional<ProcessRecord> findProcess(DWORD processId) override;
    void desktopCall(const std::vector<std::uint8_t>& request, std::vector<std::uint8_t>& reply) override;
    HWINEVENTHOOK installWinEventHook(const WinEventHookRecord& hook, DWORD& error) override;
    bool removeWinEventHook(HWINEVENTHOOK hook) override;
    std::uint64_t keyboardLayout(DWORD threadId) override;

    std::vector<bool> inject(const std::vector<PhysicalEvent>& events, bool wait) override;
    void waitIdle() override;
    void setScreen(const ScreenState& screen) override;
    void setCursor(POINT point) override;
    void setToggle(UINT virtualKey, bool on) override;
    void setKeyboardLayout(DWORD threadId, std::uint64_t layout) override;
    HWND addWindow(const WindowRecord& window) override;
    void removeWindow(HWND window) override;
    bool setForeground(HWND window) override;
    std::vector<WindowRecord> windows() override;
    void addProcess(const ProcessRecord& process) override;
    std::vector<SinkEvent> readSink(bool clear) override;
    std::vector<HookInfo> hooks() override;
    int notify(Notice notice, WPARAM code) override;
    std::uint64_t addRawDevice(const RawDevice& device) override;
    bool removeRawDevice(std::uint64_t handle) override;
    void setHookTimeout(DWORD milliseconds) override;
    void stepClock(std::int64_t milliseconds) override;
    void setFailure(FailPoint point, const Failure& failure) override;
    void reset() override;

private:
    class Connection;
    std::unique_ptr<Connection> m_connection;
};

} // namespace vorna::sim
