#include "qa/verify_context.h"

#include <QCoreApplication>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

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
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    const QByteArray document = QJsonDocument(report).toJson(QJsonDocument::Indented);
    const bool complete = file.write(document) == document.size();
    file.close();
    return complete && file.error() == QFileDevice::NoError;
}

} // namespace qa
