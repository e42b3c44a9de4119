// The keyboard page in the real settings window: every key by its name, the keypad switch and
// its Num Lock captions, key clicks, and screenshots in both languages.

#include "platform/sim/driver/driver.h"
#include "platform/sim/session/keyboard_layouts.h"
#include "tests/support/screenshot_folder.h"
#include "tests/support/settings_shell.h"

#include <QSignalSpy>
#include <map>

namespace {

using vorna::test::SettingsShell;

constexpr int kKeyboardPage = 1;

const int kMainCodes[] = {27, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 44, 145, 19,
                          192, 49, 50, 51, 52, 53, 54, 55, 56, 57, 48, 189, 187, 8, 45, 36, 33,
                          9, 81, 87, 69, 82, 84, 89, 85, 73, 79, 80, 219, 221, 220, 46, 35, 34,
                          20, 65, 83, 68, 70, 71, 72, 74, 75, 76, 186, 222, 13,
                          160, 90, 88, 67, 86, 66, 78, 77, 188, 190, 191, 161, 38,
                          162, 91, 164, 32, 165, 92, 93, 163, 37, 40, 39};

void openKeyboardPage(SettingsShell& shell)
{
    shell.window()->setProperty("page", kKeyboardPage);
    shell.settle();
}

// The keys scroll inside their card, which the live panel under it leaves short: bring a key
// into sight before clicking it, as a user scrolls to it.
void scrollIntoView(SettingsShell& shell, QQuickItem* key)
{
    auto* flickable = shell.find<QQuickItem>(QStringLiteral("keyboardKeysViewport"))->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(flickable, nullptr);
    const QPointF inContent = key->mapToItem(flickable->property("contentItem").value<QQuickItem*>(), QPointF(0, 0));
    flickable->setProperty("contentX", qMax(0.0, inContent.x() - 8));
    flickable->setProperty("contentY", qMax(0.0, inContent.y() - 8));
    shell.settle();
}

TEST(KeyboardPage, EveryKeyIsNamedAndTheKeypadShowsOnRequest)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    openKeyboardPage(shell);
    for (const char* name : {"inputDiagram", "showNumpad", "keyboardDiagramInfo", "keyboardKeysViewport"})
        EXPECT_NE(shell.find(QLatin1String(name)), nullptr) << name;
    for (const int code : kMainCodes) {
        auto* key = shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_%1").arg(code));
        ASSERT_NE(key, nullptr) << code;
        EXPECT_TRUE(key->isVisible()) << code;
    }
    EXPECT_EQ(shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_81"))->property("caption").toString(), QStringLiteral("Q"));

    auto* keypadEnter = shell.find<QQuickItem>(QStringLiteral("numpadKey_key_numpad_enter"));
    ASSERT_NE(keypadEnter, nullptr);
    EXPECT_FALSE(keypadEnter->isVisible());
    shell.click(shell.find<QQuickItem>(QStringLiteral("showNumpad")));
    EXPECT_TRUE(keypadEnter->isVisible());

    // Num Lock is off until a probe says otherwise: the keypad shows its navigation captions.
    const struct {
        const char* id;
        const char* caption;
    } keypad[] = {{"key_103", "Home"}, {"key_101", "Clear"}, {"key_111", "÷"}, {"key_numpad_enter", "Enter"}};
    for (const auto& key : keypad) {
        auto* item = shell.find<QQuickItem>(QStringLiteral("numpadKey_") + QLatin1String(key.id));
        ASSERT_NE(item, nullptr) << key.id;
        EXPECT_EQ(item->property("caption").toString(), QString::fromUtf8(key.caption)) << key.id;
    }
}

TEST(KeyboardPage, AClickOnAKeyOpensThatKeysRule)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    openKeyboardPage(shell);
    shell.click(shell.find<QQuickItem>(QStringLiteral("showNumpad")));
    for (const char* name : {"keyboardKey_key_65", "numpadKey_key_numpad_enter"}) {
        auto* key = shell.find<QQuickItem>(QLatin1String(name));
        ASSERT_NE(key, nullptr) << name;
        scrollIntoView(shell, key);
        QSignalSpy clicked(key, SIGNAL(clicked()));
        shell.click(key);
        EXPECT_EQ(clicked.size(), 1) << name;
    }
}

TEST(KeyboardPage, ScreenshotsInBothLanguages)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    openKeyboardPage(shell);
    shell.click(shell.find<QQuickItem>(QStringLiteral("showNumpad")));
    shell.saveScreenshotsInBothLanguages(QStringLiteral("keyboard-page"));
}

// The probe reads the simulated session's layout: switching it between English and Russian turns
// the letter keys' captions, and the page's title with them; keys that are not probed keep theirs.
TEST(KeyboardPage, CaptionsFollowTheSessionsLayout)
{
    SettingsShell shell(ControllerSeams::system());
    ASSERT_NE(shell.window(), nullptr);
    openKeyboardPage(shell);
    vorna::sim::Driver driver;
    const struct {
        std::uint64_t layout;
        const char* name;
        const char* q;
        const char* backquote;
        const char* comma;
    } layouts[] = {
        {vorna::sim::kLayoutRussian, "RU", "Й", "Ё", "Б"},
        {vorna::sim::kLayoutUsEnglish, "EN", "Q", "`", ","},
        {vorna::sim::kLayoutRussian, "RU", "Й", "Ё", "Б"},
    };
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    for (const auto& layout : layouts) {
        SCOPED_TRACE(layout.name);
        driver.setKeyboardLayout(layout.layout);
        shell.controller().updateKeyboardLayout();
        shell.settle();
        EXPECT_EQ(shell.controller().keyboardLayout(), QLatin1String(layout.name));
        const auto caption = [&](int code) {
            return shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_%1").arg(code))->property("caption").toString();
        };
        EXPECT_EQ(caption(81), QString::fromUtf8(layout.q));
        EXPECT_EQ(caption(192), QString::fromUtf8(layout.backquote));
        EXPECT_EQ(caption(188), QString::fromUtf8(layout.comma));
        EXPECT_EQ(caption(9), QStringLiteral("Tab"));
        EXPECT_EQ(caption(37), QStringLiteral("←"));
        EXPECT_TRUE(shell.grab().save(folder + QStringLiteral("/keyboard-page-layout-%1.png").arg(QLatin1String(layout.name))));
    }
    driver.session().reset();
}

QRectF sceneRect(const QQuickItem* item)
{
    return item->mapRectToScene(QRectF(0, 0, item->width(), item->height()));
}

// The keys keep their rows at every window size the page allows: each main row starts at the same
// place, its keys sit side by side 4 apart on one line, nothing reaches past the scrolled content,
// the keypad comes under the main rows, and a card narrower than the keyboard shows its scroll bar
// and scrolls to the last key.
TEST(KeyboardPage, KeysKeepTheirRowsAndScrollIntoViewAtEveryWindowSize)
{
    const std::vector<std::vector<int>> rows = {
        {27, 112, 113, 114, 115, 116, 117, 118, 119, 120, 121, 122, 123, 44, 145, 19},
        {192, 49, 50, 51, 52, 53, 54, 55, 56, 57, 48, 189, 187, 8, 45, 36, 33},
        {9, 81, 87, 69, 82, 84, 89, 85, 73, 79, 80, 219, 221, 220, 46, 35, 34},
        {20, 65, 83, 68, 70, 71, 72, 74, 75, 76, 186, 222, 13},
        {160, 90, 88, 67, 86, 66, 78, 77, 188, 190, 191, 161, 38},
        {162, 91, 164, 32, 165, 92, 93, 163, 37, 40, 39}};
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    openKeyboardPage(shell);
    shell.click(shell.find<QQuickItem>(QStringLiteral("showNumpad")));
    for (const QSize size : {QSize(1000, 680), QSize(1099, 800), QSize(1100, 800), QSize(1380, 960), QSize(1920, 1080)}) {
        SCOPED_TRACE(std::to_string(size.width()) + "x" + std::to_string(size.height()));
        shell.window()->resize(size);
        shell.settle();
        auto* viewport = shell.find<QQuickItem>(QStringLiteral("keyboardKeysViewport"));
        ASSERT_NE(viewport, nullptr);
        auto* flick = viewport->property("contentItem").value<QQuickItem*>();
        ASSERT_NE(flick, nullptr);
        flick->setProperty("contentX", 0);
        shell.settle();
        const qreal contentWidth = flick->property("contentWidth").toReal();
        EXPECT_GE(contentWidth, 960);
        const QRectF view = sceneRect(viewport);
        const qreal contentLeft = view.left();
        qreal firstLeft = -1;
        qreal lastBottom = 0;
        for (const std::vector<int>& row : rows) {
            const QRectF first = sceneRect(shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_%1").arg(row.front())));
            if (firstLeft < 0)
                firstLeft = first.left();
            EXPECT_NEAR(first.left(), firstLeft, 0.5) << row.front();
            QRectF previous;
            for (const int code : row) {
                const QRectF key = sceneRect(shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_%1").arg(code)));
                EXPECT_NEAR(key.top(), first.top(), 0.5) << code;
                EXPECT_LE(key.right(), contentLeft + contentWidth + 0.5) << code << " reaches past the content";
                if (!previous.isNull())
                    EXPECT_NEAR(key.left() - previous.right(), 4, 0.5) << code;
                previous = key;
            }
            lastBottom = first.bottom();
        }
        for (const char* pad : {"key_144", "key_103", "key_numpad_enter"}) {
            const QRectF key = sceneRect(shell.find<QQuickItem>(QStringLiteral("numpadKey_") + QLatin1String(pad)));
            EXPECT_GE(key.top(), lastBottom) << pad;
            EXPECT_GE(key.left(), firstLeft - 0.5) << pad;
            EXPECT_LE(key.right(), contentLeft + contentWidth + 0.5) << pad;
        }
        // Narrower than the keyboard: the bar is in sight, and the far end scrolls fully into view.
        if (contentWidth > viewport->width()) {
            bool barShown = false;
            for (QQuickItem* child : viewport->findChildren<QQuickItem*>()) {
                if (child->inherits("QQuickScrollBar")
                    && child->property("orientation").toInt() == Qt::Horizontal)
                    barShown = child->isVisible() && child->property("policy").toInt() == 2; // ScrollBar.AlwaysOn
            }
            EXPECT_TRUE(barShown);
            flick->setProperty("contentX", contentWidth - flick->width());
            shell.settle();
            const QRectF pageDown = sceneRect(shell.find<QQuickItem>(QStringLiteral("keyboardKey_key_34")));
            EXPECT_TRUE(sceneRect(viewport).adjusted(-0.5, -0.5, 0.5, 0.5).contains(pageDown));
            flick->setProperty("contentX", 0);
            shell.settle();
        }
    }
}

} // namespace
