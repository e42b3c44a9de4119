// Round trip of one physical key through one low-level hook that passes it on: from the
// driver's press to its answer that the key reached the system. Once with the session in the
// process, once through a broker with the hook in another process.
#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "platform/win32.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <sys/eventfd.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vorna::sim::Driver;
using vorna::sim::PhysicalEvent;

LRESULT CALLBACK passingHook(int code, WPARAM message, LPARAM data)
{
    return CallNextHookEx(nullptr, code, message, data);
}

// The hook side: install, then retrieve messages as the engine's hook thread does.
void pumpWithHook(const std::atomic<bool>& stop)
{
    MSG msg;
    PeekMessageW(&msg, nullptr, WM_USER, WM_USER, PM_NOREMOVE);
    const HHOOK hook = SetWindowsHookExW(WH_KEYBOARD_LL, passingHook, GetModuleHandleW(nullptr), 0);
    while (!stop.load()) {
        MsgWaitForMultipleObjectsEx(0, nullptr, 50, 0x1CFF, MWMO_INPUTAVAILABLE);
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT)
                break;
            DispatchMessageW(&msg);
        }
    }
    UnhookWindowsHookEx(hook);
}

void reportPercentiles(benchmark::State& state, std::vector<double>& micros)
{
    if (micros.empty())
        return;
    std::sort(micros.begin(), micros.end());
    state.counters["median_us"] = micros[micros.size() / 2];
    state.counters["p99_us"] = micros[std::min(micros.size() - 1, micros.size() * 99 / 100)];
}

void measureRoundTrips(benchmark::State& state, Driver& driver)
{
    std::vector<double> micros;
    micros.reserve(1 << 16);
    bool down = true;
    for (auto _ : state) {
        PhysicalEvent e;
        e.type = down ? PhysicalEvent::Type::KeyDown : PhysicalEvent::Type::KeyUp;
        e.key = 'A';
        const auto start = std::chrono::steady_clock::now();
        const std::vector<bool> outcome = driver.send({e});
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        if (outcome.empty() || !outcome[0])
            state.SkipWithError("the key did not reach the system");
        down = !down;
        driver.session().readSink(true);
    }
    reportPercentiles(state, micros);
}

// What the machine itself costs: two threads waking each other once each over eventfds. A key's
// round trip needs at least two such hand-offs in-process (to the hook thread and back) plus the
// input stream's own, so this bounds what the session can reach here.
void ThreadWakeFloor(benchmark::State& state)
{
    const int there = eventfd(0, EFD_CLOEXEC), back = eventfd(0, EFD_CLOEXEC);
    std::atomic<bool> stop{false};
    std::thread echo([&] {
        std::uint64_t value;
        while (::read(there, &value, sizeof value) == sizeof value && !stop.load())
            [[maybe_unused]] const ssize_t written = ::write(back, &value, sizeof value);
    });
    std::vector<double> micros;
    micros.reserve(1 << 16);
    for (auto _ : state) {
        std::uint64_t value = 1;
        const auto start = std::chrono::steady_clock::now();
        [[maybe_unused]] const ssize_t written = ::write(there, &value, sizeof value);
        [[maybe_unused]] const ssize_t read = ::read(back, &value, sizeof value);
        micros.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
    }
    stop.store(true);
    std::uint64_t value = 1;
    [[maybe_unused]] const ssize_t written = ::write(there, &value, sizeof value);
    echo.join();
    ::close(there);
    ::close(back);
    reportPercentiles(state, micros);
}

void InProcessSession(benchmark::State& state)
{
    Driver driver;
    driver.session().reset();
    std::atomic<bool> stop{false};
    std::thread hookThread([&] { pumpWithHook(stop); });
    while (driver.session().hooks().empty())
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    measureRoundTrips(state, driver);
    stop.store(true);
    hookThread.join();
}

std::string selfPath()
{
    char path[4096];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return std::string(path, n > 0 ? std::size_t(n) : 0);
}

void ThroughBroker(benchmark::State& state)
{
    const std::string socket = "/tmp/vorna-sim-bench-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    // The hook lives in another process that joins the broker's session.
    const std::string self = selfPath();
    std::wstring line = L"\"" + std::wstring(self.begin(), self.end()) + L"\" --hook-peer";
    std::wstring environment = L"VORNA_SIM_SESSION=" + std::wstring(socket.begin(), socket.end()) + L'\0' + L'\0';
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION peer{};
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_UNICODE_ENVIRONMENT, environment.data(), nullptr,
                        &startup, &peer)) {
        state.SkipWithError("cannot start the hook process");
        return;
    }
    Driver driver(socket);
    for (int i = 0; i < 5000 && driver.session().hooks().empty(); ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    measureRoundTrips(state, driver);
    TerminateProcess(peer.hProcess, 0);
    WaitForSingleObject(peer.hProcess, 5000);
    CloseHandle(peer.hProcess);
    CloseHandle(peer.hThread);
}

BENCHMARK(ThreadWakeFloor)->MinTime(2.0)->UseRealTime();
BENCHMARK(InProcessSession)->MinTime(2.0)->UseRealTime();
BENCHMARK(ThroughBroker)->MinTime(2.0)->UseRealTime();

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--hook-peer") == 0) {
        const std::atomic<bool> never{false};
        pumpWithHook(never);
        return 0;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
