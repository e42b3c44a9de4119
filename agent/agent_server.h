// The --agent process's one object: it listens on the per-session pipe, keeps the connected
// clients, holds the configuration last applied, owns the input backend, the safety journal
// with its watchdog, the foreground tracker, the tray icon and the action executor, and drives
// all periodic work from one 20 ms timer on the Qt main thread.
//
// The implementation is split by concern: agent_server.cpp (start, stop, ownership),
// agent_server_clients.cpp (connections and framing), agent_server_commands.cpp (dispatch),
// agent_server_capture.cpp (key capture), agent_server_profiles.cpp (profile switching,
// devices, action results), agent_server_state.cpp (the state message) and
// agent_server_tick.cpp (the 20 ms tick).
#pragma once

#include "agent/actions/action_executor.h"
#include "agent/context/windows_context.h"
#include "agent/language_setting.h"
#include "agent/tick_timer.h"
#include "agent/trace_rule_cache.h"
#include "agent/tray/windows_tray.h"
#include "core/custom_action.h"
#include "core/rules_snapshot.h"
#include "engine/mapping/layer_program.h"
#include "engine/safety/safety_journal.h"
#include "engine/windows_input_backend.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonObject>
#include <QList>
#include <QLocalServer>
#include <QLocalSocket>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <map>
#include <vector>

namespace vorna::ipc {

class AgentServer : public QObject {
public:
    explicit AgentServer(QObject* parent = nullptr);
    ~AgentServer() override;
    AgentServer(const AgentServer&) = delete;
    AgentServer& operator=(const AgentServer&) = delete;

    // Power throttling off, listen, journal and watchdog, devices, tray, tick. False with
    // `error` set when the agent cannot run.
    bool start(QString& error);

    // Ends key capture, observation and mappings; keeps the error text, the last mapping and
    // the configured library.
    void stopMappings();

    // The state message (reads only).
    QJsonObject stateObject() const;

    // One checked request from `socket` (null for the tray's enable action).
    void handleCommand(QLocalSocket* socket, const QJsonObject& request);

    // Writes one line to a connected socket; aborts a client whose output backlog is too long.
    void writeLine(QLocalSocket* socket, const QJsonObject& message);
    void writeEncoded(QLocalSocket* socket, const QByteArray& line);

    // The 20 ms tick.
    void tick();

private:
    // clients
    void onNewConnection();
    void onReadyRead(QLocalSocket* socket);
    void onClientDisconnected(QLocalSocket* socket);
    bool sameSessionAsAgent(QLocalSocket* socket) const;
    void writeToObservers(const QJsonObject& message);
    void writeEncodedToObservers(const QByteArray& line);
    void recomputeObserving();
    bool captureRunning() const; // the backend's capture state 1 or 2, or its keys still down
    void stopIdleBackend();

    // commands
    void commandConfigure(QLocalSocket* socket, const QJsonObject& request);
    void commandApply(QLocalSocket* socket, const QJsonObject& request);
    void commandObserve(QLocalSocket* socket, const QJsonObject& request);
    void replyState(QLocalSocket* socket);

    // capture
    void commandCaptureKeys(QLocalSocket* socket, const QJsonObject& request);
    void commandCancelCaptureKeys(QLocalSocket* socket);
    void sendKeyCaptureError(QLocalSocket* socket, const QJsonObject& request, const QString& text);
    void publishKeyCapture();

    // profiles, devices, action results
    bool switchProfile(const core::RulesSnapshot& snapshot);
    void selectAutomaticProfile(const QString& executable);
    void refreshDevices();
    void reapplyConfiguration();
    void openSettings();
    void onActionResult(const QJsonObject& event);
    void rememberLibrary(std::uint64_t generation);
    void onPause();
    void onQuit();
    void onFocusChanged();

    // tick
    void handleEngineEvents();
    void observe();

    // The server's only calls into the tray and the action executor.
    void executorFinishText(bool releaseAll);
    void executorSetJournal(windows::SafetyJournalView* journal);
    void executorCancelOperation(const QString& operation);
    void executorExecute(const core::ParsedAction& action, const QJsonObject& trigger);
    void trayCreate();
    void trayUpdate(const QString& tooltip, int iconIndex);
    void trayStoppedNotice(bool stopped);

    QLocalServer m_server;
    QList<QLocalSocket*> m_clients;
    QTimer m_tick;
    TickTimer m_trialTimer;
    TickTimer m_engineAckTimer;
    TickTimer m_deviceTimer;
    QPointer<QLocalSocket> m_captureOwner;
    TickTimer m_captureTimer;
    std::uint64_t m_captureRequest = 0;
    std::uint64_t m_capturePublished = 0;
    QJsonArray m_devices;
    std::uint64_t m_deviceRefreshCount = 0;
    std::uint32_t m_deviceEnumerationError = 0;
    std::uint32_t m_powerPolicyError = 0;
    QString m_source;
    QString m_target;
    QString m_error;
    bool m_active = false;
    bool m_observing = false;
    std::uint64_t m_generation = 0;
    std::uint64_t m_pendingGeneration = 0;
    context::WindowsContext m_context;
    QJsonObject m_library;
    // The libraries of recent generations, with the rule context their trace events name.
    std::map<std::uint64_t, TraceRuleCache> m_libraryByGeneration;
    std::vector<core::RulesSnapshot> m_profileSnapshots;
    std::int32_t m_profileIndex = 0;
    std::int32_t m_layerIndex = 0;
    std::uint32_t m_ruleCount = 0;
    bool m_configured = false;
    bool m_manualSwitch = false;
    QJsonObject m_pendingEvent;
    QString m_profileName;
    QString m_layerName;
    QString m_contextReason;
    QString m_documentHash;
    WindowsTray m_tray;
    bool m_applyFailed = false;
    actions::ActionExecutor m_executor{this};
    windows::SafetyJournal m_journal;
    windows::WindowsInputBackend m_backend;
    windows::MacroBank m_macros;
    std::vector<windows::LayerProgram> m_layerPrograms;
    std::uint32_t m_tickCount = 0;
    LanguageSetting m_language;
};

} // namespace vorna::ipc
