// The window context's rules: how a window is described (title and class cut to their limits in
// UTF-16 units, the elevation of its program), and when a refresh counts as a change of focus.
#include "agent/context/context_change.h"
#include "agent/context/elevation.h"
#include "agent/context/windows_context.h"
#include "platform/sim/session/session_api.h"
#include "tests/support/qt_printers.h"

#include <QJsonObject>
#include <QString>

#include <gtest/gtest.h>

#include <optional>
#include <string>

using namespace vorna::context;

namespace {

// A description as WindowsContext::describeWindow gives it, reduced to what the rules read.
QJsonObject window(const char* id, const char* title = "Document")
{
    return {{"window", id}, {"title", title}, {"executable", "C:\\Apps\\editor.exe"}};
}

} // namespace

TEST(ContextChange, Table)
{
    const QJsonObject none;
    const struct {
        const char* name;
        QJsonObject storedForeground, storedUnderCursor, newForeground, newUnderCursor;
        ContextChange expected;
    } rows[] = {
        {"no foreground window before and now", none, none, none, none, {false, false, false}},
        {"no foreground window, the cursor over the same window", none, window("7"), none, window("7"), {false, false, false}},
        {"no foreground window, the cursor moves to a window", none, none, none, window("7"), {true, false, true}},
        {"a window comes to the front", none, none, window("5"), none, {true, true, true}},
        {"the last window leaves the front", window("5"), none, none, none, {true, true, true}},
        {"the same window in front", window("5"), none, window("5"), none, {false, false, false}},
        {"the same window in front, retitled", window("5"), none, window("5", "Other"), none, {true, false, true}},
        {"another window in front", window("5"), none, window("6"), none, {true, true, true}},
        {"the same window in front, the cursor moves", window("5"), window("5"), window("5"), window("6"), {true, false, true}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ContextChange change =
            decideContextChange(row.storedForeground, row.storedUnderCursor, row.newForeground, row.newUnderCursor);
        EXPECT_EQ(change.store, row.expected.store);
        EXPECT_EQ(change.focusChanged, row.expected.focusChanged);
        EXPECT_EQ(change.changed, row.expected.changed);
    }
}

TEST(ElevationInference, Table)
{
    constexpr std::uint32_t low = 0x1000, medium = 0x2000, high = 0x3000, system = 0x4000;
    const struct {
        const char* name;
        std::optional<std::uint32_t> agent, window;
        std::uint32_t error;
        ElevationInference expected; // elevated, probable, agentElevated
    } rows[] = {
        {"both medium", medium, medium, 0, {false, false, false}},
        {"a high window over a medium agent", medium, high, 0, {true, false, false}},
        {"a medium window under a high agent", high, medium, 0, {false, false, true}},
        {"a system window over a high agent", high, system, 0, {true, false, true}},
        {"a low agent, a medium window", low, medium, 0, {true, false, false}},
        {"access refused to a medium agent: probably elevated", medium, std::nullopt, 5, {true, true, false}},
        {"access refused to a high agent: not a hint", high, std::nullopt, 5, {false, false, true}},
        {"another error for a medium agent: not a hint", medium, std::nullopt, 87, {false, false, false}},
        {"the agent's own level unknown", std::nullopt, high, 0, {false, false, false}},
        {"the agent's own level unknown, access refused", std::nullopt, std::nullopt, 5, {false, false, false}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ElevationInference inferred = inferElevation(row.agent, row.window, row.error);
        EXPECT_EQ(inferred.elevated, row.expected.elevated);
        EXPECT_EQ(inferred.elevationProbable, row.expected.elevationProbable);
        EXPECT_EQ(inferred.agentElevated, row.expected.agentElevated);
    }
}

// Windows of programs in the test's own session; this process runs at medium level there.
class WindowDescription : public testing::Test {
protected:
    void SetUp() override { session.reset(); }
    void TearDown() override { session.reset(); }

    HWND addWindow(DWORD processId, const std::wstring& title, const std::wstring& className)
    {
        vorna::sim::WindowRecord record;
        record.processId = processId;
        record.visible = true;
        record.simulated = true;
        record.title = title;
        record.className = className;
        return session.addWindow(record);
    }

    vorna::sim::SessionApi& session = vorna::sim::processSession();
};

TEST_F(WindowDescription, TitleAndClassAreCutInUtf16Units)
{
    session.addProcess({4300001, L"C:\\Apps\\editor.exe"});
    const std::wstring face = L"\U0001F600"; // two UTF-16 units
    const struct {
        const char* name;
        std::wstring title, className;
        QString expectedTitle, expectedClass;
    } rows[] = {
        {"short", L"Report", L"Editor", "Report", "Editor"},
        {"exactly at the limits", std::wstring(512, L't'), std::wstring(256, L'c'), QString(512, 't'), QString(256, 'c')},
        {"one unit over", std::wstring(513, L't'), std::wstring(257, L'c'), QString(512, 't'), QString(256, 'c')},
        {"far over", std::wstring(2000, L't'), std::wstring(1000, L'c'), QString(512, 't'), QString(256, 'c')},
        {"a pair across the cut loses both halves", std::wstring(511, L't') + face + L"x", std::wstring(255, L'c') + face,
         QString(511, 't'), QString(255, 'c')},
        {"a pair just inside the cut stays", std::wstring(510, L't') + face + L"x", std::wstring(254, L'c') + face + L"x",
         QString(510, 't') + QString::fromWCharArray(face.c_str()),
         QString(254, 'c') + QString::fromWCharArray(face.c_str())},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QJsonObject description = WindowsContext::describeWindow(addWindow(4300001, row.title, row.className));
        EXPECT_EQ(description["title"].toString(), row.expectedTitle);
        EXPECT_EQ(description["class"].toString(), row.expectedClass);
        EXPECT_EQ(description["executable"].toString(), "C:\\Apps\\editor.exe");
    }
}

TEST_F(WindowDescription, ElevationOfTheWindowsProgram)
{
    vorna::sim::ProcessRecord elevated{4300002, L"C:\\Admin\\tool.exe"};
    elevated.integrityRid = 0x3000;
    vorna::sim::ProcessRecord refusing{4300003, L"C:\\Admin\\locked.exe"};
    refusing.accessDenied = true;
    session.addProcess({4300001, L"C:\\Apps\\editor.exe"});
    session.addProcess(elevated);
    session.addProcess(refusing);
    const struct {
        const char* name;
        DWORD processId;
        bool elevated, probable;
        qint64 error;
    } rows[] = {
        {"a program at the agent's level", 4300001, false, false, 0},
        {"a program at high level", 4300002, true, false, 0},
        {"a program that refuses to be opened", 4300003, true, true, 5},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QJsonObject description = WindowsContext::describeWindow(addWindow(row.processId, L"Window", L"Class"));
        EXPECT_EQ(description["elevated"].toBool(), row.elevated);
        EXPECT_EQ(description["elevationProbable"].toBool(), row.probable);
        EXPECT_EQ(description["agentElevated"].toBool(true), false);
        EXPECT_EQ(description["integrityError"].toInteger(-1), row.error);
    }
}

TEST_F(WindowDescription, NoWindowIsAnEmptyDescription)
{
    EXPECT_TRUE(WindowsContext::describeWindow(nullptr).isEmpty());
    const HWND gone = addWindow(4300001, L"Window", L"Class");
    session.removeWindow(gone);
    EXPECT_TRUE(WindowsContext::describeWindow(gone).isEmpty());
}
