// The command-line driver against a broker.
#include "platform/sim/broker.h"
#include "platform/sim/driver.h"
#include "tests/support/vorna_sim_tool.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <sys/wait.h>
#include <unistd.h>

namespace {

using vorna::test::ToolRun;

ToolRun run(const std::string& arguments)
{
    return vorna::test::runVornaSim(arguments);
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
