#include "app/agent_link.h"

#include "core/agent_protocol.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonParseError>

namespace app {

QByteArray agentRequestLine(QJsonObject command)
{
    command.insert(QStringLiteral("version"), vorna::protocol::kRequestVersion);
    return QJsonDocument(command).toJson(QJsonDocument::Compact) + '\n';
}

ReaderStep readerStep(bool lineAvailable, qint64 bytesAvailable)
{
    if (lineAvailable)
        return ReaderStep::ReadLine;
    return bytesAvailable >= vorna::protocol::kReadBufferBytes ? ReaderStep::Abort : ReaderStep::Wait;
}

bool agentLineTooLong(const QByteArray& line)
{
    return line.size() > vorna::protocol::kMaxLineBytes;
}

QJsonObject parseAgentLine(const QByteArray& line)
{
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(line, &error);
    return error.error == QJsonParseError::NoError && document.isObject() ? document.object() : QJsonObject();
}

namespace {

// The agent's own counters, plus what the diagnostics page shows about the agent's state.
QVariantMap diagnosticsOf(const QJsonObject& message)
{
    QVariantMap diagnostics = message.value(QStringLiteral("diagnostics")).toObject().toVariantMap();
    diagnostics.insert(QStringLiteral("watchdogPid"), message.value(QStringLiteral("watchdogPid")).toDouble());
    diagnostics.insert(QStringLiteral("contextAvailable"), message.value(QStringLiteral("contextAvailable")).toBool());
    diagnostics.insert(QStringLiteral("engineErrorPresent"), !message.value(QStringLiteral("error")).toString().isEmpty());
    diagnostics.insert(QStringLiteral("foregroundElevated"), message.value(QStringLiteral("foregroundElevated")).toBool());
    diagnostics.insert(QStringLiteral("foregroundExecutable"),
                       message.value(QStringLiteral("foregroundExecutable")).toString());
    diagnostics.insert(QStringLiteral("foregroundElevationProbable"),
                       message.value(QStringLiteral("foregroundElevationProbable")).toBool());
    diagnostics.insert(QStringLiteral("foregroundIntegrityError"),
                       message.value(QStringLiteral("foregroundIntegrityError")).toInt());
    return diagnostics;
}

} // namespace

StateUpdate interpretState(const QJsonObject& message, const LinkFacts& facts)
{
    auto flag = [&message](const char* key) { return message.value(QLatin1String(key)).toBool(); };
    auto number = [&message](const char* key) { return message.value(QLatin1String(key)).toInt(); };
    auto text = [&message](const char* key) { return message.value(QLatin1String(key)).toString(); };

    StateUpdate update;
    update.active = flag("active");
    update.applying = flag("pending");
    update.observing = facts.observeSent && flag("observing");
    update.trialSeconds = number("trialSeconds");
    update.observeSent = facts.observeSent && flag("observing");
    update.armed = flag("configured");
    const QString error = text("error");
    update.dropPendingHash = !update.armed || !error.isEmpty();
    update.deviceList = message.value(QStringLiteral("devices")).toArray().toVariantList();
    update.agentVersion = number("agentVersion");
    update.diagnostics = diagnosticsOf(message);
    update.foregroundElevated = flag("foregroundElevated") && !flag("agentElevated");
    update.olderEngine = !facts.connected || update.agentVersion <= vorna::protocol::kOlderEngineVersion;
    if (update.olderEngine) {
        update.observeSent = false;
        update.observing = false;
    }
    update.activeDescription =
        text("profileName") + QStringLiteral(" · ") + text("layerName") + QStringLiteral(" · ") + text("contextReason");
    update.observeHeldBack = !flag("observing") && !error.isEmpty();

    StatusFacts status;
    status.foregroundElevated = update.foregroundElevated;
    status.error = error;
    status.pending = update.applying;
    status.trialSeconds = update.trialSeconds;
    status.active = update.active;
    // The status row judges observation as the message set it, before an older engine ends it.
    status.observing = facts.observeSent && flag("observing");
    status.configured = update.armed;
    status.ruleCount = number("ruleCount");
    update.statusLine = statusLine(status, facts.english);
    return update;
}

QString statusLine(const StatusFacts& facts, bool english)
{
    auto tr = [english](const char* ru, const char* en) { return QString::fromUtf8(english ? en : ru); };
    if (facts.foregroundElevated)
        return tr("Окно администратора — назначения в нём не действуют", "Administrator window — mappings do not work there");
    if (!facts.error.isEmpty())
        return facts.error;
    if (facts.pending)
        return tr("Применение набора…", "Applying collection…");
    if (facts.trialSeconds > 0)
        return tr("Пробное назначение · подтвердите или дождитесь отмены", "Trial mapping · confirm or wait for cancellation");
    if (facts.active)
        return tr("Назначения включены: %1", "Active mappings: %1").arg(facts.ruleCount);
    if (facts.observing)
        return tr("Наблюдение включено · события видны только сейчас", "Observation enabled · live events only");
    if (!facts.configured)
        return tr("На паузе · исходные назначения действуют", "Paused · original input passes through");
    return tr("Набор включён · в текущем слое нет назначений", "Collection enabled · no mappings in the current layer");
}

QString composeStatus(const QString& line, bool olderEngine, const QString& engineIssue, const QString& loadProblem)
{
    QString status = olderEngine ? engineIssue : line;
    if (!loadProblem.isEmpty())
        status += QStringLiteral(" · ") + loadProblem;
    return status;
}

HashVerdict judgeDocumentHash(const QJsonObject& message, const QJsonObject& library, const AppliedFacts& facts)
{
    if (message.value(QStringLiteral("pending")).toBool() || !message.value(QStringLiteral("error")).toString().isEmpty()
        || !facts.dirty)
        return HashVerdict::NotJudged;
    const QString agentHash = message.value(QStringLiteral("documentHash")).toString();
    // A rename after the apply leaves the agent's hash at the last-sent one; the rules it runs
    // are still the edited ones.
    const bool match = agentHash == vorna::protocol::documentHash(library)
        || (agentHash == facts.lastSentHash && vorna::protocol::stripRuleNames(library) == facts.lastSentStripped);
    if (!match)
        return HashVerdict::Different;
    const bool awaited = !facts.pendingHash.isEmpty() && facts.pendingHash == agentHash
        && message.value(QStringLiteral("configured")).toBool();
    return awaited ? HashVerdict::Confirmed : HashVerdict::Applied;
}

bool observationWanted(const ObserveNeeds& needs)
{
    return (needs.livePage && needs.liveEnabled) || needs.observationWanted || needs.captureMode || needs.recording
        || needs.outputCaptureActive || needs.outputCaptureHeld;
}

ObserveAction observeAction(bool wanted, bool connected, int agentVersion, bool heldBack, bool sent)
{
    if (!connected || agentVersion <= vorna::protocol::kOlderEngineVersion)
        return ObserveAction::None;
    if (wanted)
        return heldBack || sent ? ObserveAction::None : ObserveAction::SendOn;
    return sent ? ObserveAction::SendOff : ObserveAction::None;
}

} // namespace app
