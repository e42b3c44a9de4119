// A scripted local-socket server standing in for the agent or the settings window, run on the
// test's own event loop while the real vornactl runs as a child process.
#pragma once

#include <QByteArray>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QStringList>
#include <functional>
#include <vector>

namespace vorna::test {

// Lines received by every peer of a test, in the order they arrived.
struct PeerLine {
    QString peer;
    QByteArray line;
};

class FakePeer : public QObject {
public:
    FakePeer(QString label, const QString& serverName, std::vector<PeerLine>* log);

    std::function<void(QLocalSocket*)> onConnect;                    // e.g. send a greeting
    std::function<void(QLocalSocket*, const QByteArray&)> onLine;     // e.g. answer a request
    int connections() const { return m_connections; }

private:
    QString m_label;
    QLocalServer m_server;
    std::vector<PeerLine>* m_log;
    int m_connections = 0;
};

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};

// Runs build/ctl/vornactl with the arguments given, serving the test's peers until it ends.
ToolRun runControlTool(const QStringList& arguments);

// Lets queued socket events reach the peers (a connection attempt made just before the tool ended).
void settlePeers();

} // namespace vorna::test
