#include "engine/mapping/supported_input.h"

#include "engine_test_support.h"

#include <gtest/gtest.h>

namespace {

using namespace vorna::enginetest;
using vorna::core::isSupportedInputId;
using vorna::core::makeInputId;

struct SupportCase {
    vorna::core::InputId input;
    bool supported;
    const char* what;
};

TEST(SupportedInputs, AcceptExactlyWhatHooksSeeAndSendInputSends)
{
    const SupportCase cases[] = {
        {key(8), true, "backspace"},
        {key(7), false, "undocumented 7"},
        {key(16), false, "generic Shift"},
        {key(17), false, "generic Ctrl"},
        {key(18), false, "generic Alt"},
        {key(19), true, "Pause, right after the generic modifiers"},
        {key(15), false, "15"},
        {key(160), true, "left Shift"},
        {key(161), true, "right Shift"},
        {key(165), true, "right Alt"},
        {key(226), true, "OEM 102"},
        {key(227), false, "227"},
        {key(255), false, "255"},
        {kNumpadEnter, true, "numpad Enter"},
        {makeInputId(0, 1, 285), false, "other extended key"},
        {makeInputId(0, 1, 28), false, "Enter's scan code without the extended bit"},
        {makeInputId(0, 2, 65), false, "reserved keyboard kind 2"},
        {button(1), true, "left button"},
        {button(5), true, "X2"},
        {button(6), false, "button 6, structurally valid"},
        {button(0), false, "button 0"},
        {makeInputId(1, 5, 1), false, "button class with wheel kind"},
        {wheel(1), true, "wheel up"},
        {wheel(4), true, "wheel right"},
        {wheel(5), false, "wheel direction 5"},
        {makeInputId(3, 0, 65), false, "class 3"},
    };
    for (const SupportCase& c : cases)
        EXPECT_EQ(isSupportedInputId(c.input), c.supported) << c.what;
}

} // namespace
