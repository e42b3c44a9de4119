#include "core/test_instance.h"

#include <QRegularExpression>

namespace vorna::core {

bool isValidTestInstance(const QString& value)
{
    static const QRegularExpression pattern(QRegularExpression::anchoredPattern(QStringLiteral("test-[0-9a-f]{32}")));
    return pattern.match(value).hasMatch();
}

} // namespace vorna::core
