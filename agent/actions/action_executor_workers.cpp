// External actions: one worker process of this executable per action, its request on
// standard input, its reply on standard output, killed when it takes longer than 5 s.
#include "agent/actions/action_executor.h"

#include "agent/actions/action_executor_private.h"

#include <QCoreApplication>
#include <QJsonArray>
#include <QJsonDocument>
#include <memory>

namespace vorna::actions {

void ActionExecutor::launchWorker(const vorna::core::ParsedAction& action, const QJsonObject& trigger, const QJsonObject& base)
{
    QJsonObject actionObject{{QStringLiteral("type"), actionTypeName(action.type)},
                             {QStringLiteral("name"), action.name},
                             {QStringLiteral("value"), action.value}};
    if (action.type == static_cast<quint32>(vorna::core::ActionType::Application))
        actionObject.insert(QStringLiteral("arguments"), QJsonArray::fromStringList(action.arguments));
    const QJsonObject request{{QStringLiteral("action"), actionObject},
                              {QStringLiteral("window"), trigger.value(QStringLiteral("window"))}};
    const QByteArray bytes = QJsonDocument(request).toJson(QJsonDocument::Compact);

    auto* process = new QProcess(this);
    d->m_workers.append(process);
    process->setProgram(QCoreApplication::applicationFilePath());
    process->setArguments({QStringLiteral("--action-worker")});
    process->setProperty("operation", base.value(QStringLiteral("operation")).toVariant().toString());
    // Only the first 8192 bytes of the reply count; the rest is read and dropped as it comes,
    // so a worker that floods its output cannot make the agent hold it all.
    process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    auto output = std::make_shared<QByteArray>();
    connect(process, &QProcess::readyReadStandardOutput, this, [process, output] {
        const QByteArray chunk = process->readAllStandardOutput();
        if (output->size() < kWorkerOutputLimit)
            output->append(chunk.left(kWorkerOutputLimit - output->size()));
    });
    connect(process, &QProcess::started, this, [process, bytes] {
        process->write(bytes);
        process->closeWriteChannel();
    });
    connect(process, &QProcess::finished, this, [this, process, base, output](int exitCode, QProcess::ExitStatus status) {
        output->append(process->readAllStandardOutput().left(kWorkerOutputLimit - output->size()));
        process->setProperty("reply", *output);
        onWorkerFinished(process, base, exitCode, status);
    });
    connect(process, &QProcess::errorOccurred, this,
            [this, process, base](QProcess::ProcessError error) { onWorkerError(process, base, error); });
    QTimer::singleShot(kWorkerKillMs, Qt::CoarseTimer, process, [process] {
        if (process->state() != QProcess::NotRunning)
            process->kill();
    });
    process->start(QIODevice::ReadWrite);
}

void ActionExecutor::onWorkerError(QProcess* process, const QJsonObject& base, QProcess::ProcessError error)
{
    if (error != QProcess::FailedToStart)
        return; // everything else ends in finished
    d->m_workers.removeAll(process);
    emitEvent(base, kResultFailed, process->errorString());
    process->deleteLater();
}

void ActionExecutor::onWorkerFinished(QProcess* process, const QJsonObject& base, int exitCode, QProcess::ExitStatus status)
{
    d->m_workers.removeAll(process);
    const WorkerOutcome outcome = judgeWorker(exitCode, status == QProcess::NormalExit, process->property("reply").toByteArray());
    emitEvent(base, outcome.result, outcome.detail, outcome.error);
    process->deleteLater();
}

} // namespace vorna::actions
