// The pure parts of typing a text: the line-break conversion and how many UTF-16 units one
// 20 ms step sends.
#pragma once

#include <QString>

namespace vorna::actions {

// Every CR LF pair becomes one CR and every other LF a CR, so each line break is typed as one
// carriage return; all other units pass unchanged.
QString toWindowsText(const QString& text);

// At most 16 units a step; 15 when the 16th is a high surrogate with more text after it, so a
// surrogate pair never straddles two steps.
inline constexpr int kUnitsPerStep = 16;
int typingStepLength(const QString& text, int position);

} // namespace vorna::actions
