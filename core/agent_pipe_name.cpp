#include "core/agent_pipe_name.h"

#include "core/test_instance.h"
#include "platform/win32.h"

#include <QCryptographicHash>
#include <QStandardPaths>

namespace vorna::core {

QString agentPipeName()
{
    QString identity = QStandardPaths::writableLocation(QStandardPaths::AppLocalDataLocation);
    const QString instance = qEnvironmentVariable("VORNA_TEST_INSTANCE");
    if (isValidTestInstance(instance))
        identity += QLatin1Char('/') + instance;

    DWORD session = 0;
    if (!ProcessIdToSessionId(GetCurrentProcessId(), &session))
        session = 0;
    identity += QStringLiteral("/session-") + QString::number(session);

    const QByteArray digest = QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex();
    return QStringLiteral("vorna-input-p0-") + QString::fromLatin1(digest.left(24));
}

} // namespace vorna::core
