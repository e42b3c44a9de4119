#include "core/json_checks.h"

#include <QByteArray>
#include <QCborValue>
#include <QJsonArray>
#include <QLocale>

#include <array>
#include <charconv>
#include <cmath>
#include <cstdint>

namespace vorna::core {

bool hasOnlyKeys(const QJsonObject& object, const QStringList& allowed)
{
    // The keys of an object are distinct: when as many allowed names are present as the object
    // has keys, every key is allowed, found without copying a key out of the document.
    qsizetype present = 0;
    for (const QString& name : allowed)
        present += object.contains(name) ? 1 : 0;
    if (present == object.size())
        return true;
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

namespace {

// Bytes the compact writer gives each ASCII character: quotes, backslash and the control
// characters \b \f \n \r \t are written as two, other control characters as six (\u00XX).
constexpr std::array<std::uint8_t, 0x80> asciiJsonBytes()
{
    std::array<std::uint8_t, 0x80> bytes{};
    for (std::size_t c = 0; c < bytes.size(); ++c)
        bytes[c] = c < 0x20 ? 6 : 1;
    for (char c : {'"', '\\', '\b', '\f', '\n', '\r', '\t'})
        bytes[std::size_t(c)] = 2;
    return bytes;
}

// A string as the compact writer escapes it: ASCII as above, the rest as UTF-8, where a
// surrogate without its partner is written as a six-byte \uXXXX escape.
qsizetype escapedSize(const QString& text)
{
    static constexpr std::array<std::uint8_t, 0x80> kAsciiBytes = asciiJsonBytes();
    qsizetype size = 2;
    const qsizetype length = text.size();
    const char16_t* units = reinterpret_cast<const char16_t*>(text.constData());
    for (qsizetype i = 0; i < length; ++i) {
        const char16_t u = units[i];
        if (u < 0x80) {
            size += kAsciiBytes[u];
        } else if (u < 0x800) {
            size += 2;
        } else if (QChar::isHighSurrogate(u) && i + 1 < length && QChar::isLowSurrogate(units[i + 1])) {
            size += 4; // the pair is one four-byte character
            ++i;
        } else {
            size += QChar::isSurrogate(u) ? 6 : 3;
        }
    }
    return size;
}

// A number as the writer prints it: integers in decimal, other finite numbers in the shortest
// form that reads back the same, the rest as null.
qsizetype numberSize(const QJsonValue& value)
{
    const QCborValue stored = QCborValue::fromJsonValue(value);
    if (stored.isInteger()) {
        char digits[24];
        return std::to_chars(digits, digits + sizeof digits, stored.toInteger()).ptr - digits;
    }
    const double number = value.toDouble();
    if (!std::isfinite(number))
        return 4;
    return QByteArray::number(number, 'g', QLocale::FloatingPointShortest).size();
}

qsizetype valueSize(const QJsonValue& value);

qsizetype arraySize(const QJsonArray& array)
{
    qsizetype size = 2 + (array.isEmpty() ? 0 : array.size() - 1);
    for (const QJsonValue& element : array)
        size += valueSize(element);
    return size;
}

qsizetype objectSize(const QJsonObject& object)
{
    qsizetype size = 2 + (object.isEmpty() ? 0 : object.size() - 1);
    for (auto it = object.constBegin(); it != object.constEnd(); ++it)
        size += escapedSize(it.key()) + 1 + valueSize(it.value());
    return size;
}

qsizetype valueSize(const QJsonValue& value)
{
    switch (value.type()) {
    case QJsonValue::Bool:
        return value.toBool() ? 4 : 5;
    case QJsonValue::Double:
        return numberSize(value);
    case QJsonValue::String:
        return escapedSize(value.toString());
    case QJsonValue::Array:
        return arraySize(value.toArray());
    case QJsonValue::Object:
        return objectSize(value.toObject());
    default:
        return 4; // null
    }
}

} // namespace

qsizetype compactJsonSize(const QJsonObject& object)
{
    return objectSize(object);
}

} // namespace vorna::core
