#include "app/live_input_model.h"

LiveInputModel::LiveInputModel(QObject* parent) : QObject(parent) {}

QVariantMap LiveInputModel::state() const
{
    return {{QStringLiteral("historyEnabled"), m_historyEnabled}};
}

void LiveInputModel::clear()
{
    emit changed();
}

void LiveInputModel::setHistoryEnabled(bool enabled)
{
    if (m_historyEnabled == enabled)
        return;
    m_historyEnabled = enabled;
    emit changed();
}
