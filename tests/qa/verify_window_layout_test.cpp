// The real settings window put through a frame change of a verification run that once left a
// stale layout behind, judged by the run's own text checks: a fast stand-in for the whole
// --ui-verify run on that transition.

#include "qa/layout_checks.h"
#include "qa/mouse_fixture.h"
#include "qa/page_layout_checks.h"
#include "qa/page_matrix.h"
#include "tests/support/settings_shell.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using vorna::test::SettingsShell;

// Grabbed as a frame capture grabs it (which polishes every layout), then judged by the text
// checks of both matrices.
QJsonArray captureAndJudge(const SettingsShell& shell)
{
    EXPECT_FALSE(shell.grab().isNull());
    QJsonArray issues;
    int checked = 0;
    qa::checkTextFits(shell.window()->contentItem(), *shell.window(), issues, checked);
    qa::checkLabelClipping(shell.window()->contentItem(), issues, checked);
    return issues;
}

TEST(VerifiedWindowLayout, KeyboardLivePanelGivesItsTextTheLinesItNeedsWhenTheWindowWidens)
{
    SettingsShell shell;
    QTemporaryDir folder;
    ASSERT_NE(shell.window(), nullptr);
    // At 1000 wide the live panel spans the page and its hint fits one line; at 1380 the panel
    // stands beside the editor and the same hint needs two.
    const qa::MouseFrame narrowMouse{5, QStringLiteral("ru"), QStringLiteral("light"), 1000, 680, false};
    ASSERT_TRUE(qa::prepareMouseFixture(*shell.window(), shell.controller(), narrowMouse, folder.path()));
    captureAndJudge(shell);
    const qa::PageFrame wideKeyboard{"pageKeyboard", "keyboard", QStringLiteral("ru"), QStringLiteral("dark"), 1380,
        960, false};
    ASSERT_TRUE(qa::setPageState(*shell.window(), shell.controller(), wideKeyboard, folder.path()));
    const QJsonArray issues = captureAndJudge(shell);
    EXPECT_TRUE(issues.isEmpty()) << QJsonDocument(issues).toJson().constData();
}

} // namespace
