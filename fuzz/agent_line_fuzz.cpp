// The settings window's reader of the agent's lines: the line limit, the JSON parse, what a
// "state" message changes, the document-hash verdict, and the live view fed with "trace" and
// "held" messages, for any line a broken or hostile agent could send.
#include "app/agent_link.h"
#include "app/live_input_model.h"
#include "core/library_files.h"

#include <QCoreApplication>

#include <cstdint>

namespace {

// The live view owns a timer; timers need the application object.
void ensureApplication()
{
    static int argc = 1;
    static char name[] = "agent_line_fuzz";
    static char* argv[] = {name, nullptr};
    static QCoreApplication application(argc, argv);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    ensureApplication();
    const QByteArray line(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    if (app::agentLineTooLong(line))
        return 0;
    const QJsonObject message = app::parseAgentLine(line);
    for (const bool connected : {false, true}) {
        app::LinkFacts facts;
        facts.connected = connected;
        facts.observeSent = connected;
        facts.english = !connected;
        app::interpretState(message, facts);
    }
    static const QJsonObject library = vorna::core::defaultLibrary();
    app::AppliedFacts applied;
    applied.dirty = true;
    applied.pendingHash = QStringLiteral("0");
    applied.lastSentHash = QStringLiteral("1");
    app::judgeDocumentHash(message, library, applied);

    LiveInputModel live(nullptr, [] { return qint64(1000); });
    live.setHistoryEnabled(true);
    live.applyTrace(message);
    live.onTick();
    live.state();
    return 0;
}
