#pragma once

// Small builders for library documents in tests: start from defaultLibrary and edit one place.

#include "core/library_files.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QString>

#include <initializer_list>
#include <utility>
#include <optional>
#include <variant>

namespace vorna::test {

// One step into a JSON document: an object key or an array index.
using JsonStep = std::variant<const char*, int>;

namespace detail {

inline QJsonValue editAt(const QJsonValue& node, const JsonStep* step, const JsonStep* end,
                         const std::optional<QJsonValue>& value)
{
    if (step == end)
        return *value;
    const bool last = step + 1 == end;
    if (const int* index = std::get_if<int>(step)) {
        QJsonArray array = node.toArray();
        if (last && !value)
            array.removeAt(*index);
        else if (*index == array.size())
            array.append(editAt(QJsonValue(), step + 1, end, value));
        else
            array[*index] = editAt(array.at(*index), step + 1, end, value);
        return array;
    }
    const QString key = QString::fromUtf8(std::get<const char*>(*step));
    QJsonObject object = node.toObject();
    if (last && !value)
        object.remove(key);
    else
        object[key] = editAt(object.value(key), step + 1, end, value);
    return object;
}

} // namespace detail

// The document with the value at `path` set (an index equal to the array's size appends), or
// removed when `value` is empty.
inline QJsonObject edited(const QJsonObject& document, std::initializer_list<JsonStep> path,
                          std::optional<QJsonValue> value)
{
    return detail::editAt(document, path.begin(), path.end(), value).toObject();
}

inline QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

inline QJsonObject rule(const char* source, const char* target, std::optional<int> modifiers = std::nullopt)
{
    QJsonObject object{{"source", source}, {"target", target}};
    if (modifiers)
        object["modifiers"] = *modifiers;
    return object;
}

// A layer's complete motion object: the defaults with `changes` applied.
inline QJsonObject motionSettings(std::initializer_list<std::pair<const char*, QJsonValue>> changes = {})
{
    QJsonObject m{{"wheelVertical", 100}, {"wheelHorizontal", 100}, {"invertVertical", false},
                  {"invertHorizontal", false}, {"pages", false}, {"verticalToHorizontal", false},
                  {"cursorX", 100}, {"cursorY", 100}, {"invertX", false}, {"invertY", false},
                  {"axis", 0}, {"temporarySpeed", 25}, {"scrollPixels", 40}};
    for (const auto& [key, value] : changes)
        m[QString::fromUtf8(key)] = value;
    return m;
}

// defaultLibrary with `profiles` - 1 further profiles "p1", "p2", ...
inline QJsonObject libraryWithProfiles(int profiles)
{
    QJsonObject library = core::defaultLibrary();
    for (int i = 1; i < profiles; ++i)
        library = edited(library, {"profiles", i},
                         core::defaultProfile(QStringLiteral("Profile %1").arg(i), QStringLiteral("p%1").arg(i)));
    return library;
}

inline QJsonObject withRules(const QJsonObject& library, int profile, int layer, const QJsonArray& rules)
{
    return edited(library, {"profiles", profile, "layers", layer, "rules"}, rules);
}

} // namespace vorna::test
