// The support kit: the eight checks from the agent's state, the report's exact text, its copy
// onto the simulated session's clipboard, and that nothing personal ever reaches it.

#include "tests/support/built_programs.h"
#include "tests/support/settings_fixture.h"

#include "editor/support_report.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/win32.h"
#include "platform/sim/session/session_api.h"
#include "tests/core/library_fixture.h"

#include <QJsonArray>
#include <QFileInfo>
#include <QProcess>
#include <QSet>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QStandardPaths>

#include <cmath>
#include <limits>
#include <unistd.h>

namespace {

using vorna::test::spinUntil;

// A healthy agent's diagnostics.
QVariantMap healthy()
{
    return {{"engineErrorPresent", false}, {"watchdogPid", 4321.0}, {"hookRecoveryError", 0}, {"contextAvailable", true},
        {"foregroundIntegrityError", 0}, {"foregroundElevated", false}, {"win32Error", 0}};
}

editor::SupportFacts facts(QVariantMap diagnostics, bool compatible = true)
{
    editor::SupportFacts f;
    f.connected = true;
    f.compatible = compatible;
    f.active = true;
    f.diagnostics = std::move(diagnostics);
    f.processRunning = [](quint32 pid) { return pid == 4321; };
    return f;
}

QString failing(const QVariantMap& checks)
{
    QStringList names;
    for (auto it = checks.cbegin(); it != checks.cend(); ++it) {
        if (!it.value().toBool())
            names.append(it.key());
    }
    return names.join(',');
}

struct CheckCase {
    const char* name;
    std::function<void(editor::SupportFacts&)> change;
    const char* failing; // the checks that are false, in key order
};

class SupportChecks : public testing::TestWithParam<CheckCase> {};

TEST_P(SupportChecks, FailingChecksFollowTheAgentState)
{
    editor::SupportFacts f = facts(healthy());
    GetParam().change(f);
    EXPECT_EQ(failing(editor::supportChecks(f)), QString::fromLatin1(GetParam().failing));
}

const char* const kAllEight = "allGood,captureRunning,engine,hooks,ordinaryWindow,sending,watchdog,windowKnown";

INSTANTIATE_TEST_SUITE_P(Table, SupportChecks, testing::Values(
    CheckCase{"Healthy", [](editor::SupportFacts&) {}, ""},
    CheckCase{"LinkDown", [](editor::SupportFacts& f) { f.compatible = false; f.connected = false; }, kAllEight},
    CheckCase{"EngineError", [](editor::SupportFacts& f) { f.diagnostics["engineErrorPresent"] = true; }, kAllEight},
    CheckCase{"WatchdogEnded", [](editor::SupportFacts& f) { f.diagnostics["watchdogPid"] = 4322.0; }, "allGood,watchdog"},
    CheckCase{"WatchdogPidZero", [](editor::SupportFacts& f) { f.diagnostics["watchdogPid"] = 0.0; }, "allGood,watchdog"},
    CheckCase{"WatchdogPidAsText", [](editor::SupportFacts& f) { f.diagnostics["watchdogPid"] = "4321"; }, ""},
    CheckCase{"WatchdogPidNotANumber", [](editor::SupportFacts& f) { f.diagnostics["watchdogPid"] = "pid"; }, "allGood,watchdog"},
    CheckCase{"NotCapturing", [](editor::SupportFacts& f) { f.active = false; }, "allGood,captureRunning,hooks"},
    CheckCase{"ObservingCaptures", [](editor::SupportFacts& f) { f.active = false; f.observing = true; }, ""},
    CheckCase{"NoHookRecoveryKey", [](editor::SupportFacts& f) { f.diagnostics.remove("hookRecoveryError"); }, "allGood,hooks"},
    CheckCase{"HookRecoveryFailed", [](editor::SupportFacts& f) { f.diagnostics["hookRecoveryError"] = 5; }, "allGood,hooks"},
    CheckCase{"IntegrityAbsentIsFine", [](editor::SupportFacts& f) { f.diagnostics.remove("foregroundIntegrityError"); }, ""},
    CheckCase{"IntegrityError", [](editor::SupportFacts& f) { f.diagnostics["foregroundIntegrityError"] = 5; },
        "allGood,ordinaryWindow,windowKnown"},
    CheckCase{"NoContext", [](editor::SupportFacts& f) { f.diagnostics["contextAvailable"] = false; },
        "allGood,ordinaryWindow,windowKnown"},
    CheckCase{"ElevatedWindow", [](editor::SupportFacts& f) { f.diagnostics["foregroundElevated"] = true; },
        "allGood,ordinaryWindow"},
    CheckCase{"NoWin32ErrorKey", [](editor::SupportFacts& f) { f.diagnostics.remove("win32Error"); }, "allGood,sending"},
    CheckCase{"SendFailed", [](editor::SupportFacts& f) { f.diagnostics["win32Error"] = 87; }, "allGood,sending"}),
    [](const testing::TestParamInfo<CheckCase>& info) { return std::string(info.param.name); });

TEST(WatchdogProcessId, WholeNumbersFromOneTo32Bits)
{
    EXPECT_EQ(editor::watchdogProcessId(4294967295.0), 4294967295u);
    EXPECT_EQ(editor::watchdogProcessId(QStringLiteral("4294967295")), 4294967295u);
    EXPECT_EQ(editor::watchdogProcessId(1), 1u);
    for (const QVariant& bad : {QVariant(4294967296.0), QVariant(QStringLiteral("4294967296")), QVariant(0), QVariant(-1),
             QVariant(12.5), QVariant(std::numeric_limits<double>::quiet_NaN()), QVariant(), QVariant(QStringLiteral("-5")),
             QVariant(QStringLiteral("1e3"))})
        EXPECT_EQ(editor::watchdogProcessId(bad), 0u) << bad.toString().toStdString();
}

TEST(SupportReport, ExactTextWithKeysInOrderAndFourSpaceIndentation)
{
    editor::SupportFacts f = facts(healthy());
    f.armed = true;
    f.diagnostics.insert("inputEvents", 12);
    f.diagnostics.insert("p95us", "350");
    f.diagnostics.insert("maxus", "n/a");
    editor::ReportContext context;
    context.resolvedTheme = "contrast";
    context.displayScale = 1.25;
    context.language = "en";
    context.mouseDiagram = "vorna-c2";
    context.branding = {{"version", "0.6.0-rc.1"}, {"website", "https://example.com"}};
    context.brandingOpened = true;
    context.system = "Windows 11";
    context.kernelVersion = "10.0.22631";
    context.architecture = "x86_64";

    const QString golden = QStringLiteral(R"({
    "active": true,
    "applying": false,
    "architecture": "x86_64",
    "armed": true,
    "checks": {
        "allGood": true,
        "captureRunning": true,
        "engine": true,
        "hooks": true,
        "ordinaryWindow": true,
        "sending": true,
        "watchdog": true,
        "windowKnown": true
    },
    "connected": true,
    "counters": {
        "foregroundIntegrityError": 0,
        "hookRecoveryError": 0,
        "inputEvents": 12,
        "maxus": 0,
        "p95us": 350,
        "win32Error": 0
    },
    "foregroundElevated": false,
    "language": "en",
    "mouseDiagram": "vorna-c2",
    "observing": false,
    "physicalCompatibilityVerified": false,
    "scalePercent": 125,
    "system": "Windows 11",
    "systemKernelVersion": "10.0.22631",
    "theme": "contrast",
    "version": "0.6.0-rc.1"
}
)");
    EXPECT_EQ(editor::supportReportText(editor::supportReport(f, context)), golden);
}

TEST(SupportReport, ThemeScaleAndVersionFallBack)
{
    editor::ReportContext context;
    for (const char* theme : {"system", "Dark", ""}) {
        context.resolvedTheme = QString::fromLatin1(theme);
        EXPECT_EQ(editor::supportReport({}, context).value("theme").toString(), "unknown");
    }
    EXPECT_FALSE(editor::supportReport({}, context).contains("version"));
    EXPECT_EQ(editor::supportReport({}, context).value("counters").toObject(), QJsonObject());

    const std::pair<double, int> scales[] = {{1.25, 125}, {0.5, 50}, {8.0, 800}, {0.4, 100}, {9.0, 100},
        {std::numeric_limits<double>::quiet_NaN(), 100}, {std::numeric_limits<double>::infinity(), 100}, {1.125, 113}};
    for (const auto& [scale, percent] : scales)
        EXPECT_EQ(editor::scalePercent(scale), percent) << scale;
}

// The controller's copy onto the session's clipboard, and what the report must never hold.
class SupportCopy : public vorna::test::SettingsSandbox {
protected:
    SupportCopy() : m_session(vorna::sim::processSession()), m_desktop(m_session) { m_session.reset(); }
    ~SupportCopy() override { m_session.reset(); }

    QString clipboardText()
    {
        for (const vorna::sim::ClipboardEntry& entry : m_desktop.clipboard().entries) {
            if (entry.format == CF_UNICODETEXT) {
                QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(entry.data.data()),
                    static_cast<qsizetype>(entry.data.size() / 2));
                return text.left(text.indexOf(QChar(0)));
            }
        }
        return {};
    }

    vorna::sim::SessionApi& m_session;
    vorna::sim::DesktopClient m_desktop;
};

TEST_F(SupportCopy, ReportLandsOnTheSessionClipboard)
{
    auto controller = makeController();
    QSignalSpy changes(controller.get(), &AppController::libraryChanged);
    controller->copySupportReport("dark", 1.0);
    EXPECT_EQ(controller->notice(), "Отчёт для поддержки скопирован");
    EXPECT_EQ(changes.count(), 1);
    const QString copied = clipboardText();
    EXPECT_EQ(copied, controller->supportReport("dark", 1.0));
    // Opened for a window of the program's own: opened for none, Windows leaves the clipboard
    // without an owner and may refuse the text.
    EXPECT_NE(m_desktop.clipboard().owner, nullptr);
    const QJsonObject report = QJsonDocument::fromJson(copied.toUtf8()).object();
    EXPECT_FALSE(report.value("connected").toBool());
    EXPECT_EQ(report.value("checks").toObject().size(), 8);
    EXPECT_EQ(report.value("version").toString(), "0.6.0-rc.1");
    EXPECT_EQ(report.value("mouseDiagram").toString(), "vorna-b1");
}

TEST_F(SupportCopy, ClipboardHeldByAnotherProgramIsReportedNotCopied)
{
    ASSERT_EQ(m_desktop.writeClipboardText(L"the user's text"), 0u);
    ASSERT_EQ(m_desktop.holdClipboard(true), 0u);
    auto controller = makeController();
    QSettings().setValue("ui/language", "en");
    controller->copySupportReport("dark", 1.0);
    EXPECT_EQ(controller->notice(), "Clipboard is unavailable");
    ASSERT_EQ(m_desktop.holdClipboard(false), 0u);
    EXPECT_EQ(clipboardText(), "the user's text");
}

// Tell-tale texts everywhere the program knows them: the library, the bindings, the user's
// folders, the agent's diagnostics and the status; none may appear in the report.
TEST_F(SupportCopy, ReportHoldsNothingOfTheUserOrTheLibrary)
{
    const QString marker = QStringLiteral("TELLTALE");
    QJsonObject library = vorna::test::libraryWithProfiles(2);
    library = vorna::test::edited(library, {"profiles", 1, "name"}, marker + "-profile");
    library = vorna::test::edited(library, {"profiles", 1, "application"}, "C:\\Users\\" + marker + "\\app.exe");
    library = vorna::test::edited(library, {"profiles", 1, "layers", 0, "name"}, marker + "-layer");
    library = vorna::test::withRules(library, 1, 0,
        {QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", marker + "-rule"}}});
    library = vorna::test::edited(library, {"actions"},
        QJsonArray{QJsonObject{{"type", "text"}, {"name", marker + "-action"}, {"value", marker + "-text"}}});
    QSettings().setValue("bindings/vorna-c2/side_front", marker);
    QSettings().setValue("ui/favorites", QStringList{marker});

    auto controller = makeController();
    ASSERT_TRUE(controller->commitLibrary(library, false)) << controller->notice().toStdString();
    controller->setProperty("diagnostics",
        QVariantMap{{"foregroundExecutable", "C:\\" + marker + "\\x.exe"}, {"inputEvents", 3}, {"user", marker}});
    controller->setProperty("notice", marker);
    controller->setProperty("activeDescription", marker);

    const QString report = controller->supportReport("dark", 1.0);
    EXPECT_FALSE(report.contains(marker, Qt::CaseInsensitive)) << report.toStdString();
    const QStringList personal{QDir::homePath(), m_root.path(), vorna::core::libraryPath(),
        QCoreApplication::applicationDirPath(), QString::fromLocal8Bit(qgetenv("USER")), QSysInfo::machineHostName()};
    for (const QString& text : personal) {
        if (text.size() > 2)
            EXPECT_FALSE(report.contains(text)) << text.toStdString();
    }
    EXPECT_FALSE(report.contains('/') && report.contains(QStringLiteral(":/")));
    EXPECT_EQ(QJsonDocument::fromJson(report.toUtf8()).object().value("counters").toObject(), (QJsonObject{{"inputEvents", 3}}));
}

// The watchdog probe opens the process the agent names and waits 0 ms on it: this test
// process runs; a child that has ended does not.
TEST_F(SupportCopy, WatchdogCheckProbesTheNamedProcess)
{
    vorna::test::FakeAgent agent;
    ASSERT_TRUE(agent.listen(vorna::core::agentPipeName()));
    auto controller = makeController();
    controller->connectAgent();
    ASSERT_TRUE(agent.waitForRequests(1));

    QProcess child;
    child.start(QStringLiteral("/bin/true"), {});
    ASSERT_TRUE(child.waitForStarted());
    const qint64 ended = child.processId();
    ASSERT_TRUE(child.waitForFinished());
    const std::pair<double, bool> cases[] = {{static_cast<double>(::getpid()), true}, {static_cast<double>(ended), false},
        {0.0, false}};
    for (const auto& [pid, running] : cases) {
        QSignalSpy state(controller.get(), &AppController::stateChanged);
        agent.sendState({{"agentVersion", 10}, {"watchdogPid", pid}});
        ASSERT_TRUE(spinUntil([&] { return !state.isEmpty(); }));
        EXPECT_EQ(controller->supportChecks().value("watchdog").toBool(), running) << pid;
        EXPECT_TRUE(controller->supportChecks().value("engine").toBool());
    }
}

} // namespace

namespace {

// Every Qt library the built program or its settings window's module links is named in the
// notices that stand beside them.
TEST(ThirdPartyNotices, NameEveryQtLibraryTheProgramLinks)
{
    const QString program = QString::fromStdString(vorna::test::mainProgram());
    const QString binary = QFileInfo(program).path();
    if (!QFileInfo::exists(program))
        GTEST_SKIP() << "the program is not built";
    const QByteArray notices = vorna::test::fileBytes(binary + QStringLiteral("/THIRD_PARTY.md"));
    EXPECT_EQ(notices, vorna::test::fileBytes(qEnvironmentVariable("VORNA_SOURCE_DIR") + QStringLiteral("/ui/THIRD_PARTY.md")));
    EXPECT_TRUE(notices.contains("LGPLv3"));

    QProcess readelf;
    readelf.start(QStringLiteral("readelf"), {QStringLiteral("-d"), program, binary + QStringLiteral("/vorna-settings-window.so")});
    ASSERT_TRUE(readelf.waitForFinished());
    ASSERT_EQ(readelf.exitCode(), 0) << readelf.readAllStandardError().constData();
    const QRegularExpression needed(QStringLiteral(R"(\[libQt6(\w+)\.so)"));
    QSet<QByteArray> linked;
    for (auto match = needed.globalMatch(QString::fromUtf8(readelf.readAllStandardOutput())); match.hasNext();) {
        const QByteArray dll = "Qt6" + match.next().captured(1).toLatin1() + ".dll";
        EXPECT_TRUE(notices.contains(dll)) << dll.constData();
        linked.insert(dll);
    }
    EXPECT_GE(linked.size(), 6);
}

} // namespace
