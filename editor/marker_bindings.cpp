#include "editor/marker_bindings.h"

#include "core/input_id.h"

#include <QVariantMap>

namespace editor {
namespace {

const QString kMouseBack = QStringLiteral("mouse_back");
const QString kMouseForward = QStringLiteral("mouse_forward");

bool isSide(const QString& marker)
{
    return marker == QLatin1String(kSideFront) || marker == QLatin1String(kSideRear);
}

QString opposite(const QString& sideMarker)
{
    return QString::fromLatin1(sideMarker == QLatin1String(kSideFront) ? kSideRear : kSideFront);
}

QString field(const QVariant& hotspot, const char* name)
{
    return hotspot.toMap().value(QLatin1String(name)).toString();
}

// The first catalog entry of this id; an empty map when there is none.
QVariantMap hotspotOf(const MarkerModel& model, const QString& marker)
{
    for (const QVariant& hotspot : model.hotspots) {
        if (field(hotspot, "id") == marker)
            return hotspot.toMap();
    }
    return {};
}

QString raw(const MarkerModel& model, const QString& marker)
{
    return model.stored ? model.stored(marker).value_or(QString()) : QString();
}

} // namespace

QString bindingKey(const QString& modelId, const QString& marker)
{
    return QStringLiteral("bindings/") + modelId + QLatin1Char('/') + marker;
}

QString previousBindingKey(const QString& modelId, const QString& marker)
{
    return QStringLiteral("previousBindings/") + modelId + QLatin1Char('/') + marker;
}

bool isCalibratable(const MarkerModel& model, const QString& marker)
{
    for (const QVariant& hotspot : model.hotspots) {
        if (field(hotspot, "id") == marker && field(hotspot, "input").isEmpty())
            return true;
    }
    return false;
}

bool bindingAllowed(const MarkerModel& model, const QString& marker, const QString& input)
{
    vorna::core::InputId parsed = 0;
    if (!vorna::core::parseInputId(input, parsed))
        return false;
    bool ok = false;
    const bool side = isSide(marker);
    for (const QVariant& hotspot : model.hotspots) {
        const QString id = field(hotspot, "id");
        const QString fixed = field(hotspot, "input");
        if (id == marker) {
            ok = fixed.isEmpty();
            continue;
        }
        if (!fixed.isEmpty()) {
            if (fixed == input)
                return false;
            continue;
        }
        const bool otherSide = isSide(id);
        if (side && !otherSide)
            continue;
        // Only a side marker's shown input outranks a non-side binding; one level deep, since a
        // side marker's shown input rests on the fixed markers and the other side only.
        const QString taken = !side && otherSide ? effectiveInput(model, id, QString()) : raw(model, id);
        if (taken == input)
            return false;
    }
    return ok;
}

QString effectiveInput(const MarkerModel& model, const QString& marker, const QString& fallback)
{
    const QVariantMap hotspot = hotspotOf(model, marker);
    if (hotspot.isEmpty())
        return fallback;
    const QString fixed = hotspot.value(QStringLiteral("input")).toString();
    if (!fixed.isEmpty())
        return fixed;
    const QString own = raw(model, marker);
    if (bindingAllowed(model, marker, own))
        return own;
    if (!isSide(marker))
        return fallback;
    const QString defaultInput = hotspot.value(QStringLiteral("defaultInput")).toString();
    if (defaultInput != kMouseBack && defaultInput != kMouseForward)
        return fallback;
    const QString other = opposite(marker);
    const QString otherRaw = raw(model, other);
    if (otherRaw == defaultInput && bindingAllowed(model, other, otherRaw))
        return defaultInput == kMouseBack ? kMouseForward : kMouseBack;
    return defaultInput;
}

std::optional<QList<SettingChange>> sideSwapChanges(const MarkerModel& model)
{
    const QString front = QString::fromLatin1(kSideFront);
    const QString rear = QString::fromLatin1(kSideRear);
    const QString f = effectiveInput(model, front, QString());
    const QString r = effectiveInput(model, rear, QString());
    if (f.isEmpty() || r.isEmpty() || f == r)
        return std::nullopt;
    auto storedOr = [&model](const QString& marker, const QString& shown) {
        return model.stored ? model.stored(marker).value_or(shown) : shown;
    };
    return QList<SettingChange>{
        {previousBindingKey(model.modelId, front), storedOr(front, f)},
        {bindingKey(model.modelId, front), r},
        {previousBindingKey(model.modelId, rear), storedOr(rear, r)},
        {bindingKey(model.modelId, rear), f},
    };
}

QList<SettingChange> clearChanges(const MarkerModel& model, const QString& marker)
{
    const std::optional<QString> value = model.stored ? model.stored(marker) : std::nullopt;
    if (!value)
        return {};
    return {{previousBindingKey(model.modelId, marker), *value}, {bindingKey(model.modelId, marker), QVariant()}};
}

} // namespace editor
