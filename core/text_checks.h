// Checks of texts that will later reach Win32 calls, where a NUL would silently cut them short.
#pragma once

#include <QChar>
#include <QStringView>

namespace vorna::core {

// NUL ends a string for the Win32 calls that later receive these texts, so no stored text may
// hold one.
inline bool containsNul(QStringView text)
{
    return text.contains(QChar(u'\0'));
}

} // namespace vorna::core
