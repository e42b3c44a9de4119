// The tray on the simulated session's notification area: what the shell shows (icon pixels,
// tooltip, balloon), what the menu offers, and which signal each click gives.
#include "agent/tray/tray_texts.h"
#include "agent/tray/windows_tray.h"
#include "platform/sim/session/desktop_client.h"
#include "tests/support/qt_printers.h"
#include "tests/support/qt_test_main.h"
#include "tests/support/scoped_env.h"

#include <QSettings>
#include <QString>

#include <gtest/gtest.h>

#include <optional>

namespace {

using vorna::sim::DesktopClient;
using vorna::sim::DesktopFail;
using vorna::sim::TrayClick;
using vorna::sim::TrayIconRecord;
using vorna::test::processEventsUntil;

// How often a signal of the tray was emitted.
class SignalCount {
public:
    SignalCount(WindowsTray& tray, void (WindowsTray::*signal)())
    {
        QObject::connect(&tray, signal, [this] { ++m_count; });
    }
    int count() const { return m_count; }

private:
    int m_count = 0;
};

class TrayTest : public testing::Test {
protected:
    void SetUp() override { vorna::sim::processSession().reset(); }

    std::optional<TrayIconRecord> icon()
    {
        const auto icons = desktop.trayIcons();
        if (icons.size() != 1)
            return std::nullopt;
        return icons.front();
    }

    static std::uint32_t pixel(const TrayIconRecord& icon, int x, int y)
    {
        return icon.pixels.at(static_cast<std::size_t>(y * icon.width + x));
    }

    DesktopClient desktop{vorna::sim::processSession()};
};

TEST_F(TrayTest, ShowsTheStateIconWithItsBadgeOverTheProgramIcon)
{
    WindowsTray tray;
    tray.create();
    auto shown = icon();
    ASSERT_TRUE(shown);
    EXPECT_EQ(shown->id, 1u);
    EXPECT_EQ(shown->callbackMessage, 0x805Bu);
    EXPECT_EQ(QString::fromStdWString(shown->tip), QStringLiteral("Vorna Input Trellan · На паузе"));
    ASSERT_EQ(shown->width, 16);
    ASSERT_EQ(shown->height, 16);
    EXPECT_EQ(pixel(*shown, 12, 12), 0xFFB7BBC2u); // off
    EXPECT_EQ(pixel(*shown, 15, 12), 0x7D08090Au); // the outline's edge, whatever the state
    EXPECT_EQ(pixel(*shown, 5, 5), 0xFF2D5FA0u);   // the program's icon, untouched

    tray.setState(WindowsTray::iconIndex(true, false));
    shown = icon();
    ASSERT_TRUE(shown);
    EXPECT_EQ(pixel(*shown, 12, 12), 0xFF22A38Au);
    tray.setState(WindowsTray::iconIndex(true, true));
    EXPECT_EQ(pixel(*icon(), 12, 12), 0xFFE98E80u);
    const auto changes = icon()->changes;
    tray.setState(2); // the same state sends nothing
    EXPECT_EQ(icon()->changes, changes);
}

TEST_F(TrayTest, CutsALongTooltipTo127UnitsOnceAndSendsTheSameTextNoMore)
{
    WindowsTray tray;
    tray.create();
    const QString text = QStringLiteral("Vorna Input Trellan · ") + QString(200, QLatin1Char('x'));
    tray.setToolTip(text);
    const auto shown = icon();
    ASSERT_TRUE(shown);
    EXPECT_EQ(QString::fromStdWString(shown->tip), text.left(127));
    tray.setToolTip(text);
    EXPECT_EQ(icon()->changes, shown->changes);
}

TEST_F(TrayTest, ShowsTheStoppedBalloonOncePerPanicStop)
{
    WindowsTray tray;
    tray.create();
    tray.notifyStopped(true);
    tray.notifyStopped(true);
    auto balloons = desktop.balloons(true);
    ASSERT_EQ(balloons.size(), 1u);
    EXPECT_EQ(QString::fromStdWString(balloons[0].title), QStringLiteral("Vorna Input Trellan"));
    EXPECT_EQ(QString::fromStdWString(balloons[0].text),
              QStringLiteral("Назначения остановлены. Включить снова — в окне программы или в меню значка"));
    EXPECT_EQ(balloons[0].flags, 1u);
    tray.notifyStopped(false);
    tray.notifyStopped(true);
    EXPECT_EQ(desktop.balloons(true).size(), 1u);
}

TEST_F(TrayTest, ComesBackWithItsStateAndTooltipWhenTheShellRestarts)
{
    // The first add fails: nothing is shown and changes stay in the tray until the shell's restart.
    desktop.setFailure(DesktopFail::NotifyIcon, 1460, 1);
    WindowsTray tray;
    tray.create();
    EXPECT_FALSE(icon());
    tray.setState(1);
    tray.setToolTip(QStringLiteral("Vorna Input Trellan · Активно"));
    EXPECT_EQ(desktop.restartTaskbar(), 1);
    ASSERT_TRUE(processEventsUntil([&] { return icon().has_value(); }));
    const auto shown = icon();
    EXPECT_EQ(QString::fromStdWString(shown->tip), QStringLiteral("Vorna Input Trellan · Активно"));
    EXPECT_EQ(pixel(*shown, 12, 12), 0xFF22A38Au);

    // Once more with the icon in place: the restart takes it away and the tray adds it again.
    desktop.restartTaskbar();
    ASSERT_TRUE(processEventsUntil([&] { return icon().has_value(); }));
}

TEST_F(TrayTest, LeftClickOpensTheSettings)
{
    WindowsTray tray;
    tray.create();
    SignalCount open(tray, &WindowsTray::openRequested);
    ASSERT_TRUE(desktop.clickIcon(nullptr, 0, TrayClick::Left));
    EXPECT_TRUE(processEventsUntil([&] { return open.count() == 1; }));
}

struct MenuCase {
    quint32 state;
    const char* language;
    const char* secondItem;
    std::int64_t choice;
    const char* signal; // the one signal expected
};

class TrayMenuTest : public TrayTest, public testing::WithParamInterface<MenuCase> {};

TEST_P(TrayMenuTest, OffersTheItemsOfTheStateAndEmitsTheChosenOne)
{
    const MenuCase& c = GetParam();
    QSettings().setValue(QStringLiteral("ui/language"), QString::fromLatin1(c.language));
    WindowsTray tray;
    tray.create();
    tray.setState(c.state);
    SignalCount open(tray, &WindowsTray::openRequested);
    SignalCount pause(tray, &WindowsTray::pauseRequested);
    SignalCount enable(tray, &WindowsTray::enableRequested);
    SignalCount exit(tray, &WindowsTray::exitRequested);
    ASSERT_TRUE(desktop.chooseMenuItem(c.choice));
    ASSERT_TRUE(desktop.clickIcon(nullptr, 0, TrayClick::Right));
    ASSERT_TRUE(processEventsUntil([&] { return !desktop.lastMenu().open && desktop.lastMenu().token != 0; }));
    processEventsUntil([&] { return open.count() + pause.count() + enable.count() + exit.count() > 0; }, std::chrono::milliseconds(500));

    const auto menu = desktop.lastMenu();
    ASSERT_EQ(menu.items.size(), 4u);
    EXPECT_EQ(menu.items[1].text, QString::fromUtf8(c.secondItem).toStdWString());
    EXPECT_EQ(menu.items[2].flags, static_cast<UINT>(MF_SEPARATOR));
    const std::string signal = c.signal;
    EXPECT_EQ(open.count(), signal == "open" ? 1 : 0);
    EXPECT_EQ(pause.count(), signal == "pause" ? 1 : 0);
    EXPECT_EQ(enable.count(), signal == "enable" ? 1 : 0);
    EXPECT_EQ(exit.count(), signal == "exit" ? 1 : 0);
    QSettings().remove(QStringLiteral("ui/language"));
}

INSTANTIATE_TEST_SUITE_P(Menu, TrayMenuTest,
                         testing::Values(MenuCase{1, "ru", "Приостановить назначения", vorna::tray::kMenuPause, "pause"},
                                         MenuCase{1, "en", "Pause mappings", vorna::tray::kMenuOpen, "open"},
                                         MenuCase{2, "en", "Enable mappings", vorna::tray::kMenuEnable, "enable"},
                                         MenuCase{0, "ru", "Включить назначения", vorna::tray::kMenuQuit, "exit"},
                                         MenuCase{0, "de", "Включить назначения", 0, "none"}));

// The state changes while the menu is open: the item the user clicked is the one done. A
// window of the test's own thread does both from inside the menu's modal loop, as the tick
// and the user would.
WindowsTray* trayUnderTest = nullptr;

LRESULT CALLBACK changeStateThenChoosePause(HWND window, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (message == WM_APP) {
        EXPECT_TRUE(DesktopClient(vorna::sim::processSession()).lastMenu().open);
        trayUnderTest->setState(0);
        EXPECT_TRUE(DesktopClient(vorna::sim::processSession()).chooseMenuItem(std::wstring(L"Приостановить назначения")));
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

TEST_F(TrayTest, PauseClickedWhileTheStateChangedUnderTheOpenMenuPauses)
{
    WindowsTray tray;
    tray.create();
    tray.setState(1);
    trayUnderTest = &tray;
    WNDCLASSW helperClass{};
    helperClass.lpfnWndProc = changeStateThenChoosePause;
    helperClass.lpszClassName = L"VornaTrayTestHelper";
    RegisterClassW(&helperClass);
    HWND helper = CreateWindowExW(0, L"VornaTrayTestHelper", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr);
    ASSERT_NE(helper, nullptr);
    SignalCount pause(tray, &WindowsTray::pauseRequested);
    SignalCount enable(tray, &WindowsTray::enableRequested);
    ASSERT_TRUE(desktop.clickIcon(nullptr, 0, TrayClick::Right));
    ASSERT_TRUE(PostMessageW(helper, WM_APP, 0, 0));
    ASSERT_TRUE(processEventsUntil([&] { return pause.count() + enable.count() > 0; }));
    EXPECT_EQ(pause.count(), 1);
    EXPECT_EQ(enable.count(), 0);
    DestroyWindow(helper);
    trayUnderTest = nullptr;
}

TEST_F(TrayTest, ATestInstanceHasNoTray)
{
    vorna::test::ScopedEnv instance("VORNA_TEST_INSTANCE", QByteArray("test-0123456789abcdef0123456789abcdef"));
    WindowsTray tray;
    tray.create();
    tray.setState(1);
    tray.setToolTip(QStringLiteral("x"));
    tray.notifyStopped(true);
    EXPECT_TRUE(desktop.trayIcons().empty());
    EXPECT_TRUE(desktop.balloons().empty());
}

} // namespace
