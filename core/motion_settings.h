// Wheel and cursor tuning of a layer (speed, inversion, pages, axis locks, scroll by motion): the
// plain values the engine applies, and the strict check of the library's motion object.
#pragma once

#include <QJsonObject>
#include <QString>

#include <cstdint>

namespace vorna::core {

// Wheel and cursor tuning for input no rule handles. Default-constructed: the values in force
// where no layer of the chain has its own settings.
struct MotionSettings {
    std::int32_t wheelVertical = 100;   // percent, 10-800
    std::int32_t wheelHorizontal = 100; // percent, 10-800
    bool invertVertical = false;
    bool invertHorizontal = false;
    bool pages = false;                 // vertical wheel sends Page Up / Page Down
    bool verticalToHorizontal = false;  // never together with `pages`
    std::int32_t cursorX = 100;         // percent, 10-400
    std::int32_t cursorY = 100;         // percent, 10-400
    bool invertX = false;
    bool invertY = false;
    std::uint8_t axis = 0;              // 0 both axes, 1 X only, 2 Y only
    std::int32_t temporarySpeed = 25;   // percent while a held speed mode is active, 10-400
    std::int32_t scrollPixels = 40;     // cursor pixels per scroll step while scrolling by motion, 1-500

    bool operator==(const MotionSettings&) const = default;
};

// Checks a motion object strictly (exactly its 13 keys, whole numbers and booleans, limits) and
// fills `result` on success; on failure sets `error` and leaves `result` as it was.
bool parseMotionSettings(const QJsonObject& settings, MotionSettings& result, QString& error);

} // namespace vorna::core
