#include "core/json_checks.h"

#include <cmath>

namespace vorna::core {

bool hasOnlyKeys(const QJsonObject& object, const QStringList& allowed)
{
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        if (!allowed.contains(it.key(), Qt::CaseSensitive))
            return false;
    return true;
}

bool isBoundedString(const QJsonValue& value, int bound)
{
    if (!value.isString())
        return false;
    const QString text = value.toString();
    return !text.trimmed().isEmpty() && text.size() <= bound && !text.contains(QChar(u'\0'));
}

bool readWholeNumber(const QJsonValue& value, int minimum, int maximum, int& result)
{
    if (!value.isDouble())
        return false;
    const double number = value.toDouble();
    // Written so that NaN fails too.
    if (!(number >= minimum && number <= maximum) || std::trunc(number) != number)
        return false;
    result = static_cast<int>(number);
    return true;
}

} // namespace vorna::core
