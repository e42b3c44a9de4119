// The real Main.qml rendered offscreen: it loads without a warning, every named item of the
// frame exists, navigation switches pages, the language switch changes captions, themes paint
// what the theme says, and notices queue beyond three.

#include "tests/support/screenshot_folder.h"
#include "tests/support/settings_shell.h"

#include <QDir>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QImage>
#include <QQmlProperty>

namespace {

using vorna::test::SettingsShell;

QString textOf(QObject* item)
{
    return item != nullptr ? item->property("text").toString() : QString();
}

TEST(SettingsShell, LoadsWithoutWarningsAndNamesEveryFrameItem)
{
    SettingsShell shell;
    ASSERT_EQ(shell.loadResult(), 0);
    QStringList names{"pageTitle", "profilePicker", "layerPicker", "automaticPick", "undoAction", "redoAction",
        "headerStatus", "statusInformation", "confirmTrialAction", "applyAction", "quickThemeAction", "quickThemeMenu",
        "quickThemeDark", "quickThemeLight", "quickThemeSystem", "quickThemeContrast", "bodyViewport", "toastStack",
        "shortcutRecorder", "mouseCapabilities", "actionEditor", "triggerEditor", "motionEditor", "exportFile",
        "importFile", "appFile", "bindingConfirm"};
    for (int i = 0; i < 6; ++i) {
        names << QStringLiteral("navigation_%1").arg(i) << QStringLiteral("navigationCaptionMeasure_%1").arg(i);
    }
    for (const QString& name : names)
        EXPECT_NE(shell.find(name), nullptr) << name.toStdString();
}

TEST(SettingsShell, NavigationClicksSwitchPagesAndOnlyTheSelectedMappingWorkspaceExists)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    struct Step {
        int button;
        const char* shownPage;
    };
    const Step steps[] = {{1, "keyboardWorkspace"}, {2, "profilesPage"}, {3, "macrosPage"}, {4, "diagnosticsPage"},
        {5, "settingsPage"}, {0, "mouseWorkspace"}};
    const char* pages[] = {"mouseWorkspace", "keyboardWorkspace", "profilesPage", "macrosPage", "diagnosticsPage",
        "settingsPage"};
    for (const Step& step : steps) {
        shell.click(shell.find<QQuickItem>(QStringLiteral("navigation_%1").arg(step.button)));
        EXPECT_EQ(shell.window()->property("page").toInt(), step.button);
        for (const char* page : pages) {
            auto* item = shell.find<QQuickItem>(QString::fromLatin1(page));
            const bool shown = item != nullptr && item->isVisible();
            EXPECT_EQ(shown, std::string(page) == step.shownPage) << "after button " << step.button << ": " << page;
        }
        EXPECT_EQ(shell.find(QStringLiteral("mouseWorkspace")) != nullptr, step.button == 0);
        EXPECT_EQ(shell.find(QStringLiteral("keyboardWorkspace")) != nullptr, step.button == 1);
    }
}

TEST(SettingsShell, LanguageSwitchChangesCaptions)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    QObject* title = shell.find(QStringLiteral("pageTitle"));
    QObject* rail = shell.find(QStringLiteral("navigation_4"));
    QObject* status = shell.find(QStringLiteral("headerStatus"));
    EXPECT_EQ(textOf(title), QStringLiteral("Мышь"));
    EXPECT_EQ(textOf(rail), QStringLiteral("Диагностика"));
    EXPECT_EQ(textOf(status), QStringLiteral("Нет связи с движком"));

    shell.controller().setLanguage(QStringLiteral("en"));
    shell.settle();
    EXPECT_EQ(textOf(title), QStringLiteral("Mouse"));
    EXPECT_EQ(textOf(rail), QStringLiteral("Diagnostics"));
    EXPECT_EQ(textOf(status), QStringLiteral("Engine disconnected"));
    EXPECT_EQ(textOf(shell.find(QStringLiteral("applyAction"))), QStringLiteral("Enable"));
}

TEST(SettingsShell, RailIsWideEnoughForEveryCaption)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    for (const char* language : {"ru", "en"}) {
        shell.controller().setLanguage(QString::fromLatin1(language));
        shell.settle();
        auto* button = shell.find<QQuickItem>(QStringLiteral("navigation_0"));
        ASSERT_NE(button, nullptr);
        for (int i = 0; i < 6; ++i) {
            auto* measure = shell.find<QQuickItem>(QStringLiteral("navigationCaptionMeasure_%1").arg(i));
            ASSERT_NE(measure, nullptr);
            EXPECT_LE(measure->implicitWidth() + 8, button->width() + 0.5) << language << " caption " << i;
        }
    }
}

// Text is measured in the font the check runs pin, whatever fonts the machine has: every text
// asks for a family the font database holds, so the system's configuration never picks a
// stand-in, and is drawn in the pinned family.
TEST(SettingsShell, EveryTextAsksForThePinnedFamily)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    const QStringList families = QFontDatabase::families();
    const QString pinned = QGuiApplication::font().family();
    ASSERT_EQ(pinned, QStringLiteral("DejaVu Sans"));
    QList<QQuickItem*> pending{shell.window()->contentItem()};
    int texts = 0;
    while (!pending.isEmpty()) {
        QQuickItem* item = pending.takeFirst();
        pending.append(item->childItems());
        const QVariant font = item->property("font");
        if (!item->isVisible() || !font.isValid() || item->property("text").toString().isEmpty())
            continue;
        ++texts;
        const QFont requested = font.value<QFont>();
        EXPECT_TRUE(families.contains(requested.family())) << requested.family().toStdString();
        EXPECT_EQ(QFontInfo(requested).family(), pinned) << item->property("text").toString().toStdString();
    }
    EXPECT_GT(texts, 20);
}

// Every caption of the apply command fits the width it has, so a change of caption (pause,
// enable, apply edits, applying) never moves the rest of the header.
TEST(SettingsShell, TheApplyCommandIsAsWideAsItsWidestCaption)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    for (const char* language : {"ru", "en"}) {
        shell.controller().setLanguage(QString::fromLatin1(language));
        shell.settle();
        auto* apply = shell.find<QQuickItem>(QStringLiteral("applyAction"));
        ASSERT_NE(apply, nullptr);
        QVariant captions;
        ASSERT_TRUE(QMetaObject::invokeMethod(shell.window(), "applyCaptions", Q_RETURN_ARG(QVariant, captions)));
        const QFontMetricsF metrics(apply->property("font").value<QFont>());
        const double padding = apply->property("leftPadding").toDouble() + apply->property("rightPadding").toDouble();
        const QStringList all = captions.toStringList();
        ASSERT_EQ(all.size(), 4);
        for (const QString& caption : all)
            EXPECT_LE(metrics.horizontalAdvance(caption) + padding, apply->width() + 0.5) << caption.toStdString();
    }
}

// What is drawn on the accent (here the rail's monogram) takes the colour the theme names for it
// in every theme, not a fallback.
TEST(SettingsShell, TheColourOnTheAccentIsTheThemesInEveryTheme)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    QQuickItem* monogram = nullptr;
    QList<QQuickItem*> pending{shell.window()->contentItem()};
    while (!pending.isEmpty() && monogram == nullptr) {
        QQuickItem* item = pending.takeFirst();
        pending.append(item->childItems());
        if (item->property("text").toString() == QLatin1String("VS"))
            monogram = item;
    }
    ASSERT_NE(monogram, nullptr);
    for (const char* theme : {"dark", "light", "contrast"}) {
        shell.controller().setTheme(QString::fromLatin1(theme));
        shell.settle();
        EXPECT_EQ(monogram->property("color").value<QColor>().name(), QStringLiteral("#17110a")) << theme;
    }
}

struct ThemeCase {
    const char* theme;
    QRgb paper;   // header background
    QRgb canvas;  // window background between rail and pages
};

class SettingsShellThemes : public testing::TestWithParam<ThemeCase> {};

TEST_P(SettingsShellThemes, HeaderAndCanvasTakeTheThemeColours)
{
    const ThemeCase& c = GetParam();
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.controller().setTheme(QString::fromLatin1(c.theme));
    const QImage image = shell.grab();
    ASSERT_FALSE(image.isNull());
    auto* header = shell.find<QQuickItem>(QStringLiteral("pageTitle"));
    ASSERT_NE(header, nullptr);
    // Just below the title's row, inside the header: paper. Right under the header, in the
    // body's 16-pixel margin: canvas.
    const QPointF inHeader = header->mapToScene(QPointF(header->width() + 40, 2));
    const qreal scale = shell.window()->devicePixelRatio();
    EXPECT_EQ(image.pixel((inHeader * scale).toPoint()) & 0xFFFFFF, c.paper & 0xFFFFFF) << c.theme;
    const QPointF inMargin(shell.window()->width() - 8, 56 + 8);
    EXPECT_EQ(image.pixel((inMargin * scale).toPoint()) & 0xFFFFFF, c.canvas & 0xFFFFFF) << c.theme;
}

INSTANTIATE_TEST_SUITE_P(Themes, SettingsShellThemes,
    testing::Values(ThemeCase{"light", 0xFFFFFF, 0xF6F5F3}, ThemeCase{"dark", 0x17181B, 0x0F1012},
        ThemeCase{"contrast", 0x000000, 0x000000}),
    [](const testing::TestParamInfo<ThemeCase>& info) { return std::string(info.param.theme); });

TEST(SettingsShell, AFourthNoticeWaitsUntilOneOfThreeIsClosed)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    QObject* stack = shell.find(QStringLiteral("toastStack"));
    ASSERT_NE(stack, nullptr);
    for (const char* message : {"one", "two", "three", "four", "  "})
        QMetaObject::invokeMethod(stack, "pushNotice", Q_ARG(QVariant, QString::fromLatin1(message)), Q_ARG(QVariant, true));
    shell.settle();
    for (int id = 1; id <= 3; ++id)
        EXPECT_NE(shell.find(QStringLiteral("toast_%1").arg(id)), nullptr) << id;
    EXPECT_EQ(shell.find(QStringLiteral("toast_4")), nullptr);
    EXPECT_EQ(shell.find(QStringLiteral("toast_5")), nullptr); // blank: never shown, never queued

    shell.click(shell.find<QQuickItem>(QStringLiteral("closeToast_2")));
    shell.settle();
    EXPECT_EQ(shell.find(QStringLiteral("toast_2")), nullptr);
    EXPECT_NE(shell.find(QStringLiteral("toast_4")), nullptr);
}

TEST(SettingsShell, ControllerNoticeIsShownOnceAndSuccessIsNotPersistent)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.controller().setProperty("notice", QStringLiteral("Saved and applied"));
    shell.settle();
    QObject* card = shell.find(QStringLiteral("toast_1"));
    ASSERT_NE(card, nullptr);
    EXPECT_FALSE(card->property("persistent").toBool());
    // The same text again (a later libraryChanged) is not shown twice.
    emit shell.controller().libraryChanged();
    shell.settle();
    EXPECT_EQ(shell.find(QStringLiteral("toast_2")), nullptr);

    shell.controller().setProperty("notice", QStringLiteral("Profile count must be 1..16"));
    shell.settle();
    QObject* error = shell.find(QStringLiteral("toast_2"));
    ASSERT_NE(error, nullptr);
    EXPECT_TRUE(error->property("persistent").toBool());
}

TEST(SettingsShell, ScreenshotsOfTheShellInBothLanguages)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.saveScreenshotsInBothLanguages(QStringLiteral("settings-shell"));
}

} // namespace

namespace {

TEST(SettingsShell, NarrowWindowShowsTheCompactHeader)
{
    SettingsShell shell;
    ASSERT_NE(shell.window(), nullptr);
    shell.window()->resize(1100, 700);
    shell.settle();
    EXPECT_EQ(shell.find(QStringLiteral("profilePicker"))->property("displayText").toString(), QStringLiteral("Профиль"));
    EXPECT_EQ(shell.find(QStringLiteral("layerPicker"))->property("displayText").toString(), QStringLiteral("Слой"));
    // The automatic check box keeps a short caption: a bare box says nothing.
    auto* automatic = shell.find<QQuickItem>(QStringLiteral("automaticPick"));
    ASSERT_NE(automatic, nullptr);
    EXPECT_EQ(textOf(automatic), QStringLiteral("Авто"));
    EXPECT_EQ(textOf(shell.find(QStringLiteral("headerStatus"))), QStringLiteral("Нет связи"));
    const QString folder = vorna::test::screenshotFolder();
    ASSERT_FALSE(folder.isEmpty());
    EXPECT_TRUE(shell.grab().save(folder + QStringLiteral("/settings-shell-compact-ru.png")));
    shell.controller().setLanguage(QStringLiteral("en"));
    shell.settle();
    EXPECT_EQ(textOf(automatic), QStringLiteral("Auto"));
    auto* caption = automatic->property("contentItem").value<QQuickItem*>();
    ASSERT_NE(caption, nullptr);
    EXPECT_GE(caption->width() + 0.5, caption->implicitWidth());
    EXPECT_TRUE(shell.grab().save(folder + QStringLiteral("/settings-shell-compact-en.png")));
}

} // namespace
