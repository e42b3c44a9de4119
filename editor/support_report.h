#pragma once

// The support kit's facts: eight health checks of the agent and the technical report the user
// may copy and send. The report holds a fixed list of technical values only: no path, no user,
// machine or window name, nothing of the library, no binding and no live input.

#include <QByteArray>
#include <QJsonObject>
#include <QString>
#include <QVariantMap>

#include <functional>

namespace editor {

// What the controller knows of the agent when the checks are made.
struct SupportFacts {
    bool connected = false;
    bool compatible = false; // connected to an agent of version 10 or later
    bool active = false;
    bool observing = false;
    bool armed = false;
    bool applying = false;
    QVariantMap diagnostics; // from the agent's last "state" message
    // Whether the process with this id still runs; asked only for a plausible watchdog id.
    std::function<bool(quint32 processId)> processRunning;
};

// "engine", "watchdog", "captureRunning", "hooks", "windowKnown", "ordinaryWindow", "sending"
// and "allGood"; all false unless the link is compatible and the agent reports no error.
QVariantMap supportChecks(const SupportFacts& facts);

// The watchdog's process id when the value is a whole number from 1 to 4294967295 (as a number
// or as decimal text); 0 otherwise.
quint32 watchdogProcessId(const QVariant& value);

// The caller's view of the window and what the program knows of itself.
struct ReportContext {
    QString resolvedTheme;  // "dark", "light" or "contrast"; anything else reports "unknown"
    double displayScale = 1.0;
    QString language;       // the setting as stored
    QString mouseDiagram;   // the selected device model's id
    QJsonObject branding;   // the built-in branding resource; its "version" is copied
    bool brandingOpened = false;
    QString system;         // the system's product name
    QString kernelVersion;
    QString architecture;
};

// The report object, keys in ascending order when written.
QJsonObject supportReport(const SupportFacts& facts, const ReportContext& context);

// The report's text: indented JSON, four spaces a level, a line break at the end.
QString supportReportText(const QJsonObject& report);

// round(scale × 100), half away from zero; a scale that is not finite or outside 0.5..8.0
// counts as 1.0.
int scalePercent(double scale);

} // namespace editor
