#include "app/support_checks.h"

#include <cmath>
#include <limits>

namespace app {

namespace {

bool flag(const QVariantMap& diagnostics, const char* key)
{
    return diagnostics.value(QLatin1String(key)).toBool();
}

// Present and zero: a missing value proves nothing for the checks that ask for a reading.
bool readsZero(const QVariantMap& diagnostics, const char* key)
{
    return diagnostics.contains(QLatin1String(key)) && diagnostics.value(QLatin1String(key)).toLongLong() == 0;
}

// A process id is a whole number from 1 to 2^32 - 1; anything else names no process.
bool processId(const QVariant& value, quint32& id)
{
    bool ok = false;
    const double number = value.toDouble(&ok);
    if (!ok || !std::isfinite(number) || number < 1 || number > std::numeric_limits<quint32>::max()
        || number != std::floor(number))
        return false;
    id = static_cast<quint32>(number);
    return true;
}

} // namespace

QVariantMap supportChecks(const AgentLinkFacts& link, const QVariantMap& d,
    const std::function<bool(quint32 processId)>& processRunning)
{
    const bool engine = link.compatible && !flag(d, "engineErrorPresent");
    quint32 watchdogId = 0;
    const bool watchdog = engine && processId(d.value(QStringLiteral("watchdogPid")), watchdogId) && processRunning(watchdogId);
    const bool captureRunning = engine && (link.active || link.observing);
    const bool hooks = captureRunning && readsZero(d, "hookRecoveryError");
    const bool windowKnown = engine && flag(d, "contextAvailable")
        && d.value(QStringLiteral("foregroundIntegrityError")).toLongLong() == 0;
    const bool ordinaryWindow = windowKnown && !flag(d, "foregroundElevated");
    const bool sending = engine && readsZero(d, "win32Error");
    return {
        {QStringLiteral("engine"), engine},
        {QStringLiteral("watchdog"), watchdog},
        {QStringLiteral("captureRunning"), captureRunning},
        {QStringLiteral("hooks"), hooks},
        {QStringLiteral("windowKnown"), windowKnown},
        {QStringLiteral("ordinaryWindow"), ordinaryWindow},
        {QStringLiteral("sending"), sending},
        {QStringLiteral("allGood"), watchdog && hooks && ordinaryWindow && sending},
    };
}

} // namespace app
