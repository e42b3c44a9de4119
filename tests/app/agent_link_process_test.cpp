// The settings controller linked to a real agent process on a shared simulated session: the
// agent's greeting makes it compatible, an explicit apply arms it, and an edit after that is
// saved, applied by itself and reported "Saved and applied".

#include "tests/support/agent_harness.h"
#include "tests/support/settings_fixture.h"

#include "tests/core/library_fixture.h"

#include <QSettings>

namespace {

using vorna::test::spinUntil;

class AgentLinkProcess : public testing::Test {
protected:
    AgentLinkProcess()
    {
        vorna::test::guiApplication();
        vorna::test::adoptOrphans();
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_folder.path());
    }

    QTemporaryDir m_folder;
    vorna::test::ScopedEnv m_testData{"VORNA_TEST_DATA", m_folder.filePath(QStringLiteral("data")).toUtf8()};
    vorna::test::AgentHarness m_harness; // also gives this process the agent's environment
};

TEST_F(AgentLinkProcess, AnEditIsSavedAppliedAndReported)
{
    ASSERT_TRUE(m_harness.startAgent()) << m_harness.agentErrors();
    int starts = 0;
    ControllerSeams seams = ControllerSeams::system();
    seams.startDetached = [&starts](const QString&, const QStringList&, const QString&) { return ++starts, true; };
    AppController controller(nullptr, false, seams);

    controller.connectAgent();
    ASSERT_TRUE(controller.connected());
    ASSERT_TRUE(spinUntil([&] { return controller.engineCompatible(); }));
    EXPECT_EQ(starts, 0);
    EXPECT_EQ(controller.status(), QStringLiteral("На паузе · исходные назначения действуют"));

    // One mapping, saved and then applied by hand: the agent runs it.
    ASSERT_TRUE(controller.commitLibrary(
        vorna::test::withRules(vorna::core::defaultLibrary(), 0, 0, {vorna::test::rule("mouse_back", "key_27")}), false));
    controller.applyProfile();
    ASSERT_TRUE(spinUntil([&] { return controller.armed() && controller.active() && !controller.applying(); }))
        << controller.status().toStdString();

    controller.setLayerIndex(1); // saved, and applied by itself while mappings are active
    EXPECT_TRUE(controller.dirty());
    ASSERT_TRUE(spinUntil([&] { return !controller.dirty(); })) << controller.status().toStdString();
    EXPECT_EQ(controller.notice(), QStringLiteral("Сохранено и применено"));
    EXPECT_EQ(QJsonDocument::fromJson(vorna::test::fileBytes(vorna::core::libraryPath())).object(),
              controller.library());
}

} // namespace
