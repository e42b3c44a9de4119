// The controller's core: start values, the setters' guards and signals, member properties that
// only store and notify, the notice timeout, the platform probe and the library tree helpers.

#include "app/app_controller.h"
#include "app/check_run.h"
#include "core/library_files.h"
#include "platform/sim/session/desktop_client.h"
#include "platform/win32.h"
#include "tests/support/settings_shell.h"

#include <QSignalSpy>

namespace {

class FakeProbe : public PlatformProbe {
public:
    bool highContrast() const override
    {
        ++m_highContrastReads;
        return m_highContrast;
    }
    bool darkColourScheme() const override { return false; }

    bool m_highContrast = false;
    mutable int m_highContrastReads = 0;
};

class Controller : public testing::Test {
protected:
    Controller()
    {
        vorna::test::guiApplication();
        app::isolateCheckRun(m_folder.path());
    }

    ControllerSeams seams()
    {
        ControllerSeams seams;
        seams.probe = m_probe;
        seams.monotonicMs = [this] { return m_now; };
        seams.startDetached = [this](const QString&, const QStringList& arguments, const QString&) {
            m_starts.append(arguments);
            return true;
        };
        return seams;
    }

    QTemporaryDir m_folder;
    std::shared_ptr<FakeProbe> m_probe = std::make_shared<FakeProbe>();
    qint64 m_now = 1000;
    QList<QStringList> m_starts;
};

TEST_F(Controller, FreshControllerHasItsStartValues)
{
    AppController controller(nullptr, false, seams());
    EXPECT_EQ(controller.property("selectedIndex").toInt(), 2);
    EXPECT_EQ(controller.property("sourceId").toString(), QStringLiteral("mouse_back"));
    EXPECT_EQ(controller.property("targetId").toString(), QStringLiteral("key_27"));
    EXPECT_EQ(controller.property("sourceModifiers").toInt(), 0);
    EXPECT_TRUE(controller.property("liveEnabled").toBool());
    EXPECT_EQ(controller.property("macroIndex").toInt(), -1);
    EXPECT_EQ(controller.property("macroRepeat").toInt(), 1);
    EXPECT_EQ(controller.property("macroName").toString(), QStringLiteral("Новый макрос"));
    EXPECT_EQ(controller.property("macroMode").toString(), QStringLiteral("once"));
    EXPECT_EQ(controller.property("status").toString(), QStringLiteral("Подключение к движку…"));
    EXPECT_EQ(controller.recordingSeconds(), 0);
    EXPECT_FALSE(controller.property("connected").toBool());
    EXPECT_EQ(controller.property("selectedModel").toMap(), controller.models().value(2).toMap());
    EXPECT_FALSE(controller.selectedModel().isEmpty());
}

TEST_F(Controller, HasTheElevenSignalsInOrderAndSixtySevenPropertiesFirst)
{
    const QMetaObject& meta = AppController::staticMetaObject;
    const char* signalNames[] = {"selectionChanged", "optionsChanged", "mappingChanged", "stateChanged", "liveChanged",
        "keyboardLayoutChanged", "inputSeen", "libraryChanged", "preferencesChanged", "macroChanged",
        "outputCaptureChanged"};
    QStringList signalsSeen;
    for (int i = meta.methodOffset(); i < meta.methodCount(); ++i) {
        if (meta.method(i).methodType() == QMetaMethod::Signal)
            signalsSeen << QString::fromLatin1(meta.method(i).name());
    }
    QStringList expected;
    for (const char* name : signalNames)
        expected << QString::fromLatin1(name);
    EXPECT_EQ(signalsSeen, expected);
    EXPECT_EQ(QString::fromLatin1(meta.property(meta.propertyOffset()).name()), QStringLiteral("models"));
    EXPECT_EQ(QString::fromLatin1(meta.property(meta.propertyOffset() + 66).name()), QStringLiteral("macroRepeat"));
}

struct SourceCase {
    const char* name;
    const char* id;
    bool emits;
    bool keepsRuleName;
};

class ControllerSourceId : public Controller, public testing::WithParamInterface<SourceCase> {};

TEST_P(ControllerSourceId, OnlyAValidIdIsStoredAndOnlyANewOneClearsTheRuleName)
{
    const SourceCase& c = GetParam();
    AppController controller(nullptr, false, seams());
    controller.setRuleName(QStringLiteral("Back to escape"));
    QSignalSpy mapping(&controller, &AppController::mappingChanged);
    controller.setSourceId(QString::fromLatin1(c.id));
    EXPECT_EQ(mapping.count(), c.emits ? 1 : 0);
    EXPECT_EQ(controller.ruleName().isEmpty(), !c.keepsRuleName);
    if (c.emits)
        EXPECT_EQ(controller.sourceId(), QString::fromLatin1(c.id));
    else
        EXPECT_EQ(controller.sourceId(), QStringLiteral("mouse_back"));
}

INSTANTIATE_TEST_SUITE_P(Table, ControllerSourceId,
    testing::Values(SourceCase{"sameId", "mouse_back", true, true}, SourceCase{"newId", "key_65", true, false},
        SourceCase{"unknown", "mouse_sixth", false, true}, SourceCase{"empty", "", false, true},
        SourceCase{"modifierKey", "key_16", false, true}, SourceCase{"trailingNewline", "key_65\n", false, true}),
    [](const testing::TestParamInfo<SourceCase>& info) { return std::string(info.param.name); });

TEST_F(Controller, ModifiersOutsideZeroToFifteenAndTheCurrentValueAreIgnored)
{
    AppController controller(nullptr, false, seams());
    controller.setRuleName(QStringLiteral("kept"));
    QSignalSpy mapping(&controller, &AppController::mappingChanged);
    for (int ignored : {16, -1, 0})
        controller.setSourceModifiers(ignored);
    EXPECT_EQ(mapping.count(), 0);
    EXPECT_EQ(controller.sourceModifiers(), 0);

    // No rule of the library has these modifiers: the name goes, the editor is told.
    controller.setSourceModifiers(6);
    EXPECT_EQ(controller.sourceModifiers(), 6);
    EXPECT_TRUE(controller.ruleName().isEmpty());
    EXPECT_EQ(mapping.count(), 1);
}

TEST_F(Controller, SelectionIgnoresIndexesOutsideTheDeviceCatalogAndTheCurrentOne)
{
    AppController controller(nullptr, false, seams());
    QSignalSpy selection(&controller, &AppController::selectionChanged);
    const int models = int(controller.models().size());
    for (int index : {-1, models, 2})
        controller.setSelectedIndex(index);
    EXPECT_EQ(selection.count(), 0);
    EXPECT_EQ(controller.selectedIndex(), 2);
    controller.setSelectedIndex(models - 1);
    EXPECT_EQ(selection.count(), 1);
    EXPECT_EQ(controller.selectedIndex(), models - 1);
}

TEST_F(Controller, MemberPropertiesOnlyStoreAndNotifyOnChange)
{
    AppController controller(nullptr, false, seams());
    QSignalSpy state(&controller, &AppController::stateChanged);
    QSignalSpy library(&controller, &AppController::libraryChanged);
    EXPECT_TRUE(controller.setProperty("liveEnabled", true));
    EXPECT_EQ(state.count(), 0);
    EXPECT_TRUE(controller.setProperty("liveEnabled", false));
    EXPECT_EQ(state.count(), 1);
    EXPECT_FALSE(controller.liveEnabled());
    // The invokable also re-evaluates observation and always notifies.
    controller.setLiveEnabled(false);
    EXPECT_EQ(state.count(), 2);

    EXPECT_TRUE(controller.setProperty("dirty", true));
    EXPECT_TRUE(controller.setProperty("dirty", true));
    EXPECT_EQ(library.count(), 1);
    // Properties without a setter refuse writes from QML.
    EXPECT_FALSE(controller.setProperty("status", QStringLiteral("x")));
}

TEST_F(Controller, NoticeTimeoutClearsOnlyTheSavedAndAppliedNotice)
{
    struct Case {
        const char* notice;
        bool cleared;
    };
    for (const Case& c : {Case{"Сохранено и применено", true}, Case{"Saved and applied", true},
             Case{"Saved and applied.", false}, Case{"Profile count must be 1..16", false}}) {
        AppController controller(nullptr, false, seams());
        controller.setProperty("notice", QString::fromUtf8(c.notice));
        QSignalSpy library(&controller, &AppController::libraryChanged);
        QMetaObject::invokeMethod(&controller, "onStatusTimeout");
        EXPECT_EQ(controller.notice().isEmpty(), c.cleared) << c.notice;
        EXPECT_EQ(library.count(), c.cleared ? 1 : 0) << c.notice;
    }
}

TEST_F(Controller, EngineIssueIsEmptyExactlyWhenTheEngineIsCompatible)
{
    AppController controller(nullptr, false, seams());
    EXPECT_FALSE(controller.engineCompatible());
    EXPECT_EQ(controller.engineIssue(), QStringLiteral("Движок не подключён."));
    controller.setLanguage(QStringLiteral("en"));
    EXPECT_EQ(controller.engineIssue(), QStringLiteral("Engine not connected."));
}

TEST_F(Controller, OnlyAnInteractiveControllerAsksThePlatformForHighContrast)
{
    m_probe->m_highContrast = true;
    {
        AppController checkRun(nullptr, false, seams());
        EXPECT_FALSE(checkRun.windowsHighContrast());
        EXPECT_EQ(m_probe->m_highContrastReads, 0);
    }
    AppController interactive(nullptr, true, seams());
    EXPECT_TRUE(interactive.windowsHighContrast());
    QSignalSpy preferences(&interactive, &AppController::preferencesChanged);
    interactive.pollHighContrast();
    EXPECT_EQ(preferences.count(), 0);
    m_probe->m_highContrast = false;
    interactive.pollHighContrast();
    EXPECT_EQ(preferences.count(), 1);
    EXPECT_FALSE(interactive.windowsHighContrast());
}

// The probe the program ships asks Win32 for the display settings on every platform; off
// Windows the session's settings answer, and a refused query reads as "no".
TEST(PlatformProbeDisplay, ReadsTheSessionsDisplaySettings)
{
    vorna::sim::SessionApi& session = vorna::sim::processSession();
    session.reset();
    vorna::sim::DesktopClient desktop(session);
    const PlatformProbe probe;
    const struct {
        const char* name;
        vorna::sim::DisplaySettings settings;
        bool refused;
        bool highContrast;
        bool animation;
    } cases[] = {
        {"a fresh session", {}, false, false, true},
        {"high contrast on, animation off", {true, false}, false, true, false},
        {"high contrast on, queries refused", {true, true}, true, false, false},
    };
    for (const auto& c : cases) {
        desktop.setDisplaySettings(c.settings);
        desktop.setFailure(vorna::sim::DesktopFail::SystemParameters, c.refused ? ERROR_ACCESS_DENIED : 0, -1);
        EXPECT_EQ(probe.highContrast(), c.highContrast) << c.name;
        EXPECT_EQ(probe.clientAreaAnimation(), c.animation) << c.name;
    }
    session.reset();
}

TEST_F(Controller, LanguageAndThemeKeepTheirValueSets)
{
    AppController controller(nullptr, false, seams());
    EXPECT_EQ(controller.language(), QStringLiteral("ru"));
    EXPECT_EQ(controller.theme(), QStringLiteral("dark"));
    QSignalSpy preferences(&controller, &AppController::preferencesChanged);
    controller.setTheme(QStringLiteral("contrast"));
    controller.setTheme(QStringLiteral("neon"));
    controller.setLanguage(QStringLiteral("en"));
    controller.setLanguage(QStringLiteral("de"));
    EXPECT_EQ(controller.theme(), QStringLiteral("contrast"));
    EXPECT_EQ(controller.language(), QStringLiteral("en"));
    EXPECT_EQ(preferences.count(), 2);
}

TEST_F(Controller, LocalPathAndImageUrl)
{
    AppController controller(nullptr, false, seams());
    EXPECT_EQ(controller.localPath(QUrl(QStringLiteral("file:///tmp/a%20b.json"))), QStringLiteral("/tmp/a b.json"));
    EXPECT_EQ(controller.imageUrl(QStringLiteral("/abs/m.png")), QStringLiteral("file:///abs/m.png"));
    EXPECT_EQ(controller.imageUrl(QStringLiteral("assets/mice/normalized/x.png")),
        QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + QStringLiteral("/assets/mice/normalized/x.png"))
            .toString());
}

TEST(LibraryTree, StripRuleNamesRemovesOnlyNamesAndSetLayerRulesWritesOneLayer)
{
    QJsonObject library = vorna::core::defaultLibrary();
    const QJsonArray named{QJsonObject{{"source", "mouse_back"}, {"target", "key_27"}, {"name", "Escape"}}};
    AppController::setLayerRules(library, 0, 3, named);
    const QJsonObject layer = library["profiles"][0]["layers"][3].toObject();
    EXPECT_EQ(layer["rules"].toArray(), named);
    EXPECT_EQ(layer["name"].toString(), QStringLiteral("Слой 4"));

    const QJsonObject stripped = AppController::stripRuleNames(library);
    const QJsonObject rule = stripped["profiles"][0]["layers"][3]["rules"][0].toObject();
    EXPECT_FALSE(rule.contains("name"));
    EXPECT_EQ(rule["target"].toString(), QStringLiteral("key_27"));
    EXPECT_EQ(stripped["profiles"][0]["layers"][3]["name"].toString(), QStringLiteral("Слой 4"));

    // Out-of-range indices leave the library as it was.
    const QJsonObject before = library;
    AppController::setLayerRules(library, 1, 0, QJsonArray{});
    AppController::setLayerRules(library, 0, 10, QJsonArray{});
    EXPECT_EQ(library, before);
}

} // namespace
