#include "qa/verify_context.h"

#include "core/atomic_write.h"

#include <QCoreApplication>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <cstdio>

namespace qa {

void endRun(QTimer* timer, int code)
{
    if (timer != nullptr)
        timer->stop();
    QCoreApplication::exit(code);
}

void restartSettleTime(QTimer* timer)
{
    timer->start();
}

bool writeJsonReport(const QString& path, const QJsonObject& report)
{
    QString error;
    if (vorna::core::writeFileAtomically(path, QJsonDocument(report).toJson(QJsonDocument::Indented), error))
        return true;
    std::fprintf(stderr, "%s\n", qPrintable(error));
    return false;
}

} // namespace qa
