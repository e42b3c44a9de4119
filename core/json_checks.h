// Small strict checks of JSON values shared by every document check (library, actions, macros,
// requests, packages), so that "a whole number" or "a bounded string" means the same everywhere
// and no out-of-range double is ever cast to an integer.
#pragma once

#include <QJsonObject>
#include <QJsonValue>
#include <QStringList>

namespace vorna::core {

// True when every key of `object` is in `allowed` (exact, case-sensitive; `allowed` names each
// key once). Requires none of them: callers that need required keys also count the object's keys.
bool hasOnlyKeys(const QJsonObject& object, const QStringList& allowed);

// True for a JSON string that is not blank after trimming, has at most `bound` UTF-16 units
// untrimmed, and holds no U+0000.
bool isBoundedString(const QJsonValue& value, int bound);

// True for a JSON number without a fraction within [minimum, maximum]; writes `result` only then.
// The range is checked on the double before any conversion, so no out-of-range value is ever
// cast to an integer.
bool readWholeNumber(const QJsonValue& value, int minimum, int maximum, int& result);

// The length in bytes of `object` written as compact JSON (QJsonDocument::Compact), counted
// without writing the document.
qsizetype compactJsonSize(const QJsonObject& object);

} // namespace vorna::core
