// The test client of the agent's pipe against a scripted peer: a state the peer pushed before a
// request is never taken for the request's answer, and a short wait still reads what arrived.
#include "tests/support/agent_harness.h"

#include <QJsonDocument>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/ioctl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <thread>

namespace {

using vorna::test::RawClient;

// Listens on a socket file; the one connection it takes gets a pushed state ("n" 0) at once,
// then, for each request line, a key-capture refusal naming a captureKeys request or a state
// counting the requests.
class ScriptedAgent {
public:
    explicit ScriptedAgent(const std::string& path)
    {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        path.copy(address.sun_path, sizeof address.sun_path - 1);
        m_listener = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        ::bind(m_listener, reinterpret_cast<const sockaddr*>(&address), sizeof address);
        ::listen(m_listener, 1);
        m_thread = std::thread([this] { serve(); });
    }
    ~ScriptedAgent()
    {
        ::shutdown(m_listener, SHUT_RDWR);
        m_thread.join();
        ::close(m_listener);
    }

private:
    static void writeLine(int fd, const QJsonObject& message)
    {
        const QByteArray line = QJsonDocument(message).toJson(QJsonDocument::Compact) + '\n';
        [[maybe_unused]] const ssize_t n = ::send(fd, line.constData(), std::size_t(line.size()), MSG_NOSIGNAL);
    }

    void serve()
    {
        const int fd = ::accept(m_listener, nullptr, nullptr);
        if (fd < 0)
            return;
        writeLine(fd, {{"type", "state"}, {"n", 0}});
        std::string pending;
        int answered = 0;
        char chunk[4096];
        for (ssize_t n; (n = ::recv(fd, chunk, sizeof chunk, 0)) > 0;) {
            pending.append(chunk, std::size_t(n));
            for (std::size_t end; (end = pending.find('\n')) != std::string::npos; pending.erase(0, end + 1)) {
                const QJsonObject request = QJsonDocument::fromJson(QByteArray::fromStdString(pending.substr(0, end))).object();
                if (request["command"].toString() == "captureKeys")
                    writeLine(fd, {{"type", "keyCapture"}, {"request", request["request"]}, {"status", 4}});
                else
                    writeLine(fd, {{"type", "state"}, {"n", ++answered}});
            }
        }
        ::close(fd);
    }

    int m_listener = -1;
    std::thread m_thread;
};

// A client connected to a scripted peer, with the peer's pushed state already in its socket.
class RawClientTest : public testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(client.connected());
        ASSERT_TRUE(vorna::test::waitFor([&] {
            int queued = 0;
            return ::ioctl(client.descriptor(), FIONREAD, &queued) == 0 && queued > 0;
        }));
    }

    QTemporaryDir folder;
    const std::string path = folder.filePath("agent.sock").toStdString();
    ScriptedAgent agent{path};
    RawClient client{path};
};

TEST_F(RawClientTest, AStatePushedBeforeTheRequestIsNotItsAnswer)
{
    const std::optional<QJsonObject> answer = client.ask({{"command", "state"}, {"version", 1}});
    ASSERT_TRUE(answer);
    EXPECT_EQ((*answer)["n"].toInt(), 1);
    const QJsonObject until = client.askUntil({{"command", "state"}, {"version", 1}}, [](const QJsonObject&) { return true; });
    EXPECT_EQ(until["n"].toInt(), 2);
}

TEST_F(RawClientTest, AWaitShorterThanAMillisecondStillReadsWhatArrived)
{
    // The line is there: a wait of one millisecond, which has less than that left once it
    // begins, reads it.
    EXPECT_EQ(client.readLine(std::chrono::milliseconds(1)), std::optional<std::string>(R"({"n":0,"type":"state"})"));
}

} // namespace
