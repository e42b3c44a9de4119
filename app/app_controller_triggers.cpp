// The trigger editor: hold/tap, double press and source chords of the open rule. The trigger
// reaches the library only with the rule's own save.

#include "app/app_controller.h"

#include "editor/trigger_edit.h"

bool AppController::configureTrigger(const QString& kind, int interval, const QString& fallback, const QStringList& keys)
{
    if (m_recording)
        return false;
    if (kind == QLatin1String("immediate")) {
        m_trigger = QJsonObject();
        emit mappingChanged();
        return true;
    }
    const QJsonObject trigger = editor::triggerObject(kind, interval, fallback, keys);
    QString error;
    if (!editor::triggerAccepted(m_sourceId, m_targetId, m_sourceModifiers, trigger, error)) {
        m_notice = text("Проверьте настройки нажатия: ", "Check trigger settings: ") + error;
        emit libraryChanged();
        return false;
    }
    m_trigger = trigger;
    // Only a chord rule may also pass the original input on.
    if (kind != QLatin1String("chord"))
        m_keepOriginal = false;
    m_notice.clear();
    emit mappingChanged();
    emit libraryChanged();
    return true;
}
