#include "qa/layout_trace.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <cstdio>

namespace qa {

namespace {

// Only the first trouble with the trace is worth a line on standard error.
bool g_traceComplained = false;

void complainOnce(const char* message)
{
    if (g_traceComplained)
        return;
    g_traceComplained = true;
    std::fprintf(stderr, "%s\n", message);
}

} // namespace

void traceLayoutPhase(const QString& folder, const QString& text, bool startNewFile)
{
    if (!qEnvironmentVariableIsSet(kLayoutTraceVariable))
        return;
    QFile file(QDir(folder).filePath(QLatin1String(kLayoutTraceFile)));
    const QIODevice::OpenMode mode = QIODevice::WriteOnly | (startNewFile ? QIODevice::Truncate : QIODevice::Append);
    if (!file.open(mode)) {
        complainOnce("QA layout phase trace could not be opened");
        return;
    }
    QString phase = text.left(kLayoutTraceMaxText);
    phase.replace(QLatin1Char('\n'), QLatin1Char(' ')).replace(QLatin1Char('\r'), QLatin1Char(' '));
    const QByteArray line = (QDateTime::currentDateTimeUtc().toString(Qt::ISODateWithMs) + QLatin1Char(' ') + phase
                             + QLatin1Char('\n'))
                                .toUtf8();
    if (file.size() + line.size() <= kLayoutTraceMaxBytes && file.write(line) < line.size())
        complainOnce("QA layout phase trace could not be written completely");
    file.close();
}

} // namespace qa
