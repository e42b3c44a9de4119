// The motion editor: the wheel and cursor settings in force for the selected layer, and the
// layer's own "motion" object written or removed.

#include "app/app_controller.h"

#include "core/motion_settings.h"
#include "core/rule_inheritance.h"
#include "editor/layer_tree.h"
#include "editor/motion_edit.h"

QVariantMap AppController::motion() const
{
    return vorna::core::effectiveMotion(m_library, profileIndex(), layerIndex()).toVariantMap();
}

bool AppController::motionInherited() const
{
    return editor::motionInherited(m_library, profileIndex(), layerIndex());
}

bool AppController::saveMotion(const QVariantMap& settings, bool inherit)
{
    if (m_recording || !editor::hasLayer(m_library, profileIndex(), layerIndex()))
        return false;
    const QJsonObject object = QJsonObject::fromVariantMap(settings);
    if (!inherit) {
        vorna::core::MotionSettings parsed;
        QString error;
        if (!vorna::core::parseMotionSettings(object, parsed, error)) {
            m_notice = text("Проверьте настройки колеса / курсора: ", "Check wheel / cursor settings: ") + error;
            emit libraryChanged();
            return false;
        }
    }
    const QJsonObject next = editor::withLayerMotion(m_library, profileIndex(), layerIndex(),
        inherit ? std::nullopt : std::optional<QJsonObject>(object));
    if (!commitLibrary(next, true))
        return false;
    // Automatic apply did not send it (paused, or no agent that understands it).
    if (m_pendingDocumentHash.isEmpty())
        m_notice = text("Настройки колеса / курсора сохранены. Включите назначения.",
            "Wheel / cursor settings saved. Enable mappings to apply them.");
    emit libraryChanged();
    return true;
}
