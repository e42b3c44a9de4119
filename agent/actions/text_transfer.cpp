#include "agent/actions/text_transfer.h"

namespace vorna::actions {

QString toWindowsText(const QString& text)
{
    QString converted;
    converted.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            converted.append(QLatin1Char('\r'));
            ++i;
        } else {
            converted.append(c == QLatin1Char('\n') ? QChar(QLatin1Char('\r')) : c);
        }
    }
    return converted;
}

int typingStepLength(const QString& text, int position)
{
    const int remaining = static_cast<int>(text.size()) - position;
    if (remaining <= 0)
        return 0;
    if (remaining < kUnitsPerStep)
        return remaining;
    const bool moreFollows = remaining > kUnitsPerStep;
    const ushort last = text.at(position + kUnitsPerStep - 1).unicode();
    return moreFollows && (last & 0xFC00) == 0xD800 ? kUnitsPerStep - 1 : kUnitsPerStep;
}

} // namespace vorna::actions
