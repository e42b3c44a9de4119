// Window conditions of a profile, the running applications and the animation setting.

#include "app/app_controller.h"

#include "agent/context/windows_context.h"
#include "editor/window_condition.h"

void AppController::updateWindowCondition(const QString& mode, const QString& title, const QString& windowClass)
{
    const std::optional<QJsonObject> next = editor::withWindowCondition(m_library, profileIndex(), mode, title, windowClass);
    if (next)
        commitLibrary(*next, true);
}

void AppController::useApplicationFile(const QUrl& path)
{
    const QJsonObject profile =
        m_library.value(QLatin1String("profiles")).toArray().at(profileIndex()).toObject();
    updateProfile(profile.value(QLatin1String("name")).toString(), editor::applicationPathOf(path),
        profile.value(QLatin1String("priority")).toInt(0));
}

// The agent's own window walk, run in this process: no context tracker is needed for it.
QVariantList AppController::runningApplications() const
{
    return vorna::context::WindowsContext::runningApplications();
}

bool AppController::animationsEnabled() const
{
    return m_seams.probe->clientAreaAnimation();
}
