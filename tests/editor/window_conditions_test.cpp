// A profile's window condition as the conditions card saves it, the application taken from a
// chosen file, the running programs of the simulated session, and the condition at work in the
// core's profile choice.

#include "tests/support/settings_fixture.h"

#include "agent/context/running_applications.h"
#include "core/profile_choice.h"
#include "editor/window_condition.h"
#include "platform/sim/session/session_api.h"
#include "tests/core/library_fixture.h"

#include <QJsonArray>
#include <QSignalSpy>

namespace {

using vorna::test::compact;
using vorna::test::edited;

struct ConditionCase {
    const char* name;
    const char* application; // the profile's stored application
    QString mode;
    QString title;
    QString windowClass;
    QJsonValue stored;       // the profile's "condition" afterwards; undefined: no key
    const char* refusal;     // the core's message in the notice, or nullptr
};

// Texts the core refuses: 257 units, and a NUL.
const QString kLongText(257, QLatin1Char('t'));
const QString kWithNul = QStringLiteral("a") + QChar(0) + QStringLiteral("b");

QJsonObject condition(const char* mode, const QString& title, const QString& windowClass)
{
    return {{"mode", mode}, {"title", title}, {"class", windowClass}};
}

const ConditionCase kConditionCases[] = {
    {"ForegroundWithNothingIsNoCondition", "notepad.exe", "foreground", "", "", QJsonValue::Undefined, nullptr},
    {"UnderCursorAloneIsStored", "notepad.exe", "underCursor", "", "", condition("underCursor", "", ""), nullptr},
    {"SpacesAreKeptAsTyped", "notepad.exe", "foreground", "   ", "", condition("foreground", "   ", ""), nullptr},
    {"TitleAndClass", "C:\\Windows\\notepad.exe", "foreground", "Untitled", "Notepad",
        condition("foreground", "Untitled", "Notepad"), nullptr},
    {"ForwardSlashPath", "C:/Tools/app.exe", "underCursor", "", "Chrome_WidgetWin_1",
        condition("underCursor", "", "Chrome_WidgetWin_1"), nullptr},
    {"NoApplicationStillStoresTheCondition", "", "foreground", "Report", "", condition("foreground", "Report", ""), nullptr},
    {"LongestTitle", "notepad.exe", "foreground", QString(256, QLatin1Char('t')), "",
        condition("foreground", QString(256, QLatin1Char('t')), ""), nullptr},
    {"ModeIsCaseSensitive", "notepad.exe", "Foreground", "", "", QJsonValue::Undefined, "Invalid window condition"},
    {"UnknownMode", "notepad.exe", "background", "x", "", QJsonValue::Undefined, "Invalid window condition"},
    {"TitleTooLong", "notepad.exe", "foreground", kLongText, "", QJsonValue::Undefined, "Invalid window condition text"},
    {"ClassWithNul", "notepad.exe", "foreground", "", kWithNul, QJsonValue::Undefined, "Invalid window condition text"},
};

class WindowConditions : public vorna::test::SettingsSandbox, public testing::WithParamInterface<ConditionCase> {
protected:
    // Three profiles, the third selected; it is chosen by `application`.
    void startWith(const char* application)
    {
        m_controller = makeController();
        QJsonObject library = vorna::test::libraryWithProfiles(3);
        library = edited(library, {"profiles", 2, "application"}, QString::fromUtf8(application));
        library = edited(library, {"selectedProfile"}, 2);
        ASSERT_TRUE(m_controller->commitLibrary(library, false)) << m_controller->notice().toStdString();
    }

    QJsonObject selectedProfile() const { return m_controller->library()["profiles"][2].toObject(); }

    std::unique_ptr<AppController> m_controller;
};

TEST_P(WindowConditions, StoredOrRefusedByTheCore)
{
    const ConditionCase& c = GetParam();
    startWith(c.application);
    const QJsonObject before = m_controller->library();
    m_controller->updateWindowCondition(c.mode, c.title, c.windowClass);
    if (c.refusal != nullptr) {
        EXPECT_EQ(m_controller->notice(), QString::fromLatin1(c.refusal));
        EXPECT_EQ(m_controller->library(), before);
        return;
    }
    EXPECT_TRUE(m_controller->notice().isEmpty()) << m_controller->notice().toStdString();
    EXPECT_EQ(selectedProfile().value("condition"), c.stored);
    // Saved to the file as well: a new window reads it back.
    m_controller = makeController();
    EXPECT_EQ(selectedProfile().value("condition"), c.stored);
}

INSTANTIATE_TEST_SUITE_P(Table, WindowConditions, testing::ValuesIn(kConditionCases),
    [](const testing::TestParamInfo<ConditionCase>& info) { return std::string(info.param.name); });

TEST_F(WindowConditions, ForegroundWithNothingRemovesAStoredCondition)
{
    startWith("notepad.exe");
    m_controller->updateWindowCondition("underCursor", "Report", "");
    ASSERT_TRUE(selectedProfile().contains("condition"));
    m_controller->updateWindowCondition("foreground", "", "");
    EXPECT_FALSE(selectedProfile().contains("condition"));
    EXPECT_TRUE(m_controller->canUndo());
}

TEST_F(WindowConditions, GlobalProfileIsNeverTouched)
{
    m_controller = makeController();
    const QByteArray file = readFile(libraryFile());
    QSignalSpy changes(m_controller.get(), &AppController::libraryChanged);
    m_controller->updateWindowCondition("underCursor", "Report", "Notepad");
    m_controller->updateWindowCondition("foreground", "", "");
    EXPECT_EQ(changes.count(), 0);
    EXPECT_EQ(m_controller->library(), vorna::core::defaultLibrary());
    EXPECT_EQ(readFile(libraryFile()), file);
}

// A class typed in one case matches the window's class in another: Windows treats class names
// without regard to case.
TEST_F(WindowConditions, StoredClassChoosesTheProfileWhateverItsCase)
{
    startWith("notepad.exe");
    m_controller->updateWindowCondition("foreground", "", "notepad");
    const QJsonObject library = edited(m_controller->library(), {"automatic"}, true);
    const QJsonObject window{{"executable", "C:\\Windows\\NOTEPAD.EXE"}, {"title", "Untitled"}, {"class", "Notepad"}};
    EXPECT_EQ(vorna::core::resolveAutomaticProfile(library, window, {}), 2);
    const QJsonObject other{{"executable", "C:\\Windows\\notepad.exe"}, {"title", "Untitled"}, {"class", "Edit"}};
    EXPECT_EQ(vorna::core::resolveAutomaticProfile(library, other, {}), 0);
}

struct FileCase {
    const char* url;
    const char* application;
};

class ApplicationFiles : public testing::TestWithParam<FileCase> {};

TEST_P(ApplicationFiles, LocalPathWithForwardSlashesAndTheDriveFirst)
{
    EXPECT_EQ(editor::applicationPathOf(QUrl(QString::fromLatin1(GetParam().url))), QString::fromLatin1(GetParam().application));
}

INSTANTIATE_TEST_SUITE_P(Table, ApplicationFiles, testing::Values(
    FileCase{"file:///C:/Program Files/App/app.exe", "C:/Program Files/App/app.exe"},
    FileCase{"file:///d:/tools/x.exe", "d:/tools/x.exe"},
    FileCase{"file:///opt/tools/x.exe", "/opt/tools/x.exe"},
    FileCase{"https://example.com/x.exe", ""}));

// Programs with windows in the simulated session, each window owned by another process. Their
// ids lie above any Linux process id, so none is this test process or another real one.
constexpr DWORD kProcess = 0x40000000;
class RunningApplications : public vorna::test::SettingsSandbox {
protected:
    RunningApplications() : m_session(vorna::sim::processSession()) { m_session.reset(); }
    ~RunningApplications() override { m_session.reset(); }

    void addProgram(DWORD processId, const std::wstring& path, bool accessDenied = false)
    {
        vorna::sim::ProcessRecord process;
        process.processId = processId;
        process.imagePath = path;
        process.accessDenied = accessDenied;
        m_session.addProcess(process);
    }

    void addWindow(DWORD processId, const std::wstring& title, const std::wstring& windowClass, bool visible = true)
    {
        vorna::sim::WindowRecord window;
        window.processId = processId;
        window.threadId = processId + 1;
        window.visible = visible;
        window.simulated = true;
        window.title = title;
        window.className = windowClass;
        m_session.addWindow(window);
    }

    // The entries as "id|label|title|class".
    QStringList entries()
    {
        QStringList lines;
        for (const QVariant& entry : makeController()->runningApplications()) {
            const QVariantMap map = entry.toMap();
            lines.append(QStringList{map["id"].toString(), map["label"].toString(), map["title"].toString(),
                map["class"].toString()}.join('|'));
        }
        return lines;
    }

    vorna::sim::SessionApi& m_session;
};

TEST_F(RunningApplications, OneEntryPerProgramWithAVisibleTitledWindow)
{
    addProgram(kProcess + 5001, L"C:\\Windows\\notepad.exe");
    addProgram(kProcess + 5002, L"C:\\WINDOWS\\NOTEPAD.EXE");
    addProgram(kProcess + 5003, L"C:\\Tools\\hidden.exe");
    addProgram(kProcess + 5004, L"C:\\Tools\\untitled.exe");
    addProgram(kProcess + 5005, L"C:\\Admin\\elevated.exe", true);
    addProgram(kProcess + 5006, L"D:\\Games\\game.exe");
    const std::wstring longTitle(100, L'a');
    // Added last is on top of the Z order, so listed first.
    addWindow(kProcess + 5006, longTitle, L"GameWindow");
    addWindow(kProcess + 5005, L"Administrator", L"AdminClass");
    addWindow(kProcess + 5004, L"", L"Untitled");
    addWindow(kProcess + 5003, L"Hidden", L"Hidden", false);
    addWindow(kProcess + 5002, L"Second notepad", L"Notepad");
    addWindow(kProcess + 5001, L"First notepad", L"Notepad");

    const QString title = QString(100, QLatin1Char('a'));
    EXPECT_EQ(entries(), (QStringList{
        QStringLiteral("C:\\Windows\\notepad.exe|notepad.exe \u00B7 First notepad|First notepad|Notepad"),
        QStringLiteral("D:\\Games\\game.exe|game.exe \u00B7 ") + title.left(80) + '|' + title + QStringLiteral("|GameWindow"),
    }));
}

TEST_F(RunningApplications, ListStopsAt128Programs)
{
    for (DWORD i = 0; i < 130; ++i) {
        addProgram(kProcess + 6000 + 2 * i, L"C:\\Apps\\app" + std::to_wstring(i) + L".exe");
        addWindow(kProcess + 6000 + 2 * i, L"Window " + std::to_wstring(i), L"AppClass");
    }
    const QStringList listed = entries();
    ASSERT_EQ(listed.size(), vorna::context::maxRunningApplications);
    EXPECT_TRUE(listed.first().startsWith(QStringLiteral("C:\\Apps\\app129.exe|")));
    EXPECT_TRUE(listed.last().startsWith(QStringLiteral("C:\\Apps\\app2.exe|")));
}

TEST_F(RunningApplications, NothingRunningIsAnEmptyList)
{
    EXPECT_TRUE(entries().isEmpty());
}

class AnimationProbe : public PlatformProbe {
public:
    explicit AnimationProbe(bool enabled) : m_enabled(enabled) {}
    bool clientAreaAnimation() const override { return m_enabled; }

private:
    bool m_enabled;
};

TEST_F(WindowConditions, AnimationsFollowTheSystemSetting)
{
    for (const bool enabled : {true, false}) {
        ControllerSeams seams = ControllerSeams::system();
        seams.probe = std::make_shared<AnimationProbe>(enabled);
        AppController controller(nullptr, false, seams);
        EXPECT_EQ(controller.animationsEnabled(), enabled);
        EXPECT_EQ(controller.property("animationsEnabled").toBool(), enabled);
    }
}

} // namespace
