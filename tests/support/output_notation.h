// One text notation for output events in every test, so that a table reads the same whichever
// layer it watches (the engine's batches, what the output side sends, what reached the system):
// "+key_65" pressed, "-key_65" released, "*key_65" repeated, "w:wheel_up:120" a wheel turn,
// "move(970,540)" the cursor's new position. Inputs are named as rules name them. Marks that
// Windows sets on a delivered event follow a slash: "/x" extended key, "/i" injected.
#pragma once

#include "core/input_id.h"

#include <cstdint>
#include <cstdlib>
#include <string>

namespace vorna::test {

inline std::string inputText(char sign, core::InputId input)
{
    return sign + core::inputIdName(input).toStdString();
}

inline std::string keyText(char sign, unsigned virtualKey)
{
    return inputText(sign, core::makeInputId(core::kClassKeyboard, core::kKindVirtualKey, std::uint16_t(virtualKey)));
}

// Buttons 1 to 5: left, right, middle, back, forward.
inline std::string buttonText(char sign, unsigned number)
{
    return inputText(sign, core::makeInputId(core::kClassMouseButton, core::kKindMouseButton, std::uint16_t(number)));
}

inline std::string wheelText(core::InputId wheel, long amount)
{
    return "w:" + core::inputIdName(wheel).toStdString() + ":" + std::to_string(amount);
}

// A turn by a signed delta as Windows gives it: positive is up, or right on the horizontal wheel.
inline std::string wheelTurnText(bool horizontal, long delta)
{
    const std::uint16_t direction = horizontal ? (delta < 0 ? 3 : 4) : (delta < 0 ? 2 : 1);
    return wheelText(core::makeInputId(core::kClassWheel, core::kKindWheel, direction), std::labs(delta));
}

inline std::string moveText(long x, long y)
{
    return "move(" + std::to_string(x) + "," + std::to_string(y) + ")";
}

inline std::string withMarks(std::string text, bool extended, bool injected)
{
    if (extended || injected)
        text += std::string("/") + (extended ? "x" : "") + (injected ? "i" : "");
    return text;
}

inline bool isInjected(const std::string& text)
{
    const std::size_t marks = text.rfind('/');
    return marks != std::string::npos && text.find('i', marks) != std::string::npos;
}

} // namespace vorna::test
