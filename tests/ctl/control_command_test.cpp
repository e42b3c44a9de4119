#include "ctl/control_command.h"

#include <gtest/gtest.h>

namespace {

using vorna::ctl::parseControlCommand;

struct WordCase {
    QStringList arguments;
    const char* request; // nullptr: refused with the usage text
    bool quitsWindow;
};

TEST(ControlCommand, WordsAreMatchedExactlyAndOnlyTheFirstCounts)
{
    const WordCase cases[] = {
        {{}, R"({"command":"state","version":1})", false},
        {{"state"}, R"({"command":"state","version":1})", false},
        {{"state", "panic"}, R"({"command":"state","version":1})", false},
        {{"panic"}, R"({"command":"panic","version":1})", false},
        {{"shutdown"}, R"({"command":"shutdown","version":1})", false},
        {{"shutdown-all"}, R"({"command":"shutdown","version":1})", true},
        {{"State"}, nullptr, false},
        {{"STATE"}, nullptr, false},
        {{"shutdown-all2"}, nullptr, false},
        {{""}, nullptr, false},
        {{"", "state"}, nullptr, false},
    };
    for (const WordCase& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const auto command = parseControlCommand(c.arguments);
        if (!c.request) {
            EXPECT_FALSE(command.has_value());
            continue;
        }
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(command->requestLine, QByteArray(c.request) + '\n');
        EXPECT_EQ(command->quitSettingsWindow, c.quitsWindow);
    }
}

} // namespace
