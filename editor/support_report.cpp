#include "editor/support_report.h"

#include <QJsonDocument>

#include <cmath>
#include <iterator>

namespace editor {
namespace {

// The counters that reach the report, in the order they are looked up. No other value of the
// agent's diagnostics does: some of them name programs and paths.
const char* const kReportCounters[] = {"inputEvents", "suppressed", "outputEvents", "outputFailures", "stopReason",
    "win32Error", "hookRecoveries", "hookRecoveryError", "hookPriorityError", "preciseTimerError",
    "agentPowerPolicyError", "watchdogPowerPolicyError", "observationDrops", "timedEvents", "p50us", "p95us", "p99us",
    "maxus", "deviceEnumerationError", "foregroundIntegrityError"};

const char* const kReportedThemes[] = {"dark", "light", "contrast"};

bool isZero(const QVariantMap& map, const char* key)
{
    return map.value(QLatin1String(key)).toLongLong() == 0;
}

bool flag(const QVariantMap& map, const char* key)
{
    return map.value(QLatin1String(key)).toBool();
}

} // namespace

quint32 watchdogProcessId(const QVariant& value)
{
    constexpr double kLargest = 4294967295.0;
    double number = 0;
    if (value.typeId() == QMetaType::QString) {
        bool parsed = false;
        const qulonglong text = value.toString().toULongLong(&parsed);
        if (!parsed || text > 4294967295ULL)
            return 0;
        number = static_cast<double>(text);
    } else {
        bool parsed = false;
        number = value.toDouble(&parsed);
        if (!parsed)
            return 0;
    }
    if (!std::isfinite(number) || number < 1 || number > kLargest || std::floor(number) != number)
        return 0;
    return static_cast<quint32>(number);
}

QVariantMap supportChecks(const SupportFacts& facts)
{
    const QVariantMap& d = facts.diagnostics;
    const bool engine = facts.compatible && !flag(d, "engineErrorPresent");
    const quint32 watchdogPid = engine ? watchdogProcessId(d.value(QStringLiteral("watchdogPid"))) : 0;
    const bool watchdog = watchdogPid != 0 && facts.processRunning && facts.processRunning(watchdogPid);
    const bool captureRunning = engine && (facts.active || facts.observing);
    const bool hooks = captureRunning && d.contains(QStringLiteral("hookRecoveryError")) && isZero(d, "hookRecoveryError");
    const bool windowKnown = engine && flag(d, "contextAvailable") && isZero(d, "foregroundIntegrityError");
    const bool ordinaryWindow = windowKnown && !flag(d, "foregroundElevated");
    const bool sending = engine && d.contains(QStringLiteral("win32Error")) && isZero(d, "win32Error");
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

int scalePercent(double scale)
{
    if (!std::isfinite(scale) || scale < 0.5 || scale > 8.0)
        scale = 1.0;
    return static_cast<int>(std::lround(scale * 100.0));
}

QJsonObject supportReport(const SupportFacts& facts, const ReportContext& context)
{
    QString theme = QStringLiteral("unknown");
    for (const char* reported : kReportedThemes) {
        if (context.resolvedTheme == QLatin1String(reported))
            theme = context.resolvedTheme;
    }
    QJsonObject report;
    if (context.brandingOpened && context.branding.contains(QLatin1String("version")))
        report.insert(QStringLiteral("version"), context.branding.value(QLatin1String("version")));
    report.insert(QStringLiteral("system"), context.system);
    report.insert(QStringLiteral("systemKernelVersion"), context.kernelVersion);
    report.insert(QStringLiteral("architecture"), context.architecture);
    report.insert(QStringLiteral("theme"), theme);
    report.insert(QStringLiteral("language"), context.language);
    report.insert(QStringLiteral("scalePercent"), scalePercent(context.displayScale));
    report.insert(QStringLiteral("mouseDiagram"), context.mouseDiagram);
    report.insert(QStringLiteral("physicalCompatibilityVerified"), false);
    report.insert(QStringLiteral("checks"), QJsonObject::fromVariantMap(supportChecks(facts)));
    report.insert(QStringLiteral("connected"), facts.connected);
    report.insert(QStringLiteral("active"), facts.active);
    report.insert(QStringLiteral("armed"), facts.armed);
    report.insert(QStringLiteral("applying"), facts.applying);
    report.insert(QStringLiteral("observing"), facts.observing);
    report.insert(QStringLiteral("foregroundElevated"), flag(facts.diagnostics, "foregroundElevated"));
    QJsonObject counters;
    for (const char* name : kReportCounters) {
        const QString key = QString::fromLatin1(name);
        if (facts.diagnostics.contains(key))
            counters.insert(key, facts.diagnostics.value(key).toDouble());
    }
    report.insert(QStringLiteral("counters"), counters);
    return report;
}

QString supportReportText(const QJsonObject& report)
{
    return QString::fromUtf8(QJsonDocument(report).toJson(QJsonDocument::Indented));
}

} // namespace editor
