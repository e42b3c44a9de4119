#include "core/custom_action.h"

#include "core/json_checks.h"
#include "core/text_checks.h"
#include "core/windows_path.h"

#include <QJsonArray>
#include <QUrl>

namespace vorna::core {

namespace {

constexpr qsizetype kMaxNameUnits = 80;
constexpr qsizetype kMaxTextUnits = 4096;
constexpr qsizetype kMaxValueUnits = 2048;
constexpr qsizetype kMaxArguments = 32;

// Typed text: tab, line feed and carriage return are the only control characters a user can
// mean, and every surrogate must belong to a pair.
const char* textProblem(const QString& text)
{
    const qsizetype size = text.size();
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = text[i].unicode();
        if (unit < 0x20 && unit != 0x09 && unit != 0x0A && unit != 0x0D)
            return "Text contains unsupported control characters";
        if (QChar::isHighSurrogate(unit)) {
            if (i + 1 >= size || !QChar::isLowSurrogate(text[i + 1].unicode()))
                return "Invalid Unicode text";
            ++i;
        } else if (QChar::isLowSurrogate(unit)) {
            return "Invalid Unicode text";
        }
    }
    return nullptr;
}

} // namespace

bool setActionError(QString& error, const char* text)
{
    error = QString::fromLatin1(text);
    return false;
}

bool parseAction(const QJsonObject& object, ParsedAction& action, QString& error)
{
    static const QStringList allowedKeys = {
        QStringLiteral("type"), QStringLiteral("name"), QStringLiteral("value"),
        QStringLiteral("arguments"), QStringLiteral("clipboard"),
    };
    static const QStringList typeNames = {
        QStringLiteral("text"), QStringLiteral("application"), QStringLiteral("file"),
        QStringLiteral("folder"), QStringLiteral("website"),   QStringLiteral("window"),
    };
    static const QStringList windowOperations = {
        QStringLiteral("minimize"), QStringLiteral("maximize"), QStringLiteral("restore"),
        QStringLiteral("close"), QStringLiteral("lock"),
    };

    if (!hasOnlyKeys(object, allowedKeys))
        return setActionError(error, "Unknown action field");
    const QJsonValue nameValue = object.value(QStringLiteral("name"));
    const QJsonValue valueValue = object.value(QStringLiteral("value"));
    if (!nameValue.isString() || !valueValue.isString())
        return setActionError(error, "Action name and value are required");
    const QString name = nameValue.toString().trimmed();
    const QString value = valueValue.toString();
    if (name.isEmpty() || name.size() > kMaxNameUnits || containsNul(nameValue.toString()) || containsNul(value))
        return setActionError(error, "Invalid action text");

    const qsizetype typeIndex = typeNames.indexOf(object.value(QStringLiteral("type")).toString());
    if (typeIndex < 0)
        return setActionError(error, "Unknown action type");
    const auto type = static_cast<ActionType>(typeIndex);

    bool clipboard = false;
    if (object.contains(QStringLiteral("clipboard"))) {
        const QJsonValue clipboardValue = object.value(QStringLiteral("clipboard"));
        if (!clipboardValue.isBool())
            return setActionError(error, "Invalid clipboard option");
        clipboard = clipboardValue.toBool();
        if (clipboard && type != ActionType::Text)
            return setActionError(error, "Clipboard option is only for text");
    }

    const qsizetype maxValue = type == ActionType::Text ? kMaxTextUnits : kMaxValueUnits;
    if (value.isEmpty() || value.size() > maxValue)
        return setActionError(error, "Action value length exceeded");

    if (type == ActionType::Text) {
        if (const char* problem = textProblem(value))
            return setActionError(error, problem);
    }

    QStringList arguments;
    if (object.contains(QStringLiteral("arguments"))) {
        const QJsonValue argumentsValue = object.value(QStringLiteral("arguments"));
        if (!argumentsValue.isArray() || argumentsValue.toArray().size() > kMaxArguments)
            return setActionError(error, "Invalid arguments");
        const QJsonArray array = argumentsValue.toArray();
        for (const QJsonValue& argument : array) {
            if (!argument.isString() || argument.toString().size() > kMaxValueUnits || containsNul(argument.toString()))
                return setActionError(error, "Invalid argument");
            arguments.append(argument.toString());
        }
    }
    if (!arguments.isEmpty() && type != ActionType::Application)
        return setActionError(error, "Arguments are only available for applications");

    switch (type) {
    case ActionType::Application:
    case ActionType::File:
    case ActionType::Folder:
        if (!isAbsoluteLocalPath(value))
            return setActionError(error, "Choose an absolute local path");
        if (type == ActionType::Application && !value.endsWith(QStringLiteral(".exe"), Qt::CaseInsensitive))
            return setActionError(error, "Choose a Windows .exe application");
        break;
    case ActionType::Website: {
        const QUrl url(value, QUrl::StrictMode);
        const QString scheme = url.scheme();
        if (!url.isValid() || url.host().isEmpty()
            || (scheme != QStringLiteral("https") && scheme != QStringLiteral("http"))
            || !url.userInfo().isEmpty())
            return setActionError(error, "Use an http or https website URL without credentials");
        break;
    }
    case ActionType::Window:
        if (!windowOperations.contains(value))
            return setActionError(error, "Unknown Windows action");
        break;
    case ActionType::Text:
        break;
    }

    action.type = static_cast<quint32>(type);
    action.name = name;
    action.value = value;
    action.arguments = arguments;
    action.clipboard = clipboard;
    error.clear();
    return true;
}

} // namespace vorna::core
