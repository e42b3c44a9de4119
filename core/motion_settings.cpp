#include "core/motion_settings.h"

#include "core/json_checks.h"

#include <limits>

namespace vorna::core {

namespace {

// The 13 keys and whether each holds a boolean (else a whole number).
const QJsonObject& motionTemplate()
{
    static const QJsonObject keys = [] {
        const MotionSettings defaults;
        QJsonObject object;
        object.insert(QStringLiteral("wheelVertical"), defaults.wheelVertical);
        object.insert(QStringLiteral("wheelHorizontal"), defaults.wheelHorizontal);
        object.insert(QStringLiteral("invertVertical"), defaults.invertVertical);
        object.insert(QStringLiteral("invertHorizontal"), defaults.invertHorizontal);
        object.insert(QStringLiteral("pages"), defaults.pages);
        object.insert(QStringLiteral("verticalToHorizontal"), defaults.verticalToHorizontal);
        object.insert(QStringLiteral("cursorX"), defaults.cursorX);
        object.insert(QStringLiteral("cursorY"), defaults.cursorY);
        object.insert(QStringLiteral("invertX"), defaults.invertX);
        object.insert(QStringLiteral("invertY"), defaults.invertY);
        object.insert(QStringLiteral("axis"), int(defaults.axis));
        object.insert(QStringLiteral("temporarySpeed"), defaults.temporarySpeed);
        object.insert(QStringLiteral("scrollPixels"), defaults.scrollPixels);
        return object;
    }();
    return keys;
}

bool isInt32(const QJsonValue& value)
{
    int ignored = 0;
    return readWholeNumber(value, std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), ignored);
}

bool within(int value, int minimum, int maximum) { return value >= minimum && value <= maximum; }

} // namespace

bool parseMotionSettings(const QJsonObject& settings, MotionSettings& result, QString& error)
{
    const QJsonObject& keys = motionTemplate();
    if (settings.size() != keys.size()) {
        error = QStringLiteral("Incomplete motion settings");
        return false;
    }
    // In the object's own key order, so the first bad key by name is the one reported.
    for (auto it = settings.constBegin(); it != settings.constEnd(); ++it) {
        const auto known = keys.constFind(it.key());
        const bool valid = known != keys.constEnd() && (known->isBool() ? it->isBool() : isInt32(*it));
        if (!valid) {
            error = QStringLiteral("Invalid motion setting: ") + it.key();
            return false;
        }
    }

    const auto number = [&settings](const char* key) { return settings.value(QLatin1String(key)).toInt(); };
    const auto flag = [&settings](const char* key) { return settings.value(QLatin1String(key)).toBool(); };
    const int axis = number("axis");
    if (!within(axis, 0, 2)) {
        error = QStringLiteral("Unknown pointer axis");
        return false;
    }

    MotionSettings parsed;
    parsed.wheelVertical = number("wheelVertical");
    parsed.wheelHorizontal = number("wheelHorizontal");
    parsed.invertVertical = flag("invertVertical");
    parsed.invertHorizontal = flag("invertHorizontal");
    parsed.pages = flag("pages");
    parsed.verticalToHorizontal = flag("verticalToHorizontal");
    parsed.cursorX = number("cursorX");
    parsed.cursorY = number("cursorY");
    parsed.invertX = flag("invertX");
    parsed.invertY = flag("invertY");
    parsed.axis = std::uint8_t(axis);
    parsed.temporarySpeed = number("temporarySpeed");
    parsed.scrollPixels = number("scrollPixels");

    if (!within(parsed.wheelVertical, 10, 800) || !within(parsed.wheelHorizontal, 10, 800)
        || !within(parsed.cursorX, 10, 400) || !within(parsed.cursorY, 10, 400)
        || !within(parsed.temporarySpeed, 10, 400) || !within(parsed.scrollPixels, 1, 500)
        || (parsed.pages && parsed.verticalToHorizontal)) {
        error = QStringLiteral("Motion value is outside its limit, or pages conflict with horizontal conversion");
        return false;
    }
    result = parsed;
    return true;
}

} // namespace vorna::core
