#pragma once

// The macro editor's working copy as plain values: which step types exist, how a step is built,
// the duration summary, the balancing that ends a recording and which macro an undo re-opens.
// The controller's macro and recording part files call these and emit.

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <optional>

namespace editor {

// The ten step types, exactly as stored (case-sensitive).
bool isMacroStepType(const QString& type);

// A step as the editor writes it: a "wait" never carries an input.
QJsonObject macroStep(const QString& type, const QString& input, qint64 milliseconds);

// Types whose "ms" is a delay that playback waits for; the others keep "ms" unused.
bool stepHasDelay(const QString& type);

// "Delays: 0.35 s" and, when there are command steps, their timeout budget; repeated for
// mode "count".
QString macroDuration(const QJsonArray& steps, const QString& mode, int repeat, bool english);

// A recording's steps made playable: a release without its press and a second press of a held
// input are dropped, inputs still held are released (last pressed first), and the result stays
// within the step limit including those releases.
QJsonArray balanceRecordedSteps(const QJsonArray& steps);

// After undo or redo replaced the library: the macro to re-open (-1 for a new working copy), or
// nothing when the working copy stays as it is.
std::optional<int> macroToReopen(const QJsonArray& previousMacros, const QJsonArray& currentMacros, int macroIndex);

// The custom action object that saving writes: arguments only for applications (the text cut at
// every line feed, empty parts kept), the clipboard flag only for text.
QJsonObject customAction(const QString& type, const QString& name, const QString& value,
    const QString& arguments, bool clipboard);

} // namespace editor
