#include "agent/actions/action_results.h"

#include <QJsonDocument>
#include <QJsonValue>
#include <array>

namespace vorna::actions {

QJsonObject actionEvent(QJsonObject base, int result, const QString& detail, qint64 error)
{
    base.insert(QStringLiteral("kind"), protocol::kRecordAction);
    base.insert(QStringLiteral("result"), result);
    base.insert(QStringLiteral("detail"), detail);
    base.insert(QStringLiteral("error"), error);
    return base;
}

QString actionTypeName(quint32 type)
{
    static const std::array<const char*, 6> names = {"text", "application", "file", "folder", "website", "window"};
    return type < names.size() ? QString::fromLatin1(names[type]) : QString();
}

quint64 parseWindowText(const QString& text)
{
    bool ok = false;
    const quint64 value = text.toULongLong(&ok, 10);
    // toULongLong accepts a sign and surrounding spaces; a handle is digits only.
    for (const QChar c : text) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return 0;
    }
    return ok ? value : 0;
}

WorkerOutcome judgeWorker(int exitCode, bool normalExit, const QByteArray& output)
{
    const QJsonObject reply = QJsonDocument::fromJson(output.left(kWorkerOutputLimit)).object();
    WorkerOutcome outcome;
    const bool ok = exitCode == 0 && normalExit && reply.value(QStringLiteral("ok")).toBool(false);
    outcome.result = ok ? kResultAccepted : kResultFailed;
    outcome.detail = reply.value(QStringLiteral("detail")).toString();
    outcome.error = reply.value(QStringLiteral("error")).toInteger(0);
    return outcome;
}

bool admitExternalStart(StartWindow& window, quint64 nowMs, int running)
{
    if (nowMs - window.startMs >= kStartWindowMs) {
        window.starts = 0;
        window.startMs = nowMs;
    }
    if (running >= kMaxExternalStarts || window.starts >= kMaxExternalStarts)
        return false;
    ++window.starts;
    return true;
}

} // namespace vorna::actions
