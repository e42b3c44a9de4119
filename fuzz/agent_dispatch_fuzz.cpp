// The agent's command dispatch, fed whole request lines: a real agent started in this process
// on a simulated session of its own (its watchdog is this program again, in the watchdog role),
// and one client on the agent's pipe, as the settings window and vornactl connect. An input is
// a series of lines (at most kMaxLines; an empty last line after the final "\n" is not one);
// each reaches the agent in the state the lines before it left, followed by a marker request
// whose refusal says the line was read and dispatched. Each input starts with "panic", so no
// mapping, observation or capture carries over. "@window" in a line stands for the decimal
// handle of this process's own foreground window, the one key capture accepts.
//
// What must hold, besides no crash, undefined behaviour or leak: the agent answers the marker
// after every line that left the connection open, and closes a connection it stops answering.
#include "agent/agent_server.h"
#include "app/branding.h"
#include "app/role_choice.h"
#include "core/agent_pipe_name.h"
#include "engine/safety/watchdog.h"
#include "platform/win32.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocalSocket>
#include <QTemporaryDir>
#include <QUuid>

#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace {

constexpr int kMaxLines = 32;
// An agent that neither answers nor closes in this time is hung. Far beyond any answer; while
// the event loop runs the agent's tick keeps its watchdog content.
constexpr int kPatienceMs = 20000;

struct Fixture {
    QCoreApplication* application = nullptr;
    vorna::ipc::AgentServer* agent = nullptr;
    QLocalSocket* client = nullptr;
    QByteArray window; // the foreground window's handle in decimal
    std::uint64_t markers = 0;
    char* program = nullptr; // argv[0]
};

Fixture& fixture()
{
    static Fixture instance;
    return instance;
}

[[noreturn]] void fail(const char* what)
{
    std::fprintf(stderr, "agent_dispatch: %s\n", what);
    std::abort();
}

// Runs the event loop until `done` holds; false when the agent stayed silent too long.
template <typename Condition>
bool pumpUntil(Condition done)
{
    QElapsedTimer clock;
    clock.start();
    while (!done()) {
        if (clock.hasExpired(kPatienceMs))
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

bool connected()
{
    return fixture().client->state() == QLocalSocket::ConnectedState;
}

// A fresh connection, once the agent's greeting (its state) has arrived.
void connectClient()
{
    Fixture& f = fixture();
    f.client->abort();
    f.client->connectToServer(vorna::core::agentPipeName());
    if (!pumpUntil([] { return fixture().client->canReadLine(); }))
        fail("the agent did not greet a new client");
    f.client->readAll();
}

// Sends the line and the marker, then reads until the marker's refusal comes back or the agent
// closes the connection.
void exchange(const QByteArray& line)
{
    Fixture& f = fixture();
    if (!connected())
        connectClient();
    const QByteArray marker = "m" + QByteArray::number(++f.markers);
    f.client->write(line + '\n');
    f.client->write(R"({"command":"captureKeys","version":1,"window":"0","request":")" + marker + "\"}\n");
    bool answered = false;
    const bool settled = pumpUntil([&] {
        while (f.client->canReadLine()) {
            const QJsonObject reply = QJsonDocument::fromJson(f.client->readLine()).object();
            if (reply.isEmpty())
                fail("the agent wrote a line that is not a JSON object");
            answered = answered || reply.value(QStringLiteral("request")).toString().toUtf8() == marker;
        }
        return answered || !connected();
    });
    if (!settled)
        fail("the agent neither answered the marker nor closed the connection");
}

// At exit the agent stops as it does on a clean shutdown: its watchdog is asked to end.
void stopAgent()
{
    Fixture& f = fixture();
    delete f.client;
    delete f.agent;
    delete f.application;
    f = Fixture{};
}

// Started with the first input, not at initialisation: a libFuzzer process that only runs
// others (merging, forking) must not hold an agent whose watchdog it never answers.
void startAgent()
{
    // A session, pipe name and data folders of this run alone.
    static QTemporaryDir folder;
    if (!folder.isValid())
        fail("no temporary folder");
    qunsetenv("VORNA_SIM_SESSION");
    qputenv("XDG_DATA_HOME", QFile::encodeName(folder.filePath(QStringLiteral("data"))));
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(folder.filePath(QStringLiteral("config"))));
    qputenv("VORNA_TEST_INSTANCE", "test-" + QUuid::createUuid().toString(QUuid::Id128).toLower().toLatin1());

    // Qt gets the program name alone: libFuzzer's arguments are not its business.
    Fixture& f = fixture();
    static int qtArgc = 1;
    static char* qtArgv[] = {f.program, nullptr};
    f.application = new QCoreApplication(qtArgc, qtArgv);
    app::loadBranding();
    f.agent = new vorna::ipc::AgentServer;
    QString error;
    if (!f.agent->start(error)) {
        std::fprintf(stderr, "agent_dispatch: the agent did not start: %s\n", error.toUtf8().constData());
        std::abort();
    }
    const HWND window = CreateWindowExW(0, L"STATIC", L"Fuzzing client", WS_VISIBLE, 0, 0, 200, 100, nullptr, nullptr,
        GetModuleHandleW(nullptr), nullptr);
    if (window == nullptr || !SetForegroundWindow(window))
        fail("no foreground window of its own");
    f.window = QByteArray::number(static_cast<quint64>(reinterpret_cast<std::uintptr_t>(window)));
    f.client = new QLocalSocket;
    connectClient();
    std::atexit(stopAgent);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv)
{
    // The agent starts this program again as its watchdog.
    const app::RoleChoice role = app::chooseRole(*argc, *argv);
    if (role.role == app::ProcessRole::Watchdog)
        std::exit(vorna::windows::Watchdog::run(role.journalName, role.agentProcessId));
    if (role.role == app::ProcessRole::Exit)
        std::exit(role.exitCode);
    fixture().program = (*argv)[0];
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (fixture().agent == nullptr)
        startAgent();
    exchange(R"({"command":"panic","version":1})");
    QList<QByteArray> lines =
        QByteArray::fromRawData(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size)).split('\n');
    if (lines.size() > 1 && lines.last().isEmpty())
        lines.removeLast();
    for (qsizetype i = 0; i < lines.size() && i < kMaxLines; ++i)
        exchange(QByteArray(lines.at(i)).replace("@window", fixture().window));
    return 0;
}
