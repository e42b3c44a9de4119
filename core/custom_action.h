// Custom actions of the library (text, application, file, folder, website, window): the checked
// form the agent hands to its action worker, and the check of one stored action object.
#pragma once

#include <QJsonObject>
#include <QString>
#include <QStringList>
#include <QtGlobal>

namespace vorna::core {

// Custom action types in their stored order; the index is the compiled type.
enum class ActionType : quint32 { Text = 0, Application = 1, File = 2, Folder = 3, Website = 4, Window = 5 };

inline constexpr int kMaxActions = 32;

// A checked custom action of the library.
struct ParsedAction {
    quint32 type = 0;
    QString name;        // trimmed
    QString value;       // untrimmed
    QStringList arguments;
    bool clipboard = false;
};

// Checks one action object. On success fills `action` and clears `error`; on failure sets
// `error` and leaves `action` unusable.
bool parseAction(const QJsonObject& object, ParsedAction& action, QString& error);

// Stores a fixed English failure text and returns false.
bool setActionError(QString& error, const char* text);

} // namespace vorna::core
