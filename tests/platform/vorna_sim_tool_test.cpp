// The command-line driver against a broker.
#include "platform/sim/broker.h"
#include "platform/sim/driver.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::string toolPath()
{
    char self[4096];
    const ssize_t n = ::readlink("/proc/self/exe", self, sizeof self - 1);
    std::string path(self, n > 0 ? std::size_t(n) : 0);
    // <build>/tests/platform/<test> -> <build>/platform/vorna-sim
    for (int up = 0; up < 3; ++up)
        path = path.substr(0, path.rfind('/'));
    return path + "/platform/vorna-sim";
}

struct ToolRun {
    int status;
    std::string output;
};

ToolRun run(const std::string& arguments)
{
    const std::string command = toolPath() + " " + arguments + " 2>&1";
    FILE* pipe = ::popen(command.c_str(), "r");
    ToolRun result{-1, {}};
    if (pipe == nullptr)
        return result;
    char buffer[512];
    for (std::size_t n; (n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0;)
        result.output.append(buffer, n);
    const int status = ::pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
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

} // namespace
