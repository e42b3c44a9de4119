// The keyboard page in the real settings window: every key by its name, the keypad switch and
// its Num Lock captions, key clicks, and screenshots in both languages.

#include "tests/support/settings_shell.h"

#include <QSignalSpy>

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

} // namespace
