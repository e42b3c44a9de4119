#pragma once

// A settings controller in a sandbox, and a fake agent for it to talk to. Every test gets its
// own temporary home, data folder and test instance (so its own pipe name and library file),
// a process launcher that only counts, and a local server standing in for the agent's pipe.

#include "app/app_controller.h"
#include "app/branding.h"
#include "core/agent_pipe_name.h"
#include "core/library_files.h"
#include "tests/support/condition_wait.h"
#include "tests/support/scoped_env.h"
#include "tests/support/settings_shell.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QJsonDocument>
#include <QLocalServer>
#include <QLocalSocket>
#include <QPointer>
#include <QSettings>
#include <QTemporaryDir>
#include <QUuid>

#include <functional>
#include <ostream>
#include <memory>

// Readable texts in test failures.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vorna::test {

// Runs the event loop until `done` holds; false if it never does (a guard against hangs, not a
// measure of time).
inline bool spinUntil(const std::function<bool()>& done, int guardMs = int(kConditionLimit.count()))
{
    const QDeadlineTimer deadline(guardMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 10);
    }
    return true;
}

// A file's bytes, or "<missing>".
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// The agent's side of the pipe: accepts connections and records every request line.
class FakeAgent {
public:
    bool listen(const QString& name)
    {
        QLocalServer::removeServer(name);
        if (!m_server.listen(name))
            return false;
        QObject::connect(&m_server, &QLocalServer::newConnection, [this] {
            while (QLocalSocket* client = m_server.nextPendingConnection()) {
                ++m_connections;
                m_client = client;
                QObject::connect(client, &QLocalSocket::readyRead, [this, client] {
                    while (client->canReadLine())
                        m_requests.append(QJsonDocument::fromJson(client->readLine()).object());
                });
            }
        });
        return true;
    }
    void close() { m_server.close(); }
    // Ends the current connection as a dying agent would.
    void dropClient()
    {
        if (m_client)
            m_client->abort();
    }
    void send(const QByteArray& bytes)
    {
        ASSERT_TRUE(m_client);
        m_client->write(bytes);
        m_client->flush();
    }
    void sendState(QJsonObject state)
    {
        state.insert(QStringLiteral("type"), QStringLiteral("state"));
        send(QJsonDocument(state).toJson(QJsonDocument::Compact) + '\n');
    }
    bool connected() const { return m_client && m_client->state() == QLocalSocket::ConnectedState; }
    int connections() const { return m_connections; }
    const QList<QJsonObject>& requests() const { return m_requests; }
    // The requests with this "command".
    QList<QJsonObject> requests(const QString& command) const
    {
        QList<QJsonObject> matching;
        for (const QJsonObject& request : m_requests) {
            if (request.value(QStringLiteral("command")).toString() == command)
                matching.append(request);
        }
        return matching;
    }
    // Waits until everything the window has written so far has arrived: requests keep their
    // order, so once a "confirm" sent now is here, so is everything before it.
    void syncWith(AppController& window)
    {
        const qsizetype before = requests(QStringLiteral("confirm")).size();
        window.confirmTrial();
        ASSERT_TRUE(spinUntil([&] { return requests(QStringLiteral("confirm")).size() > before; }));
    }
    // Sends a "state" message (agent version 10 unless given) and waits until the window handled it.
    void sendStateTo(AppController& window, QJsonObject state)
    {
        state.insert(QStringLiteral("agentVersion"), state.value(QStringLiteral("agentVersion")).toInt(10));
        int handled = 0;
        auto counter = QObject::connect(&window, &AppController::stateChanged, [&] { ++handled; });
        sendState(state);
        ASSERT_TRUE(spinUntil([&] { return handled > 0; }));
        QObject::disconnect(counter);
    }
    // The "configure" requests that reached the agent, once everything written so far is here.
    qsizetype configuresFrom(AppController& window)
    {
        syncWith(window);
        return requests(QStringLiteral("configure")).size();
    }
    bool waitForRequests(qsizetype count)
    {
        return spinUntil([&] { return m_requests.size() >= count; });
    }

private:
    QLocalServer m_server;
    QPointer<QLocalSocket> m_client;
    QList<QJsonObject> m_requests;
    int m_connections = 0;
};

// Isolated files and settings, a counting launcher, and helpers to build the controller.
class SettingsSandbox : public testing::Test {
protected:
    SettingsSandbox()
    {
        guiApplication();
        QCoreApplication::setOrganizationName(QString::fromLatin1(app::kDefaultOrganization));
        QCoreApplication::setApplicationName(QString::fromLatin1(app::kDefaultDisplayName));
        // QSettings keeps the folder it found first for the whole process; point it here.
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat})
            QSettings::setPath(format, QSettings::UserScope, m_root.filePath(QStringLiteral("home/config")));
    }

    std::unique_ptr<AppController> makeController()
    {
        ControllerSeams seams = ControllerSeams::system();
        seams.startDetached = [this](const QString& program, const QStringList& arguments, const QString& folder) {
            m_starts.append({program, arguments, folder});
            return m_startSucceeds;
        };
        seams.probe = std::make_shared<PlatformProbe>();
        return std::make_unique<AppController>(nullptr, false, seams);
    }

    QString libraryFile() const { return core::libraryPath(); }
    static QByteArray readFile(const QString& path) { return fileBytes(path); }
    static QByteArray compactBytes(const QJsonObject& object) { return QJsonDocument(object).toJson(QJsonDocument::Compact); }

    struct Start {
        QString program;
        QStringList arguments;
        QString folder;
    };

    QTemporaryDir m_root;
    ScopedEnv m_home{"HOME", m_root.filePath(QStringLiteral("home")).toUtf8()};
    ScopedEnv m_dataHome{"XDG_DATA_HOME", m_root.filePath(QStringLiteral("home/share")).toUtf8()};
    ScopedEnv m_configHome{"XDG_CONFIG_HOME", m_root.filePath(QStringLiteral("home/config")).toUtf8()};
    ScopedEnv m_instance{"VORNA_TEST_INSTANCE",
                         QByteArray("test-") + QUuid::createUuid().toString(QUuid::Id128).toLatin1()};
    ScopedEnv m_testData{"VORNA_TEST_DATA", m_root.filePath(QStringLiteral("data")).toUtf8()};
    QList<Start> m_starts;
    bool m_startSucceeds = true;
};

} // namespace vorna::test
