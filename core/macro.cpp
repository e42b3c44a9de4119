#include "core/macro.h"

#include "core/json_checks.h"
#include "core/macro_check.h"

#include <QJsonArray>
#include <QRegularExpression>
#include <QStringList>

namespace vorna::core {

namespace {

constexpr int kMaxNameUnits = 80;
constexpr int kMaxStepMs = 60000;
constexpr int kMaxRepeat = 100;

bool fail(QString& error, const char* text)
{
    error = QString::fromLatin1(text);
    return false;
}

// Index of the step kind, or -1; "wheel" is a tap that only takes a wheel direction.
int stepKindIndex(const QString& type)
{
    static const QStringList kinds = {
        QStringLiteral("down"), QStringLiteral("up"),   QStringLiteral("tap"),
        QStringLiteral("wait"), QStringLiteral("chord"), QStringLiteral("move"),
        QStringLiteral("command"), QStringLiteral("layer"), QStringLiteral("profile"),
    };
    if (type == QStringLiteral("wheel"))
        return static_cast<int>(MacroStepKind::Tap);
    return static_cast<int>(kinds.indexOf(type));
}

// Fills the kind-specific fields of `step` from its input text; nullptr or the failure text.
const char* parseStepInput(const QString& input, CompiledMacroStep& step)
{
    static const QRegularExpression movePattern(
        QRegularExpression::anchoredPattern(QStringLiteral("(-?[0-9]{1,5}),(-?[0-9]{1,5})")));
    static const QRegularExpression commandPattern(
        QRegularExpression::anchoredPattern(QStringLiteral("action:([1-9]|[12][0-9]|3[0-2])")));
    static const QRegularExpression layerPattern(
        QRegularExpression::anchoredPattern(QStringLiteral("layer:([1-9]|10)")));

    switch (step.kind) {
    case MacroStepKind::Wait:
        return nullptr;
    case MacroStepKind::Chord: {
        const QString prefix = QStringLiteral("chord:");
        if (!input.startsWith(prefix))
            return "Expected chord action";
        const QStringList parts = input.mid(prefix.size()).split(u'+');
        if (parts.size() < 2 || parts.size() > static_cast<qsizetype>(step.chordKeys.size()))
            return "Chord requires 2..4 keys";
        for (const QString& part : parts) {
            if (!parseInputId(part, step.chordKeys[step.chordKeyCount]))
                return "Unknown chord key";
            ++step.chordKeyCount;
        }
        return nullptr;
    }
    case MacroStepKind::Move: {
        const QRegularExpressionMatch match = movePattern.match(input);
        if (!match.hasMatch())
            return "Movement requires X,Y pixel deltas";
        step.moveX = match.captured(1).toInt();
        step.moveY = match.captured(2).toInt();
        return nullptr;
    }
    case MacroStepKind::Command: {
        const QRegularExpressionMatch match = commandPattern.match(input);
        if (!match.hasMatch())
            return "Unknown macro action";
        step.actionSlot = static_cast<std::uint16_t>(match.captured(1).toUInt());
        return nullptr;
    }
    case MacroStepKind::Layer: {
        const QRegularExpressionMatch match = layerPattern.match(input);
        if (!match.hasMatch())
            return "Unknown macro layer";
        step.target = match.captured(1).toInt() - 1;
        return nullptr;
    }
    case MacroStepKind::Profile:
        if (input == QStringLiteral("next"))
            step.target = 1;
        else if (input == QStringLiteral("previous"))
            step.target = -1;
        else
            return "Profile block selects next or previous profile";
        return nullptr;
    default: // down, up, tap and wheel
        return parseInputId(input, step.input) ? nullptr : "Unknown macro key";
    }
}

} // namespace

bool parseMacro(const QJsonObject& object, Macro& macro, QString& error)
{
    static const QStringList macroKeys = {
        QStringLiteral("name"), QStringLiteral("mode"), QStringLiteral("repeat"), QStringLiteral("steps"),
    };
    static const QStringList stepKeys = {QStringLiteral("type"), QStringLiteral("input"), QStringLiteral("ms")};
    static const QStringList modes = {
        QStringLiteral("once"), QStringLiteral("count"), QStringLiteral("hold"), QStringLiteral("toggle"),
    };

    if (!hasOnlyKeys(object, macroKeys) || object.size() != macroKeys.size()
        || !isBoundedString(object.value(QStringLiteral("name")), kMaxNameUnits)
        || !object.value(QStringLiteral("steps")).isArray())
        return fail(error, "Invalid macro object");

    const qsizetype mode = modes.indexOf(object.value(QStringLiteral("mode")).toString());
    const QJsonArray steps = object.value(QStringLiteral("steps")).toArray();
    int repeat = 0;
    if (mode < 0 || !readWholeNumber(object.value(QStringLiteral("repeat")), 1, kMaxRepeat, repeat)
        || steps.isEmpty() || steps.size() > static_cast<qsizetype>(kMaxMacroSteps))
        return fail(error, "Invalid macro mode, repeat or step count");

    Macro compiled;
    compiled.mode = static_cast<MacroMode>(mode);
    compiled.repeat = static_cast<std::uint16_t>(repeat);
    for (const QJsonValue& value : steps) {
        if (!value.isObject())
            return fail(error, "Invalid macro step");
        const QJsonObject stepObject = value.toObject();
        // Each field looked up once; when all three are there, no other key is.
        const QJsonValue typeValue = stepObject.value(stepKeys[0]);
        const QJsonValue input = stepObject.value(stepKeys[1]);
        const QJsonValue msValue = stepObject.value(stepKeys[2]);
        const bool allThere = !typeValue.isUndefined() && !input.isUndefined() && !msValue.isUndefined();
        if (stepObject.size() != stepKeys.size() || (!allThere && !hasOnlyKeys(stepObject, stepKeys)))
            return fail(error, "Unknown macro step field");

        const QString type = typeValue.toString();
        const int kind = stepKindIndex(type);
        int ms = 0;
        if (kind < 0 || !readWholeNumber(msValue, 0, kMaxStepMs, ms) || !input.isString())
            return fail(error, "Invalid macro step parameters");

        CompiledMacroStep step;
        step.kind = static_cast<MacroStepKind>(kind);
        step.time = static_cast<std::uint32_t>(ms);
        if (const char* problem = parseStepInput(input.toString(), step))
            return fail(error, problem);
        if (type == QStringLiteral("wheel") && !isWheelInput(step.input))
            return fail(error, "Wheel block requires a wheel direction");
        compiled.steps[compiled.stepCount++] = step;
    }

    if (!validateMacro(compiled))
        return fail(error, "Unbalanced macro or timing limit exceeded");
    macro = compiled;
    return true;
}

} // namespace vorna::core
