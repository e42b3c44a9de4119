#pragma once

// The settings window's end of the agent pipe as plain functions: request lines, the reader's
// limits, what a "state" message changes in the window, the status line, when observation is
// asked for, and whether the agent now runs the edited library. The controller's agent-link
// part file owns the socket and the timers and only applies what these decide.

#include "core/pipe_server_user.h"

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariantList>
#include <QVariantMap>
#include <QtGlobal>

namespace app {

// The GUI thread waits at most this long for one connection attempt.
inline constexpr int kAgentConnectTimeoutMs = 100;
inline constexpr int kAgentReconnectIntervalMs = 1000;

// Status texts set outside state messages; Russian in both languages. The first of them,
// "Подключение к движку…", is the status field's initial value.
inline const QString kStatusConnected = QStringLiteral("На паузе · назначение включается вручную");
inline const QString kStatusDisconnected = QStringLiteral("Нет связи с движком");
inline const QString kStatusUnavailable = QStringLiteral("Движок недоступен. Перезапустите настройки.");
inline const QString kStatusStartFailed = QStringLiteral("Не удалось запустить движок");

// Another user's program answers on the agent's name: it is sent nothing, and the usual retry
// goes on. This one follows the language.
inline const QString kStatusOtherUserRu = QStringLiteral("Имя движка занято программой другого пользователя");
inline const QString kStatusOtherUserEn = QString::fromLatin1(vorna::core::kNameHeldByOtherUser);

inline const QString kSavedAndAppliedRu = QStringLiteral("Сохранено и применено");
inline const QString kSavedAndAppliedEn = QStringLiteral("Saved and applied");

// One request line: the command with "version" 1, compact, and "\n".
QByteArray agentRequestLine(QJsonObject command);

// ---- Reader ----

enum class ReaderStep {
    ReadLine, // a whole line is buffered
    Wait,     // part of a line; more will come
    Abort,    // the read buffer is full without a line end: nothing more can arrive
};

// What the reader does with the bytes the socket holds. Without the abort a line longer than
// the buffer would stall the link for good: the socket stops reading once its buffer is full.
ReaderStep readerStep(bool lineAvailable, qint64 bytesAvailable);

// A line taken with a limit of protocol::kReadBufferBytes that breaks the line limit (it may also
// have been cut off by that limit).
bool agentLineTooLong(const QByteArray& line);

// The line as a JSON object; anything that is not one gives an empty object.
QJsonObject parseAgentLine(const QByteArray& line);

// ---- State messages ----

// What the window knows when a state message arrives.
struct LinkFacts {
    bool connected = false;
    bool observeSent = false;
    bool english = false;
};

// Everything a "state" message sets, in the window's terms.
struct StateUpdate {
    bool active = false;
    bool applying = false;
    bool observing = false;         // only while the window's observe request is in force
    int trialSeconds = 0;
    bool observeSent = false;       // cleared when the agent no longer observes
    bool armed = false;
    bool dropPendingHash = false;   // nothing configured, or an error: no apply will be confirmed
    QVariantList deviceList;
    int agentVersion = 0;
    QVariantMap diagnostics;
    bool foregroundElevated = false;
    bool olderEngine = false;       // not connected, or version 9 or lower
    QString activeDescription;
    bool observeHeldBack = false;   // the agent refused to observe: do not ask again
    QString statusLine;             // from the status table; the older-engine text replaces it
};

StateUpdate interpretState(const QJsonObject& message, const LinkFacts& facts);

// The first row of the status table that holds.
struct StatusFacts {
    bool foregroundElevated = false;
    QString error;
    bool pending = false;
    int trialSeconds = 0;
    bool active = false;
    bool observing = false;
    bool configured = false;
    int ruleCount = 0;
};

QString statusLine(const StatusFacts& facts, bool english);

// The final status: the older-engine text replaces the line, and a start-up load problem is
// appended to whatever is shown.
QString composeStatus(const QString& line, bool olderEngine, const QString& engineIssue, const QString& loadProblem);

// ---- Has the agent taken the edits? ----

struct AppliedFacts {
    bool dirty = false;
    QString pendingHash;           // the last automatic apply's hash
    QString lastSentHash;
    QJsonObject lastSentStripped;  // the library last sent, without rule names
};

enum class HashVerdict {
    NotJudged,  // applying, an error, or nothing unapplied
    Different,  // the agent runs something else
    Applied,    // the edits are in force: no longer dirty
    Confirmed,  // and it is the automatic apply awaited: tell the user
};

// Compares the agent's "documentHash" with the library's own hash, or with the last-sent hash
// when the library differs from what was sent only by rule names.
HashVerdict judgeDocumentHash(const QJsonObject& message, const QJsonObject& library, const AppliedFacts& facts);

// ---- Observation ----

struct ObserveNeeds {
    bool livePage = false;
    bool liveEnabled = false;
    bool observationWanted = false;
    bool captureMode = false;
    bool recording = false;
    bool outputCaptureActive = false;
    bool outputCaptureHeld = false;
};

bool observationWanted(const ObserveNeeds& needs);

enum class ObserveAction { None, SendOn, SendOff };

// An observe request is written once and not repeated until something withdrew it; an agent
// that refused (held back) is not asked again; an older engine is never asked.
ObserveAction observeAction(bool wanted, bool connected, int agentVersion, bool heldBack, bool sent);

} // namespace app
