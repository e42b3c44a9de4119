// Keyboard layouts of the simulated session: one per thread with a session-wide default, the
// characters of the US English, Russian and German tables, and the driver's command on a broker.
#include "platform/sim/broker/broker.h"
#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "platform/win32.h"
#include "tests/support/vorna_sim_tool.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <thread>
#include <unistd.h>

namespace {

using vorna::sim::Driver;
using vorna::sim::kLayoutGerman;
using vorna::sim::kLayoutRussian;
using vorna::sim::kLayoutUsEnglish;

std::uint64_t layoutOf(DWORD thread)
{
    return static_cast<std::uint64_t>(reinterpret_cast<std::uintptr_t>(GetKeyboardLayout(thread)));
}

HKL handle(std::uint64_t layout)
{
    return reinterpret_cast<HKL>(static_cast<std::uintptr_t>(layout));
}

class SessionLayouts : public testing::Test {
protected:
    void TearDown() override { driver.session().reset(); }
    Driver driver;
};

TEST_F(SessionLayouts, EachThreadHasItsOwnLayoutOrTheSessionDefault)
{
    EXPECT_EQ(layoutOf(0), kLayoutUsEnglish);
    driver.setKeyboardLayout(kLayoutRussian);
    EXPECT_EQ(layoutOf(0), kLayoutRussian);
    EXPECT_EQ(layoutOf(GetCurrentThreadId()), kLayoutRussian);

    DWORD other = 0;
    std::uint64_t seenThere = 0;
    std::thread worker([&] {
        other = GetCurrentThreadId();
        driver.setKeyboardLayout(kLayoutGerman, other);
        seenThere = layoutOf(0);
    });
    worker.join();
    EXPECT_EQ(seenThere, kLayoutGerman);
    EXPECT_EQ(layoutOf(0), kLayoutRussian) << "another thread's layout leaked into this one";
    EXPECT_EQ(layoutOf(other), kLayoutGerman);

    driver.session().reset();
    EXPECT_EQ(layoutOf(0), kLayoutUsEnglish);
    EXPECT_EQ(layoutOf(other), kLayoutUsEnglish);
}

TEST_F(SessionLayouts, AThreadsLayoutIsTheForegroundWindowsWhenTheProbeAsksForIt)
{
    const DWORD editorThread = 4242;
    vorna::sim::WindowRecord window;
    window.processId = 77;
    window.threadId = editorThread;
    window.title = L"Document";
    window.visible = true;
    const HWND editor = driver.session().addWindow(window);
    ASSERT_TRUE(driver.session().setForeground(editor));
    driver.setKeyboardLayout(kLayoutRussian, editorThread);
    const HWND foreground = GetForegroundWindow();
    ASSERT_EQ(foreground, editor);
    EXPECT_EQ(layoutOf(GetWindowThreadProcessId(foreground, nullptr)), kLayoutRussian);
    EXPECT_EQ(layoutOf(0), kLayoutUsEnglish);
}

TEST(LayoutCharacters, EachLayoutGivesItsOwnCharacters)
{
    constexpr UINT dead = 0x80000000u;
    const struct {
        std::uint64_t layout;
        UINT virtualKey;
        UINT character;
    } cases[] = {
        {kLayoutUsEnglish, 'A', 'A'},          {kLayoutUsEnglish, '1', '1'},
        {kLayoutUsEnglish, VK_OEM_1, ';'},     {kLayoutUsEnglish, VK_OEM_3, '`'},
        {kLayoutUsEnglish, VK_OEM_102, '\\'},  {kLayoutUsEnglish, 'Q', 'Q'},
        {kLayoutUsEnglish, VK_SPACE, ' '},     {kLayoutUsEnglish, VK_RETURN, 13},
        {kLayoutUsEnglish, VK_F1, 0},          {kLayoutUsEnglish, 0x3A, 0},
        {kLayoutRussian, 'Q', u'Й'},           {kLayoutRussian, 'A', u'Ф'},
        {kLayoutRussian, VK_OEM_3, u'Ё'},      {kLayoutRussian, VK_OEM_COMMA, u'Б'},
        {kLayoutRussian, VK_OEM_2, '.'},       {kLayoutRussian, '7', '7'},
        {kLayoutGerman, 'Z', 'Z'},             {kLayoutGerman, VK_OEM_3, u'Ö'},
        {kLayoutGerman, VK_OEM_5, dead | '^'}, {kLayoutGerman, VK_OEM_102, '<'},
        {0x04150415, 'Q', 'Q'}, // a language without a table maps as US English
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MapVirtualKeyExW(c.virtualKey, MAPVK_VK_TO_CHAR, handle(c.layout)), c.character)
            << std::hex << c.layout << " vk " << c.virtualKey;
    }
}

TEST(LayoutCharacters, ScanCodesFollowTheKeysOfTheLayout)
{
    EXPECT_EQ(MapVirtualKeyExW('A', MAPVK_VK_TO_VSC, handle(kLayoutUsEnglish)), 0x1Eu);
    EXPECT_EQ(MapVirtualKeyExW(0x2C, MAPVK_VSC_TO_VK, handle(kLayoutUsEnglish)), UINT('Z'));
    // The German keyboard has Y and Z swapped.
    EXPECT_EQ(MapVirtualKeyExW(0x2C, MAPVK_VSC_TO_VK, handle(kLayoutGerman)), UINT('Y'));
    EXPECT_EQ(MapVirtualKeyExW('Z', MAPVK_VK_TO_VSC, handle(kLayoutGerman)), 0x15u);
    EXPECT_EQ(MapVirtualKeyExW(0x2A, MAPVK_VSC_TO_VK, handle(kLayoutUsEnglish)), UINT(VK_SHIFT));
    EXPECT_EQ(MapVirtualKeyExW(0x2A, MAPVK_VSC_TO_VK_EX, handle(kLayoutUsEnglish)), UINT(VK_LSHIFT));
    EXPECT_EQ(MapVirtualKeyExW(0x100, MAPVK_VK_TO_CHAR, handle(kLayoutUsEnglish)), 0u);
    EXPECT_EQ(MapVirtualKeyExW('A', 9, handle(kLayoutUsEnglish)), 0u);
}

TEST(LayoutNames, NamesAndHandlesParseAndNothingElse)
{
    std::uint64_t layout = 0;
    EXPECT_TRUE(vorna::sim::parseLayout("ru", layout));
    EXPECT_EQ(layout, kLayoutRussian);
    EXPECT_TRUE(vorna::sim::parseLayout("0x04070407", layout));
    EXPECT_EQ(layout, kLayoutGerman);
    for (const char* bad : {"", "fr", "0x", "0x04190000", "0x1ffffffffffffffff", "zz", "419 "})
        EXPECT_FALSE(vorna::sim::parseLayout(bad, layout)) << bad;
}

TEST(BrokeredLayouts, TheDriverCommandSwitchesTheLayoutOfTheWholeSession)
{
    const std::string socket = "/tmp/vorna-sim-layout-" + std::to_string(::getpid()) + ".sock";
    vorna::sim::Broker broker(socket);
    broker.start();
    const std::string s = "--socket " + socket + " ";
    EXPECT_EQ(vorna::test::runVornaSim(s + "layout-of 0").output, "0x4090409\n");
    EXPECT_EQ(vorna::test::runVornaSim(s + "layout ru").status, 0);
    EXPECT_EQ(vorna::test::runVornaSim(s + "layout de 99").status, 0);
    Driver driver(socket);
    EXPECT_EQ(driver.session().keyboardLayout(0), kLayoutRussian);
    EXPECT_EQ(driver.session().keyboardLayout(1234), kLayoutRussian);
    EXPECT_EQ(driver.session().keyboardLayout(99), kLayoutGerman);
    EXPECT_EQ(vorna::test::runVornaSim(s + "layout-of 99").output, "0x4070407\n");
    driver.setKeyboardLayout(kLayoutUsEnglish);
    EXPECT_EQ(vorna::test::runVornaSim(s + "layout-of 5").output, "0x4090409\n");
}

} // namespace
