// Profiles and layers: adding, duplicating, changing and deleting profiles, renaming layers and
// the starter profiles. The documents come from editor/profile_edits.h and
// editor/starter_profiles.h; the commit checks the limits and reports what it refuses.

#include "app/app_controller.h"

#include "editor/layer_tree.h"
#include "editor/profile_edits.h"
#include "editor/starter_profiles.h"

void AppController::addProfile(const QString& name, bool duplicate)
{
    if (m_recording || (duplicate && !editor::hasProfile(m_library, profileIndex())))
        return;
    commitLibrary(editor::withNewProfile(m_library, profileIndex(), name, duplicate,
                      text("Новый профиль", "New profile"), editor::newProfileId()),
        false);
}

void AppController::updateProfile(const QString& name, const QString& application, int priority)
{
    if (m_recording || !editor::hasProfile(m_library, profileIndex()))
        return;
    commitLibrary(editor::withProfileDetails(m_library, profileIndex(), name, application, priority), true);
}

void AppController::deleteProfile()
{
    if (m_recording || profileIndex() == 0 || !editor::hasProfile(m_library, profileIndex()))
        return;
    commitLibrary(editor::withoutProfile(m_library, profileIndex()), true);
}

void AppController::renameLayer(const QString& name)
{
    if (m_recording || !editor::hasLayer(m_library, profileIndex(), layerIndex()))
        return;
    commitLibrary(editor::withLayerName(m_library, profileIndex(), layerIndex(), name), false);
}

void AppController::addGamePreset(const QString& kind)
{
    const editor::StarterProfile* starter = editor::findStarterProfile(kind);
    if (m_recording || starter == nullptr)
        return;
    if (!commitLibrary(editor::withStarterProfile(m_library, *starter, englishText(), editor::newProfileId()), false))
        return;
    m_notice = text("Создан редактируемый шаблон. Сверьте клавиши с вашим приложением, затем примените набор.",
        "Editable starter profile created. Check its keys in your application, then apply explicitly.");
    emit libraryChanged();
}
