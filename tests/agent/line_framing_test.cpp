// The read loop and line encoding of the agent pipe, over an in-memory line source.
#include "agent/line_framing.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace vorna::ipc;

namespace {

// Bytes as a socket would buffer them; each read's limit is kept with what was buffered then.
struct BufferedLines {
    QByteArray bytes;
    std::vector<std::pair<qint64, qint64>> reads; // buffered, limit
    qint64 bytesAvailable() const { return bytes.size(); }
    bool canReadLine() const { return bytes.contains('\n'); }
    QByteArray readLine(qint64 max)
    {
        reads.emplace_back(bytes.size(), max);
        const qint64 end = std::min<qint64>(bytes.indexOf('\n') + 1, max);
        const QByteArray line = bytes.left(end);
        bytes.remove(0, end);
        return line;
    }
};

struct ReadRun {
    ReadOutcome outcome;
    std::vector<QString> commands; // dispatched, in order
    QByteArray left;
};

ReadRun read(const QByteArray& bytes, bool clientStays = true)
{
    BufferedLines source{bytes};
    ReadRun run;
    run.outcome = readRequestLines(source, [&](const QJsonObject& request) {
        run.commands.push_back(request.value(QStringLiteral("command")).toString());
        return clientStays;
    });
    run.left = source.bytes;
    return run;
}

QByteArray lines(int count, const char* command = "state")
{
    QByteArray bytes;
    for (int i = 0; i < count; ++i)
        bytes += QByteArray(R"({"command":")") + command + R"(","version":1})" + "\n";
    return bytes;
}

} // namespace

TEST(LineFraming, EncodesCompactJsonWithOneLineFeed)
{
    EXPECT_EQ(encodeLine(QJsonObject{{"type", "state"}, {"a", 1}}), QByteArray(R"({"a":1,"type":"state"})" "\n"));
    EXPECT_EQ(encodeLine(errorMessage("Unknown command")), QByteArray(R"({"error":"Unknown command"})" "\n"));
}

TEST(LineFraming, EightLinesAreHandledAndANinthWaitingAbortsTheClient)
{
    const ReadRun eight = read(lines(8));
    EXPECT_EQ(eight.outcome.kind, ReadOutcome::Keep);
    EXPECT_EQ(eight.commands.size(), 8u);

    const ReadRun nine = read(lines(9));
    EXPECT_EQ(nine.outcome.kind, ReadOutcome::Abort);
    EXPECT_EQ(nine.commands.size(), 8u);

    // A ninth line still incomplete is not a ninth line: it waits for the next delivery.
    const ReadRun partial = read(lines(8) + R"({"command":"st)");
    EXPECT_EQ(partial.outcome.kind, ReadOutcome::Keep);
    EXPECT_EQ(partial.left, QByteArray(R"({"command":"st)"));
}

TEST(LineFraming, ABadLineStopsEverythingAfterIt)
{
    const ReadRun run = read(lines(1, "state") + "[]\n" + lines(1, "shutdown"));
    EXPECT_EQ(run.outcome.kind, ReadOutcome::Reject);
    EXPECT_EQ(run.outcome.error, "Invalid JSON object");
    EXPECT_EQ(run.commands, std::vector<QString>{"state"});
}

TEST(LineFraming, UnreadBytesBeyondTheLimitAbortBeforeAnythingIsParsed)
{
    QByteArray line = lines(1);
    line.insert(line.size() - 2, QByteArray(vorna::protocol::kMaxLineBytes - line.size() + 1, ' '));
    ASSERT_EQ(line.size(), vorna::protocol::kMaxLineBytes + 1);
    const ReadRun over = read(line);
    EXPECT_EQ(over.outcome.kind, ReadOutcome::Abort);
    EXPECT_TRUE(over.commands.empty());

    line.remove(line.size() - 3, 1); // one byte shorter: exactly at the limit
    const ReadRun at = read(line);
    EXPECT_EQ(at.outcome.kind, ReadOutcome::Keep);
    EXPECT_EQ(at.commands.size(), 1u);
}

TEST(LineFraming, AClientGoneDuringACommandIsReadNoFurther)
{
    const ReadRun run = read(lines(3), false);
    EXPECT_EQ(run.outcome.kind, ReadOutcome::Keep);
    EXPECT_EQ(run.commands.size(), 1u);
}

// A socket's readLine(n) allocates all n bytes before it reads: a line is asked for with room
// for what is buffered (one more for the terminating NUL), not for the longest line allowed,
// which made every short request cost a quarter megabyte.
TEST(LineFraming, EachLineIsReadWithRoomForWhatIsBufferedOnly)
{
    BufferedLines source{lines(3) + R"({"command":"st)"};
    readRequestLines(source, [](const QJsonObject&) { return true; });
    ASSERT_EQ(source.reads.size(), 3u);
    for (const auto& [buffered, limit] : source.reads)
        EXPECT_EQ(limit, buffered + 1);
}
