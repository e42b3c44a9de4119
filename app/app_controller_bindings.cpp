// Marker bindings of the mouse diagram: calibration, confirmation, clearing and swapping. The
// wait for a press and its detection belong to the press capture (capture and live-feed part
// files); the bindings live in the settings store, per device model.

#include "app/app_controller.h"

#include "editor/marker_bindings.h"

#include <QSettings>

namespace {

editor::MarkerModel markerModel(const QVariantMap& model, std::shared_ptr<QSettings> settings)
{
    const QString modelId = model.value(QStringLiteral("id")).toString();
    return {modelId, model.value(QStringLiteral("hotspots")).toList(),
        [settings, modelId](const QString& marker) -> std::optional<QString> {
            const QString key = editor::bindingKey(modelId, marker);
            if (!settings->contains(key))
                return std::nullopt;
            return settings->value(key).toString();
        }};
}

} // namespace

void AppController::calibrateHotspot(const QString& hotspot)
{
    setCaptureMode(false);
    if (!editor::isCalibratable(markerModel(selectedModel(), std::make_shared<QSettings>()), hotspot))
        return;
    setCaptureMode(true);
    if (m_captureMode) {
        calibrationHotspot = hotspot;
        m_notice = text("Нажмите физическую кнопку в течение 10 секунд. Затем подтвердите найденный ввод; для L/R/M уже есть свои метки.",
            "Press the physical button within 10 seconds. Then confirm the detected input; L/R/M already have their own markers.");
    }
    emit libraryChanged();
}

void AppController::confirmHotspot()
{
    const auto settings = std::make_shared<QSettings>();
    const editor::MarkerModel model = markerModel(selectedModel(), settings);
    if (m_calibrationCandidate.isEmpty() || !editor::bindingAllowed(model, calibrationHotspot, m_calibrationCandidate)) {
        setCaptureMode(false);
        return;
    }
    const QString candidate = m_calibrationCandidate;
    const bool saved = editor::writeSetting(*settings, editor::bindingKey(model.modelId, calibrationHotspot), candidate);
    setCaptureMode(false);
    if (!saved) {
        m_notice = text("Не удалось сохранить привязку метки.", "Could not save the marker binding.");
        emit libraryChanged();
        return;
    }
    selectRule(candidate);
    m_notice = text("Кнопка на схеме привязана.", "Button marker bound.");
    emit selectionChanged();
    emit libraryChanged();
}

void AppController::clearHotspot(const QString& hotspot)
{
    const auto settings = std::make_shared<QSettings>();
    const editor::MarkerModel model = markerModel(selectedModel(), settings);
    if (!editor::isCalibratable(model, hotspot))
        return;
    setCaptureMode(false);
    const QList<editor::SettingChange> changes = editor::clearChanges(model, hotspot);
    // A removal that did not reach the disk is undone, so the marker keeps showing the binding;
    // the user is told instead of seeing a clear that comes back at the next start.
    if (!changes.isEmpty() && !editor::writeSettings(*settings, changes)) {
        m_notice = text("Не удалось сохранить привязку метки.", "Could not save the marker binding.");
        emit libraryChanged();
    }
    emit selectionChanged();
}

void AppController::swapSideHotspots()
{
    const auto settings = std::make_shared<QSettings>();
    const std::optional<QList<editor::SettingChange>> changes = editor::sideSwapChanges(markerModel(selectedModel(), settings));
    if (!changes)
        return;
    setCaptureMode(false);
    m_notice = editor::writeSettings(*settings, *changes)
        ? text("Боковые метки поменяны местами. Изменена только схема; правила сохранены без изменений.",
            "Side markers swapped. This changes only the diagram; rules are unchanged.")
        : text("Не удалось сохранить расположение боковых меток.", "Could not save the side marker positions.");
    emit selectionChanged();
    emit libraryChanged();
}

QString AppController::hotspotInput(const QString& hotspot, const QString& fallback) const
{
    return editor::effectiveInput(markerModel(selectedModel(), std::make_shared<QSettings>()), hotspot, fallback);
}

bool AppController::hotspotBinding(const QString& hotspot, const QString& input) const
{
    return editor::bindingAllowed(markerModel(selectedModel(), std::make_shared<QSettings>()), hotspot, input);
}
