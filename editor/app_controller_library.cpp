// The edited library: start-up load, the one commit path, undo and redo, the document hash
// and automatic apply.
// Placeholder bodies that keep the controller whole until this concern is built; each is
// replaced together with this file.

#include "app/app_controller.h"

#include "core/library_files.h"

void AppController::loadLibrary()
{
    m_library = vorna::core::defaultLibrary();
}

bool AppController::commitLibrary(const QJsonObject&, bool) { return false; }
void AppController::undo() {}
void AppController::redo() {}
QString AppController::documentHash() const { return {}; }
void AppController::autoApply() {}
void AppController::syncSelectedModel() {}

QVariantList AppController::profiles() const
{
    return m_library.value(QLatin1String("profiles")).toArray().toVariantList();
}

QVariantList AppController::layers() const
{
    const QJsonArray profiles = m_library.value(QLatin1String("profiles")).toArray();
    return profiles.at(profileIndex()).toObject().value(QLatin1String("layers")).toArray().toVariantList();
}

int AppController::profileIndex() const { return m_library.value(QLatin1String("selectedProfile")).toInt(0); }
int AppController::layerIndex() const { return m_library.value(QLatin1String("selectedLayer")).toInt(0); }
bool AppController::automatic() const { return m_library.value(QLatin1String("automatic")).toBool(false); }
void AppController::setProfileIndex(int) {}
void AppController::setLayerIndex(int) {}
void AppController::setAutomatic(bool) {}
