// The command-line driver against a broker.
#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "tests/platform/peer.h"
#include "tests/support/vorna_sim_tool.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using vorna::test::ToolRun;

ToolRun run(const std::string& arguments, bool leakCheck = true)
{
    return vorna::test::runVornaSim(arguments, leakCheck);
}

TEST(VornaSimTool, DrivesABrokerAndReadsWhatReachedTheSystem)
{
    const std::string socket = "/tmp/vorna-sim-tool-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    const std::string s = "--socket " + socket + " ";
    EXPECT_EQ(run(s + "tap a").output, "passed\npassed\n");
    EXPECT_EQ(run(s + "toggle numlock off").status, 0);
    EXPECT_EQ(run(s + "press numpad7").output, "passed\n");
    const ToolRun sink = run(s + "sink");
    EXPECT_EQ(sink.output, "WM_KEYDOWN vk=65 scan=0x1e flags=0x0 extra=0x0\n"
                           "WM_KEYUP vk=65 scan=0x1e flags=0x80 extra=0x0\n"
                           "WM_KEYDOWN vk=36 scan=0x47 flags=0x0 extra=0x0\n");
    EXPECT_EQ(run(s + "sink").output, "");
    EXPECT_EQ(run(s + "monitors -1920,0,0,1080 0,0,2560,1440 --primary 1").status, 0);
    EXPECT_EQ(run(s + "move-to -100 50").output, "passed\n");
    EXPECT_EQ(vorna::sim::Driver(socket).cursor().x, -100);
    const ToolRun bad = run(s + "press nosuchkey");
    EXPECT_EQ(bad.status, 2);
    EXPECT_NE(bad.output.find("unknown key: nosuchkey"), std::string::npos);
    EXPECT_EQ(run("--socket /tmp/vorna-sim-no-such.sock keys").status, 1);
    const ToolRun help = run("--help");
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("vorna-sim serve SOCKET"), std::string::npos);
}

// Typing reports each character: typed, or swallowed by a hook (a remapping); only a character
// the US layout has no key for is a usage error.
TEST(VornaSimTool, TypingSaysWhichCharactersAHookSwallowed)
{
    const std::string socket = "/tmp/vorna-sim-tool-type-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    const std::string s = "--socket " + socket + " ";
    EXPECT_EQ(run(s + "type 'a B'").output, "a: typed\nspace: typed\nB: typed\n");

    DWORD pid = 0;
    const HANDLE peer = vorna::test::startPeer(L"swallow-key 66", &pid, socket);
    ASSERT_NE(peer, nullptr);
    vorna::sim::Driver driver(socket);
    bool hooked = false;
    for (int i = 0; i < 1000 && !hooked; ++i) {
        for (const auto& hook : driver.session().hooks())
            hooked = hooked || hook.processId == pid;
        if (!hooked)
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    ASSERT_TRUE(hooked);
    driver.takeSink();
    const ToolRun typed = run(s + "type abA");
    EXPECT_EQ(typed.status, 0);
    EXPECT_EQ(typed.output, "a: typed\nb: swallowed\nA: typed\n");
    EXPECT_EQ(driver.takeSink().size(), 6u); // a, A with its Shift: down and up each

    const ToolRun foreign = run(s + "type 'x\xd0\xb6'");
    EXPECT_EQ(foreign.status, 2);
    EXPECT_NE(foreign.output.find("the US layout cannot type"), std::string::npos);
    TerminateProcess(peer, 0);
    vorna::test::waitForExit(peer);
    CloseHandle(peer);
}

// Runs the tool with each set of arguments, several at a time.
std::vector<ToolRun> runAll(const std::vector<std::string>& arguments)
{
    std::vector<ToolRun> results(arguments.size());
    constexpr std::size_t batch = 6;
    for (std::size_t first = 0; first < arguments.size(); first += batch) {
        std::vector<std::thread> running;
        for (std::size_t i = first; i < std::min(arguments.size(), first + batch); ++i)
            running.emplace_back([&, i] { results[i] = run(arguments[i], false); });
        for (std::thread& t : running)
            t.join();
    }
    return results;
}

std::string monitors(int count)
{
    std::string list;
    for (int i = 0; i < count; ++i)
        list += " " + std::to_string(i * 100) + ",0," + std::to_string(i * 100 + 100) + ",100";
    return list;
}

struct ArgumentCase {
    std::string arguments;
    int status;
    std::string message; // a part of what the tool prints
};

// Out-of-range and malformed arguments are refused with a message and exit 2, and nothing
// reaches the session; the values at the edges of each range are taken.
TEST(VornaSimTool, RefusesArgumentsOutOfRangeInsteadOfWrappingThem)
{
    const std::string socket = "/tmp/vorna-sim-tool-args-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    const std::vector<ArgumentCase> refused = {
        {"press vk:300", 2, "the virtual-key code of vk:300 must be 1 to 255: 300"},
        {"press vk:0", 2, "must be 1 to 255"},
        {"press vk:-1", 2, "must be 1 to 255"},
        {"tap vk:0x100", 2, "must be 1 to 255: 0x100"},
        {"press vk:abc", 2, "is not a number: abc"},
        {"press vk:", 2, "is not a number"},
        {"press vk:12x", 2, "is not a number: 12x"},
        {"press f25", 2, "unknown key: f25"},
        {"press f1x", 2, "unknown key: f1x"},
        {"press f01", 2, "unknown key: f01"},
        {"toggle numpad-enter on", 2, "toggle KEY on|off"},
        {"toggle capslock maybe", 2, "toggle KEY on|off"},
        {"layout fr", 2, "layout takes en, ru, de or a layout handle"},
        {"layout 0x04190000", 2, "layout takes en, ru, de"},
        {"layout ru 0", 2, "layout TID must be 1 to 4294967295: 0"},
        {"layout ru 4294967296", 2, "layout TID must be 1 to 4294967295"},
        {"layout-of -1", 2, "layout-of TID must be 0 to 4294967295"},
        {"hook-timeout 4294967296", 2, "hook-timeout MS must be 0 to 4294967295: 4294967296"},
        {"hook-timeout -1", 2, "hook-timeout MS must be 0 to 4294967295"},
        {"hook-timeout 12abc", 2, "hook-timeout MS is not a number: 12abc"},
        {"hook-timeout ' 5'", 2, "is not a number"},
        {"clock -5", 2, "clock MS must be 0 to 4398046511104: -5"},
        {"clock 4398046511105", 2, "clock MS must be 0 to 4398046511104"},
        {"clock 9223372036854775808", 2, "clock MS must be 0 to 4398046511104"},
        {"clock 99999999999999999999999", 2, "clock MS must be 0 to"},
        {"monitors" + monitors(17), 2, "monitors takes at most 16 rectangles"},
        {"monitors 0,0,10,10 --primary 1", 2, "--primary must be 0 to 0: 1"},
        {"monitors 0,0,10,10 --primary -1", 2, "--primary must be 0 to 0"},
        {"monitors 0,0,10,10 --primary", 2, "--primary needs one monitor number"},
        {"monitors --primary 0", 2, "monitors needs at least one rectangle"},
        {"monitors 0,0,0,10", 2, "an empty rectangle"},
        {"monitors 0,0,99999999,10", 2, "must be -16777216 to 16777216: 99999999"},
        {"monitors 0,0,4294967306,10", 2, "must be -16777216 to 16777216"},
        {"monitors 0,0,10", 2, "not a rectangle L,T,R,B: 0,0,10"},
        {"monitors 0,0,10,10,5", 2, "not a rectangle"},
        {"clip 5,5,1,1", 2, "an empty rectangle"},
        {"scroll 32768", 2, "scroll delta must be -32768 to 32767: 32768"},
        {"hscroll -32769", 2, "hscroll delta must be -32768 to 32767"},
        {"move 2147483648 0", 2, "move x must be -2147483648 to 2147483647"},
        {"move-to 0 -2147483649", 2, "move-to y must be"},
        {"add-window -1 1 t", 2, "add-window PID must be 0 to 4294967295: -1"},
        {"add-window 1 4294967296 t", 2, "add-window TID must be 0 to 4294967295"},
        {"add-process 4294967296 a.exe", 2, "add-process PID must be 0 to 4294967295"},
        {"add-process 1 a.exe --allowed", 2, "add-process takes only --denied"},
        {"remove-window -5", 2, "remove-window HWND is not a handle"},
        {"foreground 0", 2, "foreground HWND is not a handle"},
        {"foreground 18446744073709551616", 2, "is not a handle"},
        {"remove-device 0x", 2, "remove-device HANDLE is not a handle"},
        {"add-device mouse m 0", 2, "add-device BUTTONS must be 1 to 32"},
        {"add-device hid h 70000 1", 2, "add-device VENDOR must be 0 to 65535"},
        {"add-device hid h 1", 2, "needs both VENDOR and PRODUCT"},
        {"add-device joystick j", 2, "add-device mouse|keyboard|hid"},
        {"add-device keyboard k 5", 2, "add-device takes at most 2 argument(s)"},
        {"fail send-input 5 -2", 2, "fail COUNT must be -1 to 2147483647: -2"},
        {"fail send-input 5 1 -1", 2, "fail ACCEPT must be 0 to 4294967295"},
        {"fail send-input 4294967296", 2, "fail ERROR must be 0 to 4294967295"},
        {"fail nowhere 5", 2, "unknown failure point: nowhere"},
        {"keys extra", 2, "keys takes at most 0 argument(s)"},
        {"sink --all", 2, "sink takes only --keep"},
        {"click left right", 2, "click takes at most 1 argument(s)"},
        {"notice end-session now", 2, "notice takes at most 1 argument(s)"},
        {"type", 2, "type needs 1 argument(s)"},
    };
    std::vector<std::string> lines;
    for (const ArgumentCase& c : refused)
        lines.push_back("--socket " + socket + " " + c.arguments);
    const std::vector<ToolRun> results = runAll(lines);
    for (std::size_t i = 0; i < refused.size(); ++i) {
        const ArgumentCase& c = refused[i];
        const ToolRun& result = results[i];
        EXPECT_EQ(result.status, c.status) << c.arguments << "\n" << result.output;
        EXPECT_EQ(result.output.rfind("vorna-sim: ", 0), 0u) << c.arguments << "\n" << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << "\n" << result.output;
        EXPECT_NE(result.output.find("(see vorna-sim --help)"), std::string::npos) << c.arguments << "\n" << result.output;
    }
    const std::vector<std::string> badOptions = {"--timeout 0 keys", "--timeout 5 --timeout 6 keys", "--socket " + socket + " --socket x keys",
                                                 "--timeout 86400001 keys", "--timeout"};
    lines.clear();
    for (const std::string& options : badOptions)
        lines.push_back("--socket " + socket + " " + options);
    const std::vector<ToolRun> optionResults = runAll(lines);
    for (std::size_t i = 0; i < badOptions.size(); ++i)
        EXPECT_EQ(optionResults[i].status, 2) << badOptions[i] << "\n" << optionResults[i].output;

    // Nothing of the above reached the session.
    vorna::sim::Driver driver(socket);
    EXPECT_TRUE(driver.takeSink().empty());
    EXPECT_EQ(driver.session().page().clockOffsetNs.load(), 0);
    EXPECT_EQ(driver.session().page().hookTimeoutMs.load(), 300u);
    EXPECT_EQ(driver.session().page().readScreen().monitorCount, 1);
    EXPECT_TRUE(driver.session().windows().empty());

    // The edges are taken.
    const std::vector<ArgumentCase> taken = {
        {"press vk:255", 0, "passed"},
        {"release vk:0xFF", 0, "passed"},
        {"tap f24 F1", 0, "passed\npassed\npassed\npassed"},
        {"scroll -32768", 0, "passed"},
        {"hscroll 32767", 0, "passed"},
        {"move -2147483648 2147483647", 0, "passed"},
        {"hook-timeout 4294967295", 0, ""},
        {"clock 0", 0, ""},
        {"clock 4398046511104", 0, ""},
        {"monitors" + monitors(16) + " --primary 15", 0, ""},
        {"monitors -16777216,-16777216,16777216,16777216", 0, ""},
        {"fail send-input 5 -1 4294967295", 0, ""},
        {"add-window 4294967295 0 t", 0, "0x"},
    };
    for (const ArgumentCase& c : taken) {
        const ToolRun result = run("--socket " + socket + " --timeout 5000 " + c.arguments, false);
        EXPECT_EQ(result.status, 0) << c.arguments << "\n" << result.output;
        EXPECT_NE(result.output.find(c.message), std::string::npos) << c.arguments << "\n" << result.output;
    }
    EXPECT_EQ(driver.session().page().hookTimeoutMs.load(), 4294967295u);
    EXPECT_EQ(driver.session().page().clockOffsetNs.load(), std::int64_t(4398046511104) * 1'000'000);
    // The clock is at its limit now: one more step is refused, by the tool before the broker.
    const ToolRun past = run("--socket " + socket + " clock 1");
    EXPECT_EQ(past.status, 2);
    EXPECT_NE(past.output.find("a clock step past the largest offset"), std::string::npos) << past.output;
}

TEST(VornaSimTool, ASilentBrokerIsAnErrorAfterTheTimeOut)
{
    const std::string path = "/tmp/vorna-sim-tool-silent-" + std::to_string(::getpid()) + ".sock";
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    path.copy(address.sun_path, sizeof address.sun_path - 1);
    ::unlink(path.c_str());
    const int listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    ASSERT_EQ(::bind(listener, reinterpret_cast<const sockaddr*>(&address), sizeof address), 0);
    ASSERT_EQ(::listen(listener, 8), 0); // connections queue up, and nothing ever answers them
    const ToolRun result = run("--socket " + path + " --timeout 300 keys");
    EXPECT_EQ(result.status, 1);
    EXPECT_NE(result.output.find("vorna-sim: the broker at " + path + " cannot be joined: it did not greet within 300 ms"),
              std::string::npos)
        << result.output;
    ::close(listener);
    ::unlink(path.c_str());
}

} // namespace
