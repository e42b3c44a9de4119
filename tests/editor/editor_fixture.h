#pragma once

// Builders for the editor's tests: actions, macro steps, macros and triggers, and a reader for
// one value deep in a document.

#include "app/app_controller.h"
#include "tests/core/library_fixture.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QString>

namespace vorna::test {

inline QJsonObject textAction(const QString& name)
{
    return QJsonObject{{"type", "text"}, {"name", name}, {"value", name}, {"clipboard", false}};
}

// Text actions named "a1", "a2", ...
inline QJsonArray textActions(int count)
{
    QJsonArray actions;
    for (int i = 1; i <= count; ++i)
        actions.append(textAction(QStringLiteral("a%1").arg(i)));
    return actions;
}

inline QJsonObject step(const char* type, const char* input, int ms = 0)
{
    return QJsonObject{{"type", type}, {"input", input}, {"ms", ms}};
}

inline QJsonObject macro(const char* name, const QJsonArray& steps)
{
    return QJsonObject{{"name", name}, {"mode", "once"}, {"repeat", 1}, {"steps", steps}};
}

// The rule with a hold/tap trigger whose fallback is `fallback`.
inline QJsonObject withFallback(QJsonObject rule, const char* fallback)
{
    rule["trigger"] = QJsonObject{{"kind", "holdTap"}, {"intervalMs", 300}, {"fallback", fallback}};
    return rule;
}

// The value at `path` (undefined where the path leads nowhere).
inline QJsonValue valueAt(const QJsonObject& document, std::initializer_list<JsonStep> path)
{
    QJsonValue node = document;
    for (const JsonStep& s : path) {
        if (const int* index = std::get_if<int>(&s))
            node = node.toArray().at(*index);
        else
            node = node.toObject().value(QString::fromUtf8(std::get<const char*>(s)));
    }
    return node;
}

// The controller's working copy as stored steps, without the display labels it adds.
inline QJsonArray workingSteps(const AppController& controller)
{
    QJsonArray result;
    for (const QVariant& entry : controller.macroSteps()) {
        QVariantMap map = entry.toMap();
        map.remove(QStringLiteral("label"));
        result.append(QJsonObject::fromVariantMap(map));
    }
    return result;
}

} // namespace vorna::test
